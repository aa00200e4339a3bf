// The alarms of a live pass in the main window: the status bar's line, the alarm list, the
// menu bar's Alarms command, Settings > Alarm on Yellow Too and the desktop notification.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "main_window.h"
#include "ui/limits/frame_limits.h"
#include "ui/live/alarm_window.h"
#include "ui/live/desktop_notifier.h"
#include "ui/live/limit_alarms.h"

namespace quilmar {
namespace {

constexpr char kAlarmOnYellowKey[] = "limits/alarmOnYellow";

}  // namespace

void MainWindow::BuildAlarms(QMenu* settings) {
  alarms = new LimitAlarms(*model, *limits, this);
  alarmList = new AlarmWindow(*alarms, this);
  alarmStatus = new QLabel(this);
  alarmStatus->setObjectName(QStringLiteral("AlarmStatus"));
  alarmStatus->setTextFormat(Qt::PlainText);
  statusBar()->addPermanentWidget(alarmStatus);
  alarmStatus->hide();

  alarmOnYellow = settings->addAction(QStringLiteral("Alarm on Yellow Too"));
  alarmOnYellow->setObjectName(QStringLiteral("AlarmOnYellow"));
  alarmOnYellow->setCheckable(true);
  // Only the user's own ticking is kept; SetAlarmOnYellow from a program is not.
  connect(alarmOnYellow, &QAction::triggered, this, [this](bool on) {
    alarms->SetYellowToo(on);
    if (alarmSettings) {
      alarmSettings()->setValue(QString::fromLatin1(kAlarmOnYellowKey), on);
    }
  });

  QAction* open = menuBar()->addAction(QStringLiteral("Alarms"));
  open->setObjectName(QStringLiteral("MnuAlarms"));
  connect(open, &QAction::triggered, this, [this] {
    alarmList->show();
    alarmList->raise();
    alarmList->activateWindow();
  });
  connect(alarms, &LimitAlarms::raised, this, &MainWindow::AlarmRaised);
  connect(alarms, &LimitAlarms::changed, this, &MainWindow::WriteAlarmStatus);
}

void MainWindow::SetAlarmOnYellow(bool on) {
  alarmOnYellow->setChecked(on);
  alarms->SetYellowToo(on);
}

void MainWindow::SetAlarmSettings(SettingsOpener opener) {
  alarmSettings = std::move(opener);
  if (alarmSettings) {
    SetAlarmOnYellow(
        alarmSettings()->value(QString::fromLatin1(kAlarmOnYellowKey), false).toBool());
  }
}

void MainWindow::SetNotificationBus(const QDBusConnection& bus) {
  notifier = std::make_unique<DesktopNotifier>(bus);
}

// Reception goes on behind it: the list shows without taking the focus, and the notification
// is sent without waiting for an answer.
void MainWindow::AlarmRaised(const LimitAlarm& alarm) {
  lastAlarm = QStringLiteral("Alarm %1: %2 %3")
                  .arg(alarm.time.toString(QStringLiteral("HH:mm:ss")), alarm.Title(), alarm.value);
  alarmList->ShowQuietly();
  if (!isActiveWindow()) {
    if (!notifier) {
      notifier = std::make_unique<DesktopNotifier>();
    }
    notifier->Notify(QStringLiteral("QUILMAR-1: ") + alarm.Title(),
                     QStringLiteral("%1 in frame %2 at %3 UTC\n%4")
                         .arg(alarm.value)
                         .arg(alarm.frameNumber)
                         .arg(alarm.time.toString(QStringLiteral("HH:mm:ss")), alarm.bound));
  }
}

// "Alarm 14:03:05: Battery Volts (EPS/TCS) red low 3.14 V (2 to acknowledge)".
void MainWindow::WriteAlarmStatus() {
  const int waiting = alarms->Unacknowledged();
  if (lastAlarm.isEmpty()) {
    alarmStatus->hide();
    return;
  }
  alarmStatus->setText(waiting > 0
                           ? QStringLiteral("%1 (%2 to acknowledge)").arg(lastAlarm).arg(waiting)
                           : lastAlarm + QStringLiteral(" (acknowledged)"));
  alarmStatus->setToolTip(alarmStatus->text());
  alarmStatus->show();
}

}  // namespace quilmar
