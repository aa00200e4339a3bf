// The memory dump's drawing area (Picture1): one vertical line per stored frame, coloured by
// frame type, drawn once into a persistent image. Hovering names the frame under the mouse,
// clicking asks for it to be shown.
#pragma once

#include <QFrame>
#include <QPixmap>
#include <string>
#include <vector>

namespace quilmar {

struct FrameRecord;
struct FrameTable;

class FrameStrip : public QFrame {
  Q_OBJECT

 public:
  explicit FrameStrip(QWidget* parent = nullptr);

  // Draws the strip of the table's current frames. The strip keeps what it read, so a later
  // load does not change it.
  void Draw(const FrameTable& table);

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
