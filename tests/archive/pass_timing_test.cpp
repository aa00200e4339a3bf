// The timing of an archive's frames: time correlation of a clock hours off, the pass gap's
// boundary, the frame counter's order across its wrap, the offset's median, and that nothing
// depends on the order frames are handed in or on their keys.
#include "archive/pass_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <tuple>

namespace quilmar {
namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kHour = 3600 * kSecond;
constexpr std::int64_t kGround = 1772366400000;  // 2026-03-01T12:00:00Z

TimingInput Frame(std::int64_t key, std::int32_t number, std::optional<std::int64_t> clock,
                  std::optional<std::int64_t> received, bool estimated = false) {
  return {key,     static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15u, number, clock, estimated,
          received};
}

const TimedFrame* Find(const Timing& timing, std::int64_t key) {
  for (const TimedFrame& frame : timing.frames) {
    if (frame.key == key) {
      return &frame;
    }
  }
  return nullptr;
}

TEST(PassTiming, AClockHoursOffIsCorrelatedIntoOnePassAtGroundTime) {
  const std::int64_t offset = 7 * kHour + 250;
  std::vector<TimingInput> frames;
  for (int i = 0; i < 30; ++i) {  // a reception for every other frame only
    const std::int64_t ground = kGround + i * 10 * kSecond;
    frames.push_back(
        Frame(i + 1, 100 + i, ground - offset, i % 2 ? std::optional(ground) : std::nullopt));
  }
  frames.push_back(Frame(31, 130, std::nullopt, kGround + 300 * kSecond));
  frames.push_back(Frame(32, 131, kGround, kGround + 305 * kSecond, true));
  frames.push_back(Frame(33, 132, std::nullopt, std::nullopt));  // no time at all

  const Timing timing = TimeFrames(frames);
  ASSERT_EQ(timing.passes.size(), 1u);
  const TimedPass& pass = timing.passes[0];
  EXPECT_EQ(pass.startMs, kGround);
  EXPECT_EQ(pass.endMs, kGround + 305 * kSecond);
  EXPECT_EQ(pass.frames, 32);
  EXPECT_EQ(pass.clockOffsetMs, offset);
  EXPECT_EQ(pass.missing.Count(), 0);
  EXPECT_EQ(Find(timing, 33), nullptr);
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE(i);
    const TimedFrame* frame = Find(timing, i + 1);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->timeMs, kGround + i * 10 * kSecond);
    EXPECT_EQ(frame->kind, FrameTimeKind::kCorrelated);
  }
  EXPECT_EQ(Find(timing, 31)->kind, FrameTimeKind::kReception);
  EXPECT_EQ(Find(timing, 32)->kind, FrameTimeKind::kReception);
  EXPECT_EQ(Find(timing, 32)->timeMs, kGround + 305 * kSecond);
}

