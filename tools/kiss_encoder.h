// A small AX.25 UI-frame and KISS encoder for the demo-log generator, kept apart from the
// decoder so that the demo log checks the decoder rather than mirroring it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quilmar::demo {

using Bytes = std::vector<std::uint8_t>;

// Writes multi-byte fields into an information field at fixed offsets.
class FieldWriter {
 public:
  explicit FieldWriter(Bytes& bytes) : bytes(bytes) {}
  void Byte(std::size_t at, int value);
  void BigEndian16(std::size_t at, std::uint32_t value);
  void LittleEndian16(std::size_t at, std::uint32_t value);
  void BigEndian32(std::size_t at, std::uint32_t value);
  void LittleEndian32(std::size_t at, std::uint32_t value);
  // IEEE single, sign and exponent first.
  void Float(std::size_t at, float value);
  void Text(std::size_t at, std::string_view text);

 private:
  Bytes& bytes;
};

// KISS data frame (command byte 0) holding an AX.25 UI frame from source to destination.
Bytes Ax25UiFrame(std::string_view destination, std::string_view source, const Bytes& info);

// FEND, the frame with FEND and FESC escaped, FEND: each frame carries both its delimiters.
void AppendKissFrame(Bytes& log, const Bytes& frame);

}  // namespace quilmar::demo
