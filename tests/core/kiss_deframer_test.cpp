// The incremental de-framer: a log fed in chunks of any size, as a TNC delivers it, gives the
// same frames, table and counts as the file load; and its fast paths keep the byte-by-byte
// KISS rules on hostile input.
#include "core/kiss_deframer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <vector>

#include "core/frame_store.h"
#include "core/kiss_reader.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;
using testing::kFend;
using testing::kFesc;
using testing::kTfend;
using testing::kTfesc;

// A log made to hit every rule: frames with escapes, corrupt escapes, stray special bytes,
// short and over-long frames, other stations, SSIDs and ports, noise, a cut-off ending.
Bytes HostileLog(unsigned seed, int frames) {
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  Bytes log;
  for (int i = 0; i < frames; ++i) {
    testing::FrameAddresses addresses;
    switch (pick(12)) {
      case 0:
        addresses.source = "XQ0ABC";
        break;
      case 1:
        addresses.sourceSsid = 1 + pick(15);
        break;
      case 2:
        addresses.destinationSsid = 8;
        break;
      case 3:
        addresses.command = 0x10;
        break;
      default:
        break;
    }
    Bytes info = testing::Information(static_cast<std::uint16_t>(i * 3 % 70000), 'S');
    for (std::size_t k = 6; k < info.size(); ++k) {
      info[k] = static_cast<std::uint8_t>(pick(4) == 0 ? 0xC0 + pick(30) : pick(256));
    }
    info[6] = pick(2) == 0 ? 41 : 23;
    info[70] = pick(2) == 0 ? 20 : 64;
    Bytes frame = testing::BuildFrame(info, addresses);
    const int shape = pick(20);
    if (shape == 0) {
      frame.resize(static_cast<std::size_t>(pick(30)));
    } else if (shape == 1) {
      frame.resize(static_cast<std::size_t>(513 + pick(2000)), 0x5A);
    }
    Bytes wrapped = testing::KissWrap(frame);
    if (shape == 2 || shape == 3) {  // a corrupt escape somewhere inside
      const auto at = 1 + static_cast<std::size_t>(pick(static_cast<int>(wrapped.size()) - 1));
      wrapped.insert(wrapped.begin() + static_cast<std::ptrdiff_t>(at), kFesc);
    }
    log.insert(log.end(), wrapped.begin(), wrapped.end());
    if (pick(6) == 0) {  // noise and stray special bytes between frames
      for (int n = pick(40); n > 0; --n) {
        const std::uint8_t strays[] = {kFend, kFesc, kTfend, kTfesc};
        log.push_back(pick(3) == 0 ? strays[pick(4)] : static_cast<std::uint8_t>(pick(256)));
      }
    }
  }
  // One frame longer than the 16-bit length can count, then a cut-off last frame.
  Bytes huge = testing::BuildFrame(testing::Information(7, 'S'));
  huge.resize(40000, 0xDB);
  const Bytes wrapped = testing::KissWrap(huge);
  log.insert(log.end(), wrapped.begin(), wrapped.end());
  const Bytes cut = testing::KissWrap(testing::BuildFrame(testing::Information(8, 'S')));
  log.insert(log.end(), cut.begin(), cut.begin() + 60);
  return log;
}

