// A tiny AX.25/KISS frame builder for tests: information fields, AX.25 frames with the
// XQ0GND/XQ0SAT addresses (or others), KISS escaping and whole logs in memory or on disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quilmar::testing {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kFend = 0xC0;
inline constexpr std::uint8_t kFesc = 0xDB;
inline constexpr std::uint8_t kTfend = 0xDC;
inline constexpr std::uint8_t kTfesc = 0xDD;

struct FrameAddresses {
  std::string destination = "XQ0GND";
  int destinationSsid = 0;
  std::string source = "XQ0SAT";
  int sourceSsid = 0;
  std::uint8_t command = 0x00;  // KISS data frame, port 0
};

// Seven address bytes: six characters shifted left by one (blank padded), then the SSID byte.
inline Bytes Ax25Address(std::string_view call, int ssid, bool last) {
  Bytes out;
  for (std::size_t i = 0; i < 6; ++i) {
    const char c = i < call.size() ? call[i] : ' ';
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) << 1));
  }
  out.push_back(static_cast<std::uint8_t>(0x60 | ((ssid & 0x0F) << 1) | (last ? 1 : 0)));
  return out;
}

// An information field of `length` bytes (zeros) with the common header filled in.
inline Bytes Information(std::uint16_t frameNumber, char type, std::uint8_t primaryCounter = 0,
                         std::uint16_t secondaryCounter = 0, std::size_t length = 134) {
  Bytes info(length, 0);
  const std::uint8_t header[] = {static_cast<std::uint8_t>(frameNumber >> 8),
                                 static_cast<std::uint8_t>(frameNumber & 0xFF),
                                 static_cast<std::uint8_t>(type),
                                 primaryCounter,
                                 static_cast<std::uint8_t>(secondaryCounter >> 8),
                                 static_cast<std::uint8_t>(secondaryCounter & 0xFF)};
  for (std::size_t i = 0; i < sizeof header && i < length; ++i) {
    info[i] = header[i];
  }
  return info;
}

// The de-escaped frame: command byte, destination, source, control 0x03, PID 0xF0, information.
// Position k of the information field lands at frame position 17 + k.
inline Bytes BuildFrame(std::span<const std::uint8_t> information,
                        const FrameAddresses& addresses = {}) {
  Bytes frame{addresses.command};
  const Bytes destination = Ax25Address(addresses.destination, addresses.destinationSsid, false);
  const Bytes source = Ax25Address(addresses.source, addresses.sourceSsid, true);
  frame.insert(frame.end(), destination.begin(), destination.end());
  frame.insert(frame.end(), source.begin(), source.end());
  frame.push_back(0x03);
  frame.push_back(0xF0);
  frame.insert(frame.end(), information.begin(), information.end());
  return frame;
}

// FEND, the frame with FEND and FESC escaped, FEND.
inline Bytes KissWrap(std::span<const std::uint8_t> frame) {
  Bytes out{kFend};
  for (std::uint8_t b : frame) {
    if (b == kFend) {
      out.insert(out.end(), {kFesc, kTfend});
    } else if (b == kFesc) {
      out.insert(out.end(), {kFesc, kTfesc});
    } else {
      out.push_back(b);
    }
  }
  out.push_back(kFend);
  return out;
}

// Each frame wrapped on its own (FEND frame FEND FEND frame FEND ...).
inline Bytes KissLog(std::initializer_list<Bytes> frames) {
  Bytes log;
  for (const Bytes& frame : frames) {
    const Bytes wrapped = KissWrap(frame);
    log.insert(log.end(), wrapped.begin(), wrapped.end());
  }
  return log;
}

// Any number of frames, each wrapped on its own.
inline Bytes KissLog(std::span<const Bytes> frames) {
  Bytes log;
  for (const Bytes& frame : frames) {
    const Bytes wrapped = KissWrap(frame);
    log.insert(log.end(), wrapped.begin(), wrapped.end());
  }
  return log;
}

// Writes bytes at a de-escaped frame position (17 + k for information byte k), growing the
// frame with zeros when needed.
inline Bytes& Put(Bytes& frame, std::size_t position, std::initializer_list<std::uint8_t> bytes) {
  if (frame.size() < position + bytes.size()) {
    frame.resize(position + bytes.size(), 0);
  }
  std::size_t at = position;
  for (std::uint8_t b : bytes) {
    frame[at++] = b;
  }
  return frame;
}

// A system housekeeping ("S") frame with the length bytes of its two section places set:
// information byte 6 (EPS/TCS 41, CDHS 23) and 70 (COM 20, ADCS 64).
inline Bytes HousekeepingFrame(std::uint16_t frameNumber, std::uint8_t firstSection,
                               std::uint8_t secondSection) {
  Bytes frame = BuildFrame(Information(frameNumber, 'S'));
  Put(frame, 17 + 6, {firstSection});
  Put(frame, 17 + 70, {secondSection});
  return frame;
}

inline void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace quilmar::testing
