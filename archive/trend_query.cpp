// Reading one parameter's trend; see trend_query.h.
#include "trend_query.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <chrono>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "core/parameter_catalogue.h"

namespace quilmar {
namespace {

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

TrendTimeKind KindOf(QStringView text) {
  if (text == QLatin1String(kTimeFromReception)) {
    return TrendTimeKind::kReception;
  }
  if (text == QLatin1String(kTimeEstimated)) {
    return TrendTimeKind::kEstimated;
  }
  return TrendTimeKind::kSpacecraft;
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
  switch (kind) {
    case TrendTimeKind::kReception:
      return kTimeFromReception;
    case TrendTimeKind::kEstimated:
      return kTimeEstimated;
    case TrendTimeKind::kSpacecraft:
      break;
  }
  return kTimeFromSpacecraft;
}

std::optional<TrendRange> HousekeepingTimeSpan(Archive& archive) {
  QSqlQuery query(archive.Database());
  if (!query.exec("SELECT min(time_utc), max(time_utc) FROM housekeeping")) {
    archive.Fail(query);
    return std::nullopt;
  }
  if (!query.next() || query.isNull(0)) {
    return std::nullopt;
  }
  const auto first = UtcTextSeconds(query.value(0).toString());
  const auto last = UtcTextSeconds(query.value(1).toString());
  if (!first || !last) {
    return std::nullopt;
  }
  return TrendRange{*first, *last};
}

bool ReadTrend(Archive& archive, int parameterRow, const TrendRange& range,
               const std::function<bool(const TrendSample&)>& sink) {
  if (parameterRow < 0 || parameterRow >= kParameterCount) {
    return archive.Fail(QStringLiteral("no parameter %1").arg(parameterRow));
  }
  // The column name comes from the catalogue, never from text a user typed.
  const QString column = QString::fromStdString(ParameterColumn(parameterRow));
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(QStringLiteral("SELECT time_utc, time_kind, %1 FROM housekeeping"
                               " WHERE time_utc >= ? AND time_utc <= ? AND %1 IS NOT NULL"
                               " ORDER BY time_utc")
                    .arg(column));
  query.addBindValue(BoundText(range.fromUtc));
  query.addBindValue(BoundText(range.toUtc));
  if (!query.exec()) {
    return archive.Fail(query);
  }
  TrendSample sample;
  while (query.next()) {
    const auto seconds = UtcTextSeconds(query.value(0).toString());
    if (!seconds) {
      continue;
    }
    sample.utcSeconds = *seconds;
    sample.kind = KindOf(query.value(1).toString());
    sample.value = query.value(2).toDouble();
    if (!sink(sample)) {
      break;
    }
  }
  return query.lastError().type() == QSqlError::NoError || archive.Fail(query);
}

}  // namespace quilmar
