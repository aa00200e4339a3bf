// KISS log reading: de-framing, de-escaping, the AX.25 address check and storing; see
// kiss_reader.h.
#include "kiss_reader.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "conversions.h"
#include "section_decoders.h"

namespace quilmar {
namespace {

constexpr std::uint8_t kFend = 0xC0;
constexpr std::uint8_t kFesc = 0xDB;
constexpr std::uint8_t kTfend = 0xDC;
constexpr std::uint8_t kTfesc = 0xDD;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::int16_t kLongestCountedFrame = 32767;

constexpr std::string_view kSpacecraft = "XQ0SAT";
constexpr std::string_view kGroundStation = "XQ0GND";
constexpr int kDestinationPosition = 1;
constexpr int kSourcePosition = 8;

// Hands out the source's bytes in runs from a 64 KiB chunk, refilled once it is used up.
class ChunkedBytes {
 public:
  ChunkedBytes(ByteSource& source, const ReadHooks& hooks)
      : source(source), hooks(hooks), chunk(kReadChunk) {}

  // The unread bytes of the current chunk, refilled when empty; empty at the end.
  std::span<const std::uint8_t> Available() {
    if (position == end && !Refill()) {
      return {};
    }
    return {chunk.data() + position, end - position};
  }

  void Advance(std::size_t count) { position += count; }

  // Moves past the next FEND; false when the source ends first.
  bool SkipPastFend() {
    for (;;) {
      const void* hit = std::memchr(chunk.data() + position, kFend, end - position);
      if (hit != nullptr) {
        position =
            static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - chunk.data()) + 1;
        return true;
      }
      position = end;
      if (!Refill()) {
        return false;
      }
    }
  }

  std::int64_t Consumed() const { return consumedBefore + static_cast<std::int64_t>(position); }
  bool Cancelled() const { return cancelled; }

 private:
  // Each used-up chunk reports progress before the next is read.
  bool Refill() {
    if (exhausted || cancelled) {
      return false;
    }
    if (end > 0 && hooks.onProgress && !hooks.onProgress(Consumed())) {
      cancelled = true;
      return false;
    }
    consumedBefore += static_cast<std::int64_t>(end);
    position = 0;
    end = source.Read(chunk);
    exhausted = end == 0;
    return !exhausted;
  }

  ByteSource& source;
  const ReadHooks& hooks;
  std::vector<std::uint8_t> chunk;
  std::size_t position = 0;
  std::size_t end = 0;
  std::int64_t consumedBefore = 0;
  bool exhausted = false;
  bool cancelled = false;
};

// Undoes the KISS escaping of one frame into the 512-byte frame buffer.
class FrameAssembler {
 public:
  // Every frame starts from a clean buffer and a clear escape flag, so a corrupt frame
  // cannot leak bytes or a pending escape into the next one.
  void Begin() {
    std::fill_n(frame.begin(), reached, std::uint8_t{0});
    reached = 0;
    length = 0;
    escapePending = false;
  }

  // Takes bytes of the frame up to and including the closing FEND. Returns how many bytes
  // were taken; closed tells whether the closing FEND was among them. The counters live in
  // locals for the loop: byte stores into the buffer would otherwise force the compiler to
  // reload them from memory for every byte.
  std::size_t Take(std::span<const std::uint8_t> bytes, bool& closed) {
    int count = length;
    int written = reached;
    bool escape = escapePending;
    std::size_t taken = 0;
    closed = false;
    while (taken < bytes.size() && !closed) {
      std::uint8_t byte = bytes[taken++];
      count = std::min(count + 1, int{kLongestCountedFrame});
      if (byte == kFesc) {
        escape = true;
        continue;
      }
      closed = byte == kFend;
      if (escape && (byte == kTfend || byte == kTfesc)) {
        // The pair stands for one byte, at the place the FESC took.
        --count;
        byte = byte == kTfend ? kFend : kFesc;
        escape = false;
      }
      // Bytes beyond the buffer are dropped; the length keeps counting.
      const int at = count - 1;
      if (at >= 0 && at < kFrameBufferSize) {
        frame[static_cast<std::size_t>(at)] = byte;
        written = std::max(written, at + 1);
      }
    }
    length = static_cast<std::int16_t>(count);
    reached = written;
    escapePending = escape;
    return taken;
  }

