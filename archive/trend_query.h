// One housekeeping parameter over a time range (or over the frames archived since a given
// one), read from the archive's housekeeping frames in time order for the Trends window. Rows
// stream to a callback one at a time: a million frames are never held twice, and frames that did
// not carry the parameter's section are skipped by the database.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace quilmar {

class Archive;

// Where a frame's time came from (the time_kind column): the spacecraft clock as it reads,
// that clock carried onto ground time by its pass's offset, the ground reception, or a clock
// estimated from neighbouring frames.
enum class TrendTimeKind : std::uint8_t { kSpacecraft, kCorrelated, kReception, kEstimated };

struct TrendSample {
  std::int64_t utcSeconds = 0;  // since the Unix epoch
  double value = 0.0;
  TrendTimeKind kind = TrendTimeKind::kSpacecraft;
  std::int64_t key = 0;  // the frame's key in the frame table
};

struct TrendRange {
  std::int64_t fromUtc = 0;  // inclusive, seconds since the Unix epoch
  std::int64_t toUtc = 0;    // inclusive
};

// The earliest and latest time of a timed housekeeping frame; nullopt when there is none
// or the archive failed (then archive.Error() is set).
std::optional<TrendRange> HousekeepingTimeSpan(Archive& archive);

// Calls sink for each housekeeping frame in range that carries catalogue row parameterRow,
// in time order; sink returns false to stop early. False with archive.Error() set when the
// row is no parameter or the archive failed.
bool ReadTrend(Archive& archive, int parameterRow, const TrendRange& range,
               const std::function<bool(const TrendSample&)>& sink);

// The key of the frame archived last: a frame archived later has a larger one, whatever its
// time, since writers take turns and frames are never removed. 0 for an empty archive;
// nullopt when the archive failed (then archive.Error() is set).
std::optional<std::int64_t> NewestFrameKey(Archive& archive);

// As ReadTrend, for the frames archived after the one with key afterKey, whatever their
// time: a log of an older pass added while the window is open.
bool ReadTrendAdded(Archive& archive, int parameterRow, std::int64_t afterKey,
                    const std::function<bool(const TrendSample&)>& sink);

// A housekeeping frame found again for a point of a chart: its key and its time.
struct TrendFrame {
  std::int64_t key = 0;
  std::int64_t utcSeconds = 0;
};

// The frame whose value of catalogue row parameterRow is the lowest (highest when highest is
// set) of the timed housekeeping frames in range, the earliest of equal ones: the frame behind
// an hour's extreme in the overview. nullopt when no frame in range carries the value, or
// with archive.Error() set when the archive failed.
std::optional<TrendFrame> FrameOfExtreme(Archive& archive, int parameterRow,
                                         const TrendRange& range, bool highest);

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since the Unix epoch; nullopt for any other text.
std::optional<std::int64_t> UtcTextSeconds(QStringView text);

// The time kind's name as stored and shown ("spacecraft", "correlated", "reception",
// "estimated").
const char* TrendTimeKindName(TrendTimeKind kind);

}  // namespace quilmar