TEST(PassTiming, TheCounterOrdersAPassAcrossItsWrap) {
  const struct {
    const char* name;
    std::vector<std::pair<std::int32_t, std::int64_t>> frames;  // number, ms after kGround
    std::vector<std::int32_t> order;
    std::int64_t missing;
  } cases[] = {
      {"within one second",
       {{0, 500}, {65535, 400}, {1, 900}, {65534, 0}},
       {65534, 65535, 0, 1},
       0},
      {"all at one time", {{1, 0}, {0, 0}, {65535, 0}, {65534, 0}}, {65534, 65535, 0, 1}, 0},
      {"received out of order", {{0, 0}, {65535, 300}}, {65535, 0}, 0},
      {"a gap over the wrap adds nothing", {{65533, 0}, {1, 500}}, {65533, 1}, 0},
      {"a gap", {{12, 0}, {65535, 200}, {10, 100}}, {65535, 10, 12}, 1},
      {"a repeat", {{7, 0}, {7, 200}, {6, 300}}, {6, 7, 7}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TimingInput> frames;
    std::map<std::int64_t, std::int32_t> numbers;
    for (const auto& [number, ms] : c.frames) {
      const auto key = static_cast<std::int64_t>(frames.size()) + 1;
      frames.push_back(Frame(key, number, std::nullopt, kGround + ms));
      numbers[key] = number;
    }
    const Timing timing = TimeFrames(frames);
    ASSERT_EQ(timing.passes.size(), 1u);
    std::vector<std::int32_t> order;
    for (std::int64_t key : timing.passes[0].keys) {
      order.push_back(numbers[key]);
    }
    EXPECT_EQ(order, c.order);
    EXPECT_EQ(timing.passes[0].missing.Count(), c.missing);
  }
}

TEST(PassTiming, TenMinutesApartStayTogetherOneSecondMoreSplits) {
  // Passes on the axis: two frames with a reception only.
  for (const auto& [gap, passes] : {std::pair{600 * kSecond, 1u}, {601 * kSecond, 2u}}) {
    SCOPED_TRACE(gap);
    const std::vector<TimingInput> frames = {Frame(1, 1, std::nullopt, kGround),
                                             Frame(2, 2, std::nullopt, kGround + gap)};
    const Timing timing = TimeFrames(frames);
    ASSERT_EQ(timing.passes.size(), passes);
    EXPECT_EQ(timing.passes.front().startMs, kGround);
    EXPECT_EQ(timing.passes.back().endMs, kGround + gap);
  }
  // Runs of the clock: the second frame shares the first's offset only within the gap.
  const struct {
    std::int64_t gap;
    FrameTimeKind kind;
    std::int64_t time;
  } runs[] = {{600 * kSecond, FrameTimeKind::kCorrelated, kGround + 605 * kSecond},
              {601 * kSecond, FrameTimeKind::kSpacecraft, kGround + 601 * kSecond}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.gap);
    const std::vector<TimingInput> frames = {Frame(1, 1, kGround, kGround + 5 * kSecond),
                                             Frame(2, 2, kGround + run.gap, std::nullopt)};
    const Timing timing = TimeFrames(frames);
    EXPECT_EQ(Find(timing, 2)->kind, run.kind);
    EXPECT_EQ(Find(timing, 2)->timeMs, run.time);
  }
}

TEST(PassTiming, TheOffsetIsTheLowerMedianAndWithoutReceptionTheClockStays) {
  const struct {
    std::vector<std::int64_t> offsets;
    std::optional<std::int64_t> median;
  } cases[] = {{{10}, 10}, {{30, 10, 20}, 20}, {{40, 10, 30, 20}, 20}, {{7, 5}, 5}, {{}, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offsets.size());
    // A frame without reception, and frames with one at the given offsets.
    std::vector<TimingInput> frames = {Frame(1, 1, kGround, std::nullopt)};
    for (std::int64_t offset : c.offsets) {
      const auto i = static_cast<std::int32_t>(frames.size());
      frames.push_back(Frame(i + 1, i + 1, kGround + i * kSecond, kGround + i * kSecond + offset));
    }
    const Timing timing = TimeFrames(frames);
    ASSERT_EQ(timing.passes.size(), 1u);
    EXPECT_EQ(timing.passes[0].clockOffsetMs, c.median);
    EXPECT_EQ(Find(timing, 1)->timeMs, kGround + c.median.value_or(0));
    EXPECT_EQ(Find(timing, 1)->kind,
              c.median ? FrameTimeKind::kCorrelated : FrameTimeKind::kSpacecraft);
  }
}

TEST(PassTiming, AnEstimatedClockTakesTheNearestCounterWithAClock) {
  const std::int64_t offset = 3 * kHour;
  // Own clocks at counters 10 and 14; the estimates all borrowed one clock in the file.
  std::vector<TimingInput> frames = {Frame(1, 10, kGround, kGround + offset),
                                     Frame(2, 14, kGround + 40 * kSecond, std::nullopt)};
  const struct {
    std::int32_t number;
    std::int64_t time;
  } cases[] = {{5, kGround},
               {11, kGround},
               {12, kGround},
               {13, kGround + 40 * kSecond},
               {20, kGround + 40 * kSecond}};
  for (const auto& c : cases) {
    frames.push_back(Frame(c.number + 100, c.number, kGround + 300 * kSecond, std::nullopt, true));
  }
  const Timing timing = TimeFrames(frames);
  ASSERT_EQ(timing.passes.size(), 1u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(Find(timing, c.number + 100)->kind, FrameTimeKind::kEstimated);
    EXPECT_EQ(Find(timing, c.number + 100)->timeMs, c.time + offset);
  }
}

