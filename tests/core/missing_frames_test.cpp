// Missing frame numbers: the list order, the steps that add nothing, and logs whose gaps add
// up to hundreds of millions of numbers.
#include "core/missing_frames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "core/frame_table.h"

namespace quilmar {
namespace {

MissingFrames FromNumbers(const std::vector<std::int32_t>& numbers) {
  MissingFrames missing;
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    missing.AddStep(numbers[i - 1], numbers[i]);
  }
  return missing;
}

std::vector<std::int32_t> Listed(const MissingFrames& missing) {
  std::vector<std::int32_t> listed;
  missing.ForEach([&](std::int32_t number) { listed.push_back(number); });
  return listed;
}

struct MissingCase {
  const char* name;
  std::vector<std::int32_t> frameNumbers;
  std::vector<std::int32_t> missing;
};

class MissingFramesTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingFramesTest, ListsEachGapFromTheHighestDown) {
  const MissingCase& c = GetParam();
  const MissingFrames missing = FromNumbers(c.frameNumbers);
  EXPECT_EQ(Listed(missing), c.missing);
  ASSERT_EQ(missing.Count(), static_cast<std::int64_t>(c.missing.size()));
  for (std::size_t k = 0; k < c.missing.size(); ++k) {
    EXPECT_EQ(missing.At(static_cast<std::int64_t>(k)), c.missing[k]) << "entry " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Logs, MissingFramesTest,
    ::testing::Values(MissingCase{"NoFrames", {}, {}}, MissingCase{"OneFrame", {7}, {}},
                      MissingCase{"Consecutive", {1, 2, 3}, {}},
                      MissingCase{"OneGap", {10, 14, 15}, {13, 12, 11}},
                      MissingCase{"Repeat", {5, 5}, {}}, MissingCase{"StepBack", {9, 3}, {}},
                      MissingCase{"Wrap", {65535, 0}, {}},
                      MissingCase{"GapAfterStepBack", {9, 3, 6}, {5, 4}},
                      MissingCase{"SeveralGaps", {1, 3, 2, 5, 8}, {2, 4, 3, 7, 6}},
                      MissingCase{"SingleMissing", {0, 2}, {1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MissingFramesTest, AlternatingExtremesAreCountedNotExpanded) {
  // 5000 frames 0, 65535, 0, ...: 2500 rises of 65534 missing numbers each.
  const auto start = std::chrono::steady_clock::now();
  FrameTable table;
  table.frameCount = kFrameTableCapacity;
  for (int i = 1; i <= table.frameCount; ++i) {
    table.Record(i).frameNumber = i % 2 == 1 ? 0 : 65535;
  }
  const MissingFrames missing = FindMissingFrames(table);
  constexpr std::int64_t kPerRise = 65534;
  EXPECT_EQ(missing.Count(), 2500 * kPerRise);
  EXPECT_EQ(missing.Gaps().size(), 2500u);
  EXPECT_EQ(missing.At(0), 65534);
  EXPECT_EQ(missing.At(kPerRise - 1), 1);
  EXPECT_EQ(missing.At(kPerRise), 65534);
  EXPECT_EQ(missing.At(1234 * kPerRise + 100), 65434);
  EXPECT_EQ(missing.At(missing.Count() - 1), 1);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(2));
}

TEST(MissingFramesTest, ClearForgetsEverything) {
  MissingFrames missing = FromNumbers({1, 10});
  missing.Clear();
  EXPECT_EQ(missing.Count(), 0);
  EXPECT_TRUE(missing.Gaps().empty());
  missing.AddStep(4, 6);
  EXPECT_EQ(Listed(missing), std::vector<std::int32_t>{5});
}

}  // namespace
}  // namespace quilmar
