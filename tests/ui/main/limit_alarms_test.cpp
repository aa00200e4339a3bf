// Alarms during a paced live pass: a new red episode (and yellow ones when asked) joins the
// alarm list and the status bar once per episode, a frame without the section neither ends
// nor repeats it, the operator acknowledges some or all, and an inactive window sends a
// desktop notification, here to a notification service of the test's own on a private
// session bus.
#include "ui/live/limit_alarms.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>

#include "limits/limits_file.h"
#include "live_fixture.h"
#include "ui/live/alarm_window.h"

namespace quilmar::testing {
namespace {

constexpr char kLimits[] = R"([eps_tcs_battery_volts]
red_low = "eps_tcs_limit_volt_em"
yellow_low = "eps_tcs_limit_volt_psm"

[eps_tcs_temp_battery]
yellow_high = 40
)";

// Limit Volt EM reads 3.33 V and Limit Volt PSM 3.53 V in every EPS/TCS frame; a battery byte
// of 200 is within, 175 yellow low and 160 red low.
struct PassFrame {
  bool eps;
  std::uint8_t battery;
  std::int8_t temp;
};

constexpr PassFrame kPass[] = {
    {true, 200, 20},  // 1: within
    {true, 175, 20},  // 2: yellow low
    {true, 160, 20},  // 3: red low, the same episode gone red
    {false, 0, 0},    // 4: CDHS and ADCS only
    {true, 160, 20},  // 5: still red low
    {true, 200, 20},  // 6: within: the episode ends
    {true, 160, 45},  // 7: red low again; temperature yellow high
};

Bytes PassFrameBytes(int number, const PassFrame& f) {
  Bytes frame =
      HousekeepingFrame(static_cast<std::uint16_t>(number), f.eps ? 41 : 23, f.eps ? 20 : 64);
  if (f.eps) {
    Put(frame, 17 + 27, {f.battery});
    Put(frame, 17 + 44, {180, 170});
    Put(frame, 17 + 38, {static_cast<std::uint8_t>(f.temp)});
  }
  return KissWrap(frame);
}

// The desktop's notification service as the test's private bus offers it: every Notify call
// is kept.
class NotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList calls;  // "summary | body"

 public slots:
  uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
              const QString& summary, const QString& body, const QStringList& actions,
              const QVariantMap& hints, int expireTimeout) {
    Q_UNUSED(appName);
    Q_UNUSED(replacesId);
    Q_UNUSED(appIcon);
    Q_UNUSED(actions);
    Q_UNUSED(hints);
    Q_UNUSED(expireTimeout);
    calls << summary + QStringLiteral(" | ") + body;
    return static_cast<uint>(calls.size());
  }
};

// A session bus of the test's own: dbus-daemon on a socket in /tmp, ended with the test.
class PrivateBus {
 public:
  PrivateBus() {
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address")});
    if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000)) {
      address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }
  }
  ~PrivateBus() {
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("window"));
    daemon.kill();
    daemon.waitForFinished(5000);
  }
  QDBusConnection Connect(const QString& name) const {
    return QDBusConnection::connectToBus(address, name);
  }

  QProcess daemon;
  QString address;
};

class LimitAlarmsTest : public LiveSessionTest {
 protected:
  void SetUp() override {
    LiveSessionTest::SetUp();
    LimitsLoad load = ParseLimits(kLimits, "limits.toml");
    ASSERT_TRUE(load.limits) << load.error.Text();
    window->UseLimits({*load.limits, {}, QStringLiteral("Limits: limits.toml")});
  }

  // Each frame on its own, the next sent once the window has the last.
  void SendPass(int count = static_cast<int>(std::size(kPass))) {
    ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(dir.filePath(QStringLiteral("live.kss")))));
    ASSERT_TRUE(tnc.WaitForClient());
    for (int i = 0; i < count; ++i) {
      tnc.Send(PassFrameBytes(i + 1, kPass[i]));
      ASSERT_TRUE(WaitForFrames(i + 1)) << "frame " << i + 1;
    }
  }

  QStringList Raised() const {
    QStringList raised;
    for (const LimitAlarm& alarm : window->limitAlarms().Alarms()) {
      raised << QStringLiteral("%1 %2").arg(alarm.frameNumber).arg(alarm.Title());
    }
    return raised;
  }

  QTreeWidget* List() const { return window->alarmWindow().List(); }
};

