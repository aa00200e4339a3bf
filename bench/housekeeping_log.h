// A pass of housekeeping frames for the window benchmarks, built in memory.
#pragma once

#include "core/parameter_catalogue.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {

// Fills a frame's information field after its header with changing bytes and marks its two
// sections: EPS/TCS + COM when first, else CDHS + ADCS. noise is the generator's state.
inline void FillSectionPair(testing::Bytes& info, bool first, std::uint32_t& noise) {
  for (std::size_t k = 6; k < info.size(); ++k) {
    noise = noise * 1103515245u + 12345u;
    info[k] = static_cast<std::uint8_t>(noise >> 16);
  }
  info[6] = static_cast<std::uint8_t>(
      SectionInfoOf(first ? Section::kEpsTcs : Section::kCdhs).markerValue);
  info[70] =
      static_cast<std::uint8_t>(SectionInfoOf(first ? Section::kCom : Section::kAdcs).markerValue);
}

// A pass of housekeeping frames, EPS/TCS + COM and CDHS + ADCS alternating, bytes changing
// from frame to frame, every fiftieth frame number lost on the way down.
inline testing::Bytes HousekeepingLog(int frames) {
  testing::Bytes log;
  std::uint32_t noise = 12345;
  int number = 100;
  for (int f = 0; f < frames; ++f) {
    number += (f % 50 == 49) ? 2 : 1;
    testing::Bytes info = testing::Information(static_cast<std::uint16_t>(number), 'S');
    FillSectionPair(info, f % 2 == 0, noise);
    const testing::Bytes wrapped = testing::KissWrap(testing::BuildFrame(info));
    log.insert(log.end(), wrapped.begin(), wrapped.end());
  }
  return log;
}

}  // namespace quilmar
