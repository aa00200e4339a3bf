// What the windows say of an archive not there yet; see no_archive_yet.h.
#include "no_archive_yet.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quilmar {

bool ArchiveExistsYet(const ArchiveLocation& location) {
  return location.engine != ArchiveEngine::kSqlite || QFileInfo::exists(location.path);
}

QString NoArchiveYetText(const ArchiveLocation& location, bool dropHere) {
  const QString drop =
      dropHere ? QCoreApplication::translate("Archive", "drop KISS logs or SatNOGS downloads here")
               : QCoreApplication::translate(
                     "Archive", "drop KISS logs or SatNOGS downloads on the Trends window");
  return QCoreApplication::translate(
             "Archive",
             "There is no archive at %1 yet.\nAdd logs with Archive > Add Logs..., %2, or tick "
             "\"Add received frames to the archive\" in File > Connect to TNC... to archive a "
             "pass as it is received.")
      .arg(location.display, drop);
}

}  // namespace quilmar
