// The window during a pass, through the table model: a session begins a table of its own
// whatever was on display, keeps what the operator chose (charted parameter, range), and
// leaves nothing of itself behind once a log is opened after it.
#include <QAction>
#include <QCheckBox>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <functional>

#include "live_fixture.h"
#include "ui/chart/chart_adapter.h"
#include "ui/chart/parameter_graph.h"
#include "ui/live/live_session.h"
#include "ui/look/look.h"
#include "ui/model/frame_table_model.h"
#include "ui/shell/export_frames.h"

namespace quilmar::testing {
namespace {

class WindowDuringAPassTest : public LiveSessionTest {
 protected:
  // A log of frames carrying ADCS with a healthy System Status, charted at row 5.
  void ShowALogChartingRow5() {
    Bytes log;
    for (std::uint16_t n = 1; n <= 4; ++n) {
      const Bytes wrapped = KissWrap(AdcsFrame(n, 200));
      log.insert(log.end(), wrapped.begin(), wrapped.end());
    }
    window->OpenLog(WriteLog("earlier.kss", log));
    ASSERT_EQ(window->frameTable().frameCount, 4);
    window->ShowFrameAt(4);
    window->frameView().ParameterButton(5)->click();
  }

  bool Connect(const char* name) {
    return window->ConnectToTnc(tnc.Choice(dir.filePath(QString::fromLatin1(name)))) &&
           tnc.WaitForClient();
  }

  static void ChooseRange(GraphRangeControls& controls, int from, int to) {
    QListView* first = controls.FirstFrameList();
    QListView* last = controls.LastFrameList();
    first->setCurrentIndex(first->model()->index(from, 0));
    last->setCurrentIndex(last->model()->index(to, 0));
    emit last->clicked(last->currentIndex());
  }
};

// Before its first frame a session shows an empty table, not the log before it, and charts
// the parameter the operator chose rather than row 0.
TEST_F(WindowDuringAPassTest, ASessionStartsEmptyAndKeepsTheChartedParameter) {
  ShowALogChartingRow5();
  ASSERT_EQ(window->frameView().ValueBox(kSystemStatusRow)->text().isEmpty(), false);
  ASSERT_TRUE(Connect("live.kss"));
  EXPECT_EQ(PositionText(), QStringLiteral("#1 / 0"));
  EXPECT_TRUE(window->frameView().ValueBox(kSystemStatusRow)->text().isEmpty());
  EXPECT_EQ(window->parameterGraph().Chart().RowCount(), 0);
  EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("0 frames missing"));
  EXPECT_EQ(window->ChartedParameter(), 5);
  EXPECT_TRUE(window->frameView().ParameterButton(5)->isChecked());
  EXPECT_FALSE(window->frameView().ParameterButton(0)->isChecked());
}

// A range picked during a pass stays on the chart while frames arrive.
TEST_F(WindowDuringAPassTest, APickedRangeStaysWhileFramesArrive) {
  window->show();
  Find<QTabWidget>("Hexdump")->setCurrentIndex(kGraphTab);
  ASSERT_TRUE(Connect("live.kss"));
  tnc.Send(LogOfCount(6));
  ASSERT_TRUE(WaitForFrames(6));
  GraphRangeControls& controls = window->graphRangeControls();
  controls.CheckBox()->click();
  ChooseRange(controls, 1, 3);
  ChartAdapter& chart = window->parameterGraph().Chart();
  ASSERT_EQ(chart.RowCount(), 3);
  tnc.Send(LogOfCount(2, 7));
  ASSERT_TRUE(WaitForFrames(8));
  EXPECT_EQ(chart.RowCount(), 3);
  EXPECT_EQ(chart.RowLabel(1), QStringLiteral("2"));
  EXPECT_EQ(controls.FirstFrameList()->model()->rowCount(), 8);
}

// After a session the next log owns the window: the session's line goes, and a session that
// received nothing (and so left no recording) is not offered under Open Recent.
TEST_F(WindowDuringAPassTest, AfterASessionTheNextLogOwnsTheWindow) {
  const struct {
    const char* name;
    bool sends;
  } kCases[] = {{"silent.kss", false}, {"heard.kss", true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Connect(c.name));
    if (c.sends) {
      tnc.Send(LogOfCount(2));
      ASSERT_TRUE(WaitForFrames(2));
    }
    window->Disconnect();
    EXPECT_EQ(window->recentLogs().Paths().contains(dir.filePath(QString::fromLatin1(c.name))),
              c.sends);
    window->OpenLog(WriteLog("next.kss", LogOfCount(3)));
    EXPECT_FALSE(Find<QLabel>("LiveStatus")->isVisibleTo(window.get()));
  }
}

// A log dropped on the chart during a session is refused with a word, and the pass stays.
TEST_F(WindowDuringAPassTest, ADropDuringASessionIsRefusedAndSaidSo) {
  const QString log = WriteLog("dropped.kss", LogOfCount(3));
  ASSERT_TRUE(Connect("live.kss"));
  tnc.Send(LogOfCount(2, 50));
  ASSERT_TRUE(WaitForFrames(2));
  emit window->parameterGraph().fileDropped(log);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(log)) << messages[0].text.toStdString();
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("Disconnect")));
  EXPECT_EQ(window->frameTable().frameCount, 2);
  EXPECT_EQ(window->frameTable().Record(1).frameNumber, 50);
  EXPECT_TRUE(window->IsLive());
  // The pass's table can be exported while it grows.
  EXPECT_TRUE(window->frameExporter().Action()->isEnabled());
}

