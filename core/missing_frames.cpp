// Missing frame numbers as gaps; see missing_frames.h.
#include "missing_frames.h"

#include <algorithm>

#include "frame_table.h"

namespace quilmar {

void MissingFrames::Clear() {
  gaps.clear();
  firstEntry.clear();
  total = 0;
}

void MissingFrames::AddStep(std::int32_t previousNumber, std::int32_t number) {
  const std::int64_t step = static_cast<std::int64_t>(number) - previousNumber;
  if (step < 2) {
    return;
  }
  const auto count = static_cast<std::int32_t>(step - 1);
  gaps.push_back({number - 1, count});
  firstEntry.push_back(total);
  total += count;
}

std::int32_t MissingFrames::At(std::int64_t k) const {
  // The last gap whose first entry is at or before k holds entry k.
  const auto after = std::upper_bound(firstEntry.begin(), firstEntry.end(), k);
  const auto gap = static_cast<std::size_t>(after - firstEntry.begin() - 1);
  return gaps[gap].highest - static_cast<std::int32_t>(k - firstEntry[gap]);
}

MissingFrames FindMissingFrames(const FrameTable& table) {
  MissingFrames missing;
  for (int i = 2; i <= table.frameCount; ++i) {
    missing.AddStep(table.Record(i - 1).frameNumber, table.Record(i).frameNumber);
  }
  return missing;
}

}  // namespace quilmar
