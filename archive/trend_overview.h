// An hourly overview of the housekeeping values for charts over the whole mission: per clock
// hour ("2026-03-05T14"), the first and last frame time and each parameter's lowest and
// highest value (table trend_hour). A chart of four years reads some ten thousand hours
// instead of a million frames, and since each hour keeps its extremes, a single spike still
// shows. Importers keep it up to date in the same transaction as the frames; an hour only
// ever widens (extremes are merged), so importers running at once never undo each other.
#pragma once

#include <QString>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>

#include "core/parameter_catalogue.h"
#include "core/section_decoders.h"

namespace quilmar {

class Archive;
class BatchInsert;

// The CREATE TABLE statement of the overview.
QString TrendHourTableStatement();

// The housekeeping frames of one batch, summed up by hour before they are written.
class TrendHourAccumulator {
 public:
  explicit TrendHourAccumulator(Archive& archive);
  ~TrendHourAccumulator();
  TrendHourAccumulator(const TrendHourAccumulator&) = delete;
  TrendHourAccumulator& operator=(const TrendHourAccumulator&) = delete;

  // A housekeeping frame with its time ("YYYY-MM-DDTHH:MM:SSZ"); others are ignored.
  void Add(const QString& timeUtc, const FrameRecord& record);
  bool Empty() const { return hours.empty(); }
  void Clear() { hours.clear(); }

  // Widens the archive's hours by this batch's; for a batch whose frames were all new.
  bool MergeIn();
  // Recomputes this batch's hours from the archive's frames; for a batch of which only some
  // frames were new, where the batch's own extremes may belong to frames kept elsewhere.
  bool RecomputeIn();

 private:
  struct Hour {
    QString first;
    QString last;
    std::array<double, kParameterCount> low{};
    std::array<double, kParameterCount> high{};
    std::bitset<kParameterCount> seen;
  };
  Archive& archive;
  std::unique_ptr<BatchInsert> merge;  // prepared once, used by every batch
  std::map<QString, Hour> hours;
};

// The hour a time ("YYYY-MM-DDTHH:MM:SSZ") counts in: "YYYY-MM-DDTHH".
QString TrendHourOf(const QString& timeUtc);

// Sums these hours up again from the frames alone, after frames moved out of or into them.
bool RecomputeTrendHoursExactly(Archive& archive, const std::set<QString>& hours);

// Recomputes every hour from the frames (an archive written before the overview existed).
bool RebuildTrendHours(Archive& archive);

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
