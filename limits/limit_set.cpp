// The state of a value against its limits; see limit_set.h.
#include "limit_set.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "value_names.h"

namespace quilmar {

const LimitBound* LimitCheck::Bound() const {
  if (!bound || limits == nullptr) {
    return nullptr;
  }
  const auto& slot = limits->bounds[static_cast<std::size_t>(*bound)];
  return slot ? &*slot : nullptr;
}

LimitSet::LimitSet(std::string origin, std::vector<ValueLimits> values)
    : origin(std::move(origin)), values(std::move(values)) {
  indexOfRow.fill(-1);
  byteStates.resize(this->values.size());
  for (std::size_t i = 0; i < this->values.size(); ++i) {
    const ValueLimits& value = this->values[i];
    indexOfRow[static_cast<std::size_t>(value.row)] = static_cast<int>(i);
    for (int b = 0; b < 256; ++b) {
      byteStates[i][static_cast<std::size_t>(b)] = StateLevel(value, b);
    }
  }
}

// The level of a listed state shown for the value; normal when it shows no listed state.
LimitLevel LimitSet::StateLevel(const ValueLimits& limits, double value) {
  const auto text = ShownStateText(limits.row, value);
  if (!text) {
    return LimitLevel::kNormal;
  }
  const auto listed = [&](const std::vector<std::string>& states) {
    return std::find(states.begin(), states.end(), *text) != states.end();
  };
  return listed(limits.redStates)      ? LimitLevel::kRed
         : listed(limits.yellowStates) ? LimitLevel::kYellow
                                       : LimitLevel::kNormal;
}

const ValueLimits* LimitSet::Of(int row) const {
  if (row < 0 || row >= kParameterCount || values.empty()) {
    return nullptr;
  }
  const int index = indexOfRow[static_cast<std::size_t>(row)];
  return index < 0 ? nullptr : &values[static_cast<std::size_t>(index)];
}

namespace {

// The bound's value in this frame; NaN when it names a value the frame read as NaN, and the
// bound then decides nothing.
double BoundValue(const LimitBound& bound, std::span<const double, kParameterCount> frameValues) {
  return bound.otherRow < 0 ? bound.number : frameValues[static_cast<std::size_t>(bound.otherRow)];
}

struct BoundRule {
  BoundKind kind;
  LimitLevel level;
  LimitDirection direction;
};

// Red before yellow, so that a value past both is red; low before high.
constexpr std::array<BoundRule, kBoundKindCount> kBoundRules{{
    {BoundKind::kRedLow, LimitLevel::kRed, LimitDirection::kLow},
    {BoundKind::kYellowLow, LimitLevel::kYellow, LimitDirection::kLow},
    {BoundKind::kRedHigh, LimitLevel::kRed, LimitDirection::kHigh},
    {BoundKind::kYellowHigh, LimitLevel::kYellow, LimitDirection::kHigh},
}};

}  // namespace

LimitCheck LimitSet::Check(int row, std::span<const double, kParameterCount> frameValues) const {
  LimitCheck check;
  check.limits = Of(row);
  if (check.limits == nullptr) {
    return check;
  }
  const double value = frameValues[static_cast<std::size_t>(row)];
  if (std::isnan(value)) {
    check.level = LimitLevel::kRed;
    check.direction = LimitDirection::kState;
    return check;
  }
  const ValueLimits& limits = *check.limits;
  if (!limits.redStates.empty() || !limits.yellowStates.empty()) {
    // Status words are bytes: their levels are looked up, other readings shown first.
    const bool byte = value >= 0 && value <= 255 && value == std::floor(value);
    check.level = byte ? byteStates[static_cast<std::size_t>(check.limits - values.data())]
                                   [static_cast<std::size_t>(value)]
                       : StateLevel(limits, value);
    check.direction = check.Normal() ? LimitDirection::kNone : LimitDirection::kState;
    return check;
  }
  for (const BoundRule& rule : kBoundRules) {
    const auto& bound = limits.bounds[static_cast<std::size_t>(rule.kind)];
    if (!bound) {
      continue;
    }
    const double limit = BoundValue(*bound, frameValues);
    const bool low = rule.direction == LimitDirection::kLow;
    if (low ? value < limit : value > limit) {  // false against a NaN bound
      check.level = rule.level;
      check.direction = rule.direction;
      check.bound = rule.kind;
      check.boundValue = limit;
      return check;
    }
  }
  return check;
}

LimitCheck LimitSet::Check(int row, const FrameRecord& record) const {
  if (!record.HasSection(kParameterCatalogue[static_cast<std::size_t>(row)].section)) {
    LimitCheck check;
    check.limits = Of(row);
    return check;
  }
  return Check(row, std::span<const double, kParameterCount>(record.values));
}

std::array<LimitCheck, kParameterCount> LimitSet::CheckFrame(const FrameRecord& record) const {
  std::array<LimitCheck, kParameterCount> checks;
  for (const ValueLimits& value : values) {
    checks[static_cast<std::size_t>(value.row)] = Check(value.row, record);
  }
  return checks;
}

LimitPersistence::LimitPersistence() { Reset(); }

void LimitPersistence::Reset() { held.fill(Held{}); }

LimitCheck LimitPersistence::Step(int row, const LimitCheck& raw) {
  Held& value = held[static_cast<std::size_t>(row)];
  const int persistence = raw.limits != nullptr ? raw.limits->persistence : 1;
  if (raw.SameState(value.reported)) {
    value.count = 0;
    value.reported = raw;  // the same state, decided by this frame's bound
    return raw;
  }
  value.count = raw.SameState(value.pending) && value.count > 0 ? value.count + 1 : 1;
  value.pending = raw;
  if (value.count >= persistence) {
    value.reported = raw;
    value.count = 0;
  }
  return value.reported;
}

const char* LevelText(LimitLevel level) {
  switch (level) {
    case LimitLevel::kYellow:
      return "yellow";
    case LimitLevel::kRed:
      return "red";
    case LimitLevel::kNormal:
      break;
  }
  return "normal";
}

const char* DirectionText(LimitDirection direction) {
  switch (direction) {
    case LimitDirection::kLow:
      return "low";
    case LimitDirection::kHigh:
      return "high";
    case LimitDirection::kState:
      return "state";
    case LimitDirection::kNone:
      break;
  }
  return "";
}

const char* BoundKindText(BoundKind kind) {
  switch (kind) {
    case BoundKind::kRedLow:
      return "red_low";
    case BoundKind::kYellowLow:
      return "yellow_low";
    case BoundKind::kYellowHigh:
      return "yellow_high";
    case BoundKind::kRedHigh:
      return "red_high";
  }
  return "";
}

std::string LimitSourceText(const LimitCheck& check, double value) {
  if (check.Normal() || check.limits == nullptr) {
    return {};
  }
  std::string text = std::string(LevelText(check.level)) + ' ' + DirectionText(check.direction);
  if (std::isnan(value)) {
    return std::string(LevelText(check.level)) + ": NaN reading";
  }
  if (check.direction == LimitDirection::kState) {
    return text + ": " + ShownStateText(check.limits->row, value).value_or("") + " (" +
           (check.level == LimitLevel::kRed ? check.limits->redStatesSource
                                            : check.limits->yellowStatesSource) +
           ")";
  }
  const LimitBound* bound = check.Bound();
  if (bound == nullptr) {
    return text;
  }
  std::ostringstream limit;
  limit << check.boundValue;
  text += std::string(check.direction == LimitDirection::kLow ? ": below " : ": above ") +
          BoundKindText(*check.bound) + ' ' +
          (bound->otherRow >= 0 ? bound->text + " = " + limit.str() : limit.str()) + " (" +
          bound->source + (bound->note.empty() ? "" : "; " + bound->note) + ")";
  return text;
}

}  // namespace quilmar
