// The limits in use and the state of every value of every frame in the window's table, with
// persistence held over the table's frames in order, as the export's limits column holds it.
// The states are found once per frame as the table fills (a load, a frame arriving), so
// stepping through 5000 frames only reads them back. A new table (a log, a new pass) starts
// persistence afresh; new limits find every state anew.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>

#include "core/frame_table.h"
#include "limits/limit_set.h"

namespace quilmar {

class FrameTableModel;

// A value's state in one frame after persistence, in three bytes.
struct LimitState {
  LimitLevel level = LimitLevel::kNormal;
  LimitDirection direction = LimitDirection::kNone;
  std::int8_t bound = -1;  // the BoundKind passed, -1 for none

  bool Normal() const { return level == LimitLevel::kNormal; }
  bool operator==(const LimitState&) const = default;
};

class FrameLimits : public QObject {
  Q_OBJECT
 public:
  // Made before the views that read it, so that it hears of a new table first.
  explicit FrameLimits(const FrameTableModel& model, QObject* parent = nullptr);

  // New limits: every state of the table anew, announced by limitsChanged.
  void SetLimits(LimitSet newLimits);
  const LimitSet& Limits() const { return limits; }

  // The state of row in frame index (1-based); normal outside the table, for rows without
  // limits and in frames that did not carry the row's section.
  LimitState StateAt(int index, int row) const;
  // The worst level of any value of frame index.
  LimitLevel WorstAt(int index) const;
  // The state as the limits library gives it, its bound's value read from frame index (a
  // bound naming another value follows that value).
  LimitCheck CheckAt(int index, int row) const;
  // What decided the state, for a tooltip: "red low: below red_low 3.2 (limits.toml:2:11)";
  // empty when normal.
  QString SourceTextAt(int index, int row) const;

 signals:
  void limitsChanged();
  // The states of frames first..last of a growing table are known.
  void statesAppended(int first, int last);

 private:
  using FrameStates = std::array<LimitState, kParameterCount>;
  void TableReset();
  void RowsAppended(int first, int last);
  void OldestDropped(int count);
  // Finds the states of the frames not yet stepped through, up to the table's end.
  void StepOn() const;

  const FrameTableModel& model;
  LimitSet limits;
  mutable LimitPersistence persistence;
  mutable std::deque<FrameStates> states;  // by frame index - 1
  mutable std::deque<LimitLevel> worst;
};

}  // namespace quilmar
