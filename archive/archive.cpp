// An open archive; see archive.h.
#include "archive.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <atomic>
#include <cstring>
#include <utility>

#include "archive_schema.h"

namespace quilmar {
namespace {

// libpq keywords every PostgreSQL connection gets unless its URL sets them. Without a bound,
// a server host that vanished (switched off, a cable pulled, a NAT that forgot the connection)
// holds the window, a live session or an import at connect() until the system's TCP timeout,
// minutes later, and a statement waiting for its answer for the two hours before the system's
// first keepalive probe. The probes (after 10 s of silence, every 5 s, 3 unanswered) and the
// user timeout on unacknowledged data find such a host within about 25 s, as the TNC's
// connection does; a server that is alive answers them however long a statement runs. libpq
// leaves them out on a Unix socket.
constexpr std::pair<const char*, int> kPostgresqlConnectDefaults[] = {
    {"connect_timeout", 10},    {"keepalives", 1},       {"keepalives_idle", 10},
    {"keepalives_interval", 5}, {"keepalives_count", 3}, {"tcp_user_timeout", 25000},
};
// The advisory lock that serialises writers on a PostgreSQL archive ("QHKA").
constexpr qint64 kWriteLockKey = 0x51484B41;
// SQLite pages of a new archive. A frame row (its bytes, digest and 93 values) is nearly a
// kilobyte: larger pages hold more rows each, so an import splits and writes far fewer
// pages (a million frames take about a tenth less CPU than with 16 KiB pages, and 16 KiB
// a tenth less than the 4 KiB default). A live commit of one frame writes a handful of
// pages, about 200 KiB. Archives made earlier keep their page size.
constexpr int kSqlitePageBytes = 32768;
// A reading connection's page cache (KiB). It bounds the memory of exports and queries;
// beyond it SQLite reads again from the file, which the system caches anyway.
constexpr int kSqliteReadCacheKib = 65536;
// The page cache while a connection writes (KiB). Digest keys arrive in random order, so
// every frame touches one random leaf page of each of the two digest indexes (about 45 MB
// each per million frames). A cache that holds them turns each insert's page miss and
// spill into a lookup in memory: an import of a million frames then takes half the time.
// SQLite allocates pages only as they are used, so small imports take less.
constexpr int kSqliteWriteCacheKib = 262144;

QString NextConnectionName() {
  static std::atomic<int> counter{0};
  return QStringLiteral("quilmar-archive-%1").arg(counter.fetch_add(1));
}

// The URL's keywords ("key=value" joined by ';'), then the defaults it does not set.
QString PostgresqlOptions(const QString& given) {
  QStringList options = given.split(u';', Qt::SkipEmptyParts);
  QStringList keys;
  for (const QString& option : options) {
    keys << option.section(u'=', 0, 0).trimmed();
  }
  for (const auto& [key, value] : kPostgresqlConnectDefaults) {
    if (!keys.contains(QLatin1String(key))) {
      options << QStringLiteral("%1=%2").arg(QLatin1String(key)).arg(value);
    }
  }
  return options.join(u';');
}

QString ReasonOf(const QSqlError& sqlError) {
  QString reason = sqlError.databaseText().simplified();
  if (reason.isEmpty()) {
    reason = sqlError.driverText().simplified();
  }
  return reason.isEmpty() ? QStringLiteral("unknown database error") : reason;
}

}  // namespace

Archive::Archive() : connectionName(NextConnectionName()) {}

Archive::~Archive() { Close(); }

void Archive::Close() {
  if (database.isValid()) {
    database.close();
    database = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
  }
}

bool Archive::Open(const ArchiveLocation& where, bool mustExist) {
  Close();
  location = where;
  error.clear();
  if (!Connect(mustExist)) {
    return false;
  }
  QString reason;
  if (!PrepareSchema(*this, reason)) {
    error = QStringLiteral("archive %1: %2").arg(location.display, reason);
    Close();
    return false;
  }
  return true;
}

bool Archive::Connect(bool mustExist) {
  if (IsPostgresql()) {
    database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    database.setHostName(location.host);
    database.setPort(location.port);
    database.setUserName(location.user);
    database.setPassword(location.password);
    database.setDatabaseName(location.database);
    database.setConnectOptions(PostgresqlOptions(location.options));
  } else {
    const QFileInfo file(location.path);
    if (mustExist && !file.exists()) {
      return Fail(QStringLiteral("no such file"));
    }
    if (file.isDir()) {
      return Fail(QStringLiteral("is a folder, not an archive file"));
    }
    if (!QDir().mkpath(file.absolutePath())) {
      return Fail(QStringLiteral("cannot create the folder %1").arg(file.absolutePath()));
    }
    database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    database.setDatabaseName(location.path);
    database.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyMilliseconds));
  }
  if (!database.isValid()) {
    return Fail(QStringLiteral("the Qt SQL driver for %1 is not installed")
                    .arg(IsPostgresql() ? "PostgreSQL" : "SQLite"));
  }
  if (!database.open()) {
    return Fail(ReasonOf(database.lastError()));
  }
  if (!IsPostgresql()) {
    // The page size counts only before the first table exists, so it comes first.
    // WAL: readers (the window, sqlite3, Grafana) never block an import, and a killed
    // importer leaves the last committed file intact. synchronous=NORMAL under WAL syncs
    // the log at checkpoints, not at each commit: a power cut or a crash of the system can
    // lose the last files added since the last checkpoint, never corrupt the archive; a
    // killed program loses nothing committed.
    return Execute(QStringLiteral("PRAGMA page_size=%1").arg(kSqlitePageBytes)) &&
           Execute(QStringLiteral("PRAGMA journal_mode=WAL")) &&
           Execute(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
           Execute(QStringLiteral("PRAGMA cache_size=-%1").arg(kSqliteReadCacheKib));
  }
  return Execute(QStringLiteral("SET client_min_messages TO WARNING"));
}

