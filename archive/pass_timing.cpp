// The timing of an archive's frames; see pass_timing.h.
#include "archive/pass_timing.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "core/pass_gap.h"

namespace quilmar {

namespace {

constexpr std::int64_t kPassGapMs = std::int64_t{kPassGapSeconds} * 1000;
constexpr std::int32_t kCounterModulus = 65536;

// A frame while it is being timed.
struct Item {
  std::int64_t key = 0;
  std::uint64_t tie = 0;
  std::int64_t timeMs = 0;
  std::int64_t counter = 0;  // the frame counter unwrapped along its pass
  std::int64_t clockMs = 0;
  std::int64_t receivedMs = 0;
  std::int32_t number = 0;
  FrameTimeKind kind = FrameTimeKind::kSpacecraft;
  bool ownClock = false;  // a clock read from the frame itself
  bool received = false;

  // Ground time minus spacecraft clock, where the frame has both.
  bool MeasuresOffset() const { return ownClock && received; }
};

// The lower median; reorders the values.
std::optional<std::int64_t> LowerMedian(std::vector<std::int64_t>& values) {
  if (values.empty()) {
    return std::nullopt;
  }
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Each frame's run offset, by its index; nullopt for a frame without a clock or in a run
// without a reception. A run is a function of the clock readings alone.
std::vector<std::optional<std::int64_t>> RunOffsets(std::span<const TimingInput> frames) {
  std::vector<std::pair<std::int64_t, std::size_t>> byClock;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].clockMs) {
      byClock.emplace_back(*frames[i].clockMs, i);
    }
  }
  std::sort(byClock.begin(), byClock.end());
  std::vector<std::optional<std::int64_t>> offsets(frames.size());
  std::vector<std::int64_t> differences;
  for (std::size_t begin = 0, end = 0; begin < byClock.size(); begin = end) {
    end = begin + 1;
    while (end < byClock.size() && byClock[end].first - byClock[end - 1].first <= kPassGapMs) {
      ++end;
    }
    differences.clear();
    for (std::size_t j = begin; j < end; ++j) {
      const TimingInput& frame = frames[byClock[j].second];
      if (!frame.clockEstimated && frame.receivedMs) {
        differences.push_back(*frame.receivedMs - *frame.clockMs);
      }
    }
    const std::optional<std::int64_t> offset = LowerMedian(differences);
    for (std::size_t j = begin; j < end; ++j) {
      offsets[byClock[j].second] = offset;
    }
  }
  return offsets;
}

// The frame's time before passes are known; nullopt when it has neither clock nor reception.
std::optional<Item> FirstTime(const TimingInput& frame, std::optional<std::int64_t> runOffset) {
  Item item;
  item.key = frame.key;
  item.tie = frame.tie;
  item.number = frame.number;
  item.ownClock = frame.clockMs && !frame.clockEstimated;
  item.received = frame.receivedMs.has_value();
  item.clockMs = frame.clockMs.value_or(0);
  item.receivedMs = frame.receivedMs.value_or(0);
  if (item.ownClock) {
    item.kind = runOffset ? FrameTimeKind::kCorrelated : FrameTimeKind::kSpacecraft;
    item.timeMs = item.clockMs + runOffset.value_or(0);
  } else if (item.received) {
    item.kind = FrameTimeKind::kReception;
    item.timeMs = item.receivedMs;
  } else if (frame.clockMs) {
    item.kind = FrameTimeKind::kEstimated;
    item.timeMs = item.clockMs + runOffset.value_or(0);
  } else {
    return std::nullopt;
  }
  return item;
}

// The signed step from one counter reading to the next, -32768..32767.
std::int64_t CounterStep(std::int32_t previous, std::int32_t number) {
  const std::int32_t step = (number - previous) & (kCounterModulus - 1);
  return step >= kCounterModulus / 2 ? step - kCounterModulus : step;
}

// Orders as function objects, so that the sorts inline them.
struct InTimeOrder {
  bool operator()(const Item& a, const Item& b) const {
    return std::tie(a.timeMs, a.number, a.tie, a.key) < std::tie(b.timeMs, b.number, b.tie, b.key);
  }
};

struct InCounterOrder {
  bool operator()(const Item& a, const Item& b) const {
    return std::tie(a.counter, a.timeMs, a.tie, a.key) <
           std::tie(b.counter, b.timeMs, b.tie, b.key);
  }
};

