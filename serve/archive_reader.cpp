// The archive as the web server reads it; see archive_reader.h.
#include "archive_reader.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

#include "archive/archive_schema.h"
#include "archive/archive_time.h"
#include "archive/frame_identity.h"
#include "core/section_decoders.h"

namespace quilmar {
namespace {

constexpr char kFrameColumns[] = "id, bytes, time_ms, time_kind, frame_number, frame_type";
// A read-only SQLite connection waits this long for a writer's checkpoint.
constexpr int kReadBusyMilliseconds = 5000;

// What keeps a SQLite archive from being served as it is: an older schema (which opening it
// for writing would upgrade), a newer one, or a journal other than WAL (readers would block
// the importer). Read through a read-only connection of its own.
std::optional<QString> SqliteProbeFault(const QString& path) {
  static std::atomic<int> counter{0};
  const QString name = QStringLiteral("quilmar-serve-probe-%1").arg(counter.fetch_add(1));
  std::optional<QString> fault;
  {
    QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    probe.setDatabaseName(path);
    probe.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kReadBusyMilliseconds));
    if (!probe.open()) {
      fault = probe.lastError().text();
    } else {
      QSqlQuery query(probe);
      if (!query.exec(
              QStringLiteral("SELECT value FROM archive_meta WHERE key = 'schema_version'")) ||
          !query.next()) {
        fault = QStringLiteral("not a telemetry archive (no schema version)");
      } else if (query.value(0).toInt() != kSchemaVersion) {
        fault = QStringLiteral(
                    "schema version %1, this program's is %2; the server never writes "
                    "an archive: run `quilmar-hk-archive summary` on it once")
                    .arg(query.value(0).toInt())
                    .arg(kSchemaVersion);
      } else if (!query.exec(QStringLiteral("PRAGMA journal_mode")) || !query.next() ||
                 query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive)) {
        fault = QStringLiteral(
            "not in WAL mode; the server never writes an archive: run "
            "`quilmar-hk-archive summary` on it once");
      }
    }
    probe.close();
  }
  QSqlDatabase::removeDatabase(name);
  return fault;
}

std::optional<StoredFrame> FrameOfRow(const QSqlQuery& query) {
  StoredFrame frame;
  frame.key = query.value(0).toLongLong();
  frame.bytes = query.value(1).toByteArray();
  if (!query.isNull(2)) {
    frame.timeMs = query.value(2).toLongLong();
  }
  frame.timeKind = query.value(3).toString();
  frame.frameNumber = query.value(4).toInt();
  frame.frameType = query.value(5).toString();
  frame.record.Clear();
  FillFrameRecord(FrameBufferOf(frame.bytes), frame.record);
  return frame;
}

}  // namespace

bool ArchiveReader::Open(const ArchiveLocation& where, QString& error) {
  location = where;
  if (location.engine == ArchiveEngine::kSqlite) {
    if (!QFileInfo(location.path).isFile()) {
      error = QStringLiteral("archive %1: no such file").arg(location.display);
      return false;
    }
    if (const auto fault = SqliteProbeFault(location.path)) {
      error = QStringLiteral("archive %1: %2").arg(location.display, *fault);
      return false;
    }
  }
  if (!archive.Open(location, true) || !ReopenReadOnly()) {
    error = archive.Error();
    archive.Close();
    return false;
  }
  return true;
}

void ArchiveReader::ReopenAfterFailure() {
  constexpr qint64 kReopenMilliseconds = 1000;
  if (sinceReopen.isValid() && sinceReopen.elapsed() < kReopenMilliseconds) {
    return;
  }
  sinceReopen.start();
  if (!archive.Open(location, true) || !ReopenReadOnly()) {
    archive.Close();
  }
}

// The connection the archive opened is opened again for reading only: SQLite's read-only
// flag, and query_only on top; on PostgreSQL every transaction of the session is read-only
// (the README's role for the server also has SELECT alone).
bool ArchiveReader::ReopenReadOnly() {
  QSqlDatabase& database = archive.Database();
  if (archive.IsPostgresql()) {
    return archive.Execute(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
  }
  database.close();
  database.setConnectOptions(
      QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kReadBusyMilliseconds));
  if (!database.open()) {
    return archive.Fail(
        QStringLiteral("cannot open it for reading: %1").arg(database.lastError().text()));
  }
  return archive.Execute(QStringLiteral("PRAGMA query_only=1"));
}

