// The charted value's limits; see limit_item.h.
#include "limit_item.h"

#include <QChart>
#include <QPainter>
#include <QXYSeries>
#include <cmath>

#include "ui/limits/limit_look.h"

namespace quilmar {
namespace {

// Over the plot area's background and under its grid (Qt Charts: plot area 0, grid 2), and
// over the chart's line (10).
constexpr double kUnderGrid = 0.5;
constexpr double kOverLine = 11;
constexpr double kMarkRadius = 4.5;

LimitLevel LevelOf(BoundKind kind) {
  return kind == BoundKind::kRedLow || kind == BoundKind::kRedHigh ? LimitLevel::kRed
                                                                   : LimitLevel::kYellow;
}

bool IsLow(BoundKind kind) { return kind == BoundKind::kRedLow || kind == BoundKind::kYellowLow; }

QPolygonF MarkShape(QPointF at, LimitDirection direction) {
  const double r = kMarkRadius;
  switch (direction) {
    case LimitDirection::kHigh:
      return QPolygonF({at + QPointF(0, -r), at + QPointF(r, r * 0.8), at + QPointF(-r, r * 0.8)});
    case LimitDirection::kLow:
      return QPolygonF({at + QPointF(0, r), at + QPointF(r, -r * 0.8), at + QPointF(-r, -r * 0.8)});
    case LimitDirection::kState:
    case LimitDirection::kNone:
      break;
  }
  return QPolygonF(
      {at + QPointF(0, -r), at + QPointF(r, 0), at + QPointF(0, r), at + QPointF(-r, 0)});
}

}  // namespace

LimitItem::LimitItem(QChart* chart, QXYSeries* series, Layer layer)
    : QGraphicsItem(chart), chart(chart), series(series), layer(layer) {
  setZValue(layer == Layer::kBands ? kUnderGrid : kOverLine);
}

void LimitItem::SetLimits(const ChartLimits* newLimits) {
  limits = newLimits;
  update();
}

QRectF LimitItem::boundingRect() const {
  return chart->plotArea().adjusted(-kMarkRadius, -kMarkRadius, kMarkRadius, kMarkRadius);
}

void LimitItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  if (limits == nullptr || series->points().isEmpty()) {
    return;
  }
  painter->save();
  painter->setClipRect(chart->plotArea());
  if (layer == Layer::kBands) {
    PaintBands(painter);
  } else {
    PaintLines(painter);
    PaintPoints(painter);
  }
  painter->restore();
}

// Yellow first, so that red, nearer the edge, lies over it.
void LimitItem::PaintBands(QPainter* painter) const {
  const QRectF plot = chart->plotArea();
  for (const LimitLevel level : {LimitLevel::kYellow, LimitLevel::kRed}) {
    for (const ChartLimitLine& line : limits->lines) {
      if (line.follows || LevelOf(line.kind) != level || line.values.empty() ||
          std::isnan(line.values.front())) {
        continue;
      }
      const double y = chart->mapToPosition(QPointF(1, line.values.front()), series).y();
      const QRectF band = IsLow(line.kind) ? QRectF(QPointF(plot.left(), y), plot.bottomRight())
                                           : QRectF(plot.topLeft(), QPointF(plot.right(), y));
      painter->fillRect(band.normalized() & plot,
                        level == LimitLevel::kRed ? kLimitBandRed : kLimitBandYellow);
    }
  }
}

// Every bound as a dashed line in its level's colour; one that follows another value runs
// frame by frame and breaks where the frame gives none.
void LimitItem::PaintLines(QPainter* painter) const {
  for (const ChartLimitLine& line : limits->lines) {
    QPen pen(LimitColour(LevelOf(line.kind)).darker(115), 1.5, Qt::DashLine);
    painter->setPen(pen);
    QPolygonF run;
    const auto flush = [&] {
      if (run.size() > 1) {
        painter->drawPolyline(run);
      }
      run.clear();
    };
    for (std::size_t i = 0; i < line.values.size(); ++i) {
      if (std::isnan(line.values[i])) {
        flush();
        continue;
      }
      run.append(chart->mapToPosition(QPointF(static_cast<double>(i + 1), line.values[i]), series));
    }
    flush();
  }
}

void LimitItem::PaintPoints(QPainter* painter) const {
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QPen(Qt::black, 1));
  for (const ChartLimitPoint& point : limits->points) {
    if (std::isnan(point.value)) {
      continue;
    }
    const QPointF at = chart->mapToPosition(QPointF(point.row, point.value), series);
    painter->setBrush(LimitColour(point.level));
    painter->drawPolygon(MarkShape(at, point.direction));
  }
}

}  // namespace quilmar
