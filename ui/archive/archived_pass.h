// A pass from the mission archive as the window's table: its frames, decoded again from the
// archived bytes in the archive's order, stored as a log's would be (the first 5000, the rest
// counted).
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

#include "archive/archive_passes.h"
#include "core/frame_table.h"
#include "core/kiss_reader.h"

namespace quilmar {

class Archive;

struct ArchivedPassTable {
  LoadSummary summary;  // error set when the archive could not be read
  int frameIndex = 1;   // the 1-based row of the frame with the key asked for, or 1
};

// Fills table with the pass's frames; the frame with key frameKey (0: none) picks the row to
// show: the frame itself, not another one of its second. Stops, with what it has, once
// cancelled is set.
ArchivedPassTable FillFromArchivedPass(Archive& archive, const ArchivedPass& pass,
                                       std::int64_t frameKey, FrameTable& table,
                                       const std::atomic<bool>* cancelled = nullptr);

// "archive NAME, pass 2026-06-12T16:41:07Z": the pass as the status bar names it.
QString ArchivedPassLabel(const QString& archiveName, const ArchivedPass& pass);

}  // namespace quilmar
