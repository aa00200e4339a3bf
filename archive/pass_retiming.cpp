// Re-timing the passes a write touched; see pass_retiming.h.
#include "pass_retiming.h"

#include <sqlite3.h>

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "archive.h"
#include "archive_time.h"
#include "batch_insert.h"
#include "core/pass_gap.h"
#include "frame_identity.h"
#include "pass_timing.h"
#include "trend_overview.h"

namespace quilmar {
namespace {

constexpr std::int64_t kGapMs = std::int64_t{kPassGapSeconds} * 1000;
// Each round reads what the last one found belongs to the passes; a handful settles any
// archive, the bound only guards against a loop.
constexpr int kMaxRounds = 16;
constexpr int kMissingRangesKept = 8;

using Intervals = std::vector<std::pair<std::int64_t, std::int64_t>>;

void Merge(Intervals& intervals, std::int64_t joinWithin) {
  std::sort(intervals.begin(), intervals.end());
  Intervals merged;
  for (const auto& interval : intervals) {
    if (!merged.empty() && interval.first <= merged.back().second + joinWithin) {
      merged.back().second = std::max(merged.back().second, interval.second);
    } else {
      merged.push_back(interval);
    }
  }
  intervals = std::move(merged);
}

bool Covers(const Intervals& region, std::int64_t from, std::int64_t to) {
  const auto after = std::upper_bound(region.begin(), region.end(), std::pair{from, INT64_MAX});
  return after != region.begin() && std::prev(after)->second >= to;
}

constexpr std::uint16_t kNoStation = 0xFFFF;

// One frame as the archive holds it: a hundred bytes or so, since a first import of a long
// log reads its frames back by the hundred thousand.
struct StoredFrame {
  TimingInput input;
  std::optional<std::int64_t> timeMs;
  std::optional<FrameTimeKind> timeKind;
  bool housekeeping = false;
  std::uint16_t station = kNoStation;  // the first station that received it; more in extra
};

std::optional<FrameTimeKind> TimeKindOf(const QString& name) {
  for (const FrameTimeKind kind : {FrameTimeKind::kSpacecraft, FrameTimeKind::kCorrelated,
                                   FrameTimeKind::kReception, FrameTimeKind::kEstimated}) {
    if (name == QLatin1String(FrameTimeKindName(kind))) {
      return kind;
    }
  }
  return std::nullopt;
}

QString MsText(std::int64_t ms) { return UtcTextOfMs(ms); }

std::optional<std::int64_t> OptionalInt(const QVariant& value) {
  return value.isNull() ? std::nullopt : std::optional(value.toLongLong());
}

// A stored pass: its key, extent and stations.
struct StoredPass {
  qint64 id;
  std::int64_t startMs;
  std::int64_t endMs;
  QString stations;
};

// The stored passes that reach into any of the parts (merged, in time order). Passes never
// overlap, so those are among the last one to start before the first part and those that
// start from there to the end of the last: two lookups in the start index, however many parts
// and passes there are.
bool PassesReaching(Archive& archive, const Intervals& parts, std::vector<StoredPass>& passes) {
  if (parts.empty()) {
    return true;
  }
  std::vector<StoredPass> found;
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  const auto take = [&] {
    while (query.next()) {
      found.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(),
                       query.value(2).toLongLong(), query.value(3).toString()});
    }
    return !query.lastError().isValid() || archive.Fail(query);
  };
  query.prepare(
      "SELECT id, start_ms, end_ms, stations FROM pass WHERE start_ms <= ? "
      "ORDER BY start_ms DESC LIMIT 1");
  query.addBindValue(static_cast<qint64>(parts.front().first));
  if (!query.exec() || !take()) {
    return query.lastError().isValid() ? archive.Fail(query) : false;
  }
  query.prepare("SELECT id, start_ms, end_ms, stations FROM pass WHERE start_ms > ? AND start_ms <= ?");
  query.addBindValue(static_cast<qint64>(parts.front().first));
  query.addBindValue(static_cast<qint64>(parts.back().second));
  if (!query.exec() || !take()) {
    return query.lastError().isValid() ? archive.Fail(query) : false;
  }
  for (StoredPass& pass : found) {
    const auto after = std::upper_bound(parts.begin(), parts.end(), std::pair{pass.endMs, INT64_MAX});
    if (after != parts.begin() && std::prev(after)->second >= pass.startMs) {
      passes.push_back(std::move(pass));
    }
  }
  return true;
}