// Walks the time index from its newest end; housekeeping frames alternate between the
// EPS/TCS+COM and the CDHS+ADCS pair, so the first match is a row or two away. The index holds
// whole seconds: of the frames of the newest second, the one of the latest milliseconds (and
// key) is taken. Ordering by those too would make the engines sort every matching frame.
std::optional<StoredFrame> ArchiveReader::NewestWithSection(Section section, bool& failed) {
  constexpr int kSameSecond = 8;
  const QString marker = QString::fromStdString(ParameterColumn(SectionInfoOf(section).firstRow));
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  failed = !query.exec(QStringLiteral("SELECT %1, time_utc FROM frame WHERE time_utc IS NOT NULL "
                                      "AND frame_type = 'S' AND %2 IS NOT NULL "
                                      "ORDER BY time_utc DESC LIMIT %3")
                           .arg(QLatin1String(kFrameColumns), marker)
                           .arg(kSameSecond));
  if (failed) {
    archive.Fail(query);
    return std::nullopt;
  }
  std::optional<StoredFrame> newest;
  QVariant second;
  std::pair<qint64, qint64> best{0, 0};  // time_ms, key
  while (query.next()) {
    if (!newest) {
      second = query.value(6);
    } else if (query.value(6) != second) {
      break;
    }
    const std::pair<qint64, qint64> order{query.value(2).toLongLong(), query.value(0).toLongLong()};
    if (!newest || order > best) {
      best = order;
      newest = FrameOfRow(query);
    }
  }
  return newest;
}

std::optional<StoredFrame> ArchiveReader::FirstFrame(const QString& sql, const QVariant& value,
                                                     bool& failed) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(sql);
  query.addBindValue(value);
  failed = !query.exec();
  if (failed) {
    archive.Fail(query);
    return std::nullopt;
  }
  return query.next() ? FrameOfRow(query) : std::nullopt;
}

std::optional<StoredFrame> ArchiveReader::FrameByKey(std::int64_t key, bool& failed) {
  return FirstFrame(QStringLiteral("SELECT %1 FROM frame WHERE id = ?").arg(kFrameColumns),
                    QVariant::fromValue(static_cast<qint64>(key)), failed);
}

std::optional<std::pair<qint64, qint64>> ArchiveReader::ChangeMark() {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  if (!query.exec(
          QStringLiteral("SELECT (SELECT max(id) FROM frame), (SELECT max(id) FROM source)")) ||
      !query.next()) {
    archive.Fail(query);
    return std::nullopt;
  }
  return std::pair{query.value(0).toLongLong(), query.value(1).toLongLong()};
}

std::optional<QStringList> ArchiveReader::StationsOf(std::int64_t key) {
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(
      QStringLiteral("SELECT DISTINCT station FROM reception WHERE frame_id = ? ORDER BY station"));
  query.addBindValue(QVariant::fromValue(static_cast<qint64>(key)));
  if (!query.exec()) {
    archive.Fail(query);
    return std::nullopt;
  }
  QStringList stations;
  while (query.next()) {
    stations << query.value(0).toString();
  }
  return stations;
}

// Two walks of the time index, one each way from the second of timeMs.
std::optional<StoredFrame> ArchiveReader::HousekeepingFrameNear(std::int64_t timeMs, bool& failed) {
  const QString sql = QStringLiteral(
      "SELECT %1 FROM frame WHERE time_utc %2 ? AND frame_type = 'S' "
      "ORDER BY time_utc %3, time_ms %3, id %3 LIMIT 1");
  const QVariant second = UtcTextOfMs(timeMs);
  auto before = FirstFrame(sql.arg(kFrameColumns, "<=", "DESC"), second, failed);
  if (failed) {
    return std::nullopt;
  }
  auto after = FirstFrame(sql.arg(kFrameColumns, ">=", "ASC"), second, failed);
  if (failed || !before || !after) {
    return before ? before : after;
  }
  return timeMs - *before->timeMs <= *after->timeMs - timeMs ? before : after;
}

}  // namespace quilmar
