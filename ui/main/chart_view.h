// The view of the parameter chart: the drop target for log files, a horizontal zoom by
// dragging over the plot, a double-click back to the whole chart, and a context menu that
// saves or copies the chart as a picture.
#pragma once

#include <QChartView>
#include <QPoint>
#include <QString>

class QMenu;
class QRubberBand;

namespace quilmar {

class ChartView : public QChartView {
  Q_OBJECT
 public:
  explicit ChartView(QWidget* parent);

  bool SaveAsPng(const QString& path);
  void CopyToClipboard();
  // The context menu, owned by parent: "Save Chart as PNG…", "Copy Chart", "Show Whole Chart".
  QMenu* CreateContextMenu(QWidget* parent);

 signals:
  void fileDropped(const QString& path);
  // A press and release at nearly the same place, in viewport coordinates.
  void clickedAt(QPoint position);
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

 private:
  void OfferSaveAsPng();

  QRubberBand* band = nullptr;
  QPoint pressPosition;
  bool pressed = false;
};

}  // namespace quilmar
