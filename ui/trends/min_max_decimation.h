// Min/max decimation of a long series for drawing: each pixel column keeps only the lowest
// and the highest value of the samples that fall in it, in time order, so a chart never draws
// more than two points per column and a single spike is never hidden. A time without
// samples longer than the pass gap stays a gap: the point after it starts a new line.
// Standard library only.
#pragma once

#include <span>
#include <vector>

#include "core/pass_gap.h"

namespace quilmar {

struct TimedValue {
  double time = 0.0;  // seconds since the Unix epoch, UTC
  double value = 0.0;
};

struct DecimatedPoint {
  double time = 0.0;
  double value = 0.0;
  bool startsLine = false;  // no line is drawn from the previous point to this one
};

struct DecimationRange {
  double from = 0.0;  // time at the left edge of column 0
  double to = 0.0;    // time at the right edge of the last column
  int columns = 0;    // the chart's width in pixels
};

// The pixel column of a time inside the range (the right edge belongs to the last column).
int ColumnOfTime(double time, const DecimationRange& range);

// samples in time order; those outside the range and NaN values are left out. At most two
// points per column. A column's first point starts a line when more than gapSeconds passed
// since the sample before it in range (and at the very first point); a column's two points
// are always joined, as they share one pixel column.
std::vector<DecimatedPoint> DecimateMinMax(std::span<const TimedValue> samples,
                                           const DecimationRange& range,
                                           double gapSeconds = kPassGapSeconds);

}  // namespace quilmar
