// Alarms of a live pass; see limit_alarms.h.
#include "limit_alarms.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "limits/value_names.h"
#include "ui/limits/frame_limits.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

QString FromView(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString ValueText(int row, double value) {
  if (std::isnan(value)) {
    return QStringLiteral("NaN");
  }
  if (ShowsStateWords(row)) {
    return QString::fromStdString(ShownStateText(row, value).value_or(std::string()));
  }
  const QString unit = FromView(kParameterCatalogue[static_cast<std::size_t>(row)].unit);
  const QString number = QLocale().toString(value, 'g', 6);
  return unit.isEmpty() ? number : number + u' ' + unit;
}

}  // namespace

QString LimitAlarm::Parameter() const {
  const ParameterInfo& parameter = kParameterCatalogue[static_cast<std::size_t>(row)];
  return QStringLiteral("%1 (%2)").arg(FromView(parameter.name),
                                       FromView(SectionInfoOf(parameter.section).name));
}

QString LimitAlarm::Title() const {
  return QStringLiteral("%1 %2 %3")
      .arg(Parameter(), QString::fromLatin1(LevelText(level)),
           QString::fromLatin1(DirectionText(direction)));
}

LimitAlarms::LimitAlarms(const FrameTableModel& model, const FrameLimits& limits, QObject* parent)
    : QObject(parent), model(model), limits(limits) {
  connect(&limits, &FrameLimits::statesAppended, this, &LimitAlarms::StatesAppended);
  connect(&limits, &FrameLimits::limitsChanged, this, &LimitAlarms::StartOver);
  connect(&model, &FrameTableModel::tableReset, this, &LimitAlarms::StartOver);
}

void LimitAlarms::StartOver() {
  episodes.fill(Episode{});
  for (int index = 1; index <= model.RowCount(); ++index) {
    Step(index, false);
  }
}

void LimitAlarms::StatesAppended(int first, int last) {
  if (model.Origin() != TableOrigin::kPass) {
    return;
  }
  for (int index = first; index <= last; ++index) {
    Step(index, true);
  }
}

// A frame without a value's section neither ends its episode nor adds to it.
void LimitAlarms::Step(int index, bool raise) {
  const FrameRecord& record = model.Table().Record(index);
  const LimitLevel least = yellowToo ? LimitLevel::kYellow : LimitLevel::kRed;
  for (const ValueLimits& value : limits.Limits().Values()) {
    const int row = value.row;
    if (!record.HasSection(kParameterCatalogue[static_cast<std::size_t>(row)].section)) {
      continue;
    }
    Episode& episode = episodes[static_cast<std::size_t>(row)];
    const LimitState state = limits.StateAt(index, row);
    if (state.direction != episode.direction) {
      episode = {state.direction, LimitLevel::kNormal};
    }
    if (state.Normal() || state.level < least || state.level <= episode.alarmed) {
      continue;
    }
    episode.alarmed = state.level;
    if (!raise) {
      continue;
    }
    LimitAlarm alarm;
    alarm.time = QDateTime::fromMSecsSinceEpoch(model.ArrivedAt(index), Qt::UTC);
    alarm.row = row;
    alarm.frameNumber = record.frameNumber;
    alarm.level = state.level;
    alarm.direction = state.direction;
    alarm.value = ValueText(row, record.values[static_cast<std::size_t>(row)]);
    alarm.bound = limits.SourceTextAt(index, row);
    alarms.push_back(alarm);
    emit raised(alarms.back());
    emit changed();
  }
}

int LimitAlarms::Unacknowledged() const {
  return static_cast<int>(std::count_if(alarms.begin(), alarms.end(),
                                        [](const LimitAlarm& a) { return !a.acknowledged; }));
}

void LimitAlarms::Acknowledge(const std::vector<int>& places) {
  for (const int place : places) {
    if (place >= 0 && place < static_cast<int>(alarms.size())) {
      alarms[static_cast<std::size_t>(place)].acknowledged = true;
    }
  }
  emit changed();
}

void LimitAlarms::AcknowledgeAll() {
  for (LimitAlarm& alarm : alarms) {
    alarm.acknowledged = true;
  }
  emit changed();
}

}  // namespace quilmar
