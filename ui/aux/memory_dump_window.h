// The Memory Dump window: an overview of the loaded log as a strip of frame-type coloured
// lines, a colour legend and the frame count. Drawn when opened, and again as a live session
// adds frames.
#pragma once

#include <QWidget>
#include <functional>

#include "limits/limit_set.h"

class QLabel;

namespace quilmar {

struct FrameTable;
class FrameStrip;

class MemoryDumpWindow : public QWidget {
  Q_OBJECT

 public:
  // Draws the table's frames once, here; `onFrameClicked` is called with a frame's 1-based
  // index when the user clicks its line and the table still holds that frame.
  MemoryDumpWindow(const FrameTable& table, std::function<void(int frameIndex)> onFrameClicked);

  // Shows the window, or brings an open one to the front without redrawing it.
  void Open();
  // Draws the table's frames again, as when a live session has added frames.
  void Redraw();
  // Marks the frames with values beyond their limits from now on.
  void SetFrameLevels(std::function<LimitLevel(int frameIndex)> levelOf);

  FrameStrip* strip() const { return frameStrip; }

 private:
  void BuildLegend();

  const FrameTable& table;
  FrameStrip* frameStrip = nullptr;
  QLabel* countLabel = nullptr;
  std::function<void(int)> showFrame;
  std::function<LimitLevel(int)> frameLevel;
};

}  // namespace quilmar
