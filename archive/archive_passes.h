// The archive's passes: runs of timed frames with no gap longer than ten minutes, read in one
// stream over the frames, and the frames of one pass as received bytes, so the window can
// show a pass from the archive as it shows a log.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/missing_frames.h"
#include "core/pass_gap.h"
#include "core/section_decoders.h"

namespace quilmar {

class Archive;

struct ArchivedPass {
  std::int64_t id = 0;  // the pass table's key
  QString start;  // UTC text of the first and last frame, as stored
  QString end;
  QDateTime startTime;
  QDateTime endTime;
  QStringList stations;  // sorted
  std::int64_t frames = 0;
  MissingFrames missing;
  // Ground time minus spacecraft clock, in seconds, where the pass had frames with both.
  std::optional<double> clockOffsetSeconds;
};

// Calls each for every pass in time order. False with the archive's Error() set.
bool ForEachPass(Archive& archive, const std::function<void(const ArchivedPass&)>& each);

// The time of the newest pass's first frame: read back from the newest frame until a gap
// longer than the pass gap, so only that pass's rows are read. nullopt when no frame is timed
// or the archive failed (Error() set then).
std::optional<QDateTime> LastPassStart(Archive& archive);

// One frame read back from the archive: its buffer as the de-framer hands a frame over, its
// time (UTC text) and its key in the frame table.
struct ArchivedFrameRead {
  const FrameBuffer& frame;
  const QString& time;
  std::int64_t key;
};

// The frames timed from first to last (inclusive), in the archive's order (time, and the frame
// counter within a pass); each returns false to stop. False with the archive's Error() set,
// also when reading the rows stopped on a database error.
bool ReadFramesBetween(Archive& archive, const QDateTime& first, const QDateTime& last,
                       const std::function<bool(const ArchivedFrameRead& read)>& each);

}  // namespace quilmar
