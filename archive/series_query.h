// One housekeeping parameter over a time range, summed up for a chart that is `columns` pixels
// wide: per column at most its lowest and highest value, read from the coarsest level of the
// archive that still resolves a column (the hourly overview, the per-minute overview, or the
// frames themselves for a narrow range). A chart of ten million frames never touches more
// values than the screen has pixels, and since every level keeps its extremes, a single spike
// still shows at every zoom. The Trends window and the web page chart through this alone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quilmar {

class Archive;

// Which column a value lands in. The level's buckets are the clock hours, the UTC minutes, or
// each housekeeping frame alone. A bucket is placed by the time of its first housekeeping frame,
// `first`: it counts in a request when fromMs <= first <= toMs, and lies in column
//   (first - fromMs) * columns / (toMs - fromMs + 1)   (integer division, 0 .. columns - 1)
// with all its frames' values, even those of frames that come after the column or after toMs.
// A column's point has the lowest and highest value of its buckets and the time (timeMs) of the
// earliest first frame among them. Frames without a time, values NULL (the frame did not carry
// the section) and NaN readings are left out: a NaN is no extreme, as in the overviews, which
// never hold NaN; a column whose every value is left out has no point. Between two neighbouring
// points a gap point is put when the next one's timeMs lies more than the pass gap
// (kPassGapSeconds) after the latest lastMs before it, at the middle of that silence.

// The levels, coarsest first.
enum class SeriesLevel : std::uint8_t { kHour, kMinute, kFrame };

struct SeriesRequest {
  int parameterRow = 0;     // catalogue row of the parameter
  std::int64_t fromMs = 0;  // left edge of column 0, Unix milliseconds (inclusive)
  std::int64_t toMs = 0;    // right edge of the last column (inclusive)
  int columns = 1;          // the chart's width in pixels, at least 1
};

// One column's extremes. A point whose low and high are NaN is a gap: no line is drawn across
// it (a time between passes with nothing archived).
struct SeriesPoint {
  std::int64_t timeMs = 0;  // where the column's values lie (within the column)
  double low = 0.0;
  double high = 0.0;
  // The latest time of the column's frames, at or after timeMs (for a bucket of the overview,
  // its last frame, which may lie in the next column); a gap's own time for a gap.
  std::int64_t lastMs = 0;
};

struct Series {
  SeriesLevel level = SeriesLevel::kFrame;
  std::vector<SeriesPoint> points;  // in time order, at most one per column plus gaps
};

// The level a request reads: the coarsest whose buckets are no wider than a column (a bucket
// of width w when w * columns <= toMs - fromMs + 1).
SeriesLevel SeriesLevelFor(const SeriesRequest& request);

// The series of a request, by one statement grouped by column in the database, or nullopt
// with archive.Error() set when the parameter row is unknown, the range is empty (toMs <
// fromMs), columns is below 1, a time lies more than 2^47 ms (some 4,400 years) from 1970, the
// range times the columns would not fit 62 bits, or the archive failed.
std::optional<Series> ReadSeries(Archive& archive, const SeriesRequest& request);

// Name of a level as shown ("hour", "minute", "frame").
const char* SeriesLevelName(SeriesLevel level);

}  // namespace quilmar
