// Reading one parameter's trend; see trend_query.h.
#include "trend_query.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "core/parameter_catalogue.h"
#include "pass_timing.h"

namespace quilmar {
namespace {

// The archive's time kinds in the order of TrendTimeKind: a kind's number is its index.
constexpr FrameTimeKind kTimeKinds[] = {FrameTimeKind::kSpacecraft, FrameTimeKind::kCorrelated,
                                        FrameTimeKind::kReception, FrameTimeKind::kEstimated};

// "CASE time_kind WHEN 'correlated' THEN 1 ... ELSE 0 END": the kind's number, a kind the
// window does not know read as the spacecraft's clock.
QString TimeKindNumberSql() {
  QString sql = QStringLiteral("CASE time_kind");
  for (std::size_t i = 1; i < std::size(kTimeKinds); ++i) {
    sql += QStringLiteral(" WHEN '%1' THEN %2")
               .arg(QLatin1String(FrameTimeKindName(kTimeKinds[i])))
               .arg(i);
  }
  return sql + QStringLiteral(" ELSE 0 END");
}

// Digits text[at, at + count) as a number, or -1.
int Digits(QStringView text, int at, int count) {
  int number = 0;
  for (int i = at; i < at + count; ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9') {
      return -1;
    }
    number = number * 10 + (c - u'0');
  }
  return number;
}

QString BoundText(std::int64_t seconds) {
  return UtcText(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC));
}

}  // namespace

std::optional<std::int64_t> UtcTextSeconds(QStringView text) {
  static constexpr char kPattern[] = "0000-00-00T00:00:00Z";
  if (text.size() != 20) {
    return std::nullopt;
  }
  for (int i = 0; i < 20; ++i) {
    if (kPattern[i] != '0' && text[i] != QLatin1Char(kPattern[i])) {
      return std::nullopt;
    }
  }
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year), std::chrono::month(month),
                            std::chrono::day(day)};
  if (year < 0 || !date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 59) {
    return std::nullopt;
  }
  const std::int64_t days = sys_days(date).time_since_epoch().count();
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

const char* TrendTimeKindName(TrendTimeKind kind) {
  return FrameTimeKindName(kTimeKinds[static_cast<std::size_t>(kind)]);
}

namespace {

// The first or last timed housekeeping frame: the time index finds it at once, where
// min() and max() over the view would scan every frame for its type.
std::optional<std::int64_t> EndOfSpan(Archive& archive, const char* order, bool& failed) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  if (!query.exec(QStringLiteral("SELECT time_utc FROM housekeeping WHERE time_utc IS NOT NULL"
                                 " ORDER BY time_utc %1 LIMIT 1")
                      .arg(QLatin1String(order)))) {
    archive.Fail(query);
    failed = true;
    return std::nullopt;
  }
  if (!query.next()) {
    return std::nullopt;
  }
  return UtcTextSeconds(StoredTimeText(query.value(0)));
}

}  // namespace

std::optional<TrendRange> HousekeepingTimeSpan(Archive& archive) {
  bool failed = false;
  const auto first = EndOfSpan(archive, "ASC", failed);
  const auto last = failed ? std::nullopt : EndOfSpan(archive, "DESC", failed);
  if (!first || !last) {
    return std::nullopt;
  }
  return TrendRange{*first, *last};
}

