// The archive's passes; see archive_passes.h.
#include "archive_passes.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <optional>
#include <set>

#include "archive.h"
#include "archive_time.h"

namespace quilmar {
namespace {

// A pass while its frames stream by: stations gathered as a set, the last frame number for
// the missing-frame steps.
struct PassInProgress {
  ArchivedPass pass;
  std::set<QString> stations;
  std::optional<std::int32_t> lastNumber;

  void Finish(const std::function<void(const ArchivedPass&)>& each) {
    pass.stations = QStringList(stations.begin(), stations.end());
    each(pass);
  }
};

}  // namespace

bool ForEachPass(Archive& archive, const std::function<void(const ArchivedPass&)>& each) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  // One row per reception, so a frame heard by several stations comes once per station.
  if (!query.exec("SELECT f.id, f.time_utc, f.frame_number, r.station FROM frame f "
                  "JOIN reception r ON r.frame_digest = f.digest WHERE f.time_utc IS NOT NULL "
                  "ORDER BY f.time_utc, f.source_order, f.id")) {
    return archive.Fail(query);
  }
  std::optional<PassInProgress> current;
  qint64 lastId = -1;
  while (query.next()) {
    const QString time = query.value(1).toString();
    const std::optional<QDateTime> at = ParseUtcText(time);
    if (!at) {
      continue;
    }
    if (!current || current->pass.endTime.secsTo(*at) > kPassGapSeconds) {
      if (current) {
        current->Finish(each);
      }
      current.emplace();
      current->pass.start = time;
      current->pass.startTime = *at;
    }
    ArchivedPass& pass = current->pass;
    pass.end = time;
    pass.endTime = *at;
    current->stations.insert(query.value(3).toString());
    if (const qint64 id = query.value(0).toLongLong(); id != lastId) {
      lastId = id;
      ++pass.frames;
      const std::int32_t number = query.value(2).toInt();
      if (current->lastNumber) {
        pass.missing.AddStep(*current->lastNumber, number);
      }
      current->lastNumber = number;
    }
  }
  if (current) {
    current->Finish(each);
  }
  return true;
}

std::optional<QDateTime> LastPassStart(Archive& archive) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  if (!query.exec("SELECT time_utc FROM frame WHERE time_utc IS NOT NULL "
                  "ORDER BY time_utc DESC")) {
    archive.Fail(query);
    return std::nullopt;
  }
  std::optional<QDateTime> start;
  while (query.next()) {
    const std::optional<QDateTime> at = ParseUtcText(query.value(0).toString());
    if (!at) {
      continue;
    }
    if (start && at->secsTo(*start) > kPassGapSeconds) {
      break;
    }
    start = at;
  }
  return start;
}

bool ReadFramesBetween(Archive& archive, const QDateTime& first, const QDateTime& last,
                       const std::function<bool(const ArchivedFrameRead& read)>& each) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(
      "SELECT bytes, time_utc, id FROM frame WHERE time_utc >= ? AND time_utc <= ? "
      "ORDER BY time_utc, source_order, id");
  query.addBindValue(UtcText(first));
  query.addBindValue(UtcText(last));
  if (!query.exec()) {
    return archive.Fail(query);
  }
  FrameBuffer frame{};
  while (query.next()) {
    const QByteArray bytes = query.value(0).toByteArray();
    frame.fill(0);
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), kFrameBufferSize),
                reinterpret_cast<char*>(frame.data()));
    const QString time = query.value(1).toString();
    if (!each({frame, time, query.value(2).toLongLong()})) {
      return true;
    }
  }
  // next() is false at the end of the rows and on a failed read alike.
  return !query.lastError().isValid() || archive.Fail(query);
}

}  // namespace quilmar
