// The hourly overview of the housekeeping values; see trend_overview.h.
#include "trend_overview.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <vector>

#include "archive.h"
#include "archive_schema.h"
#include "batch_insert.h"
#include "archive_time.h"
#include "trend_query.h"

namespace quilmar {
namespace {

// The length of the hour a time falls in: "2026-03-05T14" of "2026-03-05T14:05:09Z".
constexpr int kHourLength = 13;

QString LowColumn(int row) { return QString::fromStdString(ParameterColumn(row)) + "_min"; }
QString HighColumn(int row) { return QString::fromStdString(ParameterColumn(row)) + "_max"; }

std::vector<BatchInsert::Column> HourColumns() {
  using Type = BatchInsert::Type;
  std::vector<BatchInsert::Column> columns{
      {"hour", Type::kText}, {"first_utc", Type::kText}, {"last_utc", Type::kText}};
  for (int row = 0; row < kParameterCount; ++row) {
    columns.push_back({LowColumn(row), Type::kDouble});
    columns.push_back({HighColumn(row), Type::kDouble});
  }
  return columns;
}

// The lower or higher of the stored and the new value, NULL only when both are: SQLite's
// two-argument min() is NULL as soon as one side is, PostgreSQL's LEAST skips NULLs.
QString Widen(bool postgresql, const QString& column, bool lower) {
  const QString stored = "trend_hour." + column, fresh = "excluded." + column;
  if (postgresql) {
    return QStringLiteral("%1(%2, %3)").arg(lower ? "LEAST" : "GREATEST", stored, fresh);
  }
  return QStringLiteral("coalesce(%1(%2, %3), %2, %3)").arg(lower ? "min" : "max", stored, fresh);
}

// What follows the new hours' rows: an hour already stored keeps the wider of both.
QString WideningTail(bool postgresql) {
  QString tail =
      " ON CONFLICT (hour) DO UPDATE SET first_utc = " + Widen(postgresql, "first_utc", true) +
      ", last_utc = " + Widen(postgresql, "last_utc", false);
  for (int row = 0; row < kParameterCount; ++row) {
    tail += ", " + LowColumn(row) + " = " + Widen(postgresql, LowColumn(row), true);
    tail += ", " + HighColumn(row) + " = " + Widen(postgresql, HighColumn(row), false);
  }
  return tail;
}

// The hours of the housekeeping frames timed from `from` up to `to` (hour texts, both
// included), summed up from the frame table and widened into the overview.
bool RecomputeHours(Archive& archive, const QString& from, const QString& to) {
  const QString hour = UtcTextSql(archive, "time_utc", kHourLength);
  QString names = "hour, first_utc, last_utc";
  QString sums = hour + ", " + UtcTextSql(archive, "min(time_utc)") + ", " +
                 UtcTextSql(archive, "max(time_utc)");
  for (int row = 0; row < kParameterCount; ++row) {
    const QString column = QString::fromStdString(ParameterColumn(row));
    names += ", " + LowColumn(row) + ", " + HighColumn(row);
    // A NaN reading (NaN on PostgreSQL, the text 'NaN' on SQLite) is no extreme.
    sums += QStringLiteral(", min(NULLIF(%1, 'NaN')), max(NULLIF(%1, 'NaN'))").arg(column);
  }
  QSqlQuery query(archive.Database());
  // From the first second of the first hour to before the hour after the last, as times both
  // engines compare (text on SQLite, timestamptz on PostgreSQL).
  query.prepare("INSERT INTO trend_hour (" + names + ") SELECT " + sums +
                " FROM frame WHERE frame_type = 'S' AND time_utc >= ? AND time_utc < ? GROUP BY " +
                hour + WideningTail(archive.IsPostgresql()));
  const QDateTime first = QDateTime::fromString(from + ":00:00Z", Qt::ISODate);
  const QDateTime afterLast = QDateTime::fromString(to + ":00:00Z", Qt::ISODate).addSecs(3600);
  query.addBindValue(UtcText(first.isValid() ? first : QDateTime::fromSecsSinceEpoch(0, Qt::UTC)));
  query.addBindValue(UtcText(afterLast.isValid() ? afterLast
                                                 : QDateTime(QDate(9999, 1, 1), QTime(0, 0), Qt::UTC)));
  return query.exec() || archive.Fail(query);
}

}  // namespace

QString TrendHourOf(const QString& timeUtc) { return timeUtc.left(kHourLength); }

bool RecomputeTrendHoursExactly(Archive& archive, const std::set<QString>& hours) {
  QSqlQuery remove(archive.Database());
  remove.prepare("DELETE FROM trend_hour WHERE hour = ?");
  for (const QString& hour : hours) {
    remove.addBindValue(hour);
    if (!remove.exec() || !RecomputeHours(archive, hour, hour)) {
      return remove.lastError().isValid() ? archive.Fail(remove) : false;
    }
  }
  return true;
}

QString TrendHourTableStatement() {
  QString statement =
      "CREATE TABLE trend_hour (hour TEXT PRIMARY KEY, first_utc TEXT NOT NULL,"
      " last_utc TEXT NOT NULL";
  for (int row = 0; row < kParameterCount; ++row) {
    statement +=
        ", " + LowColumn(row) + " DOUBLE PRECISION, " + HighColumn(row) + " DOUBLE PRECISION";
  }
  return statement + ")";
}

void TrendHourAccumulator::Add(const QString& timeUtc, const FrameRecord& record) {
  if (record.frameType != 'S' || timeUtc.size() < kHourLength) {
    return;
  }
  Hour& hour = hours[timeUtc.left(kHourLength)];
  if (hour.first.isEmpty() || timeUtc < hour.first) {
    hour.first = timeUtc;
  }
  if (timeUtc > hour.last) {
    hour.last = timeUtc;
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
      if (!hour.seen[row]) {
        hour.low[row] = hour.high[row] = value;
        hour.seen[row] = true;
      } else {
        hour.low[row] = std::min(hour.low[row], value);
        hour.high[row] = std::max(hour.high[row], value);
      }
    }
  }
}

TrendHourAccumulator::TrendHourAccumulator(Archive& archive) : archive(archive) {}

TrendHourAccumulator::~TrendHourAccumulator() = default;

bool TrendHourAccumulator::MergeIn() {
  if (hours.empty()) {
    return true;
  }
  if (!merge) {
    merge = std::make_unique<BatchInsert>(archive, "trend_hour", HourColumns(),
                                          WideningTail(archive.IsPostgresql()));
  }
  BatchInsert& insert = *merge;
  if (!insert.Begin()) {
    return false;
  }
  for (const auto& [name, hour] : hours) {
    insert.Add(name);
    insert.Add(hour.first);
    insert.Add(hour.last);
    for (int row = 0; row < kParameterCount; ++row) {
      insert.Add(hour.seen[row] ? BatchValue(hour.low[row]) : BatchValue());
      insert.Add(hour.seen[row] ? BatchValue(hour.high[row]) : BatchValue());
    }
  }
  std::int64_t written = 0;
  return insert.Execute(written);
}

bool TrendHourAccumulator::RecomputeIn() {
  return hours.empty() || RecomputeHours(archive, hours.begin()->first, hours.rbegin()->first);
}

bool RebuildTrendHours(Archive& archive) {
  return archive.Execute("DELETE FROM trend_hour") && RecomputeHours(archive, "", "");
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
                      .arg(LowColumn(parameterRow), HighColumn(parameterRow)))) {
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
