// The archive's passes; see archive_passes.h.
#include "archive_passes.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <future>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "archive.h"
#include "archive_time.h"
#include "batch_insert.h"
#include "binary_rows.h"
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

// On PostgreSQL the frames come first and their stations after, by the range of their keys
// (frames of one time are mostly added together): a join of the receptions made the server
// hash every reception of the archive for each read, and a look-up per frame took longer
// than the read itself. Of the digest only the bytes that order ties travel.
constexpr char kFrameRowsPostgresql[] =
    "SELECT f.id, f.bytes, f.time_kind, f.time_ms, f.frame_number, substring(f.digest FROM 1 FOR 8)"
    " FROM frame f WHERE f.time_utc >= $1 AND f.time_utc < $2";
constexpr char kStationsOfKeysPostgresql[] =
    "SELECT frame_id, station FROM reception WHERE frame_id BETWEEN $1 AND $2";
// Keys added far apart (an older pass added long after): the receptions by a join instead.
constexpr char kStationsOfTimesPostgresql[] =
    "SELECT r.frame_id, r.station FROM reception r JOIN frame f ON f.id = r.frame_id"
    " WHERE f.time_utc >= $1 AND f.time_utc < $2";
// Read by key range while the range holds at most this many keys per frame read.
constexpr std::int64_t kKeysPerFrame = 8;

// Passes are read together, up to about this many frames a query: a mission of short passes
// takes a few hundred queries rather than one for each pass, and memory stays bounded.
constexpr std::int64_t kFramesPerRead = 32768;

// The frames of a read by key.
using FrameRows = std::unordered_map<std::int64_t, FrameRow>;

const QString& TimeKindText(std::string_view kind);

// Reads the frames of a range (without their stations) into frames by key; the server's
// error, or empty.
QString ReadFrameRowsPostgresql(pg_conn* connection, const QString& from, const QString& to,
                                FrameRows& frames) {
  const BinaryRows rows(connection, kFrameRowsPostgresql, {{from.toUtf8()}, {to.toUtf8()}});
  if (!rows.Ok()) {
    return rows.Error();
  }
  for (int i = 0; i < rows.Count(); ++i) {
    const auto [place, isNew] = frames.try_emplace(rows.Integer(i, 0));
    if (!isNew) {
      continue;
    }
    FrameRow& row = place->second;
    const std::string_view bytes = rows.Bytes(i, 1);
    row.bytes = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    row.timeKind = TimeKindText(rows.Bytes(i, 2));
    row.timeMs = rows.Integer(i, 3);
    row.time = UtcTextOfMs(row.timeMs);
    row.number = static_cast<std::int32_t>(rows.Integer(i, 4));
    const std::string_view tie = rows.Bytes(i, 5);
    row.tie = FrameTie(QByteArrayView(tie.data(), static_cast<qsizetype>(tie.size())));
  }
  return {};
}

// The time kinds as shared texts: a read of a million frames makes no text for each.
const QString& TimeKindText(std::string_view kind) {
  static const std::array<QString, 4> kKinds{"spacecraft", "correlated", "reception", "estimated"};
  for (const QString& known : kKinds) {
    if (known.size() == static_cast<qsizetype>(kind.size()) && known == QLatin1StringView(kind)) {
      return known;
    }
  }
  thread_local QString other;
  other = QString::fromUtf8(kind);
  return other;
}

// Reads the rows of a range (a row per reception) into frames by key, through SQLite's own
// interface: Qt SQL's conversions of every value of every row cost more than the database's
// reading on a large range. The database's error, or empty.
QString ReadFrameRowsSqlite(sqlite3* sqlite, const QString& fromText, const QString& toText,
                            FrameRows& frames) {
  sqlite3_stmt* statement = nullptr;
  const QByteArray sql =
      (QString::fromLatin1(kFrameRowColumns) + "WHERE f.time_utc >= ? AND f.time_utc < ?").toUtf8();
  if (sqlite3_prepare_v2(sqlite, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
    return QString::fromUtf8(sqlite3_errmsg(sqlite));
  }
  const QByteArray from = fromText.toUtf8();
  const QByteArray to = toText.toUtf8();
  sqlite3_bind_text(statement, 1, from.constData(), static_cast<int>(from.size()), SQLITE_STATIC);
  sqlite3_bind_text(statement, 2, to.constData(), static_cast<int>(to.size()), SQLITE_STATIC);
  const auto text = [&](int column) {
    return std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                            static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
  };
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    auto [place, isNew] = frames.try_emplace(sqlite3_column_int64(statement, 0));
    FrameRow& row = place->second;
    if (isNew) {
      row.bytes = QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 1)),
                             sqlite3_column_bytes(statement, 1));
      row.timeMs = sqlite3_column_int64(statement, 4);
      row.time = UtcTextOfMs(row.timeMs);
      row.timeKind = TimeKindText(text(3));
      row.number = sqlite3_column_int(statement, 5);
      row.tie = FrameTie(QByteArrayView(static_cast<const char*>(sqlite3_column_blob(statement, 6)),
                                        sqlite3_column_bytes(statement, 6)));
    }
    if (sqlite3_column_type(statement, 7) != SQLITE_NULL) {
      const QString station = QString::fromUtf8(text(7));
      if (!row.stations.contains(station)) {
        row.stations << station;
      }
    }
  }
  const QString reason =
      step == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(sqlite));
  sqlite3_finalize(statement);
  return reason;
}