Bytes DemoLog() {
  std::ifstream in(std::string(QUILMAR_SOURCE_DIR) + "/samples/demo.kss", std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The same log through the de-framer and a frame store, fed in chunks of random sizes from
// 1 byte to 64 KiB (log-uniform, so runs of tiny chunks occur).
LoadSummary FeedInChunks(const Bytes& log, FrameTable& table, unsigned seed, int largest) {
  FrameStore store(table);
  KissDeframer deframer([&](const FrameBuffer& frame) {
    store.Append(frame);
    return true;
  });
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> exponent(0.0, std::log2(largest));
  for (std::size_t at = 0; at < log.size();) {
    const auto size =
        std::min(log.size() - at, static_cast<std::size_t>(std::exp2(exponent(random))));
    EXPECT_EQ(deframer.Feed({log.data() + at, size}), size);
    at += size;
  }
  LoadSummary summary;
  summary.framesStored = table.frameCount;
  summary.framesSkipped = store.FramesSkipped();
  summary.framesRejected = deframer.FramesRejected();
  summary.endedInsideFrame = deframer.InsideFrame();
  summary.bytesRead = deframer.BytesFed();
  summary.missingFrames = store.TakeMissing();
  return summary;
}

void ExpectSameRecords(const FrameTable& expected, const FrameTable& actual) {
  ASSERT_EQ(expected.frameCount, actual.frameCount);
  for (int i = 1; i <= expected.frameCount; ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    const FrameRecord& a = expected.Record(i);
    const FrameRecord& b = actual.Record(i);
    // Bitwise, so NaN and negative zero read from a frame's floats compare too.
    EXPECT_EQ(std::memcmp(a.values.data(), b.values.data(), sizeof a.values), 0);
    EXPECT_EQ(a.hexDump, b.hexDump);
    EXPECT_EQ(a.comText, b.comText);
    EXPECT_EQ(a.dateTime, b.dateTime);
    EXPECT_EQ(a.weekday, b.weekday);
    EXPECT_EQ(a.frameTypeLetter, b.frameTypeLetter);
    EXPECT_EQ(a.frameNumber, b.frameNumber);
    EXPECT_EQ(a.frameType, b.frameType);
    EXPECT_EQ(a.primaryCounter, b.primaryCounter);
    EXPECT_EQ(a.secondaryCounter, b.secondaryCounter);
  }
}

std::vector<std::pair<std::int32_t, std::int32_t>> Gaps(const MissingFrames& missing) {
  std::vector<std::pair<std::int32_t, std::int32_t>> gaps;
  for (const FrameGap& gap : missing.Gaps()) {
    gaps.emplace_back(gap.highest, gap.count);
  }
  return gaps;
}

struct ChunkCase {
  const char* name;
  Bytes log;
  int largestChunk;
  bool fillsTheTable = false;
};

TEST(KissDeframerTest, ChunkedFeedGivesTheFileLoad) {
  const Bytes hostile = HostileLog(11, 600);
  const Bytes demo = DemoLog();
  ASSERT_FALSE(demo.empty());
  // More than 5000 accepted frames, so the skipped count takes part too: the file load only
  // counts those, the frame store decodes them.
  const Bytes overfull = HostileLog(12, 9000);
  const ChunkCase cases[] = {{"demo", demo, 65536},
                             {"demo bytes", demo, 4},
                             {"hostile", hostile, 65536},
                             {"hostile bytes", hostile, 8},
                             {"overfull", overfull, 65536, true}};
  static FrameTable loaded;
  static FrameTable fed;
  for (const ChunkCase& c : cases) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(seed));
      const auto source = MemorySource(c.log);
      const LoadSummary expected = ReadKissLog(*source, loaded);
      const LoadSummary actual = FeedInChunks(c.log, fed, seed, c.largestChunk);
      EXPECT_GT(expected.framesStored, 0);
      EXPECT_EQ(expected.framesSkipped > 0, c.fillsTheTable);
      EXPECT_EQ(actual.framesStored, expected.framesStored);
      EXPECT_EQ(actual.framesSkipped, expected.framesSkipped);
      EXPECT_EQ(actual.framesRejected, expected.framesRejected);
      EXPECT_EQ(actual.endedInsideFrame, expected.endedInsideFrame);
      EXPECT_EQ(actual.bytesRead, expected.bytesRead);
      EXPECT_EQ(Gaps(actual.missingFrames), Gaps(expected.missingFrames));
      ExpectSameRecords(loaded, fed);
    }
  }
}

// The KISS rules one byte at a time, written plainly: what the fast de-framer must equal.
struct PlainResult {
  std::vector<FrameBuffer> accepted;
  std::int64_t rejected = 0;
};

