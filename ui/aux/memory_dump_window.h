// The Memory Dump window: an overview of the loaded log as a strip of frame-type coloured
// lines, a colour legend and the frame count. Drawn once when opened.
#pragma once

#include <QWidget>
#include <functional>

class QLabel;

namespace quilmar {

struct FrameTable;
class FrameStrip;

class MemoryDumpWindow : public QWidget {
  Q_OBJECT

 public:
  // Reads the table once, here; `showFrame` is called with a frame's 1-based index when the
  // user clicks its line.
  MemoryDumpWindow(const FrameTable& table, std::function<void(int frameIndex)> onFrameClicked);

  // Shows the window, or brings an open one to the front without redrawing it.
  void Open();

  FrameStrip* strip() const { return frameStrip; }

 private:
  void BuildLegend();

  FrameStrip* frameStrip = nullptr;
  QLabel* countLabel = nullptr;
  std::function<void(int)> showFrame;
};

}  // namespace quilmar
