// The limits of the housekeeping values, as a limits file gives them (limits_file.h), and the
// state of a value in a frame: normal, or yellow or red, below a low bound, above a high one,
// or in a listed state ("EMERGENCY"). Standard C++ only: the window, the export and the
// archive's events all judge a value here.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/frame_table.h"

namespace quilmar {

enum class LimitLevel { kNormal, kYellow, kRed };
// kState: a listed state, or a NaN reading (which is red wherever a value has limits).
enum class LimitDirection { kNone, kLow, kHigh, kState };

enum class BoundKind { kRedLow, kYellowLow, kYellowHigh, kRedHigh };
inline constexpr int kBoundKindCount = 4;

// One bound: a number in the value's engineering unit, or another value of the same frame
// (the spacecraft's own thresholds, such as "Limit Volt EM").
struct LimitBound {
  double number = 0;
  int otherRow = -1;   // the named value's catalogue row, or -1 for a number
  std::string text;    // as the file gives it: "4.2", "eps_tcs_limit_volt_em"
  std::string source;  // where it was read: "limits.toml:4:11"
  std::string note;    // the comment at the end of that line, if any
};

struct ValueLimits {
  int row = -1;
  std::array<std::optional<LimitBound>, kBoundKindCount> bounds;  // by BoundKind
  std::vector<std::string> redStates;                             // shown texts ("EMERGENCY")
  std::vector<std::string> yellowStates;
  std::string redStatesSource;  // where each list was read
  std::string yellowStatesSource;
  int persistence = 1;  // frames in a row before the state changes
};

// A value's state in one frame and what decided it.
struct LimitCheck {
  LimitLevel level = LimitLevel::kNormal;
  LimitDirection direction = LimitDirection::kNone;
  std::optional<BoundKind> bound;  // the bound passed, for low and high
  double boundValue = 0;           // that bound's value in this frame
  const ValueLimits* limits = nullptr;

  bool Normal() const { return level == LimitLevel::kNormal; }
  bool SameState(const LimitCheck& other) const {
    return level == other.level && direction == other.direction;
  }
  // The bound that decided the state, or nothing (normal, a state, NaN).
  const LimitBound* Bound() const;
};

class LimitSet {
 public:
  LimitSet() = default;
  LimitSet(std::string origin, std::vector<ValueLimits> values);

  // Where the limits came from: a file's path, or the built-in default file's name.
  const std::string& Origin() const { return origin; }
  const std::vector<ValueLimits>& Values() const { return values; }
  // The limits of a catalogue row; nothing when the file gives it none.
  const ValueLimits* Of(int row) const;

  // The state of the row's value among the frame's values (bounds that name another value
  // read it there). The caller passes only frames that carried the value's section.
  LimitCheck Check(int row, std::span<const double, kParameterCount> frameValues) const;
  // Normal when the frame did not carry the value's section.
  LimitCheck Check(int row, const FrameRecord& record) const;
  // Every value of the frame, by catalogue row (what a view colours at once).
  std::array<LimitCheck, kParameterCount> CheckFrame(const FrameRecord& record) const;

 private:
  static LimitLevel StateLevel(const ValueLimits& limits, double value);

  std::string origin;
  std::vector<ValueLimits> values;
  std::array<int, kParameterCount> indexOfRow{};  // into values, -1 without limits
  // Per value, the level of each byte reading 0..255 against its listed states.
  std::vector<std::array<LimitLevel, 256>> byteStates;
};

// Holds each value's state over successive frames: a state other than the reported one is
// reported once it has held for the value's persistence in frames in a row that carried the
// value. Start afresh (everything normal) at a pass boundary.
class LimitPersistence {
 public:
  LimitPersistence();
  LimitCheck Step(int row, const LimitCheck& raw);
  void Reset();

 private:
  struct Held {
    LimitCheck reported;
    LimitCheck pending;
    int count = 0;
  };
  std::array<Held, kParameterCount> held;
};

// "red", "yellow", "normal"; "low", "high", "state".
const char* LevelText(LimitLevel level);
const char* DirectionText(LimitDirection direction);
// "red_low", ... as in the file.
const char* BoundKindText(BoundKind kind);

// What decided a state, for a tooltip or an alarm list: "red low: below red_low
// eps_tcs_limit_volt_em = 3.3333 (limits.toml:2:11; Limit Volt EM ...)", "red state:
// EMERGENCY (limits.toml:9:7)", "red: NaN reading"; empty when normal.
std::string LimitSourceText(const LimitCheck& check, double value);

}  // namespace quilmar
