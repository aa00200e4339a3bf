// Overviews of the housekeeping values for charts over the whole mission, at two levels: per
// clock hour (table trend_hour, keyed "2026-03-05T14") and per UTC minute (table trend_minute,
// keyed by the minute's start in Unix milliseconds). Each bucket keeps the first and last frame
// time (as text and as milliseconds) and each parameter's lowest and highest value. A chart of
// four years reads some ten thousand hours instead of a million frames, a day some thousand
// minutes, and since each bucket keeps its extremes, a single spike still shows. Importers keep
// both up to date in the same transaction as the frames; a bucket only ever widens (extremes are
// merged), so importers running at once never undo each other. A NaN reading is no extreme:
// the overviews never hold NaN.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "core/parameter_catalogue.h"
#include "core/section_decoders.h"

namespace quilmar {

class Archive;
class BatchInsert;

// One level of the overview as stored: its table, the column of a bucket's start (Unix
// milliseconds, a multiple of the bucket's width) and that width.
struct TrendLevelTable {
  const char* table;
  const char* startColumn;
  std::int64_t bucketMs;
};
inline constexpr TrendLevelTable kTrendHourTable{"trend_hour", "hour_ms", 3'600'000};
inline constexpr TrendLevelTable kTrendMinuteTable{"trend_minute", "minute_ms", 60'000};

// The columns of a value's extremes in both tables ("eps_tcs_battery_volts_min", "..._max").
QString TrendLowColumn(int row);
QString TrendHighColumn(int row);

// The CREATE statements of the overviews of a new archive.
QString TrendHourTableStatement();
QStringList TrendMinuteStatements();
QString TrendHourIndexStatement();

// Gives an archive of an earlier schema version what it lacks of the overviews (the hours'
// start and millisecond columns, the per-minute table), left empty; nothing for what is there.
bool AddTrendOverviewTables(Archive& archive);

// The housekeeping frames of one batch, summed up by hour and by minute before they are
// written (named for the hourly overview it kept first; it keeps both).
class TrendHourAccumulator {
 public:
  explicit TrendHourAccumulator(Archive& archive);
  ~TrendHourAccumulator();
  TrendHourAccumulator(const TrendHourAccumulator&) = delete;
  TrendHourAccumulator& operator=(const TrendHourAccumulator&) = delete;

  // A housekeeping frame with its time (Unix milliseconds); others are ignored.
  void Add(std::int64_t timeMs, const FrameRecord& record);
  bool Empty() const { return hours.empty(); }
  void Clear();

  // Widens the archive's buckets by this batch's; for a batch whose frames were all new.
  bool MergeIn();
  // Recomputes this batch's buckets from the archive's frames; for a batch of which only some
  // frames were new, where the batch's own extremes may belong to frames kept elsewhere.
  bool RecomputeIn();

  struct Bucket {
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
    std::array<double, kParameterCount> low{};
    std::array<double, kParameterCount> high{};
    std::bitset<kParameterCount> seen;
  };
  using Buckets = std::map<std::int64_t, Bucket>;  // by the bucket's start

 private:
  Archive& archive;
  std::unique_ptr<BatchInsert> hourMerge;  // prepared once, used by every batch
  std::unique_ptr<BatchInsert> minuteMerge;
  Buckets hours;
  Buckets minutes;
};

// Sums the hours and minutes these times (Unix milliseconds) fall in up again from the frames
// alone, after frames moved out of or into them.
bool RecomputeTrendOverviewsExactly(Archive& archive, const std::set<std::int64_t>& timesMs);

// Recomputes every hour and minute from the frames (an archive written before an overview
// existed, or frames written by hand).
bool RebuildTrendOverviews(Archive& archive);
inline bool RebuildTrendHours(Archive& archive) { return RebuildTrendOverviews(archive); }

struct TrendHour {
  std::int64_t firstUtc = 0;  // seconds since the Unix epoch
  std::int64_t lastUtc = 0;
  double low = 0.0;
  double high = 0.0;
};

// Calls sink for each hour in which some frame carried catalogue row parameterRow, in time
// order; false with archive.Error() set on a failure.
bool ReadTrendHours(Archive& archive, int parameterRow,
                    const std::function<void(const TrendHour&)>& sink);

}  // namespace quilmar
