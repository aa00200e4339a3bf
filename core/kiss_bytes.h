// The special bytes of KISS framing: FEND delimits frames; inside a frame FESC TFEND stands
// for a FEND and FESC TFESC for a FESC. One place for the de-framer, the archive's framing of
// downloads and its timestamp reader, and the demo generator.
#pragma once

#include <cstdint>

namespace quilmar {

inline constexpr std::uint8_t kFend = 0xC0;
inline constexpr std::uint8_t kFesc = 0xDB;
inline constexpr std::uint8_t kTfend = 0xDC;
inline constexpr std::uint8_t kTfesc = 0xDD;

}  // namespace quilmar
