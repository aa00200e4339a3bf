// A pass from the archive as the window's table; see archived_pass.h.
#include "archived_pass.h"

#include "archive/archive.h"
#include "core/frame_store.h"

namespace quilmar {

ArchivedPassTable FillFromArchivedPass(Archive& archive, const ArchivedPass& pass,
                                       std::int64_t frameKey, FrameTable& table,
                                       const std::atomic<bool>* cancelled) {
  ArchivedPassTable result;
  FrameStore store(table);
  const bool read =
      ReadFramesBetween(archive, pass.startTime, pass.endTime, [&](const ArchivedFrameRead& read) {
        const int index = store.Append(read.frame);
        if (index > 0 && frameKey != 0 && read.key == frameKey) {
          result.frameIndex = index;
        }
        return cancelled == nullptr || !*cancelled;
      });
  result.summary.framesStored = table.frameCount;
  result.summary.framesSkipped = store.FramesSkipped();
  result.summary.missingFrames = store.TakeMissing();
  if (!read) {
    result.summary.error = archive.Error().toStdString();
  }
  return result;
}

QString ArchivedPassLabel(const QString& archiveName, const ArchivedPass& pass) {
  return QStringLiteral("archive %1, pass %2").arg(archiveName, pass.start);
}

}  // namespace quilmar