PlainResult DeframePlainly(const Bytes& log) {
  PlainResult result;
  FrameBuffer frame{};
  std::size_t at = 0;
  auto store = [&](int length, std::uint8_t byte) {
    if (length - 1 < kFrameBufferSize) {
      frame[static_cast<std::size_t>(length - 1)] = byte;
    }
  };
  while (at < log.size() && log[at] != kFend) {
    ++at;
  }
  ++at;  // each FEND ends one frame and begins the next
  for (;;) {
    frame.fill(0);
    int length = 0;
    bool escape = false;
    bool closed = false;
    while (!closed && at < log.size()) {
      std::uint8_t byte = log[at++];
      length = std::min(length + 1, 32767);
      if (byte == kFesc) {
        escape = true;
      } else if (escape && (byte == kTfend || byte == kTfesc)) {
        store(--length, byte == kTfend ? kFend : kFesc);
        escape = false;
      } else {
        store(length, byte);
        closed = byte == kFend;
      }
    }
    if (!closed) {
      return result;
    }
    if (length == 1) {
      continue;
    }
    const Bytes good = testing::BuildFrame({});
    const bool ours =
        frame[0] == 0 && std::equal(good.begin() + 1, good.begin() + 7, frame.begin() + 1,
                                    [](auto x, auto y) { return x == (y & 0xFE); });
    const bool source = std::equal(good.begin() + 8, good.begin() + 14, frame.begin() + 8,
                                   [](auto x, auto y) { return x == (y & 0xFE); });
    if (ours && source && (frame[7] & 0x1E) == 0 && (frame[14] & 0x1E) == 0) {
      result.accepted.push_back(frame);
    } else {
      ++result.rejected;
    }
  }
}

TEST(KissDeframerTest, FastPathsKeepTheByteRules) {
  for (unsigned seed = 20; seed < 26; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Bytes log = HostileLog(seed, 300);
    const PlainResult expected = DeframePlainly(log);
    std::vector<FrameBuffer> accepted;
    KissDeframer deframer([&](const FrameBuffer& frame) {
      accepted.push_back(frame);
      return true;
    });
    deframer.Feed(log);
    EXPECT_EQ(deframer.FramesRejected(), expected.rejected);
    ASSERT_EQ(accepted.size(), expected.accepted.size());
    for (std::size_t i = 0; i < accepted.size(); ++i) {
      EXPECT_EQ(accepted[i], expected.accepted[i]) << "frame " << i;
    }
  }
}

TEST(KissDeframerTest, EscapeSplitAcrossChunks) {
  // The frame number's high byte is an escaped FEND whose FESC ends one chunk.
  const Bytes log = testing::KissLog({testing::BuildFrame(testing::Information(0xC012, 'S'))});
  const auto fesc =
      static_cast<std::size_t>(std::find(log.begin(), log.end(), kFesc) - log.begin());
  std::vector<int> numbers;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    numbers.push_back(frame[17] * 256 + frame[18]);
    return true;
  });
  deframer.Feed({log.data(), fesc + 1});
  EXPECT_TRUE(deframer.InsideFrame());
  deframer.Feed({log.data() + fesc + 1, log.size() - fesc - 1});
  EXPECT_EQ(numbers, (std::vector<int>{0xC012}));
  EXPECT_FALSE(deframer.InsideFrame());
}

std::vector<int> Numbers(const std::vector<FrameBuffer>& frames) {
  std::vector<int> numbers;
  for (const FrameBuffer& frame : frames) {
    numbers.push_back(frame[17] * 256 + frame[18]);
  }
  return numbers;
}

