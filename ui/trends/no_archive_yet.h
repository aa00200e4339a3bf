// An archive that is not there yet (a new machine, before the first log is added): what the
// archive's windows say instead of an engine's "no such file", naming the three ways frames
// get into an archive.
#pragma once

#include <QString>

#include "archive/archive_location.h"

namespace quilmar {

// False only for a SQLite archive whose file does not exist; a PostgreSQL server is asked.
bool ArchiveExistsYet(const ArchiveLocation& location);

// "There is no archive at PATH yet. Add logs with Archive > Add Logs..., ..."; dropHere names
// dropping files on the window the text is shown in.
QString NoArchiveYetText(const ArchiveLocation& location, bool dropHere);

}  // namespace quilmar
