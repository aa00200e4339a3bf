// Small pure conversions from raw frame bytes to engineering values and texts. Numeric results
// are single precision, as the spacecraft's ground software has always produced them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quilmar {

// Only bytes above 128 turn negative: 0x80 reads +128.
float SignedByte(std::uint8_t b);
// b * 5 / 255 volts, formed in double precision and rounded to single.
float VoltsFromByte(std::uint8_t b);
// (b * 1.6 / 255) * 1000 milliamps, formed in double precision and rounded to single.
float MilliampsFromByte(std::uint8_t b);
// Values above 32768 turn negative; 32768 itself stays positive.
float SignedWord(float x);
// The four bytes at s..s+3 as an IEEE single, most significant byte (sign, exponent) at s.
// Positions beyond the span read as 0.
float FloatFromFrame(std::span<const std::uint8_t> frame, int s);
// Shift right by one: AX.25 address characters sit in bits 7..1.
std::uint8_t ShiftRightOnce(std::uint8_t b);
// ShiftRightOnce applied n times; b unchanged for n < 1.
std::uint8_t ShiftRight(std::uint8_t b, std::int16_t n);
// Eight characters '0'/'1', most significant bit first.
std::string ByteToBits(std::uint8_t b);
// Two upper-case hexadecimal digits.
std::string ByteToHex2(std::uint8_t b);

}  // namespace quilmar
