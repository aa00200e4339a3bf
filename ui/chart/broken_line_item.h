// The parameter chart's line as drawn: runs of frames that carry the value joined, broken
// where a frame (or, with more frames than pixels, a whole pixel column) lacks it, so the
// chart never draws a straight line through readings the spacecraft did not send. A run of
// one frame is a dot of its own. Qt Charts' line series joins every point it holds; it keeps
// the points for the axes and the markers' state while this item draws them.
#pragma once

#include <QColor>
#include <QGraphicsItem>
#include <QList>
#include <QPointF>
#include <vector>

class QChart;
class QXYSeries;

namespace quilmar {

class BrokenLineItem : public QGraphicsItem {
 public:
  // Draws over chart's plot area in the values of series, whose points and markers it shows.
  BrokenLineItem(QChart* chart, QXYSeries* series);

  // points in row order; runStarts[i] when points[i] follows a gap; markers on every point
  // while they can be told apart. Repaints only what changed.
  void SetPoints(const QList<QPointF>& points, const std::vector<bool>& runStarts, bool markers);
  // The plot area moved or changed size.
  void PlotAreaChanged() { prepareGeometryChange(); }
  // The runs as drawn, in values: each a polyline, or a single point.
  std::vector<QList<QPointF>> Runs() const;
  QColor Colour() const { return colour; }

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  QChart* chart;
  QXYSeries* series;
  QColor colour;
  QList<QPointF> points;
  std::vector<bool> runStarts;
  bool markers = false;
};

}  // namespace quilmar
