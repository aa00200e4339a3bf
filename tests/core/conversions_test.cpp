// Byte conversions: the values the section decoders and the frame view build on.
#include "core/conversions.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>

namespace quilmar {
namespace {

struct ByteCase {
  std::uint8_t byte;
  float expected;
};

TEST(ConversionsTest, SignedByteTurnsNegativeOnlyAbove128) {
  constexpr ByteCase kCases[] = {{0, 0}, {127, 127}, {128, 128}, {129, -127}, {255, -1}};
  for (const ByteCase& c : kCases) {
    SCOPED_TRACE(int(c.byte));
    EXPECT_EQ(SignedByte(c.byte), c.expected);
  }
}

TEST(ConversionsTest, VoltsAndMilliampsCarrySinglePrecision) {
  EXPECT_EQ(static_cast<double>(VoltsFromByte(1)), 0.019607843831181526);
  EXPECT_NE(static_cast<double>(VoltsFromByte(1)), 1.0 / 51.0);
  constexpr ByteCase kVolts[] = {{0, 0.0f}, {51, 1.0f}, {255, 5.0f}};
  for (const ByteCase& c : kVolts) {
    SCOPED_TRACE(int(c.byte));
    EXPECT_EQ(VoltsFromByte(c.byte), c.expected);
  }
  constexpr ByteCase kMilliamps[] = {{0, 0.0f}, {255, 1600.0f}, {1, 6.2745098f}};
  for (const ByteCase& c : kMilliamps) {
    SCOPED_TRACE(int(c.byte));
    EXPECT_EQ(MilliampsFromByte(c.byte), c.expected);
  }
  // Every byte: the double-precision formula rounded once, never a float-only computation.
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(VoltsFromByte(std::uint8_t(b)), static_cast<float>(b * 5.0 / 255.0));
    EXPECT_EQ(MilliampsFromByte(std::uint8_t(b)), static_cast<float>(b * 1.6 / 255.0 * 1000.0));
  }
}

TEST(ConversionsTest, SignedWordKeeps32768Positive) {
  constexpr std::array<std::array<float, 2>, 5> kCases{
      {{0, 0}, {32767, 32767}, {32768, 32768}, {32769, -32767}, {65535, -1}}};
  for (const auto& [input, expected] : kCases) {
    SCOPED_TRACE(input);
    EXPECT_EQ(SignedWord(input), expected);
  }
}

TEST(ConversionsTest, FloatFromFrameReadsMostSignificantByteFirst) {
  const std::uint8_t bytes[] = {0x00, 0x3F, 0x80, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x7F, 0x80};
  EXPECT_EQ(FloatFromFrame(bytes, 1), 1.0f);
  EXPECT_EQ(FloatFromFrame(bytes, 5), -2.0f);
  // Past the end of the bytes reads as zeros: 0x7F 0x80 0x00 0x00 is +infinity.
  EXPECT_TRUE(std::isinf(FloatFromFrame(bytes, 9)));
  const std::uint8_t nan[] = {0x7F, 0xC0, 0x00, 0x01};
  EXPECT_TRUE(std::isnan(FloatFromFrame(nan, 0)));
}

TEST(ConversionsTest, ShiftRightRecoversAddressCharacters) {
  struct Case {
    std::uint8_t byte;
    std::int16_t count;
    std::uint8_t expected;
  };
  constexpr Case kCases[] = {{0x82, 1, 0x41}, {0x40, 1, 0x20}, {0xFF, 0, 0xFF},    {0xFF, -3, 0xFF},
                             {0xFF, 7, 0x01}, {0xFF, 8, 0x00}, {0x80, 32767, 0x00}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << int(c.byte) << " >> " << c.count);
    EXPECT_EQ(ShiftRight(c.byte, c.count), c.expected);
  }
  EXPECT_EQ(ShiftRightOnce(0x01), 0x00);
}

TEST(ConversionsTest, BitAndHexTexts) {
  EXPECT_EQ(ByteToBits(0x00), "00000000");
  EXPECT_EQ(ByteToBits(0xFF), "11111111");
  EXPECT_EQ(ByteToBits(0x05), "00000101");
  EXPECT_EQ(ByteToBits(0x80), "10000000");
  EXPECT_EQ(ByteToHex2(0x00), "00");
  EXPECT_EQ(ByteToHex2(0x0F), "0F");
  EXPECT_EQ(ByteToHex2(0x10), "10");
  EXPECT_EQ(ByteToHex2(0xC0), "C0");
  EXPECT_EQ(ByteToHex2(0xFF), "FF");
}

}  // namespace
}  // namespace quilmar
