// The KISS reader: framing, escaping, the AX.25 address check, the table's limits, the hooks
// and the guarantees that one bad frame does not spoil the next.
#include "core/kiss_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;
using testing::kFend;
using testing::kFesc;
using testing::kTfend;
using testing::kTfesc;

Bytes Frame(std::uint16_t number, const testing::FrameAddresses& addresses = {}) {
  return testing::BuildFrame(testing::Information(number, 'G'), addresses);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

LoadSummary Load(const Bytes& log, FrameTable& table, const ReadHooks& hooks = {}) {
  const auto source = MemorySource(log);
  return ReadKissLog(*source, table, hooks);
}

std::vector<int> StoredNumbers(const FrameTable& table) {
  std::vector<int> numbers;
  for (int i = 1; i <= table.frameCount; ++i) {
    numbers.push_back(table.Record(i).frameNumber);
  }
  return numbers;
}

Bytes FescForCommandByte(Bytes frame) {
  frame[0] = kFesc;
  return frame;
}

struct FramingCase {
  const char* name;
  Bytes log;
  std::vector<int> stored;
  int rejected;
  bool endedInsideFrame;
};

class FramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingTest, StoresTheDelimitedFrames) {
  const FramingCase& c = GetParam();
  FrameTable table;
  const LoadSummary summary = Load(c.log, table);
  EXPECT_EQ(StoredNumbers(table), c.stored);
  EXPECT_EQ(summary.framesStored, table.frameCount);
  EXPECT_EQ(summary.framesRejected, c.rejected);
  EXPECT_EQ(summary.endedInsideFrame, c.endedInsideFrame);
  EXPECT_EQ(summary.bytesRead, static_cast<std::int64_t>(c.log.size()));
  EXPECT_TRUE(summary.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Logs, FramingTest,
    ::testing::Values(
        FramingCase{"Empty", {}, {}, 0, false}, FramingCase{"NoFend", {1, 2, 3}, {}, 0, false},
        FramingCase{"TwoFrames", testing::KissLog({Frame(1), Frame(2)}), {1, 2}, 0, false},
        // Noise between frames is a candidate of its own, rejected; the frames around it stay.
        FramingCase{"NoiseBetweenFrames",
                    Concat({{0x55, 0x01},
                            testing::KissWrap(Frame(1)),
                            {0x33, 0x44},
                            testing::KissWrap(Frame(2))}),
                    {1, 2},
                    1,
                    false},
        FramingCase{"NoiseHoldingAFend",
                    Concat({testing::KissWrap(Frame(1)),
                            {0x12, kFend, 0x34, 0x56},
                            testing::KissWrap(Frame(2))}),
                    {1, 2},
                    2,
                    false},
        // One FEND between two frames ends the first and begins the second.
        FramingCase{"SharedDelimiters",
                    Concat({{kFend}, Frame(1), {kFend}, Frame(2), {kFend}}),
                    {1, 2},
                    0,
                    false},
        // FEND FEND holds no frame: nothing to store or to count.
        FramingCase{"DoubleFendIsNothing",
                    Concat({{kFend, kFend}, Frame(1), {kFend, kFend}}),
                    {1},
                    0,
                    false},
        FramingCase{"OnlyFends", {kFend, kFend, kFend, kFend}, {}, 0, false},
        // A FESC before another byte leaves its place 0, so it may stand for the command byte.
        FramingCase{"FescInPlaceOfTheCommandByte",
                    Concat({{kFend}, FescForCommandByte(Frame(1)), {kFend}}),
                    {1},
                    0,
                    false},
        FramingCase{"LastFrameCutOff",
                    Concat({testing::KissLog({Frame(1)}), {kFend}, Frame(2)}),
                    {1},
                    0,
                    true},
        FramingCase{"LastFrameCutOffAfterASharedFend",
                    Concat({testing::KissLog({Frame(1)}), Frame(2)}),
                    {1},
                    0,
                    true},
        // A stray FEND at the end begins a frame but loses no byte of one.
        FramingCase{
            "LoneFendAtTheEnd", Concat({testing::KissLog({Frame(1)}), {kFend}}), {1}, 0, false},
        FramingCase{"CutOffAfterOneByte",
                    Concat({testing::KissLog({Frame(1)}), {kFend, 0x00}}),
                    {1},
                    0,
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

struct AddressCase {
  const char* name;
  testing::FrameAddresses addresses;
  std::uint8_t destinationSsidByte;  // 0 keeps the builder's byte
  bool accepted;
};

class AddressCheckTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressCheckTest, KeepsOnlyXq0satToXq0gnd) {
  const AddressCase& c = GetParam();
  Bytes frame = Frame(5, c.addresses);
  if (c.destinationSsidByte != 0) {
    frame[7] = c.destinationSsidByte;
  }
  FrameTable table;
  const LoadSummary summary = Load(testing::KissLog({frame}), table);
  EXPECT_EQ(table.frameCount, c.accepted ? 1 : 0);
  EXPECT_EQ(summary.framesRejected, c.accepted ? 0 : 1);
}

testing::FrameAddresses With(std::string destination, int destinationSsid, std::string source,
                             int sourceSsid, std::uint8_t command = 0) {
  return {std::move(destination), destinationSsid, std::move(source), sourceSsid, command};
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressCheckTest,
    ::testing::Values(
        AddressCase{"Spacecraft", With("XQ0GND", 0, "XQ0SAT", 0), 0, true},
        // Only SSID bits 1..4 count: the reserved bits and the end-of-address bit do not.
        AddressCase{"OtherSsidBitsIgnored", With("XQ0GND", 0, "XQ0SAT", 0), 0xE1, true},
        AddressCase{"DestinationSsid1", With("XQ0GND", 1, "XQ0SAT", 0), 0, false},
        AddressCase{"SourceSsid5", With("XQ0GND", 0, "XQ0SAT", 5), 0, false},
        AddressCase{"SourceSsid15", With("XQ0GND", 0, "XQ0SAT", 15), 0, false},
        // SSID 8 sets only the SSID byte's bit 4.
        AddressCase{"SourceSsid8", With("XQ0GND", 0, "XQ0SAT", 8), 0, false},
        AddressCase{"DestinationSsid8", With("XQ0GND", 8, "XQ0SAT", 0), 0, false},
        AddressCase{"KissPort1", With("XQ0GND", 0, "XQ0SAT", 0, 0x10), 0, false},
        AddressCase{"OtherStation", With("XQ0GND", 0, "XQ0ABC", 0), 0, false},
        AddressCase{"SwappedAddresses", With("XQ0SAT", 0, "XQ0GND", 0), 0, false},
        AddressCase{"LowerCase", With("XQ0GND", 0, "xq0sat", 0), 0, false},
        AddressCase{"ShortCallsign", With("XQ0GND", 0, "XQ0SA", 0), 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KissReaderTest, AddressCharactersIgnoreTheirLowestBit) {
  Bytes frame = Frame(5);
  for (int position = 1; position <= 13; ++position) {
    frame[static_cast<std::size_t>(position)] |= 0x01;
  }
  FrameTable table;
  Load(testing::KissLog({frame}), table);
  EXPECT_EQ(table.frameCount, 1);
}

struct EscapeCase {
  const char* name;
  Bytes header;  // escaped bytes for information bytes 0.. onwards
  int frameNumber;
  int frameType;
};

class EscapingTest : public ::testing::TestWithParam<EscapeCase> {};

// The escaped bytes stand where the frame number is; the frame type after them shows whether
// the later positions shifted as they should.
TEST_P(EscapingTest, UndoesKissEscaping) {
  const EscapeCase& c = GetParam();
  const Bytes addresses = testing::BuildFrame(Bytes{});
  Bytes log{kFend};
  log.insert(log.end(), addresses.begin(), addresses.end());
  log.insert(log.end(), c.header.begin(), c.header.end());
  log.push_back(kFend);
  FrameTable table;
  Load(log, table);
  ASSERT_EQ(table.frameCount, 1);
  EXPECT_EQ(table.Record(1).frameNumber, c.frameNumber);
  EXPECT_EQ(table.Record(1).frameType, c.frameType);
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, EscapingTest,
    ::testing::Values(
        EscapeCase{"Plain", {0x12, 0x34, 'S'}, 0x1234, 'S'},
        EscapeCase{"EscapedFendAndFesc", {kFesc, kTfend, kFesc, kTfesc, 'S'}, 0xC0DB, 'S'},
        EscapeCase{"LoneTfendAndTfesc", {kTfend, kTfesc, 'S'}, 0xDCDD, 'S'},
        // FESC before another byte leaves its own position at 0 and stays pending: the next
        // TFEND of the frame is taken as escaped and lands on the other byte's position.
        EscapeCase{"FescBeforeOtherByte", {kFesc, 0x41, kTfend, 'S'}, 0x00C0, 'S'},
        EscapeCase{"DoubleFesc", {kFesc, kFesc, kTfesc, 'S'}, 0x00DB, 'S'}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KissReaderTest, PendingEscapeDoesNotReachTheNextFrame) {
  // The first frame ends in a stray FESC; the second carries a lone TFEND as its frame
  // number's high byte.
  Bytes first = testing::KissWrap(Frame(1));
  first.insert(first.end() - 1, kFesc);
  Bytes second = testing::BuildFrame(testing::Information(0xDC01, 'G', 0x77));
  const Bytes log = Concat({first, testing::KissWrap(second)});
  FrameTable table;
  Load(log, table);
  ASSERT_EQ(table.frameCount, 2);
  EXPECT_EQ(table.Record(2).frameNumber, 0xDC01);
  EXPECT_EQ(table.Record(2).primaryCounter, 0x77);
}

TEST(KissReaderTest, ShortFrameReadsZerosBeyondItsEnd) {
  // A full frame with every information byte set, then one that ends after its frame type.
  Bytes full = testing::HousekeepingFrame(1, 41, 20);
  std::fill(full.begin() + 24, full.end(), std::uint8_t{0xEE});
  Bytes shortFrame = testing::BuildFrame(testing::Information(2, 'S', 0, 0, 3));
  FrameTable table;
  Load(testing::KissLog({full, shortFrame}), table);
  ASSERT_EQ(table.frameCount, 2);
  const FrameRecord& record = table.Record(2);
  // The closing FEND lands after the last data byte (information byte 3); the rest is zero.
  std::string expected = "00 02 53 C0 ";
  for (int k = 4; k < 134; ++k) {
    expected += "00 ";
  }
  EXPECT_EQ(record.hexDump, expected);
  EXPECT_EQ(record.primaryCounter, 0xC0);
  EXPECT_FALSE(record.HasSection(Section::kEpsTcs));
  EXPECT_FALSE(record.HasSection(Section::kCom));
  EXPECT_TRUE(record.comText.empty());
}

TEST(KissReaderTest, ShorterFrameClearsEveryPositionTheLastOneReached) {
  // The first frame ends early, its closing FEND at position 100; the next ends at 40. Every
  // position past the second frame's end reads 0, the first frame's FEND included.
  Bytes first = testing::BuildFrame(testing::Information(1, 'S'));
  first.resize(100);
  std::fill(first.begin() + 23, first.end(), std::uint8_t{0xEE});
  Bytes second = testing::BuildFrame(testing::Information(2, 'S'));
  second.resize(40, 0x11);
  FrameTable table;
  Load(testing::KissLog({first, second}), table);
  ASSERT_EQ(table.frameCount, 2);
  ASSERT_EQ(table.Record(1).hexDump.substr(83 * 3, 3), "C0 ");
  std::string expected = table.Record(2).hexDump.substr(0, 23 * 3) + "C0 ";
  for (int k = 24; k < 134; ++k) {
    expected += "00 ";
  }
  EXPECT_EQ(table.Record(2).hexDump, expected);
}

TEST(KissReaderTest, ShortHousekeepingFrameDecodesZerosPastItsEnd) {
  Bytes full = testing::HousekeepingFrame(1, 41, 20);
  std::fill(full.begin() + 24, full.end(), std::uint8_t{0xEE});
  Bytes shortFrame = testing::HousekeepingFrame(2, 41, 0);
  shortFrame.resize(25);  // ends with the EPS/TCS Mode byte at position 24
  shortFrame[24] = 3;
  FrameTable table;
  Load(testing::KissLog({full, shortFrame}), table);
  ASSERT_EQ(table.frameCount, 2);
  const FrameRecord& record = table.Record(2);
  EXPECT_EQ(record.values[0], 41);
  EXPECT_EQ(record.values[1], 3);
  EXPECT_EQ(record.values[2], 192);  // the closing FEND at position 25
  EXPECT_EQ(record.values[3], 0);
  EXPECT_EQ(record.values[37], 0);
  EXPECT_FALSE(record.HasSection(Section::kCom));
}

TEST(KissReaderTest, LongFramesKeepTheirFirst512Bytes) {
  // 70000 bytes: beyond the buffer and beyond what a 16-bit length could count.
  Bytes longFrame = Frame(1);
  longFrame.back() = 0x5A;
  longFrame.resize(70000, 0x5A);
  const Bytes log = testing::KissLog({longFrame, Frame(2)});
  FrameTable table;
  const LoadSummary summary = Load(log, table);
  ASSERT_EQ(StoredNumbers(table), (std::vector<int>{1, 2}));
  EXPECT_EQ(table.Record(1).frameType, 'G');
  EXPECT_EQ(table.Record(1).hexDump.substr(399), "5A ");
  EXPECT_EQ(summary.bytesRead, static_cast<std::int64_t>(log.size()));
}

TEST(KissReaderTest, RecordsOfAnEarlierLoadAreCleared) {
  Bytes cdhsAdcs = testing::HousekeepingFrame(1, 23, 64);
  cdhsAdcs.resize(151, 0x01);
  FrameTable table;
  Load(testing::KissLog({cdhsAdcs, cdhsAdcs}), table);
  ASSERT_TRUE(table.Record(1).HasSection(Section::kAdcs));

  Load(testing::KissLog({testing::HousekeepingFrame(9, 41, 20)}), table);
  ASSERT_EQ(table.frameCount, 1);
  const FrameRecord& record = table.Record(1);
  for (int row = 54; row <= 92; ++row) {
    EXPECT_EQ(record.values[row], 0.0) << "row " << row;
  }
  EXPECT_TRUE(record.dateTime.empty());
  EXPECT_TRUE(record.weekday.empty());
  EXPECT_EQ(record.comText.size(), 33u);
  EXPECT_FALSE(table.IsCurrent(2));
}

TEST(KissReaderTest, StoresAtMost5000Frames) {
  std::vector<Bytes> frames;
  for (int i = 0; i < kFrameTableCapacity + 1; ++i) {
    frames.push_back(Frame(static_cast<std::uint16_t>(i)));
  }
  frames.push_back(Frame(1, With("XQ0GND", 0, "XQ0ABC", 0)));
  int storedCalls = 0;
  int everyCalls = 0;
  ReadHooks hooks;
  hooks.afterStoredFrame = [&](int index, const FrameRecord& record) {
    ++storedCalls;
    EXPECT_EQ(record.frameNumber, index - 1);
  };
  hooks.onProgress = [&](std::int64_t) { return ++everyCalls > 0; };
  FrameTable table;
  const LoadSummary summary = Load(testing::KissLog(frames), table, hooks);
  EXPECT_EQ(table.frameCount, kFrameTableCapacity);
  EXPECT_EQ(summary.framesStored, kFrameTableCapacity);
  EXPECT_EQ(summary.framesSkipped, 1);
  EXPECT_EQ(summary.framesRejected, 1);
  EXPECT_EQ(storedCalls, kFrameTableCapacity);
  // Once per frame, and once per chunk read besides.
  EXPECT_GE(everyCalls, kFrameTableCapacity + 2);
  EXPECT_EQ(table.Record(kFrameTableCapacity).frameNumber, kFrameTableCapacity - 1);
}

TEST(KissReaderTest, CancelStopsAsIfTheLogEndedThere) {
  const Bytes frame1 = testing::KissWrap(Frame(10));
  const Bytes log = testing::KissLog({Frame(10), Frame(14), Frame(15), Frame(20)});
  std::vector<std::int64_t> positions;
  ReadHooks hooks;
  hooks.onProgress = [&](std::int64_t bytesRead) {
    positions.push_back(bytesRead);
    return positions.size() < 2;
  };
  FrameTable table;
  const LoadSummary summary = Load(log, table, hooks);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(StoredNumbers(table), (std::vector<int>{10, 14}));
  const auto frameBytes = static_cast<std::int64_t>(frame1.size());
  EXPECT_EQ(positions, (std::vector<std::int64_t>{frameBytes, 2 * frameBytes}));
  EXPECT_EQ(summary.bytesRead, 2 * frameBytes);
  // The missing-frame check runs on what was stored.
  EXPECT_EQ(summary.missingFrames.Count(), 3);
  EXPECT_EQ(summary.missingFrames.At(0), 13);
}

TEST(KissReaderTest, ProgressRunsWhileNoFrameEnds) {
  // A zero-filled file (a sparse file picked by mistake) holds no FEND at all: the caller
  // must still see progress and be able to cancel it.
  const Bytes zeros(1 << 20, 0);
  std::vector<std::int64_t> positions;
  ReadHooks hooks;
  hooks.onProgress = [&](std::int64_t bytesRead) {
    positions.push_back(bytesRead);
    return positions.size() < 3;
  };
  FrameTable table;
  const LoadSummary summary = Load(zeros, table, hooks);
  EXPECT_TRUE(summary.cancelled);
  ASSERT_EQ(positions.size(), 3u);
  EXPECT_GT(positions[0], 0);
  EXPECT_LT(positions[2], static_cast<std::int64_t>(zeros.size()));
  EXPECT_EQ(summary.bytesRead, positions[2]);
  EXPECT_FALSE(summary.endedInsideFrame);
}

TEST(KissReaderTest, MissingFramesOfTheLoad) {
  FrameTable table;
  const LoadSummary summary =
      Load(testing::KissLog({Frame(10), Frame(14), Frame(15), Frame(65535), Frame(0)}), table);
  std::vector<int> missing;
  summary.missingFrames.ForEach([&](std::int32_t number) { missing.push_back(number); });
  ASSERT_EQ(missing.size(), 3u + 65519u);
  EXPECT_EQ(std::vector<int>(missing.begin(), missing.begin() + 4),
            (std::vector<int>{13, 12, 11, 65534}));
  EXPECT_EQ(missing.back(), 16);
}

}  // namespace
}  // namespace quilmar
