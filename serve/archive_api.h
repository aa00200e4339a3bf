// The JSON API over the archive: /api/latest, /api/passes, /api/series, /api/events,
// /api/frame/KEY and /api/parameters (README "The web page" documents each). One request, one
// answer computed from the archive as it is now: the server keeps no state between requests.
#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QUrlQuery>
#include <array>
#include <optional>
#include <utility>

#include "core/parameter_catalogue.h"
#include "limits/limit_set.h"
#include "serve/archive_reader.h"
#include "serve/http_reply.h"

namespace quilmar {

// Points of a series when the request names none, and the most it may ask for.
inline constexpr int kDefaultSeriesPoints = 1000;
inline constexpr int kMostSeriesPoints = 4000;

// What /api/latest read last, used again while the archive's newest frame key and newest
// source are the same: every import, live session and re-timing comes with new frames or a
// new source (a file added again adds neither, and changes nothing). Those two are looked up
// at most four times a second, so two hundred pages reading once a second cost the database
// four index lookups a second; an answer is at most that quarter of a second behind. Only the
// ages and "now" are made anew. It holds what the archive says, nothing of a client's.
struct LatestCache {
  static constexpr qint64 kMarkMilliseconds = 250;
  std::optional<std::pair<qint64, qint64>> mark;  // newest frame key, newest source id
  QElapsedTimer sinceMark;
  QJsonObject sections;  // without their ages
  std::array<std::optional<qint64>, kSections.size()> timesMs;
};

// The answer to a GET of an /api/ path: 200 with the JSON, 400 for a bad parameter, 404 for
// an unknown path or frame, 503 when the archive failed (the archive's reason as the error).
HttpReply AnswerApi(ArchiveReader& reader, const LimitSet& limits, LatestCache& latest,
                    QByteArrayView path, const QUrlQuery& query);

// /api/series?parameter=COLUMN&from=T&to=T&points=N: the parameter's lowest and highest value
// per point from the archive's coarsest level that resolves it (whole archive without from
// and to); 503 while this build has no series by level of detail.
HttpReply AnswerSeries(ArchiveReader& reader, const QUrlQuery& query);

// The from and to of a query, either left out; the problem when one is given but is no time,
// or when from is later than to.
struct QueryRange {
  std::optional<QDateTime> from;
  std::optional<QDateTime> to;
  QString problem;
};
QueryRange RangeOf(const QUrlQuery& query);

// 503 with the archive's reason.
HttpReply ArchiveFailed(ArchiveReader& reader);

}  // namespace quilmar
