// The fuzzer's writers mode: frame records made from arbitrary bytes (any text bytes, any
// double bit patterns, any set of carried sections) go through the CSV and JSON writers, and
// both outputs are parsed back strictly and must give the same values. Aborts when not.
#pragma once

#include <cstdint>
#include <span>

namespace quilmar::fuzz {

void CheckWritersRoundTrip(std::span<const std::uint8_t> input);

}  // namespace quilmar::fuzz
