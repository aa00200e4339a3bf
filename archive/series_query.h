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
};

struct Series {
  SeriesLevel level = SeriesLevel::kFrame;
  std::vector<SeriesPoint> points;  // in time order, at most one per column plus gaps
};

// The level a request reads: the coarsest whose buckets are no wider than a column.
SeriesLevel SeriesLevelFor(const SeriesRequest& request);

// The series of a request, or nullopt with archive.Error() set when the parameter row is
// unknown, the range is empty or the archive failed.
std::optional<Series> ReadSeries(Archive& archive, const SeriesRequest& request);

// Name of a level as shown ("hour", "minute", "frame").
const char* SeriesLevelName(SeriesLevel level);

}  // namespace quilmar
