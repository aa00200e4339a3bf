// The hourly and per-minute overviews of the housekeeping values; see trend_overview.h.
#include "trend_overview.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>
#include <utility>
#include <vector>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "batch_insert.h"
#include "trend_query.h"

namespace quilmar {
namespace {

// The length of the hour a time falls in: "2026-03-05T14" of "2026-03-05T14:05:09Z".
constexpr int kHourLength = 13;
// Buckets to sum up again that lie closer than this are done by one statement, which then also
// sums up the untouched buckets between them: fewer statements for the buckets of a pass.
constexpr std::int64_t kJoinedRunMs = 3'600'000;

bool IsHours(const TrendLevelTable& level) { return level.bucketMs == kTrendHourTable.bucketMs; }

// The start of the bucket a time falls in, also for a time before 1970.
std::int64_t BucketStart(std::int64_t ms, std::int64_t width) {
  return ms - ((ms % width) + width) % width;
}

// The same in SQL: both engines' % keeps the sign of the dividend.
QString BucketStartSql(const QString& ms, std::int64_t width) {
  return QStringLiteral("(%1 - ((%1 % %2) + %2) % %2)").arg(ms).arg(width);
}

// The hours are keyed by their text, as users query them; the minutes by their start.
QString KeyColumn(const TrendLevelTable& level) {
  return IsHours(level) ? QStringLiteral("hour") : QString::fromLatin1(level.startColumn);
}

std::vector<BatchInsert::Column> BucketColumns(const TrendLevelTable& level) {
  using Type = BatchInsert::Type;
  std::vector<BatchInsert::Column> columns;
  if (IsHours(level)) {
    columns.push_back({"hour", Type::kText});
  }
  columns.push_back({level.startColumn, Type::kBigint});
  columns.insert(columns.end(), {{"first_utc", Type::kText},
                                 {"last_utc", Type::kText},
                                 {"first_ms", Type::kBigint},
                                 {"last_ms", Type::kBigint}});
  for (int row = 0; row < kParameterCount; ++row) {
    columns.push_back({TrendLowColumn(row), Type::kDouble});
    columns.push_back({TrendHighColumn(row), Type::kDouble});
  }
  return columns;
}

// The lower or higher of the stored and the new value, NULL only when both are: SQLite's
// two-argument min() is NULL as soon as one side is, PostgreSQL's LEAST skips NULLs.
QString Widen(bool postgresql, const QString& table, const QString& column, bool lower) {
  const QString stored = table + "." + column, fresh = "excluded." + column;
  if (postgresql) {
    return QStringLiteral("%1(%2, %3)").arg(lower ? "LEAST" : "GREATEST", stored, fresh);
  }
  return QStringLiteral("coalesce(%1(%2, %3), %2, %3)").arg(lower ? "min" : "max", stored, fresh);
}

// What follows the new buckets' rows: a bucket already stored keeps the wider of both.
QString WideningTail(bool postgresql, const TrendLevelTable& level) {
  const QString table = QString::fromLatin1(level.table);
  QString tail = " ON CONFLICT (" + KeyColumn(level) + ") DO UPDATE SET ";
  QStringList sets;
  for (const QString column : {"first_utc", "first_ms"}) {
    sets << column + " = " + Widen(postgresql, table, column, true);
  }
  for (const QString column : {"last_utc", "last_ms"}) {
    sets << column + " = " + Widen(postgresql, table, column, false);
  }
  for (int row = 0; row < kParameterCount; ++row) {
    sets << TrendLowColumn(row) + " = " + Widen(postgresql, table, TrendLowColumn(row), true);
    sets << TrendHighColumn(row) + " = " + Widen(postgresql, table, TrendHighColumn(row), false);
  }
  return tail + sets.join(", ");
}

// The level's buckets of the housekeeping frames that `where` keeps, summed up from the frame
// table and widened into the overview.
QString SummingStatement(const Archive& archive, const TrendLevelTable& level,
                         const QString& where) {
  QStringList names, sums;
  QString group = BucketStartSql("time_ms", level.bucketMs);
  if (IsHours(level)) {
    group = UtcTextSql(archive, "time_utc", kHourLength);
    names << "hour";
    sums << group;
  }
  names << level.startColumn << "first_utc"
        << "last_utc"
        << "first_ms"
        << "last_ms";
  sums << BucketStartSql("min(time_ms)", level.bucketMs) << UtcTextSql(archive, "min(time_utc)")
       << UtcTextSql(archive, "max(time_utc)") << "min(time_ms)"
       << "max(time_ms)";
  for (int row = 0; row < kParameterCount; ++row) {
    const QString column = QString::fromStdString(ParameterColumn(row));
    names << TrendLowColumn(row) << TrendHighColumn(row);
    // A NaN reading (NaN on PostgreSQL, the text 'NaN' on SQLite) is no extreme.
    sums << QStringLiteral("min(NULLIF(%1, 'NaN'))").arg(column)
         << QStringLiteral("max(NULLIF(%1, 'NaN'))").arg(column);
  }
  return "INSERT INTO " + QString::fromLatin1(level.table) + " (" + names.join(", ") + ") SELECT " +
         sums.join(", ") + " FROM frame WHERE frame_type = 'S' AND time_ms IS NOT NULL AND " +
         where + " GROUP BY " + group + WideningTail(archive.IsPostgresql(), level);
}

// The buckets from fromMs up to before toMs (bucket starts), summed up from the frames. The
// range is given as times both engines compare by the frame table's time index (text on
// SQLite, timestamptz on PostgreSQL): a frame's time text is its milliseconds cut to seconds.
bool SumUp(Archive& archive, const TrendLevelTable& level, std::int64_t fromMs, std::int64_t toMs) {
  QSqlQuery query(archive.Database());
  query.prepare(SummingStatement(archive, level, "time_utc >= ? AND time_utc < ?"));
  query.addBindValue(UtcTextOfMs(fromMs));
  query.addBindValue(UtcTextOfMs(toMs));
  return query.exec() || archive.Fail(query);
}

// Runs [from, to) of bucket starts, neighbours closer than kJoinedRunMs joined.
std::vector<std::pair<std::int64_t, std::int64_t>> Runs(const std::set<std::int64_t>& starts,
                                                        std::int64_t width) {
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;
  for (const std::int64_t start : starts) {
    if (!runs.empty() && start <= runs.back().second + kJoinedRunMs) {
      runs.back().second = start + width;
    } else {
      runs.emplace_back(start, start + width);
    }
  }
  return runs;
}

bool MergeBuckets(Archive& archive, const TrendLevelTable& level,
                  const TrendHourAccumulator::Buckets& buckets,
                  std::unique_ptr<BatchInsert>& merge) {
  if (buckets.empty()) {
    return true;
  }
  if (!merge) {
    merge = std::make_unique<BatchInsert>(archive, level.table, BucketColumns(level),
                                          WideningTail(archive.IsPostgresql(), level));
  }
  BatchInsert& insert = *merge;
  if (!insert.Begin()) {
    return false;
  }
  for (const auto& [start, bucket] : buckets) {
    if (IsHours(level)) {
      insert.Add(UtcTextOfMs(start).left(kHourLength));
    }
    insert.Add(static_cast<qint64>(start));
    insert.Add(UtcTextOfMs(bucket.firstMs));
    insert.Add(UtcTextOfMs(bucket.lastMs));
    insert.Add(static_cast<qint64>(bucket.firstMs));
    insert.Add(static_cast<qint64>(bucket.lastMs));
    for (int row = 0; row < kParameterCount; ++row) {
      insert.Add(bucket.seen[row] ? BatchValue(bucket.low[row]) : BatchValue());
      insert.Add(bucket.seen[row] ? BatchValue(bucket.high[row]) : BatchValue());
    }
  }
  std::int64_t written = 0;
  return insert.Execute(written);
}

bool SumUpAgain(Archive& archive, const TrendLevelTable& level,
                const TrendHourAccumulator::Buckets& buckets) {
  std::set<std::int64_t> starts;
  for (const auto& entry : buckets) {
    starts.insert(entry.first);
  }
  for (const auto& [from, to] : Runs(starts, level.bucketMs)) {
    if (!SumUp(archive, level, from, to)) {
      return false;
    }
  }
  return true;
}

void AddToBucket(TrendHourAccumulator::Buckets& buckets, std::int64_t width, std::int64_t ms,
                 const FrameRecord& record) {
  const auto [place, isNew] = buckets.try_emplace(BucketStart(ms, width));
  TrendHourAccumulator::Bucket& bucket = place->second;
  if (isNew || ms < bucket.firstMs) {
    bucket.firstMs = ms;
  }
  if (isNew || ms > bucket.lastMs) {
    bucket.lastMs = ms;
  }
  for (const SectionInfo& section : kSections) {
    if (!record.HasSection(section.section)) {
      continue;
    }
    for (int row = section.firstRow; row <= section.lastRow; ++row) {
      const double value = record.values[row];
      if (std::isnan(value)) {
        continue;
      }
      if (!bucket.seen[row]) {
        bucket.low[row] = bucket.high[row] = value;
        bucket.seen[row] = true;
      } else {
        bucket.low[row] = std::min(bucket.low[row], value);
        bucket.high[row] = std::max(bucket.high[row], value);
      }
    }
  }
}

QString ValueColumnsDefinition() {
  QString columns;
  for (int row = 0; row < kParameterCount; ++row) {
    columns += ", " + TrendLowColumn(row) + " DOUBLE PRECISION, " + TrendHighColumn(row) +
               " DOUBLE PRECISION";
  }
  return columns;
}

}  // namespace

QString TrendLowColumn(int row) { return QString::fromStdString(ParameterColumn(row)) + "_min"; }
QString TrendHighColumn(int row) { return QString::fromStdString(ParameterColumn(row)) + "_max"; }

// The hours' millisecond columns came after their values (schema version 5): they stay last,
// so a new archive's table has the columns of an upgraded one, in the same order.
QString TrendHourTableStatement() {
  return "CREATE TABLE trend_hour (hour TEXT PRIMARY KEY, first_utc TEXT NOT NULL,"
         " last_utc TEXT NOT NULL" +
         ValueColumnsDefinition() + ", hour_ms BIGINT, first_ms BIGINT, last_ms BIGINT)";
}

// A chart of a narrow range reads its hours by their start, not by a scan of every hour of
// the mission.
QString TrendHourIndexStatement() {
  return QStringLiteral("CREATE INDEX IF NOT EXISTS trend_hour_start ON trend_hour (hour_ms)");
}

QStringList TrendMinuteStatements() {
  return {
      "CREATE TABLE trend_minute (minute_ms BIGINT PRIMARY KEY, first_utc TEXT NOT NULL,"
      " last_utc TEXT NOT NULL" +
      ValueColumnsDefinition() + ", first_ms BIGINT NOT NULL, last_ms BIGINT NOT NULL)"};
}

bool AddTrendOverviewTables(Archive& archive) {
  const QSqlRecord hours = archive.Database().record(kTrendHourTable.table);
  if (hours.isEmpty() && !archive.Execute(TrendHourTableStatement())) {
    return false;
  }
  for (const char* column : {"hour_ms", "first_ms", "last_ms"}) {
    if (!hours.isEmpty() && !hours.contains(column) &&
        !archive.Execute(
            QStringLiteral("ALTER TABLE trend_hour ADD COLUMN %1 BIGINT").arg(column))) {
      return false;
    }
  }
  if (!archive.Execute(TrendHourIndexStatement())) {
    return false;
  }
  if (!archive.Database().record(kTrendMinuteTable.table).isEmpty()) {
    return true;
  }
  for (const QString& statement : TrendMinuteStatements()) {
    if (!archive.Execute(statement)) {
      return false;
    }
  }
  return true;
}

bool RecomputeTrendOverviewsExactly(Archive& archive, const std::set<std::int64_t>& timesMs) {
  for (const TrendLevelTable& level : {kTrendHourTable, kTrendMinuteTable}) {
    std::set<std::int64_t> starts;
    for (const std::int64_t ms : timesMs) {
      starts.insert(BucketStart(ms, level.bucketMs));
    }
    QSqlQuery remove(archive.Database());
    remove.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 >= ? AND %2 < ?")
                       .arg(level.table, level.startColumn));
    for (const auto& [from, to] : Runs(starts, level.bucketMs)) {
      remove.addBindValue(static_cast<qint64>(from));
      remove.addBindValue(static_cast<qint64>(to));
      if (!remove.exec()) {
        return archive.Fail(remove);
      }
      if (!SumUp(archive, level, from, to)) {
        return false;
      }
    }
  }
  return true;
}

