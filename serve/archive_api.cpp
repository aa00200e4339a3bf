// The JSON API over the archive; see archive_api.h.
#include "archive_api.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <optional>
#include <sstream>

#include "archive/archive_events.h"
#include "archive/archive_passes.h"
#include "archive/trend_query.h"
#include "limits/value_names.h"
#include "serve/api_json.h"

namespace quilmar {

QueryRange RangeOf(const QUrlQuery& query) {
  QueryRange range;
  for (const char* name : {"from", "to"}) {
    const QString key = QLatin1String(name);
    if (!query.hasQueryItem(key)) {
      continue;
    }
    const QString text = query.queryItemValue(key, QUrl::FullyDecoded);
    const auto time = ParseQueryTime(text);
    if (!time) {
      range.problem =
          QStringLiteral("%1: not a time: '%2' (use 2026-03-05T14:02:11Z)").arg(key, text.left(64));
      return range;
    }
    (key == QLatin1String("from") ? range.from : range.to) = time;
  }
  if (range.from && range.to && *range.from > *range.to) {
    range.problem = QStringLiteral("from is later than to");
  }
  return range;
}

HttpReply ArchiveFailed(ArchiveReader& reader) {
  const QString reason = reader.Store().Error();
  reader.ReopenAfterFailure();
  return ErrorReply(503, reason.isEmpty() ? QStringLiteral("the archive failed") : reason);
}

namespace {

// Reads the newest frame of each section into the cache; false when the archive failed.
bool ReadLatest(ArchiveReader& reader, const LimitSet& limits, LatestCache& latest) {
  QJsonObject sections;
  for (std::size_t i = 0; i < kSections.size(); ++i) {
    const SectionInfo& info = kSections[i];
    bool failed = false;
    const auto frame = reader.NewestWithSection(info.section, failed);
    if (failed) {
      return false;
    }
    const QString name = QString::fromLatin1(info.name);
    latest.timesMs[i] = frame ? frame->timeMs : std::nullopt;
    if (!frame) {
      sections[name] = QJsonValue();
      continue;
    }
    QJsonObject section;
    section[QStringLiteral("frame")] = static_cast<qint64>(frame->key);
    section[QStringLiteral("time")] = IsoTimeOfMs(*frame->timeMs);
    section[QStringLiteral("time_kind")] = frame->timeKind;
    section[QStringLiteral("values")] = SectionValuesJson(frame->record, info.section, limits);
    sections[name] = section;
  }
  latest.sections = sections;
  return true;
}

HttpReply Latest(ArchiveReader& reader, const LimitSet& limits, LatestCache& latest) {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (!latest.mark || !latest.sinceMark.isValid() ||
      latest.sinceMark.elapsed() >= LatestCache::kMarkMilliseconds) {
    const auto mark = reader.ChangeMark();
    if (!mark) {
      return ArchiveFailed(reader);
    }
    if (latest.mark != mark) {
      latest.mark.reset();
      if (!ReadLatest(reader, limits, latest)) {
        return ArchiveFailed(reader);
      }
      latest.mark = mark;
    }
    latest.sinceMark.start();
  }
  const auto& mark = latest.mark;
  QJsonObject sections = latest.sections;
  for (std::size_t i = 0; i < kSections.size(); ++i) {
    if (const auto timeMs = latest.timesMs[i]) {
      const QString name = QString::fromLatin1(kSections[i].name);
      QJsonObject section = sections.value(name).toObject();
      section[QStringLiteral("age_s")] = std::floor(static_cast<double>(now - *timeMs) / 1000);
      sections[name] = section;
    }
  }
  return JsonReply(QJsonObject{{QStringLiteral("sections"), sections},
                               {QStringLiteral("newest_frame"), mark->first},
                               {QStringLiteral("now"), IsoTimeOfMs(now)}});
}

HttpReply Passes(ArchiveReader& reader, const QUrlQuery& query) {
  const QueryRange range = RangeOf(query);
  if (!range.problem.isEmpty()) {
    return ErrorReply(400, range.problem);
  }
  const auto passes = PassesBetween(reader.Store(), range.from, range.to);
  if (!passes) {
    return ArchiveFailed(reader);
  }
  QJsonArray list;
  for (const ArchivedPass& pass : *passes) {
    list.append(PassJson(pass));
  }
  return JsonReply(QJsonObject{{QStringLiteral("passes"), list}});
}

HttpReply Events(ArchiveReader& reader, const LimitSet& limits, const QUrlQuery& query) {
  const QueryRange range = RangeOf(query);
  if (!range.problem.isEmpty()) {
    return ErrorReply(400, range.problem);
  }
  std::ostringstream out;
  if (!WriteEvents(reader.Store(), limits, ExportRange{range.from, range.to}, ArchiveFormat::kJson,
                   out)) {
    return ArchiveFailed(reader);
  }
  const QJsonDocument written = QJsonDocument::fromJson(QByteArray::fromStdString(out.str()));
  return JsonReply(
      QJsonObject{{QStringLiteral("events"), written.object().value(QStringLiteral("episodes"))}});
}

HttpReply FrameReply(ArchiveReader& reader, const LimitSet& limits,
                     const std::optional<StoredFrame>& frame, bool failed, const QString& missing) {
  if (failed) {
    return ArchiveFailed(reader);
  }
  if (!frame) {
    return ErrorReply(404, missing);
  }
  const auto stations = reader.StationsOf(frame->key);
  if (!stations) {
    return ArchiveFailed(reader);
  }
  QJsonObject object = FrameJson(*frame);
  object[QStringLiteral("stations")] = QJsonArray::fromStringList(*stations);
  object[QStringLiteral("values")] = FrameValuesJson(frame->record, limits);
  return JsonReply(object);
}

HttpReply Frame(ArchiveReader& reader, const LimitSet& limits, QByteArrayView keyText) {
  bool number = false;
  const qlonglong key = keyText.toByteArray().toLongLong(&number);
  if (!number || key <= 0) {
    return ErrorReply(400, QStringLiteral("a frame's key is a positive whole number"));
  }
  bool failed = false;
  const auto frame = reader.FrameByKey(key, failed);
  return FrameReply(reader, limits, frame, failed, QStringLiteral("no frame with key %1").arg(key));
}

HttpReply FrameNear(ArchiveReader& reader, const LimitSet& limits, const QUrlQuery& query) {
  const QString text = query.queryItemValue(QStringLiteral("time"), QUrl::FullyDecoded);
  const auto time = ParseQueryTime(text);
  if (!time) {
    return ErrorReply(400, QStringLiteral("time: not a time: '%1'").arg(text.left(64)));
  }
  bool failed = false;
  const auto frame = reader.HousekeepingFrameNear(time->toMSecsSinceEpoch(), failed);
  return FrameReply(reader, limits, frame, failed, QStringLiteral("no housekeeping frame"));
}

}  // namespace

HttpReply AnswerApi(ArchiveReader& reader, const LimitSet& limits, LatestCache& latest,
                    QByteArrayView path, const QUrlQuery& query) {
  if (path == "/api/latest") {
    return Latest(reader, limits, latest);
  }
  if (path == "/api/passes") {
    return Passes(reader, query);
  }
  if (path == "/api/events") {
    return Events(reader, limits, query);
  }
  if (path == "/api/series") {
    return AnswerSeries(reader, query);
  }
  if (path == "/api/parameters") {
    return JsonReply(QJsonObject{{QStringLiteral("parameters"), ParametersJson()}});
  }
  if (path == "/api/frame") {
    return FrameNear(reader, limits, query);
  }
  constexpr QByteArrayView kFramePrefix = "/api/frame/";
  if (path.startsWith(kFramePrefix) && path.size() > kFramePrefix.size()) {
    return Frame(reader, limits, path.sliced(kFramePrefix.size()));
  }
  return ErrorReply(404, QStringLiteral("no such endpoint"));
}

}  // namespace quilmar