// One row of the frames read back, whichever engine delivered it.
struct FrameRow {
  std::int64_t key;
  std::uint64_t tie;
  std::int32_t number;
  std::optional<std::int64_t> clockMs;
  bool clockEstimated;
  std::optional<std::int64_t> receivedMs;
  std::optional<std::int64_t> timeMs;
  std::optional<FrameTimeKind> timeKind;
  bool housekeeping;
  std::optional<QString> station;
};

constexpr char kFramesOfRegion[] =
    "SELECT f.id, f.digest, f.frame_number, f.clock_ms, f.clock_estimated, f.received_ms,"
    " f.time_ms, f.time_kind, f.frame_type, r.station FROM frame f"
    " LEFT JOIN reception r ON r.frame_id = f.id"
    " WHERE (f.time_utc >= ? AND f.time_utc <= ?) OR (f.clock_ms >= ? AND f.clock_ms <= ?)";

class Retiming {
 public:
  explicit Retiming(Archive& archive) : archive(archive) {}

  bool Run(Intervals touched);

 private:
  bool WidenByStoredPasses();
  bool ReadFrames(const Intervals& parts);
  bool ReadFramesQt(const Intervals& parts);
  bool ReadFramesSqlite(const Intervals& parts);
  void Take(const FrameRow& row);
  bool Settled(const Timing& timing);
  bool WriteTimes(const Timing& timing);
  bool WritePasses(const Timing& timing);

  bool TimeRegion();
  std::uint16_t StationNumber(const QString& name);
  std::set<QString> StationsOf(const TimedPass& pass) const;

  Archive& archive;
  Intervals region;
  Intervals read;
  std::unordered_map<std::int64_t, StoredFrame> frames;
  std::vector<std::pair<std::int64_t, std::uint16_t>> extraStations;  // by frame key
  std::vector<QString> stationNames;
  std::map<QString, std::uint16_t> stationNumbers;
};

// The regions of a long import are timed a group at a time, each group once it holds this
// many frames, so that memory stays bounded by a group and the largest pass.
constexpr std::size_t kFramesPerGroup = 1 << 16;
constexpr std::int64_t kReadTogetherMs = std::int64_t{7} * 86400 * 1000;

bool Retiming::Run(Intervals touched) {
  for (auto& [from, to] : touched) {
    from -= kGapMs;
    to += kGapMs;
  }
  // Times within a week are read together: on PostgreSQL every statement is a round trip,
  // and the few frames read beside the touched ones are timed again to the same result.
  Merge(touched, kReadTogetherMs);
  for (std::size_t i = 0; i < touched.size(); ++i) {
    region.push_back(touched[i]);
    if (!ReadFrames({touched[i]})) {
      return false;
    }
    read.push_back(touched[i]);
    if (frames.size() >= kFramesPerGroup || i + 1 == touched.size()) {
      if (!TimeRegion()) {
        return false;
      }
      region.clear();
      read.clear();
      frames.clear();
      extraStations.clear();
    }
  }
  return true;
}

// Reads what belongs to the passes of the region until nothing more does, then times them.
bool Retiming::TimeRegion() {
  for (int round = 0; round < kMaxRounds; ++round) {
    if (!WidenByStoredPasses()) {
      return false;
    }
    Intervals unread;
    for (const auto& part : region) {
      if (!Covers(read, part.first, part.second)) {
        unread.push_back(part);
      }
    }
    if (!unread.empty() && !ReadFrames(unread)) {
      return false;
    }
    read.insert(read.end(), unread.begin(), unread.end());
    Merge(read, 0);
    std::vector<TimingInput> inputs;
    inputs.reserve(frames.size());
    for (const auto& [key, frame] : frames) {
      inputs.push_back(frame.input);
    }
    const Timing timing = TimeFrames(inputs);
    if (Settled(timing)) {
      return WriteTimes(timing) && WritePasses(timing);
    }
  }
  return archive.Fail(QStringLiteral("the passes could not be timed (they keep growing)"));
}

