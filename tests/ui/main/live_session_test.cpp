// The window's live session against a real TCP server in the test: KISS bytes sent in pieces
// give the window a file load of the same bytes gives, the view follows the newest frame only
// from the last one, and a recording that cannot be written stops reception with a message.
#include "ui/live/live_session.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "core/parameter_catalogue.h"
#include "live_fixture.h"
#include "ui/chart/chart_adapter.h"
#include "ui/chart/parameter_graph.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/missing_frames_model.h"

namespace quilmar::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(LiveSessionTest, ShowsAndRecordsWhatTheTncSentAsAFileLoadWould) {
  const Bytes log = ReadBytes(QStringLiteral(QUILMAR_SOURCE_DIR "/samples/demo.kss"));
  ASSERT_FALSE(log.empty());
  FrameTable expected;
  const int frames = ReadKissLog(*MemorySource(log), expected).framesStored;
  ASSERT_GT(frames, 10);

  const QString recording = dir.filePath(QStringLiteral("live.kss"));
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(recording)));
  ASSERT_TRUE(tnc.WaitForClient());
  // Pieces of awkward sizes cut frames, escapes and FENDs at every kind of place.
  constexpr std::size_t kPieces[] = {1, 2, 3, 17, 64, 255, 1000, 4096};
  std::size_t sent = 0;
  for (int i = 0; sent < log.size(); ++i) {
    const std::size_t piece = kPieces[i % std::size(kPieces)];
    tnc.Send(log, sent, piece);
    sent += piece;
    if (i % 8 == 0) {
      QTest::qWait(1);
    }
  }
  ASSERT_TRUE(WaitForFrames(frames));
  EXPECT_EQ(ScrollBar()->maximum(), frames);
  EXPECT_EQ(PositionText(), QStringLiteral("#%1 / %1").arg(frames));
  EXPECT_TRUE(Find<QLabel>("LiveStatus")->text().contains(QStringLiteral("connected")));
  EXPECT_FALSE(Find<QAction>("MenuFileOpen")->isEnabled());

  window->Disconnect();
  EXPECT_FALSE(window->IsLive());
  EXPECT_EQ(ReadBytes(recording), log);
  const QStringList live = Seen();
  window->OpenLog(recording);
  EXPECT_EQ(window->frameTable().frameCount, frames);
  EXPECT_EQ(live, Seen());
  EXPECT_TRUE(messages.empty());
}

TEST_F(LiveSessionTest, FollowsTheNewestFrameOnlyFromTheLastOne) {
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(dir.filePath(QStringLiteral("live.kss")))));
  ASSERT_TRUE(tnc.WaitForClient());
  tnc.Send(LogOfNumbers({1, 2, 3}));
  ASSERT_TRUE(WaitForFrames(3));
  EXPECT_EQ(ScrollBar()->value(), 3);

  window->ShowFrameAt(1);
  tnc.Send(LogOfNumbers({4, 7}));
  ASSERT_TRUE(WaitForFrames(5));
  EXPECT_EQ(ScrollBar()->value(), 1);
  EXPECT_EQ(PositionText(), QStringLiteral("#1 / 5"));
  EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("2 frames missing"));

  window->ShowFrameAt(5);
  tnc.Send(LogOfNumbers({8}));
  ASSERT_TRUE(WaitForFrames(6));
  EXPECT_EQ(ScrollBar()->value(), 6);
  EXPECT_EQ(PositionText(), QStringLiteral("#6 / 6"));
}