bool Hand(std::int64_t key, FrameRow& row,
          const std::function<bool(const ArchivedFrameRead& read)>& each) {
  row.stations.sort();
  return each({FrameBufferOf(row.bytes), row.time, key, row.timeKind, row.stations});
}

// One pass's span as read, in whole seconds since the Unix epoch (the stored text's
// resolution), both ends included.
struct Span {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

std::int64_t SecondOf(std::int64_t ms) { return ms >= 0 ? ms / 1000 : (ms - 999) / 1000; }

Span SpanOf(const QDateTime& first, const QDateTime& last) {
  return {SecondOf(first.toMSecsSinceEpoch()), SecondOf(last.toMSecsSinceEpoch())};
}

// The frames of one span, pass by pass in their counter's order; false when each stopped.
bool HandInOrder(FrameRows& frames, std::vector<std::int64_t>& keys,
                 const std::function<bool(const ArchivedFrameRead& read)>& each) {
  std::sort(keys.begin(), keys.end());
  std::vector<TimingInput> order;
  order.reserve(keys.size());
  for (const std::int64_t key : keys) {
    const FrameRow& row = frames.at(key);
    order.push_back({key, row.tie, row.number, std::nullopt, false, row.timeMs});
  }
  for (const TimedPass& pass : TimeFrames(order).passes) {
    for (const std::int64_t key : pass.keys) {
      if (!Hand(key, frames.at(key), each)) {
        return false;
      }
    }
  }
  return true;
}

// Reads the spans in turn, several a query; after each span's frames, spanEnd. The next
// group of spans is read on a thread of its own while this one's frames are handed on, so the
// database's work and the decoding overlap; the thread alone uses the connection meanwhile.
class SpanReader {
 public:
  SpanReader(Archive& archive, const std::function<bool(const ArchivedFrameRead& read)>& each,
             const std::function<bool()>& spanEnd)
      : archive(archive), each(each), spanEnd(spanEnd) {}

  // The spans of a read, with the frames each is expected to hold; false on a database error
  // (Error() set), true also when each or spanEnd stopped the read.
  bool Read(const std::vector<std::pair<Span, std::int64_t>>& spans) {
    if (!OpenHandle()) {
      return false;
    }
    const std::vector<Group> groups = GroupsOf(spans);
    std::future<GroupRead> next;
    FrameRows handed;
    for (std::size_t i = 0; i < groups.size(); ++i) {
      GroupRead read = next.valid() ? next.get() : ReadGroup(groups[i]);
      if (!read.error.isEmpty()) {
        return archive.Fail(archive.WithSystemReason(read.error));
      }
      if (i + 1 < groups.size()) {
        // The frames handed before are freed there too, off the handing thread.
        next = std::async(std::launch::async,
                          [this, group = groups[i + 1], spent = std::move(handed)]() mutable {
                            spent = {};
                            return ReadGroup(group);
                          });
      }
      if (!HandGroup(groups[i], read.rows)) {
        return true;  // stopped; the group read ahead is waited for
      }
      handed = std::move(read.rows);
    }
    return true;
  }

 private:
  using Group = std::span<const std::pair<Span, std::int64_t>>;

  // A group's frames by key, or why they could not be read.
  struct GroupRead {
    FrameRows rows;
    QString error;
  };

  bool OpenHandle() {
    if (archive.IsPostgresql()) {
      // A large range's estimate would have the server compile its statements to machine code,
      // which costs more than the read itself.
      QSqlQuery query(archive.Database());
      if (!query.exec(QStringLiteral("SET jit = off"))) {
        return archive.Fail(query);
      }
      postgresql = PostgresqlHandle(archive);
    } else {
      sqlite = SqliteHandle(archive);
    }
    return postgresql || sqlite ||
           archive.Fail(QStringLiteral("the database driver gives no engine handle"));
  }

  // Spans in groups of about kFramesPerRead frames, each read by one query.
  static std::vector<Group> GroupsOf(const std::vector<std::pair<Span, std::int64_t>>& spans) {
    std::vector<Group> groups;
    for (std::size_t first = 0; first < spans.size();) {
      std::size_t end = first + 1;
      std::int64_t frames = spans[first].second;
      while (end < spans.size() && frames + spans[end].second <= kFramesPerRead) {
        frames += spans[end++].second;
      }
      groups.push_back(std::span(spans).subspan(first, end - first));
      first = end;
    }
    return groups;
  }