std::uint16_t Retiming::StationNumber(const QString& name) {
  const auto [place, isNew] =
      stationNumbers.try_emplace(name, static_cast<std::uint16_t>(stationNames.size()));
  if (isNew) {
    stationNames.push_back(name);
  }
  return place->second;
}

std::set<QString> Retiming::StationsOf(const TimedPass& pass) const {
  std::set<QString> stations;
  for (const std::int64_t key : pass.keys) {
    if (const std::uint16_t first = frames.at(key).station; first != kNoStation) {
      stations.insert(stationNames[first]);
    }
    auto more = std::lower_bound(extraStations.begin(), extraStations.end(),
                                 std::pair<std::int64_t, std::uint16_t>{key, 0});
    for (; more != extraStations.end() && more->first == key; ++more) {
      stations.insert(stationNames[more->second]);
    }
  }
  return stations;
}

// A stored pass that reaches into the region is read whole: its frames may have to move.
bool Retiming::WidenByStoredPasses() {
  Intervals found;
  std::vector<StoredPass> passes;
  if (!PassesReaching(archive, region, passes)) {
    return false;
  }
  for (const StoredPass& pass : passes) {
    found.emplace_back(pass.startMs - kGapMs, pass.endMs + kGapMs);
  }
  region.insert(region.end(), found.begin(), found.end());
  Merge(region, 0);
  return true;
}

// The frames whose time or clock lies in the parts, with their stations (a row per reception).
void Retiming::Take(const FrameRow& row) {
  auto [place, isNew] = frames.try_emplace(row.key);
  StoredFrame& frame = place->second;
  if (isNew) {
    frame.input = {row.key, row.tie, row.number, row.clockMs, row.clockEstimated, row.receivedMs};
    frame.timeMs = row.timeMs;
    frame.timeKind = row.timeKind;
    frame.housekeeping = row.housekeeping;
  }
  if (row.station) {
    const std::uint16_t station = StationNumber(*row.station);
    if (frame.station == kNoStation) {
      frame.station = station;
    } else if (frame.station != station) {
      extraStations.emplace_back(row.key, station);
    }
  }
}

// The frames whose time or clock lies in the parts, with their stations (a row per reception).
bool Retiming::ReadFrames(const Intervals& parts) {
  const bool read = archive.IsPostgresql() ? ReadFramesQt(parts) : ReadFramesSqlite(parts);
  std::sort(extraStations.begin(), extraStations.end());
  extraStations.erase(std::unique(extraStations.begin(), extraStations.end()), extraStations.end());
  return read;
}

bool Retiming::ReadFramesQt(const Intervals& parts) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(QString::fromLatin1(kFramesOfRegion));
  for (const auto& [from, to] : parts) {
    query.addBindValue(MsText(from));
    query.addBindValue(MsText(to));
    query.addBindValue(static_cast<qint64>(from));
    query.addBindValue(static_cast<qint64>(to));
    if (!query.exec()) {
      return archive.Fail(query);
    }
    while (query.next()) {
      Take({query.value(0).toLongLong(), FrameTie(query.value(1).toByteArray()),
            query.value(2).toInt(), OptionalInt(query.value(3)), query.value(4).toInt() != 0,
            OptionalInt(query.value(5)), OptionalInt(query.value(6)),
            TimeKindOf(query.value(7).toString()),
            query.value(8).toString() == QLatin1String("S"),
            query.value(9).isNull() ? std::nullopt : std::optional(query.value(9).toString())});
    }
    if (query.lastError().isValid()) {
      return archive.Fail(query);
    }
  }
  return true;
}