// A user reading the missing-frames list during a pass keeps the row marked and the part
// in view while new gaps are added below.
TEST_F(LiveSessionTest, TheMissingFramesListStaysWhereTheUserIsWhileItGrows) {
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(dir.filePath(QStringLiteral("live.kss")))));
  ASSERT_TRUE(tnc.WaitForClient());
  std::vector<int> numbers;
  for (int n = 1; n <= 41; n += 2) {
    numbers.push_back(n);
  }
  tnc.Send(LogOfNumbers(numbers));
  ASSERT_TRUE(WaitForFrames(21));
  auto* list = Find<MissingFramesList>("List1");
  list->SetCurrentRow(15);
  const int firstVisible = list->FirstVisibleRow();
  ASSERT_GT(firstVisible, 0);

  tnc.Send(LogOfNumbers({43, 45}));
  ASSERT_TRUE(WaitForFrames(23));
  EXPECT_EQ(list->Model()->rowCount(), 22);
  EXPECT_EQ(list->CurrentRow(), 15);
  EXPECT_EQ(list->FirstVisibleRow(), firstVisible);
}

// The chart is built only while the Graph tab is up, and is current the moment it is shown
// after frames arrived behind another tab.
TEST_F(LiveSessionTest, TheChartIsCurrentWhenItsTabIsShown) {
  window->show();
  auto* tabs = Find<QTabWidget>("Hexdump");
  ChartAdapter& chart = window->parameterGraph().Chart();
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(dir.filePath(QStringLiteral("live.kss")))));
  ASSERT_TRUE(tnc.WaitForClient());
  tnc.Send(LogOfNumbers({1, 2, 3}));
  ASSERT_TRUE(WaitForFrames(3));
  EXPECT_EQ(chart.RowCount(), 0);

  tabs->setCurrentIndex(kGraphTab);
  EXPECT_EQ(chart.RowCount(), 3);
  tnc.Send(LogOfNumbers({4, 5}));
  ASSERT_TRUE(WaitForFrames(5));
  EXPECT_EQ(chart.RowCount(), 5);
}

// Noise, a frame that never ends and a connection closed mid-frame: the frames around them
// are stored, memory stays bounded by the reader's length cap, the status bar says what
// happened.
TEST_F(LiveSessionTest, AHostileTncCostsOnlyItsOwnBytes) {
  const Bytes twoFrames = LogOfNumbers({1, 2});
  const Bytes third = LogOfNumbers({3});
  const struct {
    const char* name;
    Bytes bytes;
    bool close;
    const char* state;
  } kCases[] = {
      {"noise", Joined({Bytes(100'000, 0x55), twoFrames}), false, "connected"},
      {"endless frame", Joined({Bytes{kFend}, Bytes(2'000'000, 0x55), Bytes{kFend}, twoFrames}),
       false, "connected"},
      {"closed mid-frame", Joined({twoFrames, Bytes(third.begin(), third.begin() + 40)}), true,
       "connection lost"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(dir.filePath(QString::fromLatin1(c.name)))));
    ASSERT_TRUE(tnc.WaitForClient());
    FrameTable loaded;
    ASSERT_EQ(ReadKissLog(*MemorySource(c.bytes), loaded).framesStored, 2);
    tnc.Send(c.bytes);
    ASSERT_TRUE(WaitForFrames(2));
    if (c.close) {
      tnc.client->disconnectFromHost();
    }
    const auto* status = Find<QLabel>("LiveStatus");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          return status->text().contains(QLatin1String(c.state)) &&
                 status->text().contains(QStringLiteral("2 frames received, 2 stored"));
        },
        5000))
        << status->text().toStdString();
    EXPECT_TRUE(window->IsLive());
    window->Disconnect();
  }
}

