// The archive's passes: runs of timed frames with no gap longer than ten minutes, as every
// import keeps them in the pass table (pass_retiming.h), and the frames of one pass as
// received bytes, so the window can show a pass from the archive as it shows a log.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/missing_frames.h"
#include "core/pass_gap.h"
#include "core/section_decoders.h"

namespace quilmar {

class Archive;

// The numbers missing in a pass's frame counter: how many, and the first runs of them as
// text ("65432-65433, 65440, ...").
struct PassMissing {
  std::int64_t count = 0;
  QString ranges;
  std::int64_t Count() const { return count; }
};

struct ArchivedPass {
  std::int64_t id = 0;  // the pass table's key
  QString start;  // UTC text of the first and last frame, as stored
  QString end;
  QDateTime startTime;
  QDateTime endTime;
  QStringList stations;  // sorted
  std::int64_t frames = 0;
  PassMissing missing;
  // Ground time minus spacecraft clock, in seconds, where the pass had frames with both.
  std::optional<double> clockOffsetSeconds;
};

// Calls each for every pass in time order, from the pass table. False with the archive's
// Error() set.
bool ForEachPass(Archive& archive, const std::function<void(const ArchivedPass&)>& each);

// The passes that reach into from .. to (either end open when not given), in time order;
// nullopt with the archive's Error() set when they could not be read.
std::optional<std::vector<ArchivedPass>> PassesBetween(Archive& archive,
                                                       const std::optional<QDateTime>& from,
                                                       const std::optional<QDateTime>& to);

// The time of the newest pass's first frame. nullopt when no frame is timed or the archive
// failed (Error() set then).
std::optional<QDateTime> LastPassStart(Archive& archive);

// One frame read back from the archive: its buffer as the de-framer hands a frame over, its
// time (UTC text) and the time's kind, its key in the frame table and the stations that
// received it (sorted).
struct ArchivedFrameRead {
  const FrameBuffer& frame;
  const QString& time;
  std::int64_t key;
  const QString& timeKind;
  const QStringList& stations;
};

// The frames timed from first to last (inclusive), in the archive's order (time, and the frame
// counter within a pass); each returns false to stop. False with the archive's Error() set,
// also when reading the rows stopped on a database error.
bool ReadFramesBetween(Archive& archive, const QDateTime& first, const QDateTime& last,
                       const std::function<bool(const ArchivedFrameRead& read)>& each);

// The frames of the passes in turn (as PassesBetween gives them), each clipped to from .. to,
// as ReadFramesBetween reads one, and after each pass's frames passEnd (when given). Passes
// are read several at a time, so a mission of short passes takes few queries. each or
// passEnd returns false to stop; false with the archive's Error() set on a database error.
bool ReadFramesOfPasses(Archive& archive, const std::vector<ArchivedPass>& passes,
                        const std::optional<QDateTime>& from, const std::optional<QDateTime>& to,
                        const std::function<bool(const ArchivedFrameRead& read)>& each,
                        const std::function<bool()>& passEnd = {});

// The frames without any time (neither a clock, an estimate nor a reception), by key.
bool ReadUntimedFrames(Archive& archive,
                       const std::function<bool(const ArchivedFrameRead& read)>& each);

}  // namespace quilmar
