// Fresh, empty archives for tests: a SQLite file in a temporary folder, or a new database on
// a PostgreSQL 15 server started on first use (initdb into a temporary folder, a Unix socket
// there, run as the postgres user when the tests run as root) and stopped when they end.
#pragma once

#include <QString>

#include "archive/archive_location.h"

namespace quilmar::testing {

// A new empty archive on the engine; the test fails (and the location is empty) when the
// PostgreSQL server cannot be started.
ArchiveLocation FreshArchive(ArchiveEngine engine);

// Stops the PostgreSQL server (as a crash or a lost network would) and starts it again.
bool StopPostgres();
bool RestartPostgres();

// A login role of the test server that must give its password (scram-sha-256 in
// pg_hba.conf, ahead of the trust rules), a superuser for the rest; false when it cannot be
// set up.
bool AddPasswordRole(const QString& role, const QString& password);

// A temporary folder of this process for test files, removed at the end.
QString TestFolder();

// Stops the server if one was started and removes the temporary folders.
void StopTestArchives();

}  // namespace quilmar::testing