// SQLite through its own handle: a first import of a long log reads every frame back, and Qt
// SQL's cost per value would be most of that.
bool Retiming::ReadFramesSqlite(const Intervals& parts) {
  sqlite3* sqlite = SqliteHandle(archive);
  sqlite3_stmt* statement = nullptr;
  if (!sqlite || sqlite3_prepare_v2(sqlite, kFramesOfRegion, -1, &statement, nullptr) != SQLITE_OK) {
    return archive.Fail(sqlite ? QString::fromUtf8(sqlite3_errmsg(sqlite))
                               : QStringLiteral("the database driver gives no engine handle"));
  }
  const auto optional = [&](int column) {
    return sqlite3_column_type(statement, column) == SQLITE_NULL
               ? std::nullopt
               : std::optional(static_cast<std::int64_t>(sqlite3_column_int64(statement, column)));
  };
  const auto text = [&](int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
  };
  int step = SQLITE_DONE;
  for (const auto& [from, to] : parts) {
    const QByteArray fromText = MsText(from).toLatin1();
    const QByteArray toText = MsText(to).toLatin1();
    sqlite3_reset(statement);
    sqlite3_bind_text(statement, 1, fromText.constData(), static_cast<int>(fromText.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, toText.constData(), static_cast<int>(toText.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 3, from);
    sqlite3_bind_int64(statement, 4, to);
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      const auto* digest = static_cast<const char*>(sqlite3_column_blob(statement, 1));
      const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(statement, 8));
      Take({sqlite3_column_int64(statement, 0),
            FrameTie(QByteArrayView(digest, sqlite3_column_bytes(statement, 1))),
            sqlite3_column_int(statement, 2), optional(3), sqlite3_column_int(statement, 4) != 0,
            optional(5), optional(6), TimeKindOf(text(7)),
            type != nullptr && std::strcmp(type, "S") == 0,
            sqlite3_column_type(statement, 9) == SQLITE_NULL ? std::nullopt
                                                             : std::optional(text(9))});
    }
    if (step != SQLITE_DONE) {
      break;
    }
  }
  const QString reason = QString::fromUtf8(sqlite3_errmsg(sqlite));
  sqlite3_finalize(statement);
  return step == SQLITE_DONE || archive.Fail(archive.WithSystemReason(reason));
}

// True when every pass, and every clock and time of the frames read, lies a pass gap inside
// what was read; otherwise the region grows by them and the next round reads more.
bool Retiming::Settled(const Timing& timing) {
  Intervals wanted;
  for (const TimedPass& pass : timing.passes) {
    wanted.emplace_back(pass.startMs - kGapMs, pass.endMs + kGapMs);
  }
  for (const auto& [key, frame] : frames) {
    for (const auto& ms : {frame.input.clockMs, frame.timeMs}) {
      if (ms) {
        wanted.emplace_back(*ms - kGapMs, *ms + kGapMs);
      }
    }
  }
  Merge(wanted, 0);
  bool settled = true;
  for (const auto& [from, to] : wanted) {
    if (!Covers(read, from, to)) {
      region.emplace_back(from, to);
      settled = false;
    }
  }
  Merge(region, 0);
  return settled;
}

// Frames whose time or kind changed, and the hours of the overview they leave and enter.
bool Retiming::WriteTimes(const Timing& timing) {
  QSqlQuery update(archive.Database());
  update.prepare("UPDATE frame SET time_utc = ?, time_ms = ?, time_kind = ? WHERE id = ?");
  std::set<std::int64_t> moved;  // where frames of the overviews left and went
  for (const TimedFrame& timed : timing.frames) {
    StoredFrame& frame = frames.at(timed.key);
    if (frame.timeMs == timed.timeMs && frame.timeKind == timed.kind) {
      continue;
    }
    const QString kind = QString::fromLatin1(FrameTimeKindName(timed.kind));
    const QString text = MsText(timed.timeMs);
    if (frame.housekeeping) {
      if (frame.timeMs) {
        moved.insert(*frame.timeMs);
      }
      moved.insert(timed.timeMs);
    }
    update.addBindValue(text);
    update.addBindValue(static_cast<qint64>(timed.timeMs));
    update.addBindValue(kind);
    update.addBindValue(static_cast<qint64>(timed.key));
    if (!update.exec()) {
      return archive.Fail(update);
    }
  }
  return RecomputeTrendOverviewsExactly(archive, moved);
}

