// Alarms of a live pass: a value whose state (after persistence) turns red in a frame as it
// arrives raises one, once per episode (a run beyond a bound in one direction, as the
// archive's events count them); yellow raises one too when the operator asked for it, and an
// episode that goes on from yellow to red raises the red one then. Frames of a log never
// alarm. The operator acknowledges alarms, some or all; the list keeps them until the window
// closes.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <array>
#include <vector>

#include "core/parameter_catalogue.h"
#include "limits/limit_set.h"

namespace quilmar {

class FrameLimits;
class FrameTableModel;

struct LimitAlarm {
  QDateTime time;  // the frame's arrival, UTC
  int row = -1;
  int frameNumber = 0;
  LimitLevel level = LimitLevel::kRed;
  LimitDirection direction = LimitDirection::kNone;
  QString value;  // as shown: "3.21 V", "EMERGENCY", "NaN"
  QString bound;  // what decided it: "red low: below red_low 3.3 (limits.toml:2:11)"
  bool acknowledged = false;

  // "Battery Volts (EPS/TCS)".
  QString Parameter() const;
  // "Battery Volts (EPS/TCS) red low".
  QString Title() const;
};

class LimitAlarms : public QObject {
  Q_OBJECT
 public:
  LimitAlarms(const FrameTableModel& model, const FrameLimits& limits, QObject* parent = nullptr);

  // Whether a yellow episode raises an alarm too (red ones always do).
  void SetYellowToo(bool on) { yellowToo = on; }
  bool YellowToo() const { return yellowToo; }

  const std::vector<LimitAlarm>& Alarms() const { return alarms; }
  int Unacknowledged() const;
  // Alarms by their place in Alarms(); places out of range are passed over.
  void Acknowledge(const std::vector<int>& places);
  void AcknowledgeAll();

 signals:
  void raised(const LimitAlarm& alarm);
  // An alarm was raised or acknowledged.
  void changed();

 private:
  struct Episode {
    LimitDirection direction = LimitDirection::kNone;
    LimitLevel alarmed = LimitLevel::kNormal;  // the highest level alarmed in it
  };
  void StatesAppended(int first, int last);
  void Step(int index, bool raise);
  // New limits or a new table: the episodes start from the newest frame's states, alarmed
  // already, so that nothing the operator has seen alarms again.
  void StartOver();

  const FrameTableModel& model;
  const FrameLimits& limits;
  bool yellowToo = false;
  std::array<Episode, kParameterCount> episodes{};
  std::vector<LimitAlarm> alarms;
};

}  // namespace quilmar
