// AX.25 and KISS encoding for the demo-log generator; see kiss_encoder.h.
#include "kiss_encoder.h"

#include <bit>

#include "core/kiss_bytes.h"

namespace quilmar::demo {
namespace {

constexpr std::uint8_t kUiControl = 0x03;
constexpr std::uint8_t kNoLayer3 = 0xF0;

// Six characters, blank padded, each in bits 7..1; then the SSID byte (SSID 0, reserved bits
// set, the address-extension bit marking the last address).
void AppendAddress(Bytes& frame, std::string_view call, bool last) {
  for (std::size_t i = 0; i < 6; ++i) {
    const auto c = static_cast<std::uint8_t>(i < call.size() ? call[i] : ' ');
    frame.push_back(static_cast<std::uint8_t>(c << 1));
  }
  frame.push_back(last ? 0x61 : 0x60);
}

}  // namespace

void FieldWriter::Byte(std::size_t at, int value) {
  bytes.at(at) = static_cast<std::uint8_t>(value);
}

void FieldWriter::BigEndian16(std::size_t at, std::uint32_t value) {
  Byte(at, static_cast<int>((value >> 8) & 0xFF));
  Byte(at + 1, static_cast<int>(value & 0xFF));
}

void FieldWriter::LittleEndian16(std::size_t at, std::uint32_t value) {
  Byte(at, static_cast<int>(value & 0xFF));
  Byte(at + 1, static_cast<int>((value >> 8) & 0xFF));
}

void FieldWriter::BigEndian32(std::size_t at, std::uint32_t value) {
  BigEndian16(at, value >> 16);
  BigEndian16(at + 2, value & 0xFFFF);
}

void FieldWriter::LittleEndian32(std::size_t at, std::uint32_t value) {
  LittleEndian16(at, value & 0xFFFF);
  LittleEndian16(at + 2, value >> 16);
}

void FieldWriter::Float(std::size_t at, float value) {
  BigEndian32(at, std::bit_cast<std::uint32_t>(value));
}

void FieldWriter::Text(std::size_t at, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    Byte(at + i, static_cast<std::uint8_t>(text[i]));
  }
}

Bytes Ax25UiFrame(std::string_view destination, std::string_view source, const Bytes& info) {
  Bytes frame{0x00};
  AppendAddress(frame, destination, false);
  AppendAddress(frame, source, true);
  frame.push_back(kUiControl);
  frame.push_back(kNoLayer3);
  frame.insert(frame.end(), info.begin(), info.end());
  return frame;
}

void AppendKissFrame(Bytes& log, const Bytes& frame) {
  log.push_back(kFend);
  for (const std::uint8_t b : frame) {
    if (b == kFend) {
      log.push_back(kFesc);
      log.push_back(kTfend);
    } else if (b == kFesc) {
      log.push_back(kFesc);
      log.push_back(kTfesc);
    } else {
      log.push_back(b);
    }
  }
  log.push_back(kFend);
}

}  // namespace quilmar::demo
