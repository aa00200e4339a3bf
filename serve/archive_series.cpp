// /api/series: one parameter by level of detail; see archive_api.h.
#include <QJsonArray>
#include <cmath>

#include "archive/trend_query.h"
#include "limits/value_names.h"
#include "serve/api_json.h"
#include "serve/archive_api.h"
#if QUILMAR_SERVE_HAS_SERIES
#include "archive/series_query.h"
#endif

namespace quilmar {
namespace {

#if QUILMAR_SERVE_HAS_SERIES
QJsonValue NumberOrNull(double value) {
  return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

// points: a whole number from 1, more than the most taken as the most.
std::optional<int> PointsOf(const QUrlQuery& query) {
  if (!query.hasQueryItem(QStringLiteral("points"))) {
    return kDefaultSeriesPoints;
  }
  bool ok = false;
  const qlonglong points = query.queryItemValue(QStringLiteral("points")).toLongLong(&ok);
  if (!ok || points < 1) {
    return std::nullopt;
  }
  return static_cast<int>(std::min<qlonglong>(points, kMostSeriesPoints));
}
#endif

}  // namespace

HttpReply AnswerSeries(ArchiveReader& reader, const QUrlQuery& query) {
#if QUILMAR_SERVE_HAS_SERIES
  const QString name = query.queryItemValue(QStringLiteral("parameter"), QUrl::FullyDecoded);
  const auto row = RowOfValueName(name.toStdString());
  if (!row) {
    return ErrorReply(400,
                      QStringLiteral("parameter: no value is called '%1' (see /api/parameters)")
                          .arg(name.left(64)));
  }
  const auto points = PointsOf(query);
  if (!points) {
    return ErrorReply(400, QStringLiteral("points: a whole number from 1"));
  }
  const QueryRange range = RangeOf(query);
  if (!range.problem.isEmpty()) {
    return ErrorReply(400, range.problem);
  }
  SeriesRequest request{*row, 0, 0, *points};
  // No span: no timed housekeeping frame yet (or a failed read, which the next one names).
  std::optional<TrendRange> span;
  if (!range.from || !range.to) {
    span = HousekeepingTimeSpan(reader.Store());
    request.fromMs = span ? span->fromUtc * 1000 : 0;
    request.toMs = span ? span->toUtc * 1000 + 999 : 0;
  }
  if (range.from) {
    request.fromMs = range.from->toMSecsSinceEpoch();
  }
  if (range.to) {
    request.toMs = range.to->toMSecsSinceEpoch();
  }
  QJsonObject answer{
      {QStringLiteral("parameter"), name},
      {QStringLiteral("unit"), QString::fromLatin1(kParameterCatalogue[*row].unit)},
      {QStringLiteral("from"), IsoTimeOfMs(request.fromMs)},
      {QStringLiteral("to"), IsoTimeOfMs(request.toMs)},
  };
  QJsonArray list;
  if (span || (range.from && range.to)) {
    const auto series = ReadSeries(reader.Store(), request);
    if (!series) {
      return ArchiveFailed(reader);
    }
    answer[QStringLiteral("level")] = QString::fromLatin1(SeriesLevelName(series->level));
    for (const SeriesPoint& point : series->points) {
      list.append(
          QJsonArray{IsoTimeOfMs(point.timeMs), NumberOrNull(point.low), NumberOrNull(point.high)});
    }
  } else {
    answer[QStringLiteral("level")] = QString::fromLatin1(SeriesLevelName(SeriesLevel::kFrame));
  }
  answer[QStringLiteral("points")] = list;
  return JsonReply(answer);
#else
  (void)reader;
  (void)query;
  return ErrorReply(503, QStringLiteral("series by level of detail are not in this build yet"));
#endif
}

}  // namespace quilmar
