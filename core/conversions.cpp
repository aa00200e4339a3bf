// Byte-to-value conversions of the telemetry decoder; see conversions.h.
#include "conversions.h"

#include <bit>

namespace quilmar {

float SignedByte(std::uint8_t b) { return b <= 128 ? float(b) : float(b) - 256.0f; }

float VoltsFromByte(std::uint8_t b) { return static_cast<float>((b * 5.0) / 255.0); }

float MilliampsFromByte(std::uint8_t b) { return static_cast<float>(((b * 1.6) / 255.0) * 1000.0); }

float SignedWord(float x) { return x > 32768.0f ? x - 65536.0f : x; }

float FloatFromFrame(std::span<const std::uint8_t> frame, int s) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) {
    const long position = static_cast<long>(s) + i;
    const bool inside = position >= 0 && static_cast<std::size_t>(position) < frame.size();
    bits = (bits << 8) | (inside ? frame[static_cast<std::size_t>(position)] : 0u);
  }
  return std::bit_cast<float>(bits);
}

std::uint8_t ShiftRightOnce(std::uint8_t b) { return static_cast<std::uint8_t>(b >> 1); }

std::uint8_t ShiftRight(std::uint8_t b, std::int16_t n) {
  // After eight shifts every bit of a byte has fallen off.
  if (n < 1) {
    return b;
  }
  return n >= 8 ? 0 : static_cast<std::uint8_t>(b >> n);
}

std::string ByteToBits(std::uint8_t b) {
  std::string bits(8, '0');
  for (int i = 0; i < 8; ++i) {
    if (b & (0x80 >> i)) {
      bits[static_cast<std::size_t>(i)] = '1';
    }
  }
  return bits;
}

std::string ByteToHex2(std::uint8_t b) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[b >> 4], kDigits[b & 0x0F]};
}

}  // namespace quilmar
