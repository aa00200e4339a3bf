// gr-satellites' KISS timestamp frames; see kiss_timestamps.h.
#include "kiss_timestamps.h"

#include <cstring>
#include <limits>

#include "core/kiss_bytes.h"

namespace quilmar {
namespace {

constexpr std::uint8_t kTimestampCommand = 0x09;
constexpr int kTimestampLength = 1 + 8;  // the command byte and the milliseconds

}  // namespace

void KissTimestamps::Feed(std::span<const std::uint8_t> bytes) {
  // The de-framer handed over every frame of the chunk before, so their times are done with.
  stampedFrames.clear();
  const std::uint8_t* at = bytes.data();
  const std::uint8_t* const end = at + bytes.size();
  const std::int64_t chunkStart = offset;
  while (at < end) {
    // Only a frame that can still be a timestamp is looked into; of any other only its
    // closing FEND matters.
    if (!InTimestampCandidate()) {
      const void* fend = std::memchr(at, kFend, static_cast<std::size_t>(end - at));
      if (fend == nullptr) {
        break;
      }
      at = static_cast<const std::uint8_t*>(fend);
    }
    offset = chunkStart + (at - bytes.data()) + 1;
    Take(*at++);
  }
  offset = chunkStart + static_cast<std::int64_t>(bytes.size());
}

bool KissTimestamps::InTimestampCandidate() const {
  return framing && length <= kTimestampLength && (length == 0 || command == kTimestampCommand);
}

void KissTimestamps::Take(std::uint8_t byte) {
  if (byte == kFend) {
    if (framing) {
      CloseFrame();
    }
    framing = true;
    escaped = false;
    malformed = false;
    length = 0;
    stamp = 0;
    return;
  }
  if (!framing) {
    return;  // before the stream's first FEND: the tail of a frame the log missed
  }
  if (byte == kFesc && !escaped) {
    escaped = true;
    return;
  }
  if (escaped) {
    escaped = false;
    if (byte == kTfend || byte == kTfesc) {
      byte = byte == kTfend ? kFend : kFesc;
    } else {
      malformed = true;
    }
  }
  if (length == 0) {
    command = byte;
  } else if (length < kTimestampLength) {
    stamp = (stamp << 8) | byte;
  }
  if (length <= kTimestampLength) {
    ++length;  // one past the timestamp's length is enough to tell it is longer
  }
}

// At a frame's closing FEND, offset is just past that FEND.
void KissTimestamps::CloseFrame() {
  if (length == 0) {
    return;  // FEND FEND: no frame
  }
  if (command == kTimestampCommand && length == kTimestampLength && !escaped && !malformed) {
    pendingStamp.reset();
    if (stamp <= static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()) &&
        range.Contains(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(stamp), Qt::UTC))) {
      pendingStamp = static_cast<qint64>(stamp);
    } else {
      ++timesOutOfRange;
    }
    return;
  }
  // Any other frame takes the time before it, whether the de-framer keeps it or not.
  if (pendingStamp) {
    stampedFrames.push_back({offset, *pendingStamp});
    pendingStamp.reset();
  }
}

std::optional<QDateTime> KissTimestamps::TimeBefore(std::int64_t frameEndOffset) {
  while (!stampedFrames.empty() && stampedFrames.front().endOffset < frameEndOffset) {
    stampedFrames.pop_front();
  }
  if (stampedFrames.empty() || stampedFrames.front().endOffset != frameEndOffset) {
    return std::nullopt;
  }
  return QDateTime::fromMSecsSinceEpoch(stampedFrames.front().msSinceEpoch, Qt::UTC);
}

}  // namespace quilmar