  GroupRead ReadGroup(Group group) {
    // Up to the end of the last second: a time column with milliseconds (PostgreSQL's) keeps
    // the frames within it.
    const QString from = UtcTextOfMs(group.front().first.first * 1000);
    const QString to = UtcTextOfMs((group.back().first.last + 1) * 1000);
    GroupRead read;
    read.rows.reserve(static_cast<std::size_t>(kFramesPerRead));
    if (sqlite) {
      read.error = ReadFrameRowsSqlite(sqlite, from, to, read.rows);
    } else {
      read.error = ReadFrameRowsPostgresql(postgresql, from, to, read.rows);
      if (read.error.isEmpty() && !read.rows.empty()) {
        read.error = ReadStationsPostgresql(from, to, read.rows);
      }
    }
    return read;
  }

  // Hands the frames of a group's spans in turn; false when each or spanEnd stopped.
  bool HandGroup(Group group, FrameRows& rows) {
    std::vector<std::vector<std::int64_t>> bySpan(group.size());
    for (const auto& [key, row] : rows) {
      const std::int64_t second = SecondOf(row.timeMs);
      const auto after =
          std::upper_bound(group.begin(), group.end(), second,
                           [](std::int64_t at, const auto& span) { return at < span.first.first; });
      if (after != group.begin() && second <= std::prev(after)->first.last) {
        bySpan[static_cast<std::size_t>(std::prev(after) - group.begin())].push_back(key);
      }
    }
    for (std::vector<std::int64_t>& keys : bySpan) {
      if (!HandInOrder(rows, keys, each) || (spanEnd && !spanEnd())) {
        return false;
      }
    }
    return true;
  }

  // The stations of the frames read, by their keys' range where it is dense, else by time;
  // the server's error, or empty.
  QString ReadStationsPostgresql(const QString& from, const QString& to, FrameRows& rows) {
    const auto [least, most] = std::minmax_element(
        rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const bool byKeys =
        most->first - least->first + 1 <= kKeysPerFrame * static_cast<std::int64_t>(rows.size());
    const BinaryRows stations =
        byKeys ? BinaryRows(postgresql, kStationsOfKeysPostgresql,
                            {{QByteArray::number(static_cast<qint64>(least->first))},
                             {QByteArray::number(static_cast<qint64>(most->first))}})
               : BinaryRows(postgresql, kStationsOfTimesPostgresql,
                            {{from.toUtf8()}, {to.toUtf8()}});
    if (!stations.Ok()) {
      return stations.Error();
    }
    for (int i = 0; i < stations.Count(); ++i) {
      const auto frame = rows.find(stations.Integer(i, 0));
      if (frame == rows.end()) {
        continue;  // a reception of a frame outside the range
      }
      const QString& station = StationText(stations.Bytes(i, 1));
      if (!frame->second.stations.contains(station)) {
        frame->second.stations << station;
      }
    }
    return {};
  }

  // Stations as shared texts: an archive has a handful of them and a million receptions.
  const QString& StationText(std::string_view name) {
    auto known = stationTexts.find(name);
    if (known == stationTexts.end()) {
      known = stationTexts.emplace(std::string(name), QString::fromUtf8(name)).first;
    }
    return known->second;
  }

  Archive& archive;
  const std::function<bool(const ArchivedFrameRead& read)>& each;
  const std::function<bool()>& spanEnd;
  pg_conn* postgresql = nullptr;
  sqlite3* sqlite = nullptr;
  std::map<std::string, QString, std::less<>> stationTexts;  // used by one group read at a time
};

}  // namespace

bool ReadFramesBetween(Archive& archive, const QDateTime& first, const QDateTime& last,
                       const std::function<bool(const ArchivedFrameRead& read)>& each) {
  const std::function<bool()> noEnd;
  SpanReader reader(archive, each, noEnd);
  return reader.Read({{SpanOf(first, last), 0}});
}

bool ReadFramesOfPasses(Archive& archive, const std::vector<ArchivedPass>& passes,
                        const std::optional<QDateTime>& from, const std::optional<QDateTime>& to,
                        const std::function<bool(const ArchivedFrameRead& read)>& each,
                        const std::function<bool()>& passEnd) {
  std::vector<std::pair<Span, std::int64_t>> spans;
  for (const ArchivedPass& pass : passes) {
    const QDateTime first = from ? std::max(pass.startTime, *from) : pass.startTime;
    const QDateTime last = to ? std::min(pass.endTime, *to) : pass.endTime;
    spans.push_back({SpanOf(first, last), pass.frames});
  }
  SpanReader reader(archive, each, passEnd);
  return reader.Read(spans);
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
