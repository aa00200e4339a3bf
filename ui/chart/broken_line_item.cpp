// The parameter chart's line as drawn; see broken_line_item.h.
#include "broken_line_item.h"

#include <QChart>
#include <QPainter>
#include <QXYSeries>
#include <algorithm>

namespace quilmar {
namespace {

// A run of one frame among more frames than markers can show: a dot of this many pixels.
constexpr double kLoneDotRadius = 1.5;
// Qt Charts stacks the plot's background, grid, axes and series below this.
constexpr double kAboveGrid = 10;

}  // namespace

BrokenLineItem::BrokenLineItem(QChart* chart, QXYSeries* series)
    : QGraphicsItem(chart), chart(chart), series(series), colour(series->pen().color()) {
  // The series stays for its points, axes and marker state; its own joined line is not shown.
  series->setVisible(false);
  // Above the plot area's background and grid lines, as the series would be.
  setZValue(kAboveGrid);
}

void BrokenLineItem::SetPoints(const QList<QPointF>& newPoints,
                               const std::vector<bool>& newRunStarts, bool newMarkers) {
  const auto same = [](QPointF a, QPointF b) { return a.x() == b.x() && a.y() == b.y(); };
  if (newMarkers == markers && newRunStarts == runStarts &&
      std::equal(newPoints.begin(), newPoints.end(), points.begin(), points.end(), same)) {
    return;
  }
  points = newPoints;
  runStarts = newRunStarts;
  markers = newMarkers;
  update();
}

std::vector<QList<QPointF>> BrokenLineItem::Runs() const {
  std::vector<QList<QPointF>> runs;
  for (qsizetype i = 0; i < points.size(); ++i) {
    if (runs.empty() || runStarts[static_cast<std::size_t>(i)]) {
      runs.emplace_back();
    }
    runs.back().append(points[i]);
  }
  return runs;
}

QRectF BrokenLineItem::boundingRect() const {
  const double margin = series->markerSize();
  return chart->plotArea().adjusted(-margin, -margin, margin, margin);
}

void BrokenLineItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  painter->save();
  painter->setClipRect(chart->plotArea());
  QPen pen = series->pen();
  pen.setColor(colour);
  for (const QList<QPointF>& run : Runs()) {
    QPolygonF line;
    line.reserve(run.size());
    for (const QPointF& value : run) {
      line.append(chart->mapToPosition(value, series));
    }
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    if (line.size() > 1) {
      painter->drawPolyline(line);
    }
    if (markers || line.size() == 1) {
      const double radius = markers ? series->markerSize() / 2 : kLoneDotRadius;
      painter->setPen(Qt::NoPen);
      painter->setBrush(colour);
      for (const QPointF& at : line) {
        painter->drawEllipse(at, radius, radius);
      }
    }
  }
  painter->restore();
}

}  // namespace quilmar