// Days of reception: a frame after the pass gap begins a table of its own, and a pass longer
// than the table drops its oldest frames (and their gaps) while the view follows the newest.
// The recording keeps every frame.
TEST_F(WindowDuringAPassTest, PassesGetTablesOfTheirOwnAndLongOnesDropTheirOldest) {
  const QString recording = dir.filePath(QStringLiteral("days.kss"));
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(recording)));
  ASSERT_TRUE(tnc.WaitForClient());
  window->liveSession()->SetPassGap(std::chrono::milliseconds(300));
  tnc.Send(LogOfNumbers({1, 2, 5}));
  ASSERT_TRUE(WaitForFrames(3));
  QTest::qWait(400);
  tnc.Send(LogOfNumbers({20, 21}));
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_EQ(window->frameTable().Record(1).frameNumber, 20);
  EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("0 frames missing"));
  EXPECT_EQ(PositionText(), QStringLiteral("#2 / 2"));

  // 2 + 4998 frames fill the table; its first gap (22 to 99) lies in the oldest frames.
  window->liveSession()->SetPassGap(std::chrono::minutes(10));
  tnc.Send(LogOfCount(kFrameTableCapacity - 2, 100));
  ASSERT_TRUE(WaitForFrames(kFrameTableCapacity));
  tnc.Send(LogOfNumbers({5098, 5100}));
  const int kept = kFrameTableCapacity - kFramesDroppedAtOnce + 2;
  ASSERT_TRUE(WaitForFrames(kept));
  const FrameTable& table = window->frameTable();
  EXPECT_EQ(table.Record(1).frameNumber, 100 + kFramesDroppedAtOnce - 2);
  EXPECT_EQ(table.Record(kept).frameNumber, 5100);
  EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("1 frames missing"));
  EXPECT_EQ(PositionText(), QStringLiteral("#%1 / %1").arg(kept));
  QListView* firstList = window->graphRangeControls().FirstFrameList();
  ASSERT_EQ(firstList->model()->rowCount(), kept);
  EXPECT_EQ(firstList->model()->index(0, 0).data().toString(), QStringLiteral("598"));
  window->Disconnect();
  FrameTable all;
  const LoadSummary summary = ReadKissLog(*MemorySource(ReadBytes(recording)), all);
  EXPECT_EQ(summary.framesStored + summary.framesSkipped, 3 + 2 + kFrameTableCapacity - 2 + 2);
}

