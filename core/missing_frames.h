// Frame numbers missing from a log, kept as gaps. A log that jumps between 0 and 65535 has
// hundreds of millions of missing numbers, so they are expanded only when listed.
#pragma once

#include <cstdint>
#include <vector>

namespace quilmar {

struct FrameTable;

// The numbers highest, highest - 1, ..., highest - count + 1, listed in that order.
struct FrameGap {
  std::int32_t highest = 0;
  std::int32_t count = 0;
};

class MissingFrames {
 public:
  void Clear();
  // Appends the gap between two consecutive stored frame numbers; a step of 1, 0 or
  // backwards (a repeat, a step back, the wrap from 65535 to 0) adds nothing.
  void AddStep(std::int32_t previousNumber, std::int32_t number);

  // Number of missing frame numbers, exact.
  std::int64_t Count() const { return total; }
  // The k-th entry (0-based) in list order; k must lie in 0..Count()-1.
  std::int32_t At(std::int64_t k) const;
  const std::vector<FrameGap>& Gaps() const { return gaps; }

  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const FrameGap& gap : gaps) {
      for (std::int32_t j = 0; j < gap.count; ++j) {
        visit(gap.highest - j);
      }
    }
  }

 private:
  std::vector<FrameGap> gaps;
  std::vector<std::int64_t> firstEntry;  // list position of each gap's first entry
  std::int64_t total = 0;
};

// For each stored frame after the first, the numbers between it and its predecessor,
// from the highest down.
MissingFrames FindMissingFrames(const FrameTable& table);

}  // namespace quilmar
