// The timing of an archive's frames: each frame's time on one base per pass, the passes and the
// frame counter's order within each. The spacecraft clock may be off from ground time by hours
// or years (it is never set after a reset), so the offset between the two clocks is measured
// where frames carry both and carries the whole run of the clock onto ground time, as mission
// control correlates time. Everything here is a function of the set of frames alone: neither
// the order they are handed in nor their keys (the order files were added) changes a time, a
// kind, a pass or an order. Standard C++ only; the database layer reads the frames and stores
// the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/missing_frames.h"

namespace quilmar {

// Where a frame's time on the axis came from.
enum class FrameTimeKind {
  kSpacecraft,  // its own clock; its run of the clock had no reception to correlate with
  kCorrelated,  // its own clock carried onto ground time by its run's offset
  kReception,   // the earliest ground reception (the frame carries no clock of its own)
  kEstimated,   // a clock taken from other frames, correlated where its pass allows
};
// "spacecraft", "correlated", "reception", "estimated".
const char* FrameTimeKindName(FrameTimeKind kind);

// One distinct frame of the archive.
struct TimingInput {
  std::int64_t key = 0;     // the frame table's key; breaks a tie only where nothing else does
  std::uint64_t tie = 0;    // from the frame's content digest: the order of otherwise equal frames
  std::int32_t number = 0;  // the frame counter, 0..65535, wraps
  std::optional<std::int64_t> clockMs;     // spacecraft clock as UTC milliseconds
  bool clockEstimated = false;             // clockMs was taken from neighbouring frames
  std::optional<std::int64_t> receivedMs;  // earliest reception over all stations
};

struct TimedFrame {
  std::int64_t key = 0;
  std::int64_t timeMs = 0;  // UTC milliseconds on the pass's base
  FrameTimeKind kind = FrameTimeKind::kSpacecraft;
  std::size_t pass = 0;  // index into Timing::passes
};

struct TimedPass {
  std::int64_t startMs = 0;  // the first and the last frame's time
  std::int64_t endMs = 0;
  std::int64_t frames = 0;
  MissingFrames missing;  // over the frame counter's order
  // Ground time minus spacecraft clock, the median over the pass's frames that carry both.
  std::optional<std::int64_t> clockOffsetMs;
  std::vector<std::int64_t> keys;  // the pass's frames in the frame counter's order
};

struct Timing {
  // The timed frames pass by pass, each pass in its frame counter's order (as its keys); a
  // frame with neither a clock nor a reception has no time and is left out.
  std::vector<TimedFrame> frames;
  std::vector<TimedPass> passes;  // in time order
};

// Times the frames:
// - the clock's runs: frames sorted by clock, split where neighbours are more than the pass gap
//   apart; a run's offset is the median (the lower of two) of reception minus clock over its
//   frames with their own clock and a reception;
// - a frame with its own clock is correlated by its run's offset (kept on the clock when the run
//   has none); an estimated clock yields to a reception, and without one is correlated as its
//   run is; a frame without a clock takes its reception;
// - passes: the times sorted and split where neighbours are more than the pass gap apart; within
//   a pass the frame counter is unwrapped along time and gives the order;
// - an estimated frame without reception in a pass that has frames with their own clock takes
//   the time of the one nearest in the counter (the earlier counter on a tie).
// O(n log n) time, linear memory.
Timing TimeFrames(std::span<const TimingInput> frames);

}  // namespace quilmar