TEST_F(LimitAlarmsTest, ANewEpisodeAlarmsOnceAtRedOrAtYellowWhenAsked) {
  const struct {
    const char* name;
    bool yellowToo;
    QStringList raised;
  } cases[] = {
      {"red only",
       false,
       {"3 Battery Volts (EPS/TCS) red low", "7 Battery Volts (EPS/TCS) red low"}},
      {"yellow too",
       true,
       {"2 Battery Volts (EPS/TCS) yellow low", "3 Battery Volts (EPS/TCS) red low",
        "7 Battery Volts (EPS/TCS) red low", "7 Temp Battery (EPS/TCS) yellow high"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    window->SetNotificationBus(QDBusConnection(QStringLiteral("no bus")));
    window->SetAlarmOnYellow(c.yellowToo);
    SendPass();
    EXPECT_EQ(Raised(), c.raised);
    EXPECT_EQ(List()->topLevelItemCount(), c.raised.size());
    EXPECT_TRUE(window->alarmWindow().isVisible());
    EXPECT_TRUE(messages.empty());  // nothing that waits for the operator
    window->Disconnect();
  }
}

TEST_F(LimitAlarmsTest, TheOperatorAcknowledgesTheSelectedAlarmsOrAll) {
  window->SetNotificationBus(QDBusConnection(QStringLiteral("no bus")));
  SendPass();
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  QLabel* status = Find<QLabel>("AlarmStatus");
  EXPECT_TRUE(status->text().contains(QStringLiteral("Battery Volts (EPS/TCS) red low")))
      << status->text().toStdString();
  EXPECT_TRUE(status->text().endsWith(QStringLiteral("(2 to acknowledge)")));

  // The newest on top: time, parameter, state, value, bound.
  QTreeWidgetItem* newest = List()->topLevelItem(0);
  EXPECT_EQ(newest->text(1), QStringLiteral("Battery Volts (EPS/TCS)"));
  EXPECT_EQ(newest->text(2), QStringLiteral("\u25BC red low  new"));
  EXPECT_TRUE(newest->text(3).endsWith(QStringLiteral(" V")));
  EXPECT_TRUE(
      newest->text(4).startsWith(QStringLiteral("red low: below red_low eps_tcs_limit_volt_em")))
      << newest->text(4).toStdString();
  EXPECT_TRUE(newest->font(0).bold());

  newest->setSelected(true);
  window->alarmWindow().findChild<QPushButton*>(QStringLiteral("AcknowledgeSelected"))->click();
  EXPECT_EQ(window->limitAlarms().Unacknowledged(), 1);
  EXPECT_TRUE(window->limitAlarms().Alarms()[1].acknowledged);
  EXPECT_FALSE(window->limitAlarms().Alarms()[0].acknowledged);
  EXPECT_EQ(List()->topLevelItem(0)->text(2), QStringLiteral("\u25BC red low"));
  EXPECT_FALSE(List()->topLevelItem(0)->font(0).bold());
  EXPECT_TRUE(List()->topLevelItem(1)->font(0).bold());
  EXPECT_TRUE(status->text().endsWith(QStringLiteral("(1 to acknowledge)")));

  window->alarmWindow().findChild<QPushButton*>(QStringLiteral("AcknowledgeAll"))->click();
  EXPECT_EQ(window->limitAlarms().Unacknowledged(), 0);
  EXPECT_TRUE(status->text().endsWith(QStringLiteral("(acknowledged)")));
}

// A log read whole is history: it never alarms.
TEST_F(LimitAlarmsTest, ALogNeverAlarms) {
  Bytes log;
  for (int i = 0; i < static_cast<int>(std::size(kPass)); ++i) {
    const Bytes frame = PassFrameBytes(i + 1, kPass[i]);
    log.insert(log.end(), frame.begin(), frame.end());
  }
  window->OpenLog(WriteLog(QStringLiteral("pass.kss"), log));
  ASSERT_EQ(window->frameTable().frameCount, 7);
  EXPECT_TRUE(window->limitAlarms().Alarms().empty());
  EXPECT_FALSE(window->alarmWindow().isVisible());
}

TEST_F(LimitAlarmsTest, AnInactiveWindowNotifiesTheDesktop) {
  PrivateBus bus;
  ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
  QDBusConnection serviceBus = bus.Connect(QStringLiteral("notification-service"));
  ASSERT_TRUE(serviceBus.isConnected());
  NotificationService service;
  ASSERT_TRUE(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                        QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
  window->SetNotificationBus(bus.Connect(QStringLiteral("window")));

  SendPass(3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return service.calls.size() == 1; }, 5000));
  EXPECT_TRUE(
      service.calls[0].startsWith(QStringLiteral("QUILMAR-1: Battery Volts (EPS/TCS) red low | ")))
      << service.calls[0].toStdString();
  EXPECT_TRUE(service.calls[0].contains(QStringLiteral("in frame 3 at ")));

  // The operator at the window sees the alarm there: no notification.
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  for (int i = 3; i < static_cast<int>(std::size(kPass)); ++i) {
    tnc.Send(PassFrameBytes(i + 1, kPass[i]));
    ASSERT_TRUE(WaitForFrames(i + 1));
  }
  ASSERT_EQ(window->limitAlarms().Alarms().size(), 2u);
  QTest::qWait(300);
  EXPECT_EQ(service.calls.size(), 1);
}

}  // namespace
}  // namespace quilmar::testing

#include "limit_alarms_test.moc"
