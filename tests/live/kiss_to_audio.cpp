// kiss-to-audio LOG OUTPUT: the frames of a KISS log as the 9600 bit/s scrambled baseband
// (G3RUH) audio a satellite receiver's discriminator hands a software TNC: raw signed 16-bit
// little-endian mono samples at 48 kHz, five samples per bit. Each frame goes out as HDLC:
// flags, the AX.25 bytes least significant bit first with zero-bit stuffing, the CRC-16 frame
// check sequence; the bit stream is NRZI coded, then scrambled with x^17 + x^12 + 1.
// Monitor-text packet generators read lines of a few hundred characters only, too short for a
// housekeeping frame with its many zero bytes, hence this modulator.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kFend = 0xC0;
constexpr std::uint8_t kFesc = 0xDB;
constexpr std::uint8_t kTfend = 0xDC;
constexpr std::uint8_t kFlag = 0x7E;
constexpr int kSamplesPerBit = 5;
constexpr std::int16_t kLevel = 12000;
constexpr int kPreambleFlags = 64;  // lets the receiver's descrambler and clock settle
constexpr int kFlagsBetweenFrames = 4;

// The KISS frames of the log, de-escaped, without their command byte.
std::vector<Bytes> KissFrames(const Bytes& log) {
  std::vector<Bytes> frames;
  Bytes frame;
  bool escape = false;
  for (const std::uint8_t byte : log) {
    if (byte == kFend) {
      if (frame.size() > 1) {
        frames.emplace_back(frame.begin() + 1, frame.end());
      }
      frame.clear();
    } else if (byte == kFesc) {
      escape = true;
    } else {
      frame.push_back(escape ? (byte == kTfend ? kFend : kFesc) : byte);
      escape = false;
    }
  }
  return frames;
}

std::uint16_t FrameCheckSequence(const Bytes& frame) {
  std::uint16_t crc = 0xFFFF;
  for (const std::uint8_t byte : frame) {
    crc ^= byte;
    for (int i = 0; i < 8; ++i) {
      crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
    }
  }
  return static_cast<std::uint16_t>(~crc);
}

class HdlcBits {
 public:
  void Flags(int count) {
    for (int n = 0; n < count; ++n) {
      for (int i = 0; i < 8; ++i) {
        bits.push_back((kFlag >> i) & 1);
      }
    }
  }

  void Frame(Bytes frame) {
    const std::uint16_t fcs = FrameCheckSequence(frame);
    frame.push_back(static_cast<std::uint8_t>(fcs & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(fcs >> 8));
    int ones = 0;
    for (const std::uint8_t byte : frame) {
      for (int i = 0; i < 8; ++i) {
        const int bit = (byte >> i) & 1;
        bits.push_back(bit);
        ones = bit != 0 ? ones + 1 : 0;
        if (ones == 5) {
          bits.push_back(0);
          ones = 0;
        }
      }
    }
  }

  // NRZI (a zero is a change of level), then the self-synchronising scrambler.
  std::vector<std::int16_t> Samples() const {
    std::vector<std::int16_t> samples;
    int level = 0;
    std::uint32_t shift = 0;
    for (const int bit : bits) {
      level ^= bit == 0 ? 1 : 0;
      const int sent = (level ^ static_cast<int>(shift >> 16) ^ static_cast<int>(shift >> 11)) & 1;
      shift = ((shift << 1) | static_cast<std::uint32_t>(sent)) & 0x1FFFF;
      samples.insert(samples.end(), kSamplesPerBit, sent != 0 ? kLevel : -kLevel);
    }
    return samples;
  }

 private:
  std::vector<int> bits;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Usage: kiss-to-audio LOG OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  HdlcBits hdlc;
  hdlc.Flags(kPreambleFlags);
  for (const Bytes& frame : KissFrames(log)) {
    hdlc.Frame(frame);
    hdlc.Flags(kFlagsBetweenFrames);
  }
  hdlc.Flags(kPreambleFlags / 2);
  const std::vector<std::int16_t> samples = hdlc.Samples();
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  for (const std::int16_t sample : samples) {
    const char bytes[2] = {static_cast<char>(sample & 0xFF),
                           static_cast<char>((sample >> 8) & 0xFF)};
    out.write(bytes, 2);
  }
  out.close();
  if (!in.is_open() || !out) {
    std::cerr << "kiss-to-audio: cannot read " << argv[1] << " or write " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
