// Incremental KISS de-framer: takes a log's or a TNC's bytes in chunks of any size, keeps its
// state between them, undoes the KISS escaping and hands over each frame that XQ0SAT sent to
// XQ0GND. A file load and a live connection use the same one, so both read the same frames.
//
// How a live source uses it:
//   KissDeframer deframer([&](const FrameBuffer& frame) {
//     ... decode the frame (FillFrameRecord), or append it with a FrameStore ...
//     return true;  // false stops the current Feed right after this frame
//   });
//   for each chunk received: deframer.Feed(chunk);
//   before a new connection's bytes: if FrameOpen(), one FEND, fed (and recorded) like a
//     received byte, ends the frame the lost connection cut off, so that the new connection's
//     first bytes are not read as the rest of it;
//   at the end: deframer.InsideFrame() tells whether bytes of an unfinished frame were lost.
//
// Framing rules, as KISS has them: bytes before the stream's first FEND belong to no frame.
// Every FEND ends the frame in progress and begins a new one, so one FEND between two frames
// serves both, and noise between frames costs only the candidate it makes. The FEND that
// ends a frame lands after its last data byte. A frame with no byte before its FEND (FEND
// FEND) is nothing and is not counted; any other that fails the address check is rejected.
// FESC TFEND and FESC TFESC stand for one byte at the FESC's place; a FESC before any other
// byte stays pending until a later TFEND or TFESC of the same frame. Each FEND clears the
// escape flag and the buffer positions the previous frame reached, so a corrupt frame cannot
// spoil the next one. Bytes beyond the 512-byte buffer are dropped; the length keeps counting
// up to 32767.
//
// Once the table is full a reader calls CountOnly(): accepted frames are then only counted,
// skipped to their FEND like a rejected one, instead of being de-escaped and handed over.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "section_decoders.h"

namespace quilmar {

class KissDeframer {
 public:
  // Runs for each frame that passes the address check, with the de-escaped frame; positions
  // the frame did not reach read 0. Returning false stops the current Feed after the frame.
  using FrameHandler = std::function<bool(const FrameBuffer& frame)>;

  explicit KissDeframer(FrameHandler handler);

  // Takes the next bytes of the stream. Returns how many were used: all of them unless the
  // handler asked to stop, then those up to and including the frame's closing FEND.
  std::size_t Feed(std::span<const std::uint8_t> bytes);

  // Complete non-empty frames that failed the address check (other stations, other ports,
  // noise).
  std::int64_t FramesRejected() const { return framesRejected; }
  // Bytes used so far; inside the handler, up to and including the frame's closing FEND.
  std::int64_t BytesFed() const { return bytesFed; }
  // Accepted frames counted, not handed over, since CountOnly().
  std::int64_t FramesCounted() const { return framesCounted; }
  // From now on accepted frames are only counted (FramesCounted), the handler is not called.
  void CountOnly() { countOnly = true; }
  // True when at least one byte followed the last FEND: the stream, if it ends now, ends
  // inside a frame, whose bytes are lost.
  bool InsideFrame() const { return phase != Phase::kBeforeFirstFend && length > 0; }
  // True when a FEND fed now would end a frame that holds bytes: the same as InsideFrame().
  // Right after a FEND, and before the first one, no frame is open; a FEND fed then would
  // end only an empty frame, which counts for nothing, so a joining FEND is not needed.
  bool FrameOpen() const { return InsideFrame(); }

 private:
  enum class Phase { kBeforeFirstFend, kAddress, kKeeping, kSkipping, kCounting };

  const std::uint8_t* FindFirstFend(const std::uint8_t* at, const std::uint8_t* end);
  void BeginFrame();
  Phase AfterAddress() const;
  const std::uint8_t* TakeAddress(const std::uint8_t* at, const std::uint8_t* end);
  const std::uint8_t* TakeBody(const std::uint8_t* at, const std::uint8_t* end);
  const std::uint8_t* SkipBody(const std::uint8_t* at, const std::uint8_t* end);
  bool Step(std::uint8_t byte);
  void Store(std::uint8_t byte);
  void StoreRun(const std::uint8_t* run, std::size_t count);
  void Close(bool accepted, const std::uint8_t* after);

  FrameHandler handler;
  FrameBuffer frame{};
  Phase phase = Phase::kBeforeFirstFend;
  int length = 0;   // de-escaped bytes of the frame so far, the closing FEND included
  int reached = 0;  // buffer positions written since the frame opened, to clear only those
  bool escapePending = false;
  bool stopRequested = false;
  bool countOnly = false;
  std::int64_t framesRejected = 0;
  std::int64_t framesCounted = 0;
  std::int64_t bytesFed = 0;
  const std::uint8_t* feedStart = nullptr;  // the chunk being fed, for BytesFed in the handler
  std::int64_t fedBeforeChunk = 0;
};

}  // namespace quilmar
