// An open archive; see archive.h.
#include "archive.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <atomic>

#include "archive_schema.h"

namespace quilmar {
namespace {

constexpr int kPostgresqlConnectSeconds = 10;

// Importers wait this long for another one's write lock before giving up with "locked".
constexpr int kSqliteBusyMilliseconds = 120000;
// The advisory lock that serialises writers on a PostgreSQL archive ("QHKA").
constexpr qint64 kWriteLockKey = 0x51484B41;

QString NextConnectionName() {
  static std::atomic<int> counter{0};
  return QStringLiteral("quilmar-archive-%1").arg(counter.fetch_add(1));
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
    // Without a bound, a server host that vanished holds the window or a live session at
    // connect() until the system's TCP timeout, minutes later.
    QString options = location.options;
    if (!options.contains(QStringLiteral("connect_timeout="))) {
      options += QStringLiteral("%1connect_timeout=%2")
                     .arg(options.isEmpty() ? "" : ";")
                     .arg(kPostgresqlConnectSeconds);
    }
    database.setConnectOptions(options);
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
    // WAL: readers (the window, sqlite3, Grafana) never block an import, and a killed
    // importer leaves the last committed file intact.
    return Execute(QStringLiteral("PRAGMA journal_mode=WAL")) &&
           Execute(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
           Execute(QStringLiteral("PRAGMA cache_size=-65536"));
  }
  return Execute(QStringLiteral("SET client_min_messages TO WARNING"));
}

bool Archive::BeginWrite() {
  if (!IsPostgresql()) {
    // Each multi-row statement keeps the pages it changes in a statement journal, to undo
    // just itself on an error; in memory rather than a temporary file, that halves an import.
    // Reading commands keep temporary files on disk, so a large sort stays out of memory.
    return Execute(QStringLiteral("PRAGMA temp_store=MEMORY")) &&
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

bool Archive::Fail(const QSqlQuery& query) { return Fail(ReasonOf(query.lastError())); }

bool Archive::Fail(const QString& reason) {
  error = QStringLiteral("archive %1: %2").arg(location.display, reason);
  return false;
}

}  // namespace quilmar