// The frame cut by the lost connection must not swallow the next connection's first frame,
// live or when the recording is opened later.
TEST_F(LiveSessionTest, AFrameCutByALostConnectionLeavesTheNextStreamInStep) {
  const QString recording = dir.filePath(QStringLiteral("live.kss"));
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(recording)));
  ASSERT_TRUE(tnc.WaitForClient());
  const Bytes third = LogOfNumbers({3});
  tnc.Send(Joined({LogOfNumbers({1, 2}), Bytes(third.begin(), third.begin() + 40)}));
  ASSERT_TRUE(WaitForFrames(2));
  tnc.client->disconnectFromHost();
  ASSERT_TRUE(tnc.WaitForClient());  // the retry after 1 s
  tnc.Send(LogOfNumbers({4, 5}));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return window->frameTable().Record(window->frameTable().frameCount).frameNumber == 5; },
      5000));
  const int live = window->frameTable().frameCount;
  EXPECT_EQ(window->frameTable().Record(live - 1).frameNumber, 4);
  window->Disconnect();
  FrameTable loaded;
  EXPECT_EQ(ReadKissLog(*MemorySource(ReadBytes(recording)), loaded).framesStored, live);
}

// A pass's status line outgrows the window's controls: the window widens to show all of it,
// and its tooltip holds all of it, the recording with its folder.
TEST_F(LiveSessionTest, TheWholeStatusLineCanBeRead) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QString recording = dir.filePath(QStringLiteral("a pass recorded under a long name.kss"));
  ASSERT_TRUE(window->ConnectToTnc(tnc.Choice(recording)));
  ASSERT_TRUE(tnc.WaitForClient());
  tnc.Send(LogOfNumbers({1, 2}));
  ASSERT_TRUE(WaitForFrames(2));
  const auto* status = Find<QLabel>("LiveStatus");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return status->text().contains(QStringLiteral("2 frames received, 2 stored")); },
      5000));

  const QString line = status->text();
  const QString parts = line.left(line.indexOf(QStringLiteral(" | recording ")));
  EXPECT_TRUE(parts.endsWith(QStringLiteral("0 rejected"))) << line.toStdString();
  EXPECT_EQ(status->toolTip(),
            parts + QStringLiteral(" | recording ") + QDir::toNativeSeparators(recording));

  const int needed = status->fontMetrics().horizontalAdvance(line);
  const QSize before = window->size();
  window->resize(before.width() + needed, before.height());
  QApplication::processEvents();
  EXPECT_GT(window->width(), before.width());
  EXPECT_GE(status->contentsRect().width(), needed) << line.toStdString();
  window->Disconnect();
}

TEST_F(LiveSessionTest, ARefusedConnectionIsRetriedAndSaidSo) {
  const LiveChoice choice = tnc.Choice(dir.filePath(QStringLiteral("live.kss")));
  tnc.server.close();
  ASSERT_TRUE(window->ConnectToTnc(choice));
  const auto* status = Find<QLabel>("LiveStatus");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return status->text().contains(QStringLiteral("cannot connect")); }, 5000))
      << status->text().toStdString();
  EXPECT_TRUE(status->text().contains(QStringLiteral("retrying in 1 s")));
  EXPECT_TRUE(window->IsLive());
  EXPECT_TRUE(messages.empty());
}

// /dev/full opens but takes no byte: the first read cannot be recorded.
TEST_F(LiveSessionTest, ARecordingThatCannotBeWrittenStopsReceptionWithAMessage) {
  WriteLog(QStringLiteral("plain-file"), Bytes{1});
  const struct {
    const char* name;
    QString path;
    bool starts;
  } kCases[] = {
      {"folder is a file", dir.filePath(QStringLiteral("plain-file/live.kss")), false},
      {"disk full", QStringLiteral("/dev/full"), true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    messages.clear();
    ASSERT_EQ(window->ConnectToTnc(tnc.Choice(c.path)), c.starts);
    if (c.starts) {
      ASSERT_TRUE(tnc.WaitForClient());
      tnc.Send(LogOfNumbers({1, 2}));
      ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 5000));
      EXPECT_EQ(window->frameTable().frameCount, 0);
    }
    EXPECT_FALSE(window->IsLive());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(messages[0].text.contains(c.path)) << messages[0].text.toStdString();
    EXPECT_TRUE(Find<QAction>("MenuFileOpen")->isEnabled());
  }
}

}  // namespace
}  // namespace quilmar::testing
