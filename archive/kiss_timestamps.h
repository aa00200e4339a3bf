// Reception times in a KISS log written by gr-satellites with timestamps: before each frame it
// decoded, it writes a KISS frame of its own whose command byte is 9 and whose 8 data bytes
// are the time of reception, milliseconds since 1970-01-01 00:00 UTC (leap seconds not
// counted) as a big-endian unsigned number, KISS-escaped like any frame:
//   FEND 09 t7 t6 t5 t4 t3 t2 t1 t0 FEND   FEND 00 <AX.25 frame> FEND
// Such a time belongs to the frame that follows it, and to no other: when another frame (of
// another station, a bad one) comes first, that frame took it.
//
// How an import uses it beside the KISS de-framer (core/kiss_deframer.h):
//   KissTimestamps stamps;
//   KissDeframer deframer([&](const FrameBuffer& frame) {
//     const std::optional<QDateTime> receivedAt = stamps.TimeBefore(deframer.BytesFed());
//     ...
//   });
//   for each chunk: stamps.Feed(chunk); deframer.Feed(chunk);   // stamps first, same bytes
//
// It keeps a few bytes of state and the times of the frames in the chunk fed last, so its
// memory is bounded by the chunk's size. A time outside ReceptionTimeRange (satnogs_reader.h)
// is not used; TimesOutOfRange() counts them for a warning.
#pragma once

#include <QDateTime>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

#include "satnogs_reader.h"

namespace quilmar {

class KissTimestamps {
 public:
  // Takes the next bytes of the stream, before the de-framer is fed the same bytes.
  void Feed(std::span<const std::uint8_t> bytes);

  // The reception time of the frame whose closing FEND ends at frameEndOffset (bytes from the
  // start of the stream, the FEND included: the de-framer's BytesFed() in its handler), when
  // a timestamp frame came right before it; nullopt otherwise. Frames are asked for in the
  // order of the stream.
  std::optional<QDateTime> TimeBefore(std::int64_t frameEndOffset);

  // Timestamp frames whose time lay outside ReceptionTimeRange and was not used.
  std::int64_t TimesOutOfRange() const { return timesOutOfRange; }

 private:
  struct StampedFrame {
    std::int64_t endOffset;
    qint64 msSinceEpoch;
  };

  bool InTimestampCandidate() const;
  void Take(std::uint8_t byte);
  void CloseFrame();

  const ReceptionTimeRange range;
  std::int64_t offset = 0;  // bytes fed so far
  bool framing = false;     // a FEND was seen: bytes belong to frames
  bool escaped = false;     // the byte before was a FESC
  bool malformed = false;   // a FESC stood before a byte that is no TFEND or TFESC
  int length = 0;           // de-escaped bytes of the frame so far (counting stops at 10)
  std::uint8_t command = 0;
  std::uint64_t stamp = 0;                 // the data bytes, shifted in
  std::optional<qint64> pendingStamp;      // the last timestamp frame's, not yet taken
  std::deque<StampedFrame> stampedFrames;  // of the chunk fed last, in stream order
  std::int64_t timesOutOfRange = 0;
};

}  // namespace quilmar
