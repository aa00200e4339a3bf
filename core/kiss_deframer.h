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
//     received byte, closes the frame the lost connection cut off, so the new frames read in
//     step;
//   at the end: deframer.InsideFrame() tells whether bytes of an unfinished frame were lost.
//
// Framing rules: bytes up to a FEND are skipped and that FEND opens a frame; the bytes up to
// the next FEND are the frame (the closing FEND lands after the last data byte), after which
// bytes are skipped again up to the next FEND. FESC TFEND and FESC TFESC stand for one byte at
// the FESC's place; a FESC before any other byte stays pending until a later TFEND or TFESC of
// the same frame. Every opening FEND clears the escape flag and the buffer positions the
// previous frame reached, so a corrupt frame cannot spoil the next one. Bytes beyond the
// 512-byte buffer are dropped; the length keeps counting up to 32767.
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

  // Complete frames that failed the address check (other stations, other ports, noise).
  std::int64_t FramesRejected() const { return framesRejected; }
  // Bytes used so far; inside the handler, up to and including the frame's closing FEND.
  std::int64_t BytesFed() const { return bytesFed; }
  // True when at least one byte followed the last opening FEND and no FEND has closed the
  // frame yet: the stream, if it ends now, ends inside a frame.
  bool InsideFrame() const { return phase != Phase::kBetweenFrames && length > 0; }
  // True when a FEND has opened a frame that no FEND has closed yet, even an empty one: the
  // next FEND will close it rather than open a frame.
  bool FrameOpen() const { return phase != Phase::kBetweenFrames; }

 private:
  enum class Phase { kBetweenFrames, kAddress, kKeeping, kSkipping };

  const std::uint8_t* OpenFrame(const std::uint8_t* at, const std::uint8_t* end);
  const std::uint8_t* TakeAddress(const std::uint8_t* at, const std::uint8_t* end);
  const std::uint8_t* TakeBody(const std::uint8_t* at, const std::uint8_t* end);
  const std::uint8_t* SkipBody(const std::uint8_t* at, const std::uint8_t* end);
  bool Step(std::uint8_t byte);
  void Store(std::uint8_t byte);
  void StoreRun(const std::uint8_t* run, std::size_t count);
  void Close(bool accepted, const std::uint8_t* after);

  FrameHandler handler;
  FrameBuffer frame{};
  Phase phase = Phase::kBetweenFrames;
  int length = 0;   // de-escaped bytes of the frame so far, the closing FEND included
  int reached = 0;  // buffer positions written since the frame opened, to clear only those
  bool escapePending = false;
  bool stopRequested = false;
  std::int64_t framesRejected = 0;
  std::int64_t bytesFed = 0;
  const std::uint8_t* feedStart = nullptr;  // the chunk being fed, for BytesFed in the handler
  std::int64_t fedBeforeChunk = 0;
};

}  // namespace quilmar
