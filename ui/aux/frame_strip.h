// The memory dump's drawing area (Picture1): one vertical line per stored frame, coloured by
// frame type, drawn once into a persistent image. Hovering names the frame under the mouse,
// clicking asks for it to be shown.
#pragma once

#include <QFrame>
#include <QPixmap>
#include <functional>
#include <string>
#include <vector>

#include "limits/limit_set.h"

namespace quilmar {

struct FrameRecord;
struct FrameTable;

class FrameStrip : public QFrame {
  Q_OBJECT

 public:
  explicit FrameStrip(QWidget* parent = nullptr);

  // The worst limit state of a frame by its 1-based index.
  using FrameLevel = std::function<LimitLevel(int frameIndex)>;

  // Draws the strip of the table's current frames. The strip keeps what it read, so a later
  // load does not change it. A frame with a value beyond its limits gets a block of the
  // level's colour on top of its line, a quarter of the height for red and an eighth for
  // yellow, so the two differ without their colours.
  void Draw(const FrameTable& table, const FrameLevel& levelOf = {});
  // The height of the block on top of a frame's line at a level; 0 for normal.
  int LimitBlockHeight(LimitLevel level) const;

  // Size of the drawing surface inside the sunken border, in pixels.
  int innerWidth() const { return contentsRect().width(); }
  int innerHeight() const { return contentsRect().height(); }

  // The drawn image, innerWidth() x innerHeight().
  const QPixmap& image() const { return drawing; }

  // The frame drawn last into a pixel column of the image, 0 when none was.
  int FrameInColumn(int column) const;

  // What hovering over a point (widget coordinates) tells: the frame whose line is nearest,
  // within half the spacing of the lines, as a click picks it; empty where none is. Lines
  // stand a few pixels apart on a short log, so a pointer between two of them still means one.
  QString ToolTipAt(QPoint position) const;

  // True when the strip shows a line for frame `frameIndex` drawn from a record with this
  // frame number and type letter; false once another load has put a different frame there.
  bool ShowsRecord(int frameIndex, const FrameRecord& record) const;

 signals:
  void frameClicked(int frameIndex);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // What the tooltip needs of the frame shown in one pixel column, read when drawing.
  struct ColumnFrame {
    int index = 0;
    int frameNumber = 0;
    std::string letter;
    LimitLevel level = LimitLevel::kNormal;
  };

  int ColumnAt(QPoint position) const;
  int NearestDrawnColumn(QPoint position) const;
  void FindNearestLines(double step);

  QPixmap drawing;
  std::vector<ColumnFrame> columns;
  std::vector<int> nearestLine;  // per pixel column: the drawn column nearest to it, or -1
  int frameCount = 0;
};

}  // namespace quilmar
