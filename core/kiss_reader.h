// Reads a KISS capture log: cuts it into FEND-delimited frames, undoes the KISS escaping,
// keeps the AX.25 frames XQ0SAT sent to XQ0GND and stores them in the FrameTable.
// Bad input is a result, never a crash: the summary says what was read and what went wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "frame_table.h"
#include "missing_frames.h"

namespace quilmar {

// Where the log's bytes come from: a file, or memory for tests and the fuzzer.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills up to buffer.size() bytes; returns how many, 0 at the end or on an error.
  virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;
  // Why reading stopped early; empty when the source simply ended.
  virtual std::string Error() const { return {}; }
  // Total size in bytes when known (for progress), else -1.
  virtual std::int64_t Size() const { return -1; }
};

// Opens the file at path. A file that cannot be opened yields a source whose Error() names
// the reason and which reads nothing.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);
std::unique_ptr<ByteSource> MemorySource(std::span<const std::uint8_t> bytes);

struct ReadHooks {
  // Progress and cancel: runs after every stored frame and after every chunk read whatever
  // its bytes, so a long stretch without FEND, of other stations' frames or of frames beyond
  // the 5000th (only counted) cannot starve the caller.
  // Returning false stops the read as if the file ended there (a cancelled load).
  std::function<bool(std::int64_t bytesRead)> onProgress;
  // After each stored frame, with its 1-based index.
  std::function<void(int index, const FrameRecord& record)> afterStoredFrame;
};

struct LoadSummary {
  int framesStored = 0;             // equals the table's frameCount
  std::int64_t framesSkipped = 0;   // accepted frames beyond the 5000th
  std::int64_t framesRejected = 0;  // complete non-empty frames failing the address check
  // The log ended with at least one byte after its last FEND: a frame, which was dropped;
  // a log that ends in a FEND lost nothing.
  bool endedInsideFrame = false;
  bool cancelled = false;  // a hook stopped the read
  std::int64_t bytesRead = 0;
  MissingFrames missingFrames;
  std::string error;  // non-empty when the log could not be opened or read to its end
};

// Resets the table (frameCount 0) and reads the whole source into it.
LoadSummary ReadKissLog(ByteSource& source, FrameTable& table, const ReadHooks& hooks = {});
LoadSummary ReadKissLog(const std::string& path, FrameTable& table, const ReadHooks& hooks = {});

}  // namespace quilmar