// Qt SQL binds a null string as NULL; these columns hold text, empty or not.
QString NotNull(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

QString MissingRanges(const MissingFrames& missing) {
  QStringList ranges;
  const auto& gaps = missing.Gaps();
  for (std::size_t i = 0; i < gaps.size() && i < kMissingRangesKept; ++i) {
    const std::int32_t lowest = gaps[i].highest - gaps[i].count + 1;
    ranges << (gaps[i].count > 1 ? QStringLiteral("%1-%2").arg(lowest).arg(gaps[i].highest)
                                 : QString::number(lowest));
  }
  if (gaps.size() > kMissingRangesKept) {
    ranges << QStringLiteral("...");
  }
  return ranges.join(QStringLiteral(", "));
}

// The stored passes of the region give way to the passes its frames form now.
bool Retiming::WritePasses(const Timing& timing) {
  std::vector<StoredPass> stored;
  if (!PassesReaching(archive, read, stored)) {
    return false;
  }
  QSqlQuery remove(archive.Database());
  remove.prepare("DELETE FROM pass WHERE id = ?");
  for (const StoredPass& pass : stored) {
    remove.addBindValue(pass.id);
    if (!remove.exec()) {
      return archive.Fail(remove);
    }
  }
  // In one batch: an import of a long log forms thousands of passes.
  using Type = BatchInsert::Type;
  BatchInsert insert(archive, "pass",
                     {{"start_utc", Type::kTimestamp},
                      {"end_utc", Type::kTimestamp},
                      {"start_ms", Type::kBigint},
                      {"end_ms", Type::kBigint},
                      {"frames", Type::kBigint},
                      {"missing", Type::kBigint},
                      {"missing_ranges", Type::kText},
                      {"stations", Type::kText},
                      {"clock_offset_s", Type::kDouble}},
                     QString());
  if (!insert.Begin()) {
    return false;
  }
  for (const TimedPass& pass : timing.passes) {
    const std::set<QString> stations = StationsOf(pass);
    insert.Add(static_cast<qint64>(pass.startMs));
    insert.Add(static_cast<qint64>(pass.endMs));
    insert.Add(static_cast<qint64>(pass.startMs));
    insert.Add(static_cast<qint64>(pass.endMs));
    insert.Add(static_cast<qint64>(pass.frames));
    insert.Add(static_cast<qint64>(pass.missing.Count()));
    insert.Add(NotNull(MissingRanges(pass.missing)));
    insert.Add(NotNull(QStringList(stations.begin(), stations.end()).join(", ")));
    insert.Add(pass.clockOffsetMs ? BatchValue(*pass.clockOffsetMs / 1000.0) : BatchValue());
  }
  std::int64_t inserted = 0;
  return insert.Execute(inserted);
}

}  // namespace

void TouchedTimes::Add(std::int64_t ms) {
  if (!intervals.empty() && ms >= intervals.back().first - kGapMs &&
      ms <= intervals.back().second + kGapMs) {
    intervals.back().first = std::min(intervals.back().first, ms);
    intervals.back().second = std::max(intervals.back().second, ms);
    return;
  }
  intervals.emplace_back(ms, ms);
  if (intervals.size() >= 2 * compactedSize + 1024) {
    Compact();
  }
}

void TouchedTimes::Compact() {
  Merge(intervals, kGapMs);
  compactedSize = intervals.size();
}

std::vector<std::pair<std::int64_t, std::int64_t>> TouchedTimes::Intervals() {
  Compact();
  return intervals;
}

bool RetimePasses(Archive& archive, TouchedTimes& touched) {
  return touched.Empty() || Retiming(archive).Run(touched.Intervals());
}

bool AddStationToPasses(Archive& archive, TouchedTimes& frameTimes, const QString& station) {
  std::map<qint64, QString> listed;
  std::vector<StoredPass> passes;
  if (!PassesReaching(archive, frameTimes.Intervals(), passes)) {
    return false;
  }
  for (const StoredPass& pass : passes) {
    listed.emplace(pass.id, pass.stations);
  }
  QSqlQuery update(archive.Database());
  update.prepare("UPDATE pass SET stations = ? WHERE id = ?");
  for (const auto& [id, text] : listed) {
    QStringList stations = text.split(QStringLiteral(", "), Qt::SkipEmptyParts);
    if (stations.contains(station)) {
      continue;
    }
    stations << station;
    stations.sort();
    update.addBindValue(stations.join(QStringLiteral(", ")));
    update.addBindValue(id);
    if (!update.exec()) {
      return archive.Fail(update);
    }
  }
  return true;
}

}  // namespace quilmar