bool Archive::BeginWrite() {
  if (!IsPostgresql()) {
    // Each multi-row statement keeps the pages it changes in a statement journal, to undo
    // just itself on an error; in memory rather than a temporary file, that halves an import.
    // Reading commands keep temporary files on disk, so a large sort stays out of memory.
    return Execute(QStringLiteral("PRAGMA temp_store=MEMORY")) &&
           Execute(QStringLiteral("PRAGMA cache_size=-%1").arg(kSqliteWriteCacheKib)) &&
           Execute(QStringLiteral("BEGIN IMMEDIATE"));
  }
  if (!Execute(QStringLiteral("BEGIN"))) {
    return false;
  }
  if (!Execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kWriteLockKey))) {
    Rollback();
    return false;
  }
  return true;
}

bool Archive::Commit() { return Execute(QStringLiteral("COMMIT")); }

void Archive::Rollback() {
  // A connection that failed to open has nothing to roll back.
  if (!database.isOpen()) {
    return;
  }
  QSqlQuery query(database);
  query.exec(QStringLiteral("ROLLBACK"));
}

bool Archive::Execute(const QString& sql) {
  QSqlQuery query(database);
  if (!query.exec(sql)) {
    return Fail(query);
  }
  return true;
}

bool Archive::Fail(const QSqlQuery& query) {
  return Fail(WithSystemReason(ReasonOf(query.lastError())));
}

QString Archive::WithSystemReason(const QString& reason) {
  const QVariant handle = database.isValid() ? database.driver()->handle() : QVariant();
  if (!handle.isValid() || std::strcmp(handle.typeName(), "sqlite3*") != 0) {
    return reason;
  }
  sqlite3* const sqlite = *static_cast<sqlite3* const*>(handle.constData());
  const int code = sqlite ? sqlite3_extended_errcode(sqlite) & 0xFF : SQLITE_OK;
  const int systemError = sqlite ? sqlite3_system_errno(sqlite) : 0;
  if ((code != SQLITE_IOERR && code != SQLITE_CANTOPEN) || systemError == 0) {
    return reason;
  }
  return QStringLiteral("%1: %2").arg(reason, QString::fromLocal8Bit(std::strerror(systemError)));
}

bool Archive::Fail(const QString& reason) {
  error = QStringLiteral("archive %1: %2").arg(location.display, reason);
  return false;
}

QString UtcTextSql(const Archive& archive, const QString& column, int length) {
  const QString text =
      archive.IsPostgresql()
          ? QStringLiteral("to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')").arg(column)
          : column;
  return length > 0 ? QStringLiteral("substr(%1, 1, %2)").arg(text).arg(length) : text;
}

}  // namespace quilmar
