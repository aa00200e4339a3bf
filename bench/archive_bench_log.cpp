// make-archive-bench-log N OUTPUT: a KISS log of N distinct housekeeping frames for the
// archive benchmark. EPS/TCS + COM and CDHS + ADCS frames alternate with changing bytes; the
// CDHS frames carry a valid spacecraft clock two seconds apart, so that the archive does
// its real work (clock to UTC, estimates for the frames between).
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "housekeeping_log.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-archive-bench-log N OUTPUT\n");
    return 2;
  }
  using namespace quilmar;
  const long frames = std::strtol(argv[1], nullptr, 10);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  std::uint32_t noise = 12345;
  long seconds = 0;  // since 1 June 2026 00:00:00 on the spacecraft clock
  for (long f = 0; f < frames; ++f) {
    testing::Bytes info = testing::Information(static_cast<std::uint16_t>(f), 'S', 0,
                                               static_cast<std::uint16_t>(f >> 16));
    const bool first = f % 2 == 0;
    FillSectionPair(info, first, noise);
    if (!first) {
      seconds += 2;
      const long days = seconds / 86400;
      // Information bytes 14..20: seconds, minutes, hours, weekday, day, month, year (2026).
      const std::uint8_t clock[] = {static_cast<std::uint8_t>(seconds % 60),
                                    static_cast<std::uint8_t>(seconds / 60 % 60),
                                    static_cast<std::uint8_t>(seconds / 3600 % 24),
                                    static_cast<std::uint8_t>(days % 7 + 1),
                                    static_cast<std::uint8_t>(days % 28 + 1),
                                    static_cast<std::uint8_t>(days / 28 % 12 + 1),
                                    26};
      std::copy(std::begin(clock), std::end(clock), info.begin() + 14);
    }
    const testing::Bytes wrapped = testing::KissWrap(testing::BuildFrame(info));
    out.write(reinterpret_cast<const char*>(wrapped.data()),
              static_cast<std::streamsize>(wrapped.size()));
  }
  return out ? 0 : 1;
}