namespace {

// The time column as seconds since the epoch, computed by the database: a QString per row
// would cost more than the query itself at a million frames.
QString SecondsColumn(const Archive& archive) {
  return archive.IsPostgresql()
             ? QStringLiteral("CAST(extract(epoch FROM CAST(time_utc AS timestamptz)) AS BIGINT)")
             : QStringLiteral("CAST(strftime('%s', time_utc) AS INTEGER)");
}

// The parameter's column name, from the catalogue (never from text a user typed); empty, with
// the archive's error set, for a row that is no parameter.
QString ParameterColumnOf(Archive& archive, int parameterRow) {
  if (parameterRow < 0 || parameterRow >= kParameterCount) {
    archive.Fail(QStringLiteral("no parameter %1").arg(parameterRow));
    return {};
  }
  return QString::fromStdString(ParameterColumn(parameterRow));
}

// The parameter's timed housekeeping values of the frames that `where` (with its values
// bound in order) picks, in time order (frames of one second by their key).
bool ReadTrendWhere(Archive& archive, int parameterRow, const QString& where,
                    const QVariantList& values,
                    const std::function<bool(const TrendSample&)>& sink) {
  const QString column = ParameterColumnOf(archive, parameterRow);
  if (column.isEmpty()) {
    return false;
  }
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  // The kind as a number from the database, for the same reason as the seconds.
  query.prepare(QStringLiteral("SELECT %2, %3, %1, id FROM frame WHERE frame_type = 'S' AND %4"
                               " AND time_utc IS NOT NULL AND %1 IS NOT NULL"
                               " ORDER BY time_utc, id")
                    .arg(column, SecondsColumn(archive), TimeKindNumberSql(), where));
  for (const QVariant& value : values) {
    query.addBindValue(value);
  }
  if (!query.exec()) {
    return archive.Fail(query);
  }
  constexpr int kLastKind = static_cast<int>(std::size(kTimeKinds)) - 1;
  TrendSample sample;
  while (query.next()) {
    sample.utcSeconds = query.value(0).toLongLong();
    sample.kind = static_cast<TrendTimeKind>(std::clamp(query.value(1).toInt(), 0, kLastKind));
    sample.value = query.value(2).toDouble();
    sample.key = query.value(3).toLongLong();
    if (!sink(sample)) {
      break;
    }
  }
  return query.lastError().type() == QSqlError::NoError || archive.Fail(query);
}

}  // namespace

bool ReadTrend(Archive& archive, int parameterRow, const TrendRange& range,
               const std::function<bool(const TrendSample&)>& sink) {
  return ReadTrendWhere(archive, parameterRow, QStringLiteral("time_utc >= ? AND time_utc <= ?"),
                        {BoundText(range.fromUtc), BoundText(range.toUtc)}, sink);
}

std::optional<TrendFrame> FrameOfExtreme(Archive& archive, int parameterRow,
                                         const TrendRange& range, bool highest) {
  const QString column = ParameterColumnOf(archive, parameterRow);
  if (column.isEmpty()) {
    return std::nullopt;
  }
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(QStringLiteral("SELECT id, %2 FROM frame WHERE frame_type = 'S'"
                               " AND time_utc >= ? AND time_utc <= ? AND %1 IS NOT NULL"
                               " ORDER BY %1 %3, time_utc, id LIMIT 1")
                    .arg(column, SecondsColumn(archive),
                         highest ? QLatin1String("DESC") : QLatin1String("ASC")));
  query.addBindValue(BoundText(range.fromUtc));
  query.addBindValue(BoundText(range.toUtc));
  if (!query.exec()) {
    archive.Fail(query);
    return std::nullopt;
  }
  if (!query.next()) {
    return std::nullopt;
  }
  return TrendFrame{query.value(0).toLongLong(), query.value(1).toLongLong()};
}

std::optional<std::int64_t> NewestFrameKey(Archive& archive) {
  QSqlQuery query(archive.Database());
  if (!query.exec(QStringLiteral("SELECT max(id) FROM frame")) || !query.next()) {
    archive.Fail(query);
    return std::nullopt;
  }
  return query.value(0).toLongLong();  // NULL, for no frame, reads 0
}

bool ReadTrendAdded(Archive& archive, int parameterRow, std::int64_t afterKey,
                    const std::function<bool(const TrendSample&)>& sink) {
  return ReadTrendWhere(archive, parameterRow, QStringLiteral("id > ?"),
                        {QVariant::fromValue(static_cast<qint64>(afterKey))}, sink);
}

}  // namespace quilmar
