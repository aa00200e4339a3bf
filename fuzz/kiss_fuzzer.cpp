// libFuzzer harness of the decoding core: arbitrary bytes as a KISS log (with a cancel at a
// point chosen by the input), the same bytes as one de-escaped frame for the section
// decoders, and the stored frames through both export writers.
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <span>
#include <streambuf>

#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/kiss_reader.h"
#include "core/section_decoders.h"

namespace {

using namespace quilmar;

// Discards everything written to it, so the writers run in full without filling memory.
class NullBuffer final : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// Fuzzing the writer's number formatting over millions of listed gap entries adds nothing but
// time; such logs still run through the reader and the CSV writer.
constexpr std::int64_t kLargestListedMissing = 1 << 17;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Kept across inputs: 5000 records are allocated once, as in the program.
  static FrameTable table;
  const std::span<const std::uint8_t> input(data, size);
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

  DecodeAsOneFrame(input);

  NullBuffer discard;
  std::ostream out(&discard);
  Require(WriteCsv(out, table));
  if (summary.missingFrames.Count() <= kLargestListedMissing) {
    Require(WriteJson(out, "fuzz.kss", table, summary));
  }
  return 0;
}
