// A charted value's limits on the Trends chart, in that value's own axis: a band of the
// level's colour beyond each bound that is a number, with a dashed line at the bound; a
// dashed line following the reading of another value where a bound names one (the EPS's own
// thresholds come down in every EPS/TCS frame, so that value is read as a series of its own
// through the same tiles); and each column extreme beyond a number bound marked by the
// shape the main window uses (a triangle up above a high bound, down below a low one) in its
// level's colour, so that the colour is never the only sign.
#pragma once

#include <QPointF>
#include <QRectF>
#include <functional>
#include <vector>

#include "limits/limit_set.h"
#include "series_tiles.h"

class QPainter;

namespace quilmar {

// A bound that is a number.
struct TrendLimitBound {
  BoundKind kind = BoundKind::kRedLow;
  double value = 0.0;
};

// A bound that names another value: that value's series as drawn for the view.
struct TrendLimitFollowed {
  BoundKind kind = BoundKind::kRedLow;
  int otherRow = -1;
  std::vector<DrawnPoint> points;
};

// A column extreme beyond a number bound.
struct TrendLimitMark {
  double time = 0.0;
  double value = 0.0;
  LimitLevel level = LimitLevel::kNormal;
  LimitDirection direction = LimitDirection::kNone;
  BoundKind bound = BoundKind::kRedLow;
};

struct TrendCurveLimits {
  const ValueLimits* limits = nullptr;  // nothing: the value has no limits
  std::vector<TrendLimitBound> bounds;
  std::vector<TrendLimitFollowed> followed;
  std::vector<TrendLimitMark> marks;
};

LimitLevel LevelOfBound(BoundKind kind);
bool IsLowBound(BoundKind kind);

// The rows whose readings the value's bounds name (each once, in bound order).
std::vector<int> FollowedRows(const ValueLimits* limits);

// The value's bounds and the points in [from, to] beyond its number bounds: a column's lowest
// below a low bound, its highest above a high one, judged against the red bound first. The
// followed series are left empty for the caller to fill.
TrendCurveLimits CurveLimitsOf(const ValueLimits* limits, const std::vector<DrawnPoint>& points,
                               double from, double to);

// How a check of a marked point reads in a tooltip, as the main window says it.
LimitCheck CheckOfMark(const TrendCurveLimits& curve, const TrendLimitMark& mark);

using TrendAxisMap = std::function<double(double)>;

// Bands under the curves, from each bound to the plot's edge beyond it (a yellow one to the
// red bound of its side).
void PaintLimitBands(QPainter& painter, const QRectF& plot, const TrendCurveLimits& curve,
                     const TrendAxisMap& yOf);
// Dashed lines at every bound, over the bands and under the curves.
void PaintLimitLines(QPainter& painter, const QRectF& plot, const TrendCurveLimits& curve,
                     const TrendAxisMap& xOf, const TrendAxisMap& yOf);
// The marks over the curves.
void PaintLimitMarks(QPainter& painter, const TrendCurveLimits& curve, const TrendAxisMap& xOf,
                     const TrendAxisMap& yOf);

}  // namespace quilmar
