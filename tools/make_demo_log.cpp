// make-demo-log OUTPUT: writes the demo KISS log of one QUILMAR-1 pass over the ground
// station (the committed samples/demo.kss). The pass is simulated with a fixed seed, so the
// log comes out the same byte for byte on every run.
// --frames N keeps only the first N frames of the log (a short pass for the live tests).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

#include "demo_frames.h"

namespace quilmar::demo {
namespace {

constexpr std::uint64_t kSeed = 0x5155494C4D415231;  // "QUILMAR1"
constexpr int kFramesSent = 250;
constexpr int kFrameInterval = 3;  // seconds between downlink frames
// 12 June 2026 (a Friday) 09:41:07, as seconds since 1 Jan 2000 00:00:00.
constexpr std::int64_t kPassStart = 9659LL * 86400 + 9 * 3600 + 41 * 60 + 7;
constexpr std::uint32_t kUptimeAtStart = 386'402;
constexpr int kFirstFrameNumber = 65'431;  // the 16-bit frame counter wraps during the pass
constexpr std::uint16_t kOrbitNumber = 1873;
constexpr int kUplinkAt = 95;           // the ground station sends one command here
constexpr int kForeignFrameAfter = 77;  // another station keys up on the frequency
constexpr int kTestPacketAt = 202;      // commanded ten frames earlier; the COM section flags it
constexpr std::array<int, 3> kFade{151, 152, 153};  // a deep fade loses three frames in a row
constexpr double kLossRate = 0.02;

enum class Kind { kEpsCom, kCdhsAdcs, kGps, kAlmanac, kImage, kExtended, kTest };

// The onboard scheduler's rotation: housekeeping pairs, with GPS, almanac, extended
// housekeeping, one image of five blocks and one test packet woven in.
Kind KindOf(int n, bool& epsComNext) {
  if (n % 18 == 9) {
    return Kind::kGps;
  }
  if (n % 70 == 33) {
    return Kind::kAlmanac;
  }
  if (n >= 120 && n < 125) {
    return Kind::kImage;
  }
  if (n % 45 == 20) {
    return Kind::kExtended;
  }
  if (n == kTestPacketAt) {
    return Kind::kTest;
  }
  epsComNext = !epsComNext;
  return epsComNext ? Kind::kCdhsAdcs : Kind::kEpsCom;
}

Bytes BuildInformation(Kind kind, const Downlink& link, Prng& prng) {
  switch (kind) {
    case Kind::kEpsCom:
      return EpsComFrame(link, prng);
    case Kind::kCdhsAdcs:
      return CdhsAdcsFrame(link, prng);
    case Kind::kGps:
      return GpsFrame(link, prng);
    case Kind::kAlmanac:
      return AlmanacFrame(link, prng);
    case Kind::kImage:
      return ImageFrame(link, prng);
    case Kind::kExtended:
      return ExtendedHousekeepingFrame(link, prng);
    case Kind::kTest:
      return TestFrame(link);
  }
  return {};
}

// Counters that change once a frame of the kind has gone out.
void AfterSending(Kind kind, Downlink& link) {
  ++link.packetsOut;
  if (kind == Kind::kGps) {
    ++link.gpsRecords;
  } else if (kind == Kind::kExtended) {
    ++link.extendedRecords;
  } else if (kind == Kind::kImage && ++link.imageBlock == 5) {
    link.imageBlock = 0;
    ++link.images;
  } else if (kind == Kind::kTest) {
    link.testPacketPending = false;
  }
  if (!GpsFix(link.t)) {
    ++link.gpsNoFix;
  }
}

Bytes ForeignFrame() {
  constexpr std::string_view kPosition = "!4903.50N/07201.75W-QTH test, 73";
  const Bytes info(kPosition.begin(), kPosition.end());
  return Ax25UiFrame("APRS", "XQ1ABC", info);
}

std::vector<Bytes> SimulatePass() {
  Prng prng(kSeed);
  Downlink link;
  std::array<int, 7> sentOfKind{};
  bool epsComNext = false;
  int previousT = 0;
  std::vector<Bytes> log;
  for (int n = 0; n < kFramesSent; ++n) {
    const int t = n * kFrameInterval + prng.Below(2);
    link.t = t;
    link.state = StateAt(t);
    StepThermal(link.thermal, link.state, t - previousT);
    previousT = t;
    link.clock = kPassStart + t;
    link.uptime = kUptimeAtStart + static_cast<std::uint32_t>(t);
    link.frameNumber = static_cast<std::uint16_t>(kFirstFrameNumber + n);
    link.commandsReceived = n > kUplinkAt ? 1 : 0;
    link.testPacketPending = link.testPacketPending || n == kTestPacketAt - 10;

    const Kind kind = KindOf(n, epsComNext);
    const auto kindIndex = static_cast<std::size_t>(kind);
    link.primaryCounter = static_cast<std::uint8_t>(sentOfKind[kindIndex]++);
    link.secondaryCounter =
        kind == Kind::kImage ? static_cast<std::uint16_t>(link.imageBlock) : kOrbitNumber;
    const Bytes info = BuildInformation(kind, link, prng);
    AfterSending(kind, link);

    const bool faded = std::find(kFade.begin(), kFade.end(), n) != kFade.end();
    if (prng.Uniform() >= kLossRate && !faded) {
      log.push_back(Ax25UiFrame("XQ0GND", "XQ0SAT", info));
    }
    if (n == kForeignFrameAfter) {
      log.push_back(ForeignFrame());
    }
  }
  return log;
}

struct Options {
  std::size_t frames = SIZE_MAX;
  const char* output = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--frames" && i + 1 < argc) {
      options.frames = std::strtoul(argv[++i], nullptr, 10);
    } else if (options.output == nullptr && !argument.starts_with("--")) {
      options.output = argv[i];
    } else {
      return false;
    }
  }
  return options.output != nullptr;
}

}  // namespace
}  // namespace quilmar::demo

int main(int argc, char** argv) {
  quilmar::demo::Options options;
  if (!quilmar::demo::ParseOptions(argc, argv, options)) {
    std::cerr << "Usage: make-demo-log [--frames N] OUTPUT\n";
    return 2;
  }
  std::vector<quilmar::demo::Bytes> frames = quilmar::demo::SimulatePass();
  frames.resize(std::min(frames.size(), options.frames));
  quilmar::demo::Bytes log;
  for (const quilmar::demo::Bytes& frame : frames) {
    quilmar::demo::AppendKissFrame(log, frame);
  }
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(log.data()), static_cast<std::streamsize>(log.size()));
  out.close();
  if (!out) {
    std::cerr << "make-demo-log: cannot write " << options.output << '\n';
    return 1;
  }
  return 0;
}
