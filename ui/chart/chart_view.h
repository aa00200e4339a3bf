// The view of the parameter chart: the drop target for log files, a horizontal zoom by
// dragging over the plot, a double-click back to the whole chart, and a context menu that
// saves or copies the chart as a picture.
#pragma once

#include <QChartView>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QTimer>

class QMenu;
class QRubberBand;

namespace quilmar {

class ChartView : public QChartView {
  Q_OBJECT
 public:
  // Takes chart over; a view built without one would make a default chart of its own that
  // a later setChart() leaves behind undeleted.
  ChartView(QChart* chart, QWidget* parent);

  // The heading of the chart's picture: which parameter it shows, since the picture leaves
  // the window whose caption says so.
  void SetPictureTitle(const QString& title) { pictureTitle = title; }
  QString PictureTitle() const { return pictureTitle; }
  // The chart as a picture, the title above it.
  QImage Picture();
  bool SaveAsPng(const QString& path);
  void CopyToClipboard();
  // The context menu, owned by parent: "Save Chart as PNG…", "Copy Chart", "Show Whole Chart".
  QMenu* CreateContextMenu(QWidget* parent);

 signals:
  void fileDropped(const QString& path);
  // A press and release at nearly the same place, in viewport coordinates.
  void clickedAt(QPoint position);
  // The pointer moved over the plot, or rests there.
  void hoveredAt(QPoint position, QPoint globalPosition);
  void wholeChartRequested();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // The pointer resting on the plot asks for the point's tip again instead of the scene's,
  // whose items have none and would take the tip away.
  bool viewportEvent(QEvent* event) override;

 private:
  void OfferSaveAsPng();

  QRubberBand* band = nullptr;
  QPoint pressPosition;
  bool pressed = false;
  // A click waits out the double-click interval, so that a double-click is not a click too.
  QTimer clickTimer;
  QPoint clickPosition;
  QString pictureTitle;
};

}  // namespace quilmar
