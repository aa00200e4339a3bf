// Adding one file to the archive: a KISS capture log (gr-satellites' with its reception
// times too) or a SatNOGS DB download (CSV or JSON), the kind found from its content
// (source_kind.h). The whole file is one transaction: it is in the archive completely or not
// at all, and a file whose content is already there adds nothing. A file of no known kind,
// or one from which no frame could be read, is refused and not recorded as added, so that it
// can be added once it is mended.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "source_kind.h"

namespace quilmar {

class Archive;

struct ImportOutcome {
  bool ok = false;
  bool alreadyArchived = false;  // the same content was added before (at addedAt)
  bool cancelled = false;        // the progress callback stopped it; nothing was added
  QString addedAt;
  std::int64_t newFrames = 0;
  std::int64_t knownFrames = 0;  // frames the archive held already: one more reception each
  std::int64_t rejected = 0;     // frames of other stations or satellites
  QStringList warnings;          // "line 12: not hex, skipped", ...
  QString error;                 // when not ok: the file or the archive, and the reason
};

// Called now and then with the bytes read so far and the file's size; false stops the import
// at once, and the file is left out as if it had never been added (outcome.cancelled).
using ImportProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// station: the receiving station's callsign; empty takes the observer the source names, or
// "SatNOGS" for a SatNOGS download, or "unknown".
ImportOutcome ImportFile(Archive& archive, const QString& path, const QString& station,
                         const ImportProgress& progress = {});

}  // namespace quilmar
