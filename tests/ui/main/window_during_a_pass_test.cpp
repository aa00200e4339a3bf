// The window during a pass, through the table model: a session begins a table of its own
// whatever was on display, keeps what the operator chose (charted parameter, range), and
// leaves nothing of itself behind once a log is opened after it.
#include <QAction>
#include <QCheckBox>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "live_fixture.h"
#include "ui/main/chart_adapter.h"
#include "ui/main/live_session.h"
#include "ui/main/parameter_graph.h"
#include "ui/model/frame_table_model.h"

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
}

}  // namespace
}  // namespace quilmar::testing
