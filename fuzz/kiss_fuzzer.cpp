// libFuzzer harness of the decoding core. The input's first byte picks a mode for the rest:
// - a log (two values in four): the bytes as a KISS log (with a cancel at a point chosen by
//   the input), the same bytes fed to the de-framer in chunks cut where the input says (they
//   must give what the whole buffer gives), the same bytes as one de-escaped frame for the
//   section decoders, and the stored frames through both export writers;
// - connections: the bytes as a TNC stream cut into connections where the input says, each
//   new one joined with a FEND when the de-framer has a frame open, as live reception does;
//   the recording (the bytes and the joining FENDs) must read back to the same frames;
// - writers: records made from the bytes, written as CSV and JSON and parsed back.
// Inputs stay small (a few KiB, scripts/run_fuzzer.sh) so that thousands run every second;
// the full table and long frames are unit tests.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <span>
#include <streambuf>
#include <string_view>
#include <vector>

#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/kiss_deframer.h"
#include "core/kiss_reader.h"
#include "core/section_decoders.h"
#include "writer_round_trip.h"

namespace {

using namespace quilmar;

// Discards everything written to it, so the writers run in full without filling memory.
class NullBuffer final : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// Fuzzing the writer's number formatting over many listed gap entries adds nothing but time;
// such logs still run through the reader and the CSV writer.
constexpr std::int64_t kLargestListedMissing = 1 << 10;
constexpr int kLargestWrittenTable = 64;

void Require(bool holds) {
  if (!holds) {
    std::abort();
  }
}

void CheckRecord(const FrameRecord& record) {
  Require(record.hexDump.size() == 402);
  Require(record.frameTypeLetter.size() == 1);
  Require(record.comText.empty() || record.comText.size() == 33);
  Require(record.dateTime.empty() == record.weekday.empty());
  Require(record.frameNumber >= 0 && record.frameNumber <= 65535);
}

void CheckSummary(const LoadSummary& summary, const FrameTable& table, std::size_t size) {
  Require(summary.framesStored == table.frameCount);
  Require(table.frameCount >= 0 && table.frameCount <= kFrameTableCapacity);
  Require(summary.bytesRead >= 0 && summary.bytesRead <= static_cast<std::int64_t>(size));
  Require(summary.error.empty());
  const MissingFrames& missing = summary.missingFrames;
  if (missing.Count() > 0) {
    Require(missing.At(0) == missing.Gaps().front().highest);
    const FrameGap& last = missing.Gaps().back();
    Require(missing.At(missing.Count() - 1) == last.highest - last.count + 1);
  }
}

void DecodeAsOneFrame(std::span<const std::uint8_t> input) {
  FrameBuffer frame{};
  for (std::size_t i = 0; i < input.size() && i < frame.size(); ++i) {
    frame[i] = input[i];
  }
  FrameRecord record;
  FillFrameRecord(frame, record);
  CheckRecord(record);
}

// What the de-framer made of a stream: counts and a hash of every accepted frame's bytes.
struct DeframedStream {
  std::int64_t accepted = 0;
  std::int64_t rejected = 0;
  std::size_t hash = 0;
  bool insideFrame = false;
  std::int64_t bytesFed = 0;
  bool operator==(const DeframedStream&) const = default;
};

// Feeds the input in chunks whose sizes are taken from the input itself (1 to 256 bytes, or
// the whole rest when a size byte is 0), as a TNC's reads would cut it anywhere.
DeframedStream Deframe(std::span<const std::uint8_t> input, bool chunked) {
  DeframedStream stream;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    ++stream.accepted;
    // The library's hash is not instrumented: a byte loop here would cost more than the rest.
    const std::string_view bytes(reinterpret_cast<const char*>(frame.data()), frame.size());
    stream.hash = stream.hash * 31 + std::hash<std::string_view>{}(bytes);
    return true;
  });
  std::size_t sizeAt = 0;
  for (std::size_t at = 0; at < input.size();) {
    std::size_t size = input.size() - at;
    if (chunked) {
      const std::uint8_t pick = input[sizeAt++ % input.size()];
      size = pick == 0 ? size : std::min<std::size_t>(size, pick);
    }
    Require(deframer.Feed(input.subspan(at, size)) == size);
    at += size;
  }
  stream.rejected = deframer.FramesRejected();
  stream.insideFrame = deframer.InsideFrame();
  stream.bytesFed = deframer.BytesFed();
  return stream;
}