TEST(KissDeframerTest, EveryFrameAmongNoiseAndSharedFends) {
  // 1000 frames, every other one sharing its opening FEND with the previous frame's closing
  // one, and 10 MB of noise, FENDs and escapes among it, cut into the gaps.
  std::mt19937 random(7);
  Bytes log;
  for (int i = 0; i < 1000; ++i) {
    Bytes noise(10000 + random() % 1000);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<std::uint8_t>(random()); });
    log.insert(log.end(), noise.begin(), noise.end());
    Bytes wrapped = testing::KissWrap(
        testing::BuildFrame(testing::Information(static_cast<std::uint16_t>(i), 'S'), {}));
    if (i % 2 == 1) {
      wrapped.erase(wrapped.begin());
      log.push_back(kFend);
    }
    log.insert(log.end(), wrapped.begin(), wrapped.end());
  }
  std::vector<FrameBuffer> accepted;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    accepted.push_back(frame);
    return true;
  });
  deframer.Feed(log);
  std::vector<int> expected(1000);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(Numbers(accepted), expected);
  EXPECT_GT(deframer.FramesRejected(), 30000);
}

// A frame filling the buffer but one byte, then FESC and another byte at the buffer's end,
// the chunk cut before the closing FEND: the next chunk must still end it and read the next.
TEST(KissDeframerTest, EscapeAtTheBufferEndAcrossChunks) {
  Bytes first = testing::BuildFrame(testing::Information(1, 'S'));
  first.resize(kFrameBufferSize - 1, 0x5A);
  Bytes log = testing::KissWrap(first);
  log.pop_back();
  log.insert(log.end(), {kFesc, 0x41});
  const Bytes rest = testing::KissLog({testing::BuildFrame(testing::Information(2, 'S'))});
  std::vector<FrameBuffer> accepted;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    accepted.push_back(frame);
    return true;
  });
  EXPECT_EQ(deframer.Feed(log), log.size());
  EXPECT_EQ(deframer.Feed(rest), rest.size());
  EXPECT_EQ(Numbers(accepted), (std::vector<int>{1, 2}));
  ASSERT_EQ(accepted.size(), 2u);
  EXPECT_EQ(accepted[0][kFrameBufferSize - 2], 0x5A);
  EXPECT_EQ(accepted[0][kFrameBufferSize - 1], 0);  // the FESC's place, still pending
}

// A connection lost after `cut` bytes of a frame; the next connection begins with the rest of
// a frame the TNC was sending. A FEND fed whenever FrameOpen() says so keeps those bytes out
// of the cut frame, which is read as far as it came; FrameOpen() is false where a FEND would
// end nothing.
TEST(KissDeframerTest, FrameOpenJoinsAStreamCutAnywhere) {
  const Bytes first = testing::BuildFrame(testing::Information(1, 'S'));
  const Bytes wrapped = testing::KissWrap(first);
  Bytes second{0x5A, 0x5A, 0x5A};
  const Bytes next = testing::KissLog({testing::BuildFrame(testing::Information(2, 'S'))});
  second.insert(second.end(), next.begin(), next.end());
  for (std::size_t cut = 0; cut <= wrapped.size(); ++cut) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes");
    std::vector<FrameBuffer> accepted;
    KissDeframer deframer([&](const FrameBuffer& frame) {
      accepted.push_back(frame);
      return true;
    });
    deframer.Feed({wrapped.data(), cut});
    const bool open = cut >= 2 && cut < wrapped.size();
    EXPECT_EQ(deframer.FrameOpen(), open);
    EXPECT_EQ(deframer.InsideFrame(), open);
    if (deframer.FrameOpen()) {
      const std::uint8_t fend = kFend;
      deframer.Feed({&fend, 1});
    }
    deframer.Feed(second);
    // The address check needs the command byte and both addresses, 15 bytes; the FEND that
    // ends the frame may stand for the source's SSID byte, which only needs bits 1..4 clear.
    const std::size_t dataBytes = cut == 0 ? 0 : std::min(cut - 1, first.size());
    ASSERT_EQ(accepted.size(), dataBytes >= 14 ? 2u : 1u);
    if (dataBytes >= 14) {
      FrameBuffer cutFrame{};
      std::copy_n(first.begin(), dataBytes, cutFrame.begin());
      cutFrame[dataBytes] = kFend;  // the joining FEND, or the frame's own
      EXPECT_EQ(accepted[0], cutFrame);
    }
    EXPECT_EQ(Numbers(accepted).back(), 2);
  }
}

}  // namespace
}  // namespace quilmar