// A few passes of random frames: counters wrapping and repeated, clocks good or 7 h off,
// receptions for some, frames without a clock, estimated clocks, equal times.
std::vector<TimingInput> RandomFrames(std::mt19937_64& random) {
  std::vector<TimingInput> frames;
  const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  const int passCount = 2 + static_cast<int>(random() % 4);
  for (int p = 0; p < passCount; ++p) {
    const std::int64_t clockOff = chance(50) ? 7 * kHour : 0;
    const bool received = chance(75);
    std::int64_t ground = kGround + p * 2 * kHour;
    std::int32_t number = chance(50) ? 65500 + static_cast<std::int32_t>(random() % 36)
                                     : static_cast<std::int32_t>(random() % 65536);
    const int count = 10 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
      ground += static_cast<std::int64_t>(random() % 3) * 700;
      number = (number + (chance(15) ? 0 : 1 + static_cast<std::int32_t>(random() % 3))) % 65536;
      TimingInput frame{0, random(), number, std::nullopt, false, std::nullopt};
      if (chance(70)) {
        frame.clockMs = ground - clockOff;
      } else if (chance(50) && !frames.empty() && frames.back().clockMs) {
        frame.clockMs = *frames.back().clockMs + static_cast<std::int64_t>(random() % 5000);
        frame.clockEstimated = true;
      }
      if (received && chance(60)) {
        frame.receivedMs = ground + static_cast<std::int64_t>(random() % 3000);
      }
      frames.push_back(frame);
    }
  }
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i].key = static_cast<std::int64_t>(i) + 1;
  }
  return frames;
}

// The result with every key read as its frame's tie.
using Canonical =
    std::tuple<std::vector<std::tuple<std::uint64_t, std::int64_t, int, std::size_t>>,
               std::vector<std::tuple<std::int64_t, std::int64_t, std::int64_t,
                                      std::vector<std::pair<int, int>>, std::optional<std::int64_t>,
                                      std::vector<std::uint64_t>>>>;

Canonical Canonicalise(const Timing& timing, const std::vector<TimingInput>& frames) {
  std::map<std::int64_t, std::uint64_t> tieOf;
  for (const TimingInput& frame : frames) {
    tieOf[frame.key] = frame.tie;
  }
  Canonical canonical;
  for (const TimedFrame& frame : timing.frames) {
    std::get<0>(canonical).emplace_back(tieOf.at(frame.key), frame.timeMs,
                                        static_cast<int>(frame.kind), frame.pass);
  }
  for (const TimedPass& pass : timing.passes) {
    std::vector<std::pair<int, int>> gaps;
    for (const FrameGap& gap : pass.missing.Gaps()) {
      gaps.emplace_back(gap.highest, gap.count);
    }
    std::vector<std::uint64_t> ties;
    for (std::int64_t key : pass.keys) {
      ties.push_back(tieOf.at(key));
    }
    std::get<1>(canonical).emplace_back(pass.startMs, pass.endMs, pass.frames, gaps,
                                        pass.clockOffsetMs, ties);
  }
  return canonical;
}

TEST(PassTiming, NeitherTheInputOrderNorTheKeysChangeAnything) {
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 random(seed);
    std::vector<TimingInput> frames = RandomFrames(random);
    const Canonical expected = Canonicalise(TimeFrames(frames), frames);
    ASSERT_GE(std::get<1>(expected).size(), 2u);
    std::vector<std::int64_t> keys;
    for (const TimingInput& frame : frames) {
      keys.push_back(frame.key);
    }
    for (int round = 0; round < 5; ++round) {
      std::shuffle(frames.begin(), frames.end(), random);
      std::shuffle(keys.begin(), keys.end(), random);
      for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i].key = keys[i];
      }
      ASSERT_EQ(Canonicalise(TimeFrames(frames), frames), expected) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace quilmar