  const FrameBuffer& Frame() const { return frame; }

 private:
  FrameBuffer frame{};
  int reached = 0;  // positions written since the last Begin, to clear only those
  std::int16_t length = 0;
  bool escapePending = false;
};

// An AX.25 address (six shifted characters and the SSID byte) as text: blanks trimmed,
// "-N" appended for an SSID above 0, as in XQ0SAT-5.
std::string_view AddressText(const FrameBuffer& frame, int at, std::array<char, 12>& text) {
  std::size_t first = 0;
  std::size_t last = 6;
  for (std::size_t i = 0; i < 6; ++i) {
    text[i] = static_cast<char>(ShiftRight(frame[static_cast<std::size_t>(at) + i], 1));
  }
  while (first < last && text[first] == ' ') {
    ++first;
  }
  while (last > first && text[last - 1] == ' ') {
    --last;
  }
  const int ssid = (frame[static_cast<std::size_t>(at) + 6] & 0x1E) / 2;
  if (ssid > 0) {
    text[last++] = '-';
    if (ssid >= 10) {
      text[last++] = '1';
    }
    text[last++] = static_cast<char>('0' + ssid % 10);
  }
  return {text.data() + first, last - first};
}

bool PassesAddressCheck(const FrameBuffer& frame) {
  std::array<char, 12> source{};
  std::array<char, 12> destination{};
  return frame[0] == 0x00 && AddressText(frame, kSourcePosition, source) == kSpacecraft &&
         AddressText(frame, kDestinationPosition, destination) == kGroundStation;
}

// Reads up to and including the closing FEND; false when the source ends first.
bool ReadFrame(ChunkedBytes& bytes, FrameAssembler& assembler) {
  assembler.Begin();
  for (std::span<const std::uint8_t> run = bytes.Available(); !run.empty();
       run = bytes.Available()) {
    bool closed = false;
    bytes.Advance(assembler.Take(run, closed));
    if (closed) {
      return true;
    }
  }
  return false;
}

void StoreFrame(const FrameBuffer& frame, FrameTable& table, const ReadHooks& hooks,
                LoadSummary& summary) {
  if (table.frameCount >= kFrameTableCapacity) {
    ++summary.framesSkipped;
    return;
  }
  const int index = ++table.frameCount;
  FrameRecord& record = table.Record(index);
  record.Clear();
  FillFrameRecord(frame, record);
  if (hooks.afterStoredFrame) {
    hooks.afterStoredFrame(index, record);
  }
}

}  // namespace

LoadSummary ReadKissLog(ByteSource& source, FrameTable& table, const ReadHooks& hooks) {
  LoadSummary summary;
  table.frameCount = 0;
  ChunkedBytes bytes(source, hooks);
  FrameAssembler assembler;
  // Bytes outside a FEND-delimited frame, including those after a closing FEND, are skipped
  // up to the next FEND, which opens a frame.
  while (bytes.SkipPastFend()) {
    if (!ReadFrame(bytes, assembler)) {
      summary.endedInsideFrame = !bytes.Cancelled();
      break;
    }
    if (PassesAddressCheck(assembler.Frame())) {
      StoreFrame(assembler.Frame(), table, hooks, summary);
    } else {
      ++summary.framesRejected;
    }
    if (hooks.onProgress && !hooks.onProgress(bytes.Consumed())) {
      summary.cancelled = true;
      break;
    }
  }
  summary.cancelled = summary.cancelled || bytes.Cancelled();
  summary.bytesRead = bytes.Consumed();
  summary.error = source.Error();
  summary.framesStored = table.frameCount;
  summary.missingFrames = FindMissingFrames(table);
  return summary;
}

LoadSummary ReadKissLog(const std::string& path, FrameTable& table, const ReadHooks& hooks) {
  const std::unique_ptr<ByteSource> source = OpenFileSource(path);
  return ReadKissLog(*source, table, hooks);
}

}  // namespace quilmar