void CheckChunkedFeed(std::span<const std::uint8_t> input, const LoadSummary& summary) {
  const DeframedStream whole = Deframe(input, false);
  Require(Deframe(input, true) == whole);
  Require(whole.bytesFed == static_cast<std::int64_t>(input.size()));
  if (!summary.cancelled) {
    Require(whole.accepted == summary.framesStored + summary.framesSkipped);
    Require(whole.rejected == summary.framesRejected);
    Require(whole.insideFrame == summary.endedInsideFrame);
  }
}

void CheckLog(std::span<const std::uint8_t> input) {
  // Kept across inputs: 5000 records are allocated once, as in the program.
  static FrameTable table;
  const std::uint8_t* data = input.data();
  const std::size_t size = input.size();
  // The first byte picks the frame after which the load is cancelled; 0 reads to the end.
  const int cancelAfter = size > 0 ? data[0] % 16 : 0;
  int framesSeen = 0;
  ReadHooks hooks;
  hooks.onProgress = [&](std::int64_t bytesRead) {
    Require(bytesRead > 0 && bytesRead <= static_cast<std::int64_t>(size));
    return cancelAfter == 0 || ++framesSeen < cancelAfter;
  };
  hooks.afterStoredFrame = [](int index, const FrameRecord& record) {
    Require(index >= 1 && index <= kFrameTableCapacity);
    CheckRecord(record);
  };
  const auto source = MemorySource(input);
  const LoadSummary summary = ReadKissLog(*source, table, hooks);
  CheckSummary(summary, table, size);
  CheckChunkedFeed(input, summary);

  DecodeAsOneFrame(input);

  NullBuffer discard;
  std::ostream out(&discard);
  // Writing many instrumented records takes long; a large table is written for one input in
  // 16 (chosen by its last byte), so it still reaches the writers without slowing every run.
  if (table.frameCount > kLargestWrittenTable && (size == 0 || data[size - 1] % 16 != 0)) {
    return;
  }
  Require(WriteCsv(out, table));
  if (summary.missingFrames.Count() <= kLargestListedMissing) {
    Require(WriteJson(out, "fuzz.kss", table, summary));
  }
}

// Live reception of the input over connections cut where the input says: before each new
// connection's bytes, one FEND when FrameOpen(), fed and recorded like a received byte.
void CheckConnections(std::span<const std::uint8_t> input) {
  constexpr std::uint8_t kFend = 0xC0;
  DeframedStream live;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    ++live.accepted;
    const std::string_view bytes(reinterpret_cast<const char*>(frame.data()), frame.size());
    live.hash = live.hash * 31 + std::hash<std::string_view>{}(bytes);
    return true;
  });
  std::vector<std::uint8_t> recording;
  std::size_t sizeAt = 0;
  for (std::size_t at = 0; at < input.size();) {
    const std::uint8_t pick = input[sizeAt++ % input.size()];
    const std::size_t size = std::min<std::size_t>(input.size() - at, pick == 0 ? 1 : pick);
    Require(deframer.FrameOpen() == deframer.InsideFrame());
    if (deframer.FrameOpen()) {
      Require(deframer.Feed({&kFend, 1}) == 1);
      recording.push_back(kFend);
      Require(!deframer.FrameOpen());
    } else {
      // A FEND here would end no frame: nothing may be stored or counted for it.
      KissDeframer probe = deframer;
      const std::int64_t accepted = live.accepted;
      probe.Feed({&kFend, 1});
      Require(live.accepted == accepted && probe.FramesRejected() == deframer.FramesRejected());
    }
    Require(deframer.Feed(input.subspan(at, size)) == size);
    recording.insert(recording.end(), input.begin() + static_cast<std::ptrdiff_t>(at),
                     input.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  live.rejected = deframer.FramesRejected();
  live.insideFrame = deframer.InsideFrame();
  live.bytesFed = deframer.BytesFed();
  Require(Deframe(recording, false) == live);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  switch (data[0] % 4) {
    case 2:
      CheckConnections(rest);
      break;
    case 3:
      fuzz::CheckWritersRoundTrip(rest);
      break;
    default:
      CheckLog(rest);
      break;
  }
  return 0;
}
