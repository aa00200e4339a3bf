// The archive's passes; see archive_passes.h.
#include "archive_passes.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>

#include "archive.h"
#include "archive_time.h"
#include "frame_identity.h"
#include "pass_timing.h"

namespace quilmar {
namespace {

ArchivedPass PassOfRow(const QSqlQuery& query) {
  ArchivedPass pass;
  pass.id = query.value(0).toLongLong();
  pass.startTime = QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), Qt::UTC);
  pass.endTime = QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC);
  pass.start = UtcText(pass.startTime);
  pass.end = UtcText(pass.endTime);
  pass.frames = query.value(3).toLongLong();
  pass.missing = {query.value(4).toLongLong(), query.value(5).toString()};
  pass.stations = query.value(6).toString().split(QStringLiteral(", "), Qt::SkipEmptyParts);
  if (!query.value(7).isNull()) {
    pass.clockOffsetSeconds = query.value(7).toDouble();
  }
  return pass;
}

constexpr char kPassColumns[] =
    "SELECT id, start_ms, end_ms, frames, missing, missing_ranges, stations, clock_offset_s "
    "FROM pass";

}  // namespace

bool ForEachPass(Archive& archive, const std::function<void(const ArchivedPass&)>& each) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  if (!query.exec(QString::fromLatin1(kPassColumns) + " ORDER BY start_ms")) {
    return archive.Fail(query);
  }
  while (query.next()) {
    each(PassOfRow(query));
  }
  return !query.lastError().isValid() || archive.Fail(query);
}

std::optional<std::vector<ArchivedPass>> PassesBetween(Archive& archive,
                                                       const std::optional<QDateTime>& from,
                                                       const std::optional<QDateTime>& to) {
  std::vector<ArchivedPass> passes;
  if (!ForEachPass(archive, [&](const ArchivedPass& pass) {
        if ((!from || pass.endTime >= *from) && (!to || pass.startTime <= *to)) {
          passes.push_back(pass);
        }
      })) {
    return std::nullopt;
  }
  return passes;
}

std::optional<QDateTime> LastPassStart(Archive& archive) {
  QSqlQuery query(archive.Database());
  if (!query.exec("SELECT max(start_ms) FROM pass")) {
    archive.Fail(query);
    return std::nullopt;
  }
  if (!query.next() || query.value(0).isNull()) {
    return std::nullopt;
  }
  return QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC);
}

namespace {

// One frame of a read, its stations gathered from its reception rows.
struct FrameRow {
  QByteArray bytes;
  QString time;
  QString timeKind;
  QStringList stations;
  std::int64_t timeMs = 0;
  std::int32_t number = 0;
  std::uint64_t tie = 0;
};

constexpr char kFrameRowColumns[] =
    "SELECT f.id, f.bytes, f.time_utc, f.time_kind, f.time_ms, f.frame_number, f.digest,"
    " r.station FROM frame f LEFT JOIN reception r ON r.frame_id = f.id ";

// Reads the query's rows (a row per reception) into frames by key.
bool ReadFrameRows(Archive& archive, QSqlQuery& query,
                   std::map<std::int64_t, FrameRow>& frames) {
  while (query.next()) {
    auto [place, isNew] = frames.try_emplace(query.value(0).toLongLong());
    FrameRow& row = place->second;
    if (isNew) {
      row.bytes = query.value(1).toByteArray();
      row.time = StoredTimeText(query.value(2));
      row.timeKind = query.value(3).toString();
      row.timeMs = query.value(4).toLongLong();
      row.number = query.value(5).toInt();
      row.tie = FrameTie(query.value(6).toByteArray());
    }
    if (const QVariant station = query.value(7);
        !station.isNull() && !row.stations.contains(station.toString())) {
      row.stations << station.toString();
    }
  }
  return !query.lastError().isValid() || archive.Fail(query);
}

bool Hand(std::int64_t key, FrameRow& row,
          const std::function<bool(const ArchivedFrameRead& read)>& each) {
  row.stations.sort();
  return each({FrameBufferOf(row.bytes), row.time, key, row.timeKind, row.stations});
}

}  // namespace

bool ReadFramesBetween(Archive& archive, const QDateTime& first, const QDateTime& last,
                       const std::function<bool(const ArchivedFrameRead& read)>& each) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(QString::fromLatin1(kFrameRowColumns) +
                "WHERE f.time_utc >= ? AND f.time_utc <= ?");
  query.addBindValue(UtcText(first));
  query.addBindValue(UtcText(last));
  std::map<std::int64_t, FrameRow> frames;
  if (!query.exec() || !ReadFrameRows(archive, query, frames)) {
    return query.lastError().isValid() ? archive.Fail(query) : false;
  }
  std::vector<TimingInput> order;
  order.reserve(frames.size());
  for (const auto& [key, row] : frames) {
    order.push_back({key, row.tie, row.number, std::nullopt, false, row.timeMs});
  }
  // Pass by pass, each in its frame counter's order, as the timing orders them.
  for (const TimedPass& pass : TimeFrames(order).passes) {
    for (const std::int64_t key : pass.keys) {
      if (!Hand(key, frames.at(key), each)) {
        return true;
      }
    }
  }
  return true;
}

// Streams in key order, one frame at a time: there may be many of them.
bool ReadUntimedFrames(Archive& archive,
                       const std::function<bool(const ArchivedFrameRead& read)>& each) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  if (!query.exec(QString::fromLatin1(kFrameRowColumns) +
                  "WHERE f.time_utc IS NULL ORDER BY f.id")) {
    return archive.Fail(query);
  }
  std::optional<std::int64_t> key;
  FrameRow row;
  while (query.next()) {
    if (const std::int64_t next = query.value(0).toLongLong(); next != key) {
      if (key && !Hand(*key, row, each)) {
        return true;
      }
      key = next;
      row = {query.value(1).toByteArray(), {}, query.value(3).toString(), {}};
    }
    if (const QVariant station = query.value(7);
        !station.isNull() && !row.stations.contains(station.toString())) {
      row.stations << station.toString();
    }
  }
  if (query.lastError().isValid()) {
    return archive.Fail(query);
  }
  return !key || Hand(*key, row, each) || true;
}

}  // namespace quilmar
