// make-trend-log OUTPUT [DAYS [FROM_DAY]]: writes a KISS log of a year (or DAYS days) of
// QUILMAR-1 housekeeping passes from 1 January 2026, for filling an archive to look at trends:
// four passes a day, a battery that follows the seasons, and a twelve-day outage of the ground
// station in August. Housekeeping frames only, with the simulated pass of the demo log. With
// FROM_DAY only the days from that one on are written, the same frames the whole log has
// there: a later part of the mission to add to an archive of its earlier days.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "../demo_frames.h"

namespace quilmar::demo {
namespace {

constexpr std::uint64_t kSeed = 0x5452454E44533236;
constexpr std::int64_t kFirstDay = 9497;  // 1 January 2026, in days since 1 January 2000
constexpr int kFramesPerPass = 120;
constexpr int kFrameInterval = 5;  // seconds
constexpr int kOutageFirstDay = 220;
constexpr int kOutageDays = 12;
// Starts of the day's passes, in seconds after midnight: two morning and two evening passes.
constexpr int kPassStarts[] = {8 * 3600 + 310, 9 * 3600 + 2050, 20 * 3600 + 940, 21 * 3600 + 2710};

void AppendPass(Bytes& log, Downlink& link, std::int64_t start, int day, Prng& prng) {
  // Longer eclipses in winter leave the battery lower and colder.
  const double season = Cosine(2 * 3.14159265358979 * (day - 172) / 365.0);
  link.thermal = Thermal{};
  link.thermal.batteryVolts = 3.88 + 0.10 * season + prng.Jitter(0.03);
  link.thermal.battery = 12 + 6 * season + prng.Jitter(1.5);
  for (int n = 0; n < kFramesPerPass; ++n) {
    const int t = n * kFrameInterval;
    link.t = t;
    link.state = StateAt(t + 1800.0 * prng.Uniform());
    StepThermal(link.thermal, link.state, kFrameInterval);
    link.clock = start + t;
    link.uptime += kFrameInterval;
    ++link.frameNumber;
    ++link.packetsOut;
    const Bytes info = n % 2 ? CdhsAdcsFrame(link, prng) : EpsComFrame(link, prng);
    AppendKissFrame(log, Ax25UiFrame("XQ0GND", "XQ0SAT", info));
  }
}

}  // namespace
}  // namespace quilmar::demo

int main(int argc, char** argv) {
  using namespace quilmar::demo;
  if (argc < 2 || argc > 4) {
    std::cerr << "Usage: make-trend-log OUTPUT [DAYS [FROM_DAY]]\n";
    return 2;
  }
  const int days = argc >= 3 ? std::atoi(argv[2]) : 365;
  const int fromDay = argc == 4 ? std::atoi(argv[3]) : 0;
  Prng prng(kSeed);
  Downlink link;
  link.uptime = 86'400;
  Bytes log;
  for (int day = 0; day < days; ++day) {
    if (day >= kOutageFirstDay && day < kOutageFirstDay + kOutageDays) {
      continue;
    }
    for (const int passStart : kPassStarts) {
      const std::int64_t start = (kFirstDay + day) * 86400 + passStart + prng.Below(600);
      AppendPass(log, link, start, day, prng);
    }
    // Days before FROM_DAY are made all the same, so the later ones come out as in the whole
    // log, and dropped.
    if (day < fromDay) {
      log.clear();
    }
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(log.data()), static_cast<std::streamsize>(log.size()));
  out.close();
  if (!out) {
    std::cerr << "make-trend-log: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
