// A charted value's limits on the Trends chart; see trend_limits.h.
#include "trend_limits.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "ui/limits/limit_look.h"

namespace quilmar {
namespace {

constexpr double kMarkRadius = 4.5;
// Bands are the limit colours seen through, so that two charted values' bands and the grid
// still read where they overlap.
constexpr int kBandAlpha = 70;

QPolygonF MarkShape(QPointF at, LimitDirection direction) {
  const double r = kMarkRadius;
  if (direction == LimitDirection::kHigh) {
    return QPolygonF({at + QPointF(0, -r), at + QPointF(r, r * 0.8), at + QPointF(-r, r * 0.8)});
  }
  if (direction == LimitDirection::kLow) {
    return QPolygonF({at + QPointF(0, r), at + QPointF(r, -r * 0.8), at + QPointF(-r, -r * 0.8)});
  }
  return QPolygonF(
      {at + QPointF(0, -r), at + QPointF(r, 0), at + QPointF(0, r), at + QPointF(-r, 0)});
}

const TrendLimitBound* BoundOf(const TrendCurveLimits& curve, BoundKind kind) {
  for (const TrendLimitBound& bound : curve.bounds) {
    if (bound.kind == kind) {
      return &bound;
    }
  }
  return nullptr;
}

// The mark of one end of a column against the red and yellow bounds of a side, if beyond.
std::optional<TrendLimitMark> MarkOf(const TrendCurveLimits& curve, double time, double value,
                                     bool low) {
  const BoundKind red = low ? BoundKind::kRedLow : BoundKind::kRedHigh;
  const BoundKind yellow = low ? BoundKind::kYellowLow : BoundKind::kYellowHigh;
  for (const BoundKind kind : {red, yellow}) {
    const TrendLimitBound* bound = BoundOf(curve, kind);
    if (bound != nullptr && (low ? value < bound->value : value > bound->value)) {
      return TrendLimitMark{time, value, LevelOfBound(kind),
                            low ? LimitDirection::kLow : LimitDirection::kHigh, kind};
    }
  }
  return std::nullopt;
}

}  // namespace

LimitLevel LevelOfBound(BoundKind kind) {
  return kind == BoundKind::kRedLow || kind == BoundKind::kRedHigh ? LimitLevel::kRed
                                                                   : LimitLevel::kYellow;
}

bool IsLowBound(BoundKind kind) {
  return kind == BoundKind::kRedLow || kind == BoundKind::kYellowLow;
}

std::vector<int> FollowedRows(const ValueLimits* limits) {
  std::vector<int> rows;
  if (limits == nullptr) {
    return rows;
  }
  for (const std::optional<LimitBound>& bound : limits->bounds) {
    if (bound && bound->otherRow >= 0 &&
        std::find(rows.begin(), rows.end(), bound->otherRow) == rows.end()) {
      rows.push_back(bound->otherRow);
    }
  }
  return rows;
}

TrendCurveLimits CurveLimitsOf(const ValueLimits* limits, const std::vector<DrawnPoint>& points,
                               double from, double to) {
  TrendCurveLimits curve;
  curve.limits = limits;
  if (limits == nullptr) {
    return curve;
  }
  for (int k = 0; k < kBoundKindCount; ++k) {
    const std::optional<LimitBound>& bound = limits->bounds[static_cast<std::size_t>(k)];
    if (!bound) {
      continue;
    }
    const auto kind = static_cast<BoundKind>(k);
    if (bound->otherRow >= 0) {
      curve.followed.push_back({kind, bound->otherRow, {}});
    } else {
      curve.bounds.push_back({kind, bound->number});
    }
  }
  if (curve.bounds.empty()) {
    return curve;
  }
  for (const DrawnPoint& point : points) {
    if (point.time < from || point.time > to) {
      continue;
    }
    // A NaN end compares false against every bound: a gap is never marked.
    if (const auto mark = MarkOf(curve, point.time, point.low, true)) {
      curve.marks.push_back(*mark);
    }
    if (const auto mark = MarkOf(curve, point.time, point.high, false)) {
      curve.marks.push_back(*mark);
    }
  }
  return curve;
}

LimitCheck CheckOfMark(const TrendCurveLimits& curve, const TrendLimitMark& mark) {
  LimitCheck check;
  check.level = mark.level;
  check.direction = mark.direction;
  check.bound = mark.bound;
  check.limits = curve.limits;
  if (const TrendLimitBound* bound = BoundOf(curve, mark.bound)) {
    check.boundValue = bound->value;
  }
  return check;
}

void PaintLimitBands(QPainter& painter, const QRectF& plot, const TrendCurveLimits& curve,
                     const TrendAxisMap& yOf) {
  for (const TrendLimitBound& bound : curve.bounds) {
    const LimitLevel level = LevelOfBound(bound.kind);
    QColor colour = LimitColour(level);
    colour.setAlpha(kBandAlpha);
    const bool low = IsLowBound(bound.kind);
    // A yellow band ends where the red one of its side begins, so that the two, seen through,
    // never mix into a third colour.
    double edge = low ? plot.bottom() + 1.0 : plot.top();
    if (level == LimitLevel::kYellow) {
      if (const TrendLimitBound* red =
              BoundOf(curve, low ? BoundKind::kRedLow : BoundKind::kRedHigh)) {
        edge = yOf(red->value);
      }
    }
    const double y = yOf(bound.value);
    const QRectF band(QPointF(plot.left(), std::min(y, edge)),
                      QPointF(plot.right() + 1.0, std::max(y, edge)));
    painter.fillRect(band & plot, colour);
  }
}

void PaintLimitLines(QPainter& painter, const QRectF& plot, const TrendCurveLimits& curve,
                     const TrendAxisMap& xOf, const TrendAxisMap& yOf) {
  for (const TrendLimitBound& bound : curve.bounds) {
    painter.setPen(QPen(LimitColour(LevelOfBound(bound.kind)).darker(115), 1.5, Qt::DashLine));
    const double y = yOf(bound.value);
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  // A followed value's columns joined as its own curve is, broken where it breaks.
  for (const TrendLimitFollowed& followed : curve.followed) {
    painter.setPen(QPen(LimitColour(LevelOfBound(followed.kind)).darker(115), 1.5, Qt::DashLine));
    QPolygonF run;
    const auto flush = [&] {
      if (run.size() > 1) {
        painter.drawPolyline(run);
      }
      run.clear();
    };
    for (const DrawnPoint& point : followed.points) {
      if (point.startsLine || std::isnan(point.low)) {
        flush();
      }
      if (std::isnan(point.low)) {
        continue;
      }
      // The column's strictest reading: the highest of a low bound, the lowest of a high one.
      run << QPointF(xOf(point.time), yOf(IsLowBound(followed.kind) ? point.high : point.low));
    }
    flush();
  }
}

void PaintLimitMarks(QPainter& painter, const TrendCurveLimits& curve, const TrendAxisMap& xOf,
                     const TrendAxisMap& yOf) {
  painter.setPen(QPen(Qt::black, 1));
  for (const TrendLimitMark& mark : curve.marks) {
    painter.setBrush(LimitColour(mark.level));
    painter.drawPolygon(MarkShape(QPointF(xOf(mark.time), yOf(mark.value)), mark.direction));
  }
  painter.setBrush(Qt::NoBrush);
}

}  // namespace quilmar
