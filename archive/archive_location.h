// Where an archive lives: a SQLite file or a PostgreSQL database, read from the text a user
// gives (a path, sqlite:PATH or a libpq URI postgresql://user@host:port/dbname?key=value).
#pragma once

#include <QString>
#include <optional>

namespace quilmar {

enum class ArchiveEngine { kSqlite, kPostgresql };

struct ArchiveLocation {
  ArchiveEngine engine = ArchiveEngine::kSqlite;
  QString path;  // SQLite file
  // PostgreSQL: what is empty is left to libpq (PGHOST, PGUSER, ~/.pgpass, ...).
  QString host;  // a name, an address or a Unix socket folder
  int port = -1;
  QString user;
  QString password;
  QString database;
  QString options;  // further libpq keywords, "key=value" joined by ';'
  // The archive as messages name it: never with its password.
  QString display;
};

// The location, or nullopt with the reason in error.
std::optional<ArchiveLocation> ParseArchiveLocation(const QString& text, QString& error);

// QUILMAR_HK_ARCHIVE when set, else archive.sqlite in the user's data folder.
QString DefaultArchiveText();

}  // namespace quilmar