// Unwraps the counter along the pass (in time order) and sorts the pass by it.
void OrderByCounter(std::span<Item> pass) {
  std::int64_t counter = 0;
  for (std::size_t i = 0; i < pass.size(); ++i) {
    if (i > 0) {
      counter += CounterStep(pass[i - 1].number, pass[i].number);
    }
    pass[i].counter = counter;
  }
  std::sort(pass.begin(), pass.end(), InCounterOrder());
}

// An estimated frame without reception takes the time of the own-clock frame nearest in the
// counter, the earlier counter on a tie and the first of that counter in the pass's order:
// the counter ties it to the pass better than a clock borrowed from neighbours in a file.
// The pass is in counter order; true when a time changed.
bool EstimateByCounter(std::span<Item> pass) {
  std::vector<std::size_t> own;
  for (std::size_t i = 0; i < pass.size(); ++i) {
    if (pass[i].ownClock) {
      own.push_back(i);
    }
  }
  if (own.empty()) {
    return false;
  }
  const auto firstAt = [&](std::int64_t counter) {
    return std::lower_bound(own.begin(), own.end(), counter,
                            [&](std::size_t j, std::int64_t c) { return pass[j].counter < c; });
  };
  bool changed = false;
  for (Item& item : pass) {
    if (item.kind != FrameTimeKind::kEstimated) {
      continue;
    }
    auto nearest = firstAt(item.counter);
    if (nearest == own.end() || (nearest != own.begin() && pass[*nearest].counter != item.counter &&
                                 item.counter - pass[*std::prev(nearest)].counter <=
                                     pass[*nearest].counter - item.counter)) {
      nearest = firstAt(pass[*std::prev(nearest)].counter);
    }
    changed = changed || item.timeMs != pass[*nearest].timeMs;
    item.timeMs = pass[*nearest].timeMs;
  }
  return changed;
}

TimedPass SummarisePass(std::span<const Item> pass) {
  TimedPass summary;
  summary.startMs = pass.front().timeMs;
  summary.endMs = pass.front().timeMs;
  summary.frames = static_cast<std::int64_t>(pass.size());
  summary.keys.reserve(pass.size());
  std::vector<std::int64_t> differences;
  for (std::size_t i = 0; i < pass.size(); ++i) {
    const Item& item = pass[i];
    summary.startMs = std::min(summary.startMs, item.timeMs);
    summary.endMs = std::max(summary.endMs, item.timeMs);
    if (i > 0) {
      summary.missing.AddStep(pass[i - 1].number, item.number);
    }
    if (item.MeasuresOffset()) {
      differences.push_back(item.receivedMs - item.clockMs);
    }
    summary.keys.push_back(item.key);
  }
  summary.clockOffsetMs = LowerMedian(differences);
  return summary;
}

}  // namespace

const char* FrameTimeKindName(FrameTimeKind kind) {
  switch (kind) {
    case FrameTimeKind::kSpacecraft:
      return "spacecraft";
    case FrameTimeKind::kCorrelated:
      return "correlated";
    case FrameTimeKind::kReception:
      return "reception";
    case FrameTimeKind::kEstimated:
      return "estimated";
  }
  return "";
}

Timing TimeFrames(std::span<const TimingInput> frames) {
  std::vector<Item> items;
  items.reserve(frames.size());
  {
    const std::vector<std::optional<std::int64_t>> offsets = RunOffsets(frames);
    for (std::size_t i = 0; i < frames.size(); ++i) {
      if (std::optional<Item> item = FirstTime(frames[i], offsets[i])) {
        items.push_back(*item);
      }
    }
  }
  std::sort(items.begin(), items.end(), InTimeOrder());

  Timing timing;
  timing.frames.reserve(items.size());
  for (std::size_t begin = 0, end = 0; begin < items.size(); begin = end) {
    end = begin + 1;
    while (end < items.size() && items[end].timeMs - items[end - 1].timeMs <= kPassGapMs) {
      ++end;
    }
    const std::span<Item> pass(items.data() + begin, end - begin);
    OrderByCounter(pass);
    if (EstimateByCounter(pass)) {
      std::sort(pass.begin(), pass.end(), InCounterOrder());
    }
    for (const Item& item : pass) {
      timing.frames.push_back({item.key, item.timeMs, item.kind, timing.passes.size()});
    }
    timing.passes.push_back(SummarisePass(pass));
  }
  return timing;
}

}  // namespace quilmar
