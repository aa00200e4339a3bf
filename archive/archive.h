// An open archive: one database connection (Qt SQL, the QSQLITE or QPSQL driver) with the
// schema checked, and the write transaction every import takes. Qt SQL is the one layer for
// both engines: the same prepared statements with bound values run on either.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include "archive_location.h"

namespace quilmar {

// The PostgreSQL notification channel told as a transaction that added frames commits: a web
// server LISTENing on it shows them at once rather than at its next look.
inline constexpr char kFramesChannel[] = "quilmar_frames";

class Archive {
 public:
  // How long a write waits for another program's write lock on a SQLite archive before it
  // gives up with "database is locked".
  static constexpr int kSqliteBusyMilliseconds = 120000;

  Archive();
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  // Connects and prepares the schema. mustExist: a SQLite file that is not there is an
  // error rather than a new, empty archive (reading commands). False with Error() set.
  bool Open(const ArchiveLocation& location, bool mustExist = false);
  void Close();
  bool IsOpen() const { return database.isOpen(); }

  // "archive NAME: reason", the password never included.
  const QString& Error() const { return error; }
  const ArchiveLocation& Location() const { return location; }
  bool IsPostgresql() const { return location.engine == ArchiveEngine::kPostgresql; }
  QSqlDatabase& Database() { return database; }

  // A transaction that holds the archive's write lock until it ends, so that importers
  // take turns: BEGIN IMMEDIATE on SQLite, an advisory lock on PostgreSQL.
  bool BeginWrite();
  bool Commit();
  void Rollback();

  // Runs one statement without values; false with Error() set.
  bool Execute(const QString& sql);
  // Sets Error() from a failed query and returns false.
  bool Fail(const QSqlQuery& query);
  bool Fail(const QString& reason);
  // SQLite calls every failed read or write a "disk I/O error"; what the user can act on is
  // the system's reason (no space left, a file size limit, a disk gone), added here when
  // the engine's last call failed that way.
  QString WithSystemReason(const QString& reason);

 private:
  bool Connect(bool mustExist);

  ArchiveLocation location;
  QString connectionName;
  QSqlDatabase database;
  QString error;
};

// An SQL expression for a time column (or an aggregate of one) as the UTC text
// "YYYY-MM-DDTHH:MM:SSZ", its first `length` characters when given ("YYYY-MM" for 7): ISO text
// on SQLite, a timestamptz on PostgreSQL.
QString UtcTextSql(const Archive& archive, const QString& column, int length = 0);

}  // namespace quilmar