// While the TNC is away a retry waits: "Reconnect now" tries at once, and in the first minute
// the pauses stay at most 5 s however many attempts failed.
TEST_F(WindowDuringAPassTest, ReconnectNowTriesAtOnceAndPausesStayShort) {
  const LiveChoice choice = tnc.Choice(dir.filePath(QStringLiteral("live.kss")));
  const quint16 port = tnc.server.serverPort();
  tnc.server.close();
  ASSERT_TRUE(window->ConnectToTnc(choice));
  const auto* status = Find<QLabel>("LiveStatus");
  auto* reconnect = Find<QPushButton>("ReconnectNow");
  const auto says = [&](const char* text) {
    return QTest::qWaitFor([&] { return status->text().contains(QLatin1String(text)); }, 6000);
  };
  ASSERT_TRUE(says("retrying in 4 s")) << status->text().toStdString();
  EXPECT_TRUE(reconnect->isVisibleTo(window.get()));
  reconnect->click();
  EXPECT_TRUE(says("retrying in 5 s")) << status->text().toStdString();

  ASSERT_TRUE(tnc.server.listen(QHostAddress::LocalHost, port));
  reconnect->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return tnc.server.hasPendingConnections(); }, 1000));
  EXPECT_TRUE(says("connected"));
  EXPECT_FALSE(reconnect->isVisibleTo(window.get()));
}

// The spacecraft alternates its sections: while the view follows the pass, a section the
// newest frame lacks shows the last values received for it, greyed, with their age; an older
// frame, or the pass once ended, shows exactly what the frame carried.
TEST_F(WindowDuringAPassTest, LatestValuesStandInGreyWhileFollowingThePass) {
  Bytes withoutAdcs = Information(2, 'S');
  withoutAdcs[6] = static_cast<std::uint8_t>(SectionInfoOf(Section::kCdhs).markerValue);
  ASSERT_TRUE(Connect("live.kss"));
  tnc.Send(Joined({KissWrap(AdcsFrame(1, 200)), KissWrap(BuildFrame(withoutAdcs))}));
  ASSERT_TRUE(WaitForFrames(2));
  FrameView& view = window->frameView();
  const QLineEdit* status = view.ValueBox(kSystemStatusRow);
  const QString note = Find<QLabel>("LatestValuesNote")->text();
  const struct {
    const char* step;
    std::function<void()> act;
    bool greyed;
  } kSteps[] = {
      {"following", [] {}, true},
      {"an older frame", [&] { window->ShowFrameAt(1); }, false},
      {"back on the newest", [&] { window->ShowFrameAt(2); }, true},
      {"pass ended", [&] { window->Disconnect(); }, false},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.step);
    s.act();
    EXPECT_EQ(view.IsGreyed(kSystemStatusRow), s.greyed);
    const bool shownFrameHasAdcs = ScrollBar()->value() == 1;
    EXPECT_EQ(status->text().isEmpty(), !s.greyed && !shownFrameHasAdcs);
    EXPECT_EQ(view.ValueBoxColour(kSystemStatusRow) == kLightGreen, s.greyed || shownFrameHasAdcs);
  }
  EXPECT_TRUE(note.startsWith(QStringLiteral("Latest values in grey: ADCS 0 s ago, frame 1")))
      << note.toStdString();
}

// A newest frame of another kind (image data, a GPS dump) carries no housekeeping at all: the
// latest values still stand in for every section, greyed, and the note keeps their age.
TEST_F(WindowDuringAPassTest, LatestValuesSurviveAFrameWithoutHousekeeping) {
  ASSERT_TRUE(Connect("live.kss"));
  tnc.Send(KissWrap(AdcsFrame(1, 200)));
  ASSERT_TRUE(WaitForFrames(1));
  FrameView& view = window->frameView();
  const QString value = view.ValueBox(kSystemStatusRow)->text();
  ASSERT_FALSE(value.isEmpty());
  int frames = 1;
  for (const char kind : {'I', 'G'}) {
    SCOPED_TRACE(kind);
    tnc.Send(KissWrap(BuildFrame(Information(static_cast<std::uint16_t>(frames + 1), kind))));
    ASSERT_TRUE(WaitForFrames(++frames));
    ASSERT_EQ(ScrollBar()->value(), frames);
    EXPECT_EQ(view.ValueBox(kSystemStatusRow)->text(), value);
    EXPECT_TRUE(view.IsGreyed(kSystemStatusRow));
    EXPECT_TRUE(Find<QLabel>("LatestValuesNote")->text().contains(QStringLiteral("ADCS")));
  }
}

}  // namespace
}  // namespace quilmar::testing
