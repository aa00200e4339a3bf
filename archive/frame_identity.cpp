// A frame's identity in the archive; see frame_identity.h.
#include "frame_identity.h"

#include <algorithm>
#include <array>

#include "core/kiss_bytes.h"

namespace quilmar {
namespace {

constexpr std::uint8_t kDataFramePort0 = 0x00;
// Two address fields and a control byte: anything shorter is no AX.25 frame to check an FCS
// of, however its last two bytes happen to fall.
constexpr qsizetype kShortestFrame = 15;

constexpr std::array<std::uint16_t, 256> CrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    std::uint16_t crc = static_cast<std::uint16_t>(byte);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
    }
    table[byte] = crc;
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = CrcTable();

}  // namespace

std::uint16_t Crc16X25(QByteArrayView bytes) {
  std::uint16_t crc = 0xFFFF;
  for (const char c : bytes) {
    crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ static_cast<std::uint8_t>(c)) & 0xFF]);
  }
  return static_cast<std::uint16_t>(crc ^ 0xFFFF);
}

QByteArrayView WithoutFcs(QByteArrayView frame) {
  if (frame.size() < kShortestFrame + 2) {
    return frame;
  }
  const QByteArrayView body = frame.first(frame.size() - 2);
  const auto low = static_cast<std::uint8_t>(frame[frame.size() - 2]);
  const auto high = static_cast<std::uint8_t>(frame[frame.size() - 1]);
  const std::uint16_t sent = static_cast<std::uint16_t>(low | (high << 8));
  return Crc16X25(body) == sent ? body : frame;
}

QByteArray ArchivedFrameBytes(const FrameBuffer& frame) {
  int end = kFrameBufferSize;
  while (end > 1 && frame[static_cast<std::size_t>(end - 1)] == 0) {
    --end;
  }
  // The closing FEND is the last byte the de-framer wrote; a frame that ran past the buffer
  // ends with a data byte instead.
  if (end > 1 && frame[static_cast<std::size_t>(end - 1)] == kFend) {
    --end;
  }
  const QByteArrayView ax25(reinterpret_cast<const char*>(frame.data()) + 1, std::max(end - 1, 0));
  return WithoutFcs(ax25).toByteArray();
}

void AppendKissFrame(std::vector<std::uint8_t>& out, QByteArrayView ax25) {
  out.push_back(kFend);
  out.push_back(kDataFramePort0);
  for (const char c : ax25) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte == kFend) {
      out.insert(out.end(), {kFesc, kTfend});
    } else if (byte == kFesc) {
      out.insert(out.end(), {kFesc, kTfesc});
    } else {
      out.push_back(byte);
    }
  }
  out.push_back(kFend);
}

std::uint64_t FrameTie(QByteArrayView digest) {
  std::uint64_t tie = 0;
  for (qsizetype i = 0; i < std::min<qsizetype>(digest.size(), 8); ++i) {
    tie = (tie << 8) | static_cast<std::uint8_t>(digest[i]);
  }
  return tie;
}

FrameBuffer FrameBufferOf(QByteArrayView ax25) {
  FrameBuffer frame{};
  frame[0] = kDataFramePort0;
  const auto length = std::min<qsizetype>(ax25.size(), kFrameBufferSize - 1);
  std::copy_n(reinterpret_cast<const std::uint8_t*>(ax25.data()), length, frame.begin() + 1);
  if (length + 1 < kFrameBufferSize) {
    frame[static_cast<std::size_t>(length + 1)] = kFend;
  }
  return frame;
}

}  // namespace quilmar
