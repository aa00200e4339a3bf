// Housekeeping section decoding: which sections a frame is recognised to carry, the byte
// layout of each row, the spacecraft clock text and the record's header and texts.
#include "core/section_decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "core/conversions.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;
using testing::Put;

constexpr std::uint8_t kEps = 41, kCom = 20, kCdhs = 23, kAdcs = 64;

FrameBuffer ToBuffer(const Bytes& frame) {
  FrameBuffer buffer{};
  std::copy_n(frame.begin(), std::min(frame.size(), buffer.size()), buffer.begin());
  return buffer;
}

FrameRecord Decode(const Bytes& frame) {
  FrameRecord record;
  FillFrameRecord(ToBuffer(frame), record);
  return record;
}

struct RecognitionCase {
  const char* name;
  char type;
  std::uint8_t first;   // information byte 6
  std::uint8_t second;  // information byte 70
  std::vector<Section> decoded;
};

class SectionRecognitionTest : public ::testing::TestWithParam<RecognitionCase> {};

// Every other byte of the frame is non-zero, so a row written by an unrecognised section
// would show.
TEST_P(SectionRecognitionTest, DecodesExactlyTheRecognisedSections) {
  const RecognitionCase& c = GetParam();
  Bytes frame = testing::BuildFrame(testing::Information(7, c.type));
  std::fill(frame.begin() + 20, frame.end(), std::uint8_t{0x11});
  Put(frame, 23, {c.first});
  Put(frame, 87, {c.second});
  const FrameRecord record = Decode(frame);

  for (const SectionInfo& section : kSections) {
    SCOPED_TRACE(section.name);
    const bool expected = std::ranges::count(c.decoded, section.section) == 1;
    EXPECT_EQ(record.HasSection(section.section), expected);
    for (int row = section.firstRow; row <= section.lastRow && !expected; ++row) {
      EXPECT_EQ(record.values[row], 0.0) << "row " << row;
    }
  }
  const bool com = std::ranges::count(c.decoded, Section::kCom) == 1;
  const bool cdhs = std::ranges::count(c.decoded, Section::kCdhs) == 1;
  EXPECT_EQ(record.comText.size(), com ? 33u : 0u);
  EXPECT_EQ(record.dateTime.empty(), !cdhs);
  EXPECT_EQ(record.weekday.empty(), !cdhs);
  EXPECT_EQ(record.hexDump.size(), 402u);
  // The clock alone, as an import reads it first, over whatever the text held before.
  std::string clock = "07.03.2009 14:05:09";
  WriteSpacecraftClock(ToBuffer(frame), clock);
  EXPECT_EQ(clock, record.dateTime);
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, SectionRecognitionTest,
    ::testing::Values(
        RecognitionCase{"EpsAndCom", 'S', kEps, kCom, {Section::kEpsTcs, Section::kCom}},
        RecognitionCase{"CdhsAndAdcs", 'S', kCdhs, kAdcs, {Section::kCdhs, Section::kAdcs}},
        RecognitionCase{"EpsAndAdcs", 'S', kEps, kAdcs, {Section::kEpsTcs, Section::kAdcs}},
        RecognitionCase{"CdhsAndCom", 'S', kCdhs, kCom, {Section::kCdhs, Section::kCom}},
        RecognitionCase{"EpsOnly", 'S', kEps, 21, {Section::kEpsTcs}},
        RecognitionCase{"AdcsOnly", 'S', 0, kAdcs, {Section::kAdcs}},
        RecognitionCase{"NearMissLengths", 'S', 40, 21, {}},
        RecognitionCase{"SecondPlaceLengthsAtFirstPlace", 'S', kCom, kEps, {}},
        RecognitionCase{"GpsFrame", 'G', kEps, kCom, {}},
        RecognitionCase{"LowerCaseType", 's', kCdhs, kAdcs, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct LayoutCase {
  const char* name;
  std::uint8_t first;
  std::uint8_t second;
  std::size_t position;
  std::vector<std::uint8_t> bytes;
  int row;
  double expected;
};

class SectionLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SectionLayoutTest, RowReadsItsBytes) {
  const LayoutCase& c = GetParam();
  Bytes frame = testing::HousekeepingFrame(1, c.first, c.second);
  frame.resize(151, 0);
  std::ranges::copy(c.bytes, frame.begin() + static_cast<long>(c.position));
  EXPECT_EQ(Decode(frame).values[c.row], c.expected);
}

constexpr double kMilliampsOf1 = double(6.2745098f);

INSTANTIATE_TEST_SUITE_P(
    EpsTcs, SectionLayoutTest,
    ::testing::Values(
        LayoutCase{"Marker", kEps, 0, 24, {}, 0, 41}, LayoutCase{"Mode", kEps, 0, 24, {7}, 1, 7},
        LayoutCase{"EmergencyCount", kEps, 0, 29, {9}, 6, 9},
        LayoutCase{"BeaconTimerOne", kEps, 0, 30, {1, 0, 0, 0}, 7, 1},
        LayoutCase{"BeaconTimerLittleEndian", kEps, 0, 30, {0x78, 0x56, 0x34, 0x12}, 7, 305419896},
        LayoutCase{"BeaconTimerLargest", kEps, 0, 30, {0xFF, 0xFF, 0xFF, 0x7F}, 7, 2147483647},
        LayoutCase{"BeaconTimerSignBitLeavesZero", kEps, 0, 30, {0, 0, 0, 0x80}, 7, 0},
        LayoutCase{"BeaconTimerAllOnesLeavesZero", kEps, 0, 30, {0xFF, 0xFF, 0xFF, 0xFF}, 7, 0},
        LayoutCase{"SolarSide2Volts", kEps, 0, 34, {51}, 8, 1},
        LayoutCase{"SolarSide2Curr", kEps, 0, 35, {255}, 9, 1600},
        LayoutCase{"SolarSide6Curr", kEps, 0, 43, {1}, 17, kMilliampsOf1},
        LayoutCase{"BatteryVolts", kEps, 0, 44, {255}, 18, 5},
        LayoutCase{"UnregLineCurr", kEps, 0, 48, {255}, 22, 1600},
        LayoutCase{"HeaterCounter", kEps, 0, 50, {3}, 24, 3},
        LayoutCase{"HeaterCurr", kEps, 0, 51, {1}, 25, kMilliampsOf1},
        LayoutCase{"TempSensor1", kEps, 0, 52, {0xFF}, 26, -1},
        LayoutCase{"TempAdc3Plus128", kEps, 0, 58, {0x80}, 32, 128},
        LayoutCase{"LimitHeaterOff", kEps, 0, 60, {0x81}, 34, -127},
        LayoutCase{"LimitVoltEm", kEps, 0, 62, {51}, 36, 1},
        LayoutCase{"Deployment", kEps, 0, 63, {1}, 37, 1}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Com, SectionLayoutTest,
    ::testing::Values(LayoutCase{"Marker", 0, kCom, 88, {}, 38, 20},
                      LayoutCase{"Mode", 0, kCom, 88, {5}, 39, 5},
                      LayoutCase{"GsCommandRecv", 0, kCom, 96, {2}, 47, 2},
                      LayoutCase{"PacketsIn", 0, kCom, 97, {0x34, 0x12}, 48, 4660},
                      LayoutCase{"PacketOut", 0, kCom, 99, {0x01, 0x02}, 49, 513},
                      LayoutCase{"ResendAct", 0, kCom, 101, {0xFF, 0xFF}, 50, 65535},
                      LayoutCase{"ResendStop", 0, kCom, 103, {0x00, 0x01}, 51, 256},
                      LayoutCase{"SendTestbeacon", 0, kCom, 105, {1}, 52, 1},
                      LayoutCase{"SendTestpacket", 0, kCom, 106, {2}, 53, 2}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Cdhs, SectionLayoutTest,
    ::testing::Values(LayoutCase{"Marker", kCdhs, 0, 24, {}, 54, 23},
                      LayoutCase{"Mode", kCdhs, 0, 24, {4}, 55, 4},
                      LayoutCase{"PowerSafeCounter", kCdhs, 0, 28, {6}, 59, 6},
                      LayoutCase{"HkTimeBigEndian", kCdhs, 0, 29, {0x12, 0x34}, 60, 4660},
                      LayoutCase{"RtcTemp", kCdhs, 0, 38, {0xF6}, 61, -10},
                      LayoutCase{"SysInfoPointer", kCdhs, 0, 39, {0x01, 0x02}, 62, 258},
                      LayoutCase{"AdcsDataPointer", kCdhs, 0, 41, {0xFF, 0xFE}, 63, 65534},
                      LayoutCase{"GpsDataPointer", kCdhs, 0, 43, {0x80, 0x00}, 64, 32768},
                      LayoutCase{"ImageCounter", kCdhs, 0, 45, {9}, 65, 9}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Adcs, SectionLayoutTest,
    ::testing::Values(
        LayoutCase{"Marker", 0, kAdcs, 88, {}, 66, 64},
        LayoutCase{"ActMode", 0, kAdcs, 88, {3}, 67, 3},
        LayoutCase{"GpsStatus", 0, kAdcs, 95, {0xA5}, 74, 165},
        LayoutCase{"PlusXPanel25", 0, kAdcs, 96, {0x00, 0x32}, 75, 25},
        LayoutCase{"PlusYPanelMinusHalf", 0, kAdcs, 98, {0xFF, 0xFF}, 76, -0.5},
        LayoutCase{"MinusXPanel32768StaysPositive", 0, kAdcs, 100, {0x80, 0x00}, 77, 16384},
        LayoutCase{"MinusYPanel32769", 0, kAdcs, 102, {0x80, 0x01}, 78, -16383.5},
        LayoutCase{"MinusZPanel", 0, kAdcs, 104, {0x00, 0x03}, 79, 1.5},
        LayoutCase{"AdcsTemp", 0, kAdcs, 106, {0x00, 0x01}, 80, 0.5},
        LayoutCase{
            "GpsMemPointerUnsigned", 0, kAdcs, 108, {0xFF, 0xFF, 0xFF, 0xFF}, 81, 4294967295.0},
        LayoutCase{"XhkMemPointer", 0, kAdcs, 112, {0x12, 0x34, 0x56, 0x78}, 82, 305419896},
        LayoutCase{"GpsNofixCount", 0, kAdcs, 116, {7}, 83, 7},
        LayoutCase{"ModeLoopCount", 0, kAdcs, 117, {0x01, 0x00}, 84, 256},
        LayoutCase{"QuartComp0", 0, kAdcs, 119, {0x3F, 0x80, 0, 0}, 85, 1},
        LayoutCase{"QuartComp3", 0, kAdcs, 131, {0xC0, 0, 0, 0}, 88, -2},
        LayoutCase{"FixCarPosX", 0, kAdcs, 135, {0x3F, 0xC0, 0, 0}, 89, 1.5},
        LayoutCase{"FixCarPosZ", 0, kAdcs, 143, {0x40, 0x00, 0, 0}, 91, 2},
        LayoutCase{"JulianTeZero", 0, kAdcs, 147, {0, 0, 0, 0}, 92, 2500},
        LayoutCase{"JulianTeOne", 0, kAdcs, 147, {0x3F, 0x80, 0, 0}, 92, 2501},
        // 0.1f widened to double, then 2500 added: not the nearest double to 2500.1.
        LayoutCase{"JulianTeSumInDouble",
                   0,
                   kAdcs,
                   147,
                   {0x3D, 0xCC, 0xCC, 0xCD},
                   92,
                   double(0.1f) + 2500.0}),
    [](const auto& info) { return std::string(info.param.name); });

struct ClockCase {
  const char* name;
  std::vector<std::uint8_t> bytes;  // seconds, minutes, hours, weekday, day, month, year
  const char* dateTime;
  const char* weekday;
};

class ClockTextTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockTextTest, WritesDateTimeAndWeekday) {
  const ClockCase& c = GetParam();
  Bytes frame = testing::HousekeepingFrame(1, kCdhs, 0);
  frame.resize(151, 0);
  std::ranges::copy(c.bytes, frame.begin() + 31);
  const FrameRecord record = Decode(frame);
  EXPECT_EQ(record.dateTime, c.dateTime);
  EXPECT_EQ(record.weekday, c.weekday);
  std::string clock;
  WriteSpacecraftClock(ToBuffer(frame), clock);
  EXPECT_EQ(clock, c.dateTime);
}

INSTANTIATE_TEST_SUITE_P(
    Clock, ClockTextTest,
    ::testing::Values(
        ClockCase{"Example", {9, 5, 14, 3, 7, 3, 9}, "07.03.2009 14:05:09", "Wednesday"},
        ClockCase{"Monday", {0, 0, 0, 1, 1, 1, 0}, "01.01.2000 00:00:00", "Monday"},
        ClockCase{"Sunday", {59, 59, 23, 7, 31, 12, 11}, "31.12.2011 23:59:59", "Sunday"},
        ClockCase{"WeekdayZero", {0, 0, 0, 0, 1, 1, 9}, "01.01.2009 00:00:00", "???"},
        ClockCase{"WeekdayEight", {0, 0, 0, 8, 1, 1, 9}, "01.01.2009 00:00:00", "???"},
        ClockCase{"Year12IsThisCentury", {0, 0, 0, 5, 1, 1, 12}, "01.01.2012 00:00:00", "Friday"},
        ClockCase{"Year99", {0, 0, 0, 2, 1, 1, 99}, "01.01.2099 00:00:00", "Tuesday"},
        ClockCase{"Year100", {0, 0, 0, 4, 1, 1, 100}, "01.01.2000 00:00:00", "Thursday"},
        ClockCase{"Year255", {0, 0, 0, 6, 1, 1, 255}, "01.01.2155 00:00:00", "Saturday"},
        ClockCase{
            "NoRangeCheck", {200, 100, 99, 7, 123, 0, 9}, "123.00.2009 99:100:200", "Sunday"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FillFrameRecordTest, HeaderFieldsAndTexts) {
  Bytes frame = testing::BuildFrame(testing::Information(0xABCD, 'S', 0xFE, 0x1234));
  Put(frame, 23, {kEps});
  Put(frame, 87, {kCom});
  // A beacon text with a zero byte inside and a non-ASCII byte: kept byte for byte.
  Put(frame, 107, {'Q', 'U', 'I', 0x00, 'L', 0xE9});
  Put(frame, 139, {'!'});
  Put(frame, 150, {0x5A});
  const FrameRecord record = Decode(frame);

  EXPECT_EQ(record.frameNumber, 0xABCD);
  EXPECT_EQ(record.frameType, 'S');
  EXPECT_EQ(record.frameTypeLetter, "S");
  EXPECT_EQ(record.primaryCounter, 0xFE);
  EXPECT_EQ(record.secondaryCounter, 0x1234);
  ASSERT_EQ(record.comText.size(), 33u);
  EXPECT_EQ(record.comText.substr(0, 6), std::string("QUI\0L\xE9", 6));
  EXPECT_EQ(record.comText.back(), '!');
  ASSERT_EQ(record.hexDump.size(), 402u);
  EXPECT_EQ(record.hexDump.substr(0, 21), "AB CD 53 FE 12 34 29 ");
  EXPECT_EQ(record.hexDump.substr(90 * 3, 6), "51 55 ");
  EXPECT_EQ(record.hexDump.substr(399), "5A ");
}

TEST(FillFrameRecordTest, TypeLetterIsTheRawByte) {
  const FrameRecord high = Decode(testing::BuildFrame(testing::Information(1, '\xE9')));
  EXPECT_EQ(high.frameType, 0xE9);
  EXPECT_EQ(high.frameTypeLetter, "\xE9");
  const FrameRecord zero = Decode(testing::BuildFrame(testing::Information(1, '\0')));
  EXPECT_EQ(zero.frameTypeLetter, std::string(1, '\0'));
}

// Every position of the frame holds its own value (position n holds n * 7 modulo 256, all
// different), so a row that reads a neighbour's byte, the wrong byte order or the wrong sign
// shows. The expected values are worked out from the section layouts by hand, not from the
// decoder's table. Information byte 16 is set below 0x80 so the beacon timer holds a value, and
// Julian TE's first byte gives a float far from 0.
struct RowValue {
  int row;
  double value;
};

struct WholeFrameCase {
  const char* name;
  std::uint8_t first;
  std::uint8_t second;
  std::vector<RowValue> rows;  // every other row reads 0
};

Bytes DistinctBytesFrame(std::uint8_t first, std::uint8_t second) {
  Bytes frame = testing::BuildFrame(testing::Information(0, 'S'));
  for (std::size_t n = 17; n < frame.size(); ++n) {
    frame[n] = static_cast<std::uint8_t>(n * 7);
  }
  frame[19] = 'S';
  frame[23] = first;
  frame[87] = second;
  frame[33] = first == kEps ? 18 : frame[33];
  frame[147] = second == kAdcs ? 0x44 : frame[147];
  return frame;
}

TEST(WholeFrameLayoutTest, EveryRowReadsItsOwnBytes) {
  const WholeFrameCase cases[] = {
      {"EPS/TCS and COM",
       kEps,
       kCom,
       {{0, 41.0},
        {1, 168.0},
        {2, 175.0},
        {3, 182.0},
        {4, 189.0},
        {5, 196.0},
        {6, 203.0},
        {7, 316725714.0},
        {8, 4.666666507720947},
        {9, 1537.2548828125},
        {10, 4.941176414489746},
        {11, 18.823530197143555},
        {12, 0.19607843458652496},
        {13, 106.66666412353516},
        {14, 0.47058823704719543},
        {15, 194.5098114013672},
        {16, 0.7450980544090271},
        {17, 282.3529357910156},
        {18, 1.0196079015731812},
        {19, 370.1960754394531},
        {20, 414.1176452636719},
        {21, 458.0392150878906},
        {22, 501.9607849121094},
        {23, 87.0},
        {24, 94.0},
        {25, 633.7254638671875},
        {26, 108.0},
        {27, 115.0},
        {28, 122.0},
        {29, -127.0},
        {30, -120.0},
        {31, -113.0},
        {32, -106.0},
        {33, -99.0},
        {34, -92.0},
        {35, 3.3529412746429443},
        {36, 3.4901959896087646},
        {37, 185.0},
        {38, 20.0},
        {39, 104.0},
        {40, 111.0},
        {41, 118.0},
        {42, 125.0},
        {43, 132.0},
        {44, 139.0},
        {45, 146.0},
        {46, 153.0},
        {47, 160.0},
        {48, 44711.0},
        {49, 48309.0},
        {50, 51907.0},
        {51, 55505.0},
        {52, 223.0},
        {53, 230.0}}},
      {"CDHS and ADCS",
       kCdhs,
       kAdcs,
       {{54, 23.0},
        {55, 168.0},
        {56, 175.0},
        {57, 182.0},
        {58, 189.0},
        {59, 196.0},
        {60, 52178.0},
        {61, 10.0},
        {62, 4376.0},
        {63, 7974.0},
        {64, 11572.0},
        {65, 59.0},
        {66, 64.0},
        {67, 104.0},
        {68, 111.0},
        {69, 118.0},
        {70, 125.0},
        {71, 132.0},
        {72, 139.0},
        {73, 146.0},
        {74, 153.0},
        {75, -12204.5},
        {76, -10405.5},
        {77, -8606.5},
        {78, -6807.5},
        {79, -5008.5},
        {80, -3209.5},
        {81, 4110090761.0},
        {82, 269950501.0},
        {83, 44.0},
        {84, 13114.0},
        {85, 12.519369125366211},
        {86, 1.0287109129675735e+18},
        {87, 8.34204216985035e+34},
        {88, -6.326611458280445e-26},
        {89, -5.3769069197073804e-09},
        {90, -446397504.0},
        {91, -3.6414163337721816e+25},
        {92, 3060.2984619140625}}},
  };
  for (const WholeFrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    const FrameRecord record = Decode(DistinctBytesFrame(c.first, c.second));
    std::array<double, kParameterCount> expected{};
    for (const RowValue& row : c.rows) {
      expected[static_cast<std::size_t>(row.row)] = row.value;
    }
    for (int row = 0; row < kParameterCount; ++row) {
      EXPECT_EQ(record.values[static_cast<std::size_t>(row)],
                expected[static_cast<std::size_t>(row)])
          << "row " << row;
    }
  }
}

}  // namespace
}  // namespace quilmar
