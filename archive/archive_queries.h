// What the archive command reads back: the frames in time order as CSV or JSON, the passes,
// and a summary. Rows stream from the database; memory does not grow with the archive.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <ostream>

namespace quilmar {

class Archive;

enum class ArchiveFormat { kCsv, kJson };

struct ExportRange {
  std::optional<QDateTime> from;  // inclusive
  std::optional<QDateTime> to;    // inclusive
};

// Each archived frame, decoded again from its stored bytes, with the export command's columns
// plus its UTC time, the time's kind and the stations that received it. Frames without a
// time come last and only when no range is given. False with the archive's Error() set,
// or when the stream failed (error empty).
bool ExportArchive(Archive& archive, const ExportRange& range, ArchiveFormat format,
                   std::ostream& out);

// One line per pass: a run of timed frames with no gap longer than ten minutes.
bool WritePasses(Archive& archive, std::ostream& out);

// Totals, first and last frame, frames per month, stations.
bool WriteArchiveSummary(Archive& archive, std::ostream& out);

}  // namespace quilmar