void TrendHourAccumulator::Add(std::int64_t timeMs, const FrameRecord& record) {
  if (record.frameType != 'S') {
    return;
  }
  AddToBucket(hours, kTrendHourTable.bucketMs, timeMs, record);
  AddToBucket(minutes, kTrendMinuteTable.bucketMs, timeMs, record);
}

void TrendHourAccumulator::Clear() {
  hours.clear();
  minutes.clear();
}

TrendHourAccumulator::TrendHourAccumulator(Archive& archive) : archive(archive) {}

TrendHourAccumulator::~TrendHourAccumulator() = default;

bool TrendHourAccumulator::MergeIn() {
  return MergeBuckets(archive, kTrendHourTable, hours, hourMerge) &&
         MergeBuckets(archive, kTrendMinuteTable, minutes, minuteMerge);
}

bool TrendHourAccumulator::RecomputeIn() {
  return SumUpAgain(archive, kTrendHourTable, hours) &&
         SumUpAgain(archive, kTrendMinuteTable, minutes);
}

// The minutes from the frames, then the hours from the minutes: an hour's extremes and times
// are those of its minutes, and reading some 90,000 minutes instead of a million frames halves
// the work (the first time an archive gets the per-minute overview, it sums up both).
bool RebuildTrendOverviews(Archive& archive) {
  QStringList names{"hour", "hour_ms", "first_utc", "last_utc", "first_ms", "last_ms"};
  QStringList sums{"substr(min(first_utc), 1, " + QString::number(kHourLength) + ")",
                   BucketStartSql("min(first_ms)", kTrendHourTable.bucketMs),
                   "min(first_utc)",
                   "max(last_utc)",
                   "min(first_ms)",
                   "max(last_ms)"};
  for (int row = 0; row < kParameterCount; ++row) {
    names << TrendLowColumn(row) << TrendHighColumn(row);
    sums << "min(" + TrendLowColumn(row) + ")"
         << "max(" + TrendHighColumn(row) + ")";
  }
  QSqlQuery query(archive.Database());
  if (!archive.Execute("DELETE FROM trend_minute") || !archive.Execute("DELETE FROM trend_hour") ||
      !query.exec(SummingStatement(archive, kTrendMinuteTable, "time_utc IS NOT NULL")) ||
      !query.exec("INSERT INTO trend_hour (" + names.join(", ") + ") SELECT " + sums.join(", ") +
                  " FROM trend_minute GROUP BY " +
                  BucketStartSql("minute_ms", kTrendHourTable.bucketMs))) {
    return query.lastError().isValid() ? archive.Fail(query) : false;
  }
  return true;
}

bool ReadTrendHours(Archive& archive, int parameterRow,
                    const std::function<void(const TrendHour&)>& sink) {
  if (parameterRow < 0 || parameterRow >= kParameterCount) {
    return archive.Fail(QStringLiteral("no parameter %1").arg(parameterRow));
  }
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  // The column names come from the catalogue, never from text a user typed.
  if (!query.exec(QStringLiteral("SELECT first_utc, last_utc, %1, %2 FROM trend_hour"
                                 " WHERE %1 IS NOT NULL ORDER BY hour")
                      .arg(TrendLowColumn(parameterRow), TrendHighColumn(parameterRow)))) {
    return archive.Fail(query);
  }
  while (query.next()) {
    const auto first = UtcTextSeconds(query.value(0).toString());
    const auto last = UtcTextSeconds(query.value(1).toString());
    if (first && last) {
      sink({*first, *last, query.value(2).toDouble(), query.value(3).toDouble()});
    }
  }
  return query.lastError().type() == QSqlError::NoError || archive.Fail(query);
}

}  // namespace quilmar
