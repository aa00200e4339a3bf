// The states of the table's frames against the limits in use; see frame_limits.h.
#include "frame_limits.h"

#include <algorithm>

#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

LimitState StateOf(const LimitCheck& check) {
  return {check.level, check.direction,
          static_cast<std::int8_t>(check.bound ? static_cast<int>(*check.bound) : -1)};
}

}  // namespace

FrameLimits::FrameLimits(const FrameTableModel& model, QObject* parent)
    : QObject(parent), model(model) {
  connect(&model, &FrameTableModel::tableReset, this, &FrameLimits::TableReset);
  connect(&model, &FrameTableModel::rowsAppended, this, &FrameLimits::RowsAppended);
  connect(&model, &FrameTableModel::oldestDropped, this, &FrameLimits::OldestDropped);
}

void FrameLimits::SetLimits(LimitSet newLimits) {
  limits = std::move(newLimits);
  TableReset();
  emit limitsChanged();
}

void FrameLimits::TableReset() {
  persistence.Reset();
  states.clear();
  worst.clear();
  StepOn();
}

void FrameLimits::RowsAppended(int first, int last) {
  StepOn();
  emit statesAppended(first, last);
}

// The frames kept move up; persistence goes on from the newest frame, as it would have
// without the drop.
void FrameLimits::OldestDropped(int count) {
  const auto dropped = static_cast<std::size_t>(std::clamp<int>(count, 0, states.size()));
  states.erase(states.begin(), states.begin() + static_cast<std::ptrdiff_t>(dropped));
  worst.erase(worst.begin(), worst.begin() + static_cast<std::ptrdiff_t>(dropped));
  StepOn();
}

// A frame without a value's section neither counts towards its persistence nor breaks it.
void FrameLimits::StepOn() const {
  const FrameTable& table = model.Table();
  for (int index = static_cast<int>(states.size()) + 1; index <= model.RowCount(); ++index) {
    const FrameRecord& record = table.Record(index);
    FrameStates& frame = states.emplace_back();
    LimitLevel frameWorst = LimitLevel::kNormal;
    for (const ValueLimits& value : limits.Values()) {
      if (!record.HasSection(kParameterCatalogue[static_cast<std::size_t>(value.row)].section)) {
        continue;
      }
      const LimitState state =
          StateOf(persistence.Step(value.row, limits.Check(value.row, record)));
      frame[static_cast<std::size_t>(value.row)] = state;
      frameWorst = std::max(frameWorst, state.level);
    }
    worst.push_back(frameWorst);
  }
}

LimitState FrameLimits::StateAt(int index, int row) const {
  if (index < 1 || index > model.RowCount() || row < 0 || row >= kParameterCount) {
    return {};
  }
  StepOn();  // a view may ask before this object heard of the new frames
  return states[static_cast<std::size_t>(index - 1)][static_cast<std::size_t>(row)];
}

LimitLevel FrameLimits::WorstAt(int index) const {
  if (index < 1 || index > model.RowCount()) {
    return LimitLevel::kNormal;
  }
  StepOn();
  return worst[static_cast<std::size_t>(index - 1)];
}

LimitCheck FrameLimits::CheckAt(int index, int row) const {
  const LimitState state = StateAt(index, row);
  LimitCheck check;
  check.limits = limits.Of(row);
  if (state.Normal() || check.limits == nullptr) {
    return check;
  }
  check.level = state.level;
  check.direction = state.direction;
  if (state.bound >= 0) {
    check.bound = static_cast<BoundKind>(state.bound);
    if (const LimitBound* bound = check.Bound()) {
      const FrameRecord& record = model.Table().Record(index);
      check.boundValue = bound->otherRow < 0
                             ? bound->number
                             : record.values[static_cast<std::size_t>(bound->otherRow)];
    }
  }
  return check;
}

QString FrameLimits::SourceTextAt(int index, int row) const {
  const LimitCheck check = CheckAt(index, row);
  if (check.Normal()) {
    return {};
  }
  const double value = model.Table().Record(index).values[static_cast<std::size_t>(row)];
  return QString::fromStdString(LimitSourceText(check, value));
}

}  // namespace quilmar
