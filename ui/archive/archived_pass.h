// A pass from the mission archive as the window's table: its frames, decoded again from the
// archived bytes in time order, stored as a log's would be (the first 5000, the rest counted).
#pragma once

#include <QString>

#include "archive/archive_passes.h"
#include "core/frame_table.h"
#include "core/kiss_reader.h"

namespace quilmar {

class Archive;

struct ArchivedPassTable {
  LoadSummary summary;  // error set when the archive could not be read
  int frameIndex = 1;   // the 1-based row of the frame timed frameTime, or 1
};

// Fills table with the pass's frames; frameTime (UTC text as stored) picks the row to show.
ArchivedPassTable FillFromArchivedPass(Archive& archive, const ArchivedPass& pass,
                                       const QString& frameTime, FrameTable& table);

// "archive NAME, pass 2026-06-12T16:41:07Z": the pass as the status bar names it.
QString ArchivedPassLabel(const QString& archiveName, const ArchivedPass& pass);

}  // namespace quilmar
