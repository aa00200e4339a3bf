// One parameter's series by level of detail; see series_query.h.
#include "series_query.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <limits>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "core/parameter_catalogue.h"
#include "core/pass_gap.h"
#include "trend_overview.h"

namespace quilmar {
namespace {

constexpr std::int64_t kPassGapMs = std::int64_t{kPassGapSeconds} * 1000;
// The range times the columns stays below this, so the column of a time is computed in 64
// bits on both engines (SQLite would turn an overflowing product into a rough float).
constexpr std::int64_t kLargestProduct = std::int64_t{1} << 62;
// Times further than some 4,400 years from 1970 are refused: a bucket's width before the range
// and the time text of its ends stay computable.
constexpr std::int64_t kFarthestMs = std::int64_t{1} << 47;

// The range's width in milliseconds, both ends counted; nullopt when it is empty or the
// column arithmetic would not fit.
std::optional<std::int64_t> Span(const SeriesRequest& request) {
  std::int64_t span = 0, product = 0;
  if (request.toMs < request.fromMs || request.columns < 1 || request.fromMs < -kFarthestMs ||
      request.toMs > kFarthestMs || __builtin_sub_overflow(request.toMs, request.fromMs, &span) ||
      __builtin_add_overflow(span, 1, &span) ||
      __builtin_mul_overflow(span, std::int64_t{request.columns}, &product) ||
      product >= kLargestProduct) {
    return std::nullopt;
  }
  return span;
}

// The statement of a level: per column of the request, the earliest first and latest last time
// and the lowest and highest value of the buckets placed in it. Bound in order: fromMs,
// columns, span (the column), then the range's bounds.
QString SeriesStatement(SeriesLevel level, int row) {
  const QString column = QStringLiteral(
      "(CAST(%1 AS BIGINT) - CAST(? AS BIGINT)) * CAST(? AS BIGINT) / CAST(? AS BIGINT)");
  if (level == SeriesLevel::kFrame) {
    // A NaN reading (NaN on PostgreSQL, the text 'NaN' on SQLite) is no extreme. The time text
    // (seconds, indexed) narrows the frames down before their milliseconds decide.
    const QString value =
        QStringLiteral("NULLIF(%1, 'NaN')").arg(QString::fromStdString(ParameterColumn(row)));
    return "SELECT " + column.arg("time_ms") +
           " AS series_column, min(time_ms), max(time_ms), min(" + value + "), max(" + value +
           ") FROM frame WHERE frame_type = 'S' AND time_utc >= ? AND time_utc <= ? AND"
           " time_ms >= ? AND time_ms <= ? AND " +
           value + " IS NOT NULL GROUP BY series_column ORDER BY series_column";
  }
  const TrendLevelTable& table = level == SeriesLevel::kHour ? kTrendHourTable : kTrendMinuteTable;
  // The start narrows the buckets down by its index; a bucket whose first frame lies in the
  // range starts at most a bucket's width before it.
  return QStringLiteral(
             "SELECT %1 AS series_column, min(first_ms), max(last_ms), min(%2), max(%3) FROM %4"
             " WHERE %5 > ? AND %5 <= ? AND first_ms >= ? AND first_ms <= ? AND %2 IS NOT NULL"
             " GROUP BY series_column ORDER BY series_column")
      .arg(column.arg("first_ms"), TrendLowColumn(row), TrendHighColumn(row), table.table,
           table.startColumn);
}

std::int64_t BucketMs(SeriesLevel level) {
  return level == SeriesLevel::kHour ? kTrendHourTable.bucketMs : kTrendMinuteTable.bucketMs;
}

void BindBounds(QSqlQuery& query, SeriesLevel level, const SeriesRequest& request) {
  if (level == SeriesLevel::kFrame) {
    query.addBindValue(UtcTextOfMs(request.fromMs));
    query.addBindValue(UtcTextOfMs(request.toMs));
  } else {
    query.addBindValue(static_cast<qint64>(request.fromMs - BucketMs(level)));
    query.addBindValue(static_cast<qint64>(request.toMs));
  }
  query.addBindValue(static_cast<qint64>(request.fromMs));
  query.addBindValue(static_cast<qint64>(request.toMs));
}

// Appends a column's point, after a gap point when the pass gap passed since the points before.
void AppendPoint(Series& series, SeriesPoint point, std::int64_t& latest) {
  if (!series.points.empty() && point.timeMs - latest > kPassGapMs) {
    const double gap = std::numeric_limits<double>::quiet_NaN();
    const std::int64_t middle = latest + (point.timeMs - latest) / 2;
    series.points.push_back({middle, gap, gap, middle});
  }
  latest = series.points.empty() ? point.lastMs : std::max(latest, point.lastMs);
  series.points.push_back(point);
}

}  // namespace

SeriesLevel SeriesLevelFor(const SeriesRequest& request) {
  const std::int64_t columns = std::max(request.columns, 1);
  const std::int64_t span = Span(request).value_or(0);
  if (kTrendHourTable.bucketMs * columns <= span) {
    return SeriesLevel::kHour;
  }
  return kTrendMinuteTable.bucketMs * columns <= span ? SeriesLevel::kMinute : SeriesLevel::kFrame;
}

std::optional<Series> ReadSeries(Archive& archive, const SeriesRequest& request) {
  if (request.parameterRow < 0 || request.parameterRow >= kParameterCount) {
    archive.Fail(QStringLiteral("no parameter %1").arg(request.parameterRow));
    return std::nullopt;
  }
  const std::optional<std::int64_t> span = Span(request);
  if (!span) {
    archive.Fail(QStringLiteral("no series from %1 to %2 ms in %3 columns")
                     .arg(request.fromMs)
                     .arg(request.toMs)
                     .arg(request.columns));
    return std::nullopt;
  }
  Series series;
  series.level = SeriesLevelFor(request);
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  // The column names come from the catalogue, never from text a user typed.
  if (!query.prepare(SeriesStatement(series.level, request.parameterRow))) {
    archive.Fail(query);
    return std::nullopt;
  }
  query.addBindValue(static_cast<qint64>(request.fromMs));
  query.addBindValue(static_cast<qint64>(request.columns));
  query.addBindValue(static_cast<qint64>(*span));
  BindBounds(query, series.level, request);
  if (!query.exec()) {
    archive.Fail(query);
    return std::nullopt;
  }
  std::int64_t latest = 0;
  while (query.next()) {
    AppendPoint(series,
                {query.value(1).toLongLong(), query.value(3).toDouble(), query.value(4).toDouble(),
                 query.value(2).toLongLong()},
                latest);
  }
  if (query.lastError().type() != QSqlError::NoError) {
    archive.Fail(query);
    return std::nullopt;
  }
  return series;
}

const char* SeriesLevelName(SeriesLevel level) {
  switch (level) {
    case SeriesLevel::kHour:
      return "hour";
    case SeriesLevel::kMinute:
      return "minute";
    case SeriesLevel::kFrame:
      return "frame";
  }
  return "frame";
}

}  // namespace quilmar
