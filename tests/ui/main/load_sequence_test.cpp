// The window's load sequence: what a load leaves on the window, the parameter choice after
// it, cancelling, unreadable logs, a second open during a load, and the status-bar report.
#include "ui/shell/load_sequence.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "main_window_fixture.h"
#include "ui/chart/parameter_graph.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/hex_dump.h"
#include "ui/frame/missing_frames_model.h"
#include "ui/look/look.h"
#include "ui/shell/load_progress.h"
#include "ui/shell/path_label.h"

namespace quilmar::testing {
namespace {

using namespace std::chrono_literals;

// An event pass after every frame, so a test's timer runs inside the load.
LoadTiming EveryFrame(std::chrono::milliseconds progressDelay = 500ms) {
  LoadTiming timing;
  timing.eventPassInterval = 0ms;
  timing.progressDelay = progressDelay;
  return timing;
}

LoadSummary Summary(int stored, std::int64_t skipped, std::int64_t rejected, bool cancelled = false,
                    std::string error = {}, bool endedInsideFrame = false,
                    std::int64_t bytesRead = 1000) {
  LoadSummary summary;
  summary.bytesRead = bytesRead;
  summary.framesStored = stored;
  summary.framesSkipped = skipped;
  summary.framesRejected = rejected;
  summary.cancelled = cancelled;
  summary.error = std::move(error);
  summary.endedInsideFrame = endedInsideFrame;
  return summary;
}

QStringList Rows(const QAbstractItemModel& model) {
  QStringList rows;
  for (int row = 0; row < model.rowCount(); ++row) {
    rows << model.index(row, 0).data().toString();
  }
  return rows;
}

TEST_F(MainWindowTest, LoadShowsTheLogOnEveryPart) {
  Bytes log = LogOfNumbers({10, 14, 15});
  FrameAddresses toAnotherStation;
  toAnotherStation.destinationSsid = 1;
  const Bytes foreign = KissWrap(BuildFrame(Information(11, 'S'), toAnotherStation));
  log.insert(log.begin(), foreign.begin(), foreign.end());
  window->SetLoadTiming(EveryFrame());
  Qt::CursorShape cursorDuringLoad = Qt::ArrowCursor;
  QTimer::singleShot(0, window.get(), [&] { cursorDuringLoad = window->cursor().shape(); });
  window->OpenLog(WriteLog("gaps.kss", log));

  const FrameTable& table = window->frameTable();
  ASSERT_EQ(table.frameCount, 3);
  EXPECT_EQ(cursorDuringLoad, Qt::WaitCursor);
  EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(PositionText(), QStringLiteral("#1 / 3"));
  EXPECT_TRUE(ScrollBar()->isEnabled());
  EXPECT_EQ(ScrollBar()->maximum(), 3);
  EXPECT_EQ(Find<QLineEdit>("Text3_2")->text(), QStringLiteral("10"));
  // The hex dump shows the last frame, unhighlighted, while the view shows the first.
  EXPECT_EQ(HexArea()->toPlainText().toStdString(), table.Record(3).hexDump);
  EXPECT_EQ(ColourPattern(*HexArea()), std::string(402, '.'));
  EXPECT_EQ(Rows(*Find<MissingFramesList>("List1")->Model()), (QStringList{"13", "12", "11"}));
  EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("3 frames missing"));
  EXPECT_EQ(Rows(*window->graphRangeControls().FirstFrameList()->model()),
            (QStringList{"10", "14", "15"}));
  EXPECT_TRUE(window->frameView().ParameterButton(0)->isChecked());
  EXPECT_EQ(window->frameView().ValueBoxColour(0), kLightYellow);
  EXPECT_EQ(window->ChartedParameter(), 0);
  EXPECT_TRUE(StatusLine().contains(QStringLiteral("3 frames stored, 3 missing")));
  EXPECT_TRUE(StatusLine().contains(QStringLiteral("1 rejected")));
  EXPECT_TRUE(messages.empty());
}

class ParameterChoiceTest : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(ParameterChoiceTest, MarksTheRowAndHighlightsItsBytes) {
  const int row = GetParam();
  window->OpenLog(WriteLog("four.kss", LogOfCount(4)));
  window->ShowFrameAt(2);
  window->frameView().ParameterButton(row)->click();

  EXPECT_EQ(window->ChartedParameter(), row);
  for (int r = 0; r < kParameterCount; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(window->frameView().ParameterButton(r)->isChecked(), r == row);
    if (r != 69) {
      EXPECT_EQ(window->frameView().ValueBoxColour(r), r == row ? kLightYellow : kLightGrey);
    }
  }
  const HighlightRange range = HighlightFor(row);
  EXPECT_EQ(HexArea()->toPlainText().toStdString(), window->frameTable().Record(2).hexDump);
  EXPECT_EQ(ColourPattern(*HexArea()), RedRange(402, range.first, range.last));
  // The next scroll step keeps highlighting the chosen row.
  window->ShowFrameAt(3);
  EXPECT_EQ(ColourPattern(*HexArea()), RedRange(402, range.first, range.last));
}

// A one-byte EPS row, a four-byte ADCS row and a two-byte CDHS row.
INSTANTIATE_TEST_SUITE_P(Rows, ParameterChoiceTest, ::testing::Values(5, 81, 62));

TEST_F(MainWindowTest, SystemStatusChoiceColoursItsBoxAndSparesTheHexDump) {
  window->OpenLog(WriteLog("adcs.kss", Bytes{}));
  Bytes log = KissWrap(AdcsFrame(1, 191));
  const Bytes second = KissWrap(AdcsFrame(2, 190));
  log.insert(log.end(), second.begin(), second.end());
  window->OpenLog(WriteLog("adcs.kss", log));
  struct Step {
    int frame;
    QColor colour;
  } steps[] = {{1, kLightGreen}, {2, kLightRed}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.frame);
    window->frameView().ParameterButton(0)->click();
    window->ShowFrameAt(step.frame);
    const QString hex = HexArea()->toPlainText();
    const std::string colours = ColourPattern(*HexArea());
    window->frameView().ParameterButton(69)->click();
    EXPECT_EQ(window->frameView().ValueBoxColour(69), step.colour);
    EXPECT_EQ(HexArea()->toPlainText(), hex);
    EXPECT_EQ(ColourPattern(*HexArea()), colours);
    // Another row chosen afterwards leaves box 69 as it is.
    window->frameView().ParameterButton(5)->click();
    EXPECT_EQ(window->frameView().ValueBoxColour(69), step.colour);
    EXPECT_EQ(window->frameView().ValueBoxColour(5), kLightYellow);
  }
}

TEST_F(MainWindowTest, SystemStatusChosenWithoutFramesStaysYellow) {
  window->frameView().ParameterButton(69)->click();
  EXPECT_EQ(window->frameView().ValueBoxColour(69), kLightYellow);
  EXPECT_TRUE(HexArea()->toPlainText().isEmpty());
}

TEST_F(MainWindowTest, CancelledLoadKeepsTheFramesReadSoFar) {
  window->SetLoadTiming(EveryFrame(0ms));
  window->show();
  QApplication::setActiveWindow(window.get());
  const std::pair<const char*, std::function<void()>> cancels[] = {
      {"Cancel button", [&] { Find<QPushButton>("LoadCancel")->click(); }},
      {"Esc", [&] { QTest::keyClick(window.get(), Qt::Key_Escape); }},
  };
  for (const auto& [name, cancel] : cancels) {
    SCOPED_TRACE(name);
    bool progressShown = false;
    QTimer::singleShot(0, window.get(), [&] {
      progressShown = !Find<LoadProgress>("LoadProgress")->isHidden();
      cancel();
    });
    window->OpenLog(WriteLog("long.kss", LogOfCount(300)));

    const int stored = window->frameTable().frameCount;
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(Find<LoadProgress>("LoadProgress")->isHidden());
    ASSERT_GE(stored, 1);
    EXPECT_LT(stored, 300);
    EXPECT_EQ(PositionText(), QStringLiteral("#1 / %1").arg(stored));
    EXPECT_EQ(ScrollBar()->maximum(), stored);
    EXPECT_EQ(window->graphRangeControls().FirstFrameList()->model()->rowCount(), stored);
    EXPECT_EQ(HexArea()->toPlainText().toStdString(), window->frameTable().Record(stored).hexDump);
    EXPECT_TRUE(StatusLine().startsWith(QStringLiteral("Loading cancelled")));
    EXPECT_FALSE(window->IsLoading());
  }
}

// While a log loads, the status bar names it: the previous log's report would be taken for
// this one's.
TEST_F(MainWindowTest, StatusBarNamesTheLogWhileItLoads) {
  window->OpenLog(WriteLog("first.kss", LogOfCount(3)));
  window->SetLoadTiming(EveryFrame());
  QString duringLoad;
  QTimer::singleShot(0, window.get(), [&] { duringLoad = StatusLine(); });
  window->OpenLog(WriteLog("second.kss", LogOfCount(50)));
  EXPECT_EQ(duringLoad, QStringLiteral("Loading second.kss..."));
  EXPECT_TRUE(StatusLine().startsWith(QStringLiteral("Loaded: 50 frames")));
}

// A long path gives way in the middle, keeping its start and the file's name; the load
// report beside it is never cut.
TEST_F(MainWindowTest, StatusBarShortensThePathNeverTheReport) {
  const QString folder = dir.filePath(QString(120, QLatin1Char('f')));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString path = folder + QLatin1Char('/') + QString(120, QLatin1Char('n')) + ".kss";
  Bytes log = LogOfCount(3);
  log.insert(log.end(), {0xC0, 0x00, 0x01, 0x02});  // a last frame without its end
  WriteFile(path.toStdString(), log);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QSize size = window->size();
  window->OpenLog(path);
  QApplication::processEvents();

  auto* label = Find<PathLabel>("Label10");
  EXPECT_EQ(label->text(), path);
  EXPECT_EQ(label->toolTip(), path);
  const QString shown = label->DisplayedText();
  const qsizetype cut = shown.indexOf(QChar(0x2026));
  ASSERT_GT(cut, 0) << shown.toStdString();
  EXPECT_TRUE(path.startsWith(shown.left(cut)));
  EXPECT_TRUE(path.endsWith(shown.mid(cut + 1)));
  EXPECT_TRUE(shown.endsWith(QStringLiteral("nnn.kss")));

  auto* report = Find<QLabel>("LoadMessage");
  EXPECT_TRUE(report->text().endsWith(QStringLiteral("had no end and was dropped")));
  EXPECT_GE(report->contentsRect().width(),
            report->fontMetrics().horizontalAdvance(report->text()));
  EXPECT_EQ(window->size(), size);
}

TEST_F(MainWindowTest, UnreadableLogIsReportedAndTheSequenceStillRuns) {
  const QString cases[] = {dir.filePath(QStringLiteral("absent.kss")), dir.path()};
  for (const QString& path : cases) {
    SCOPED_TRACE(path.toStdString());
    messages.clear();
    window->OpenLog(WriteLog("three.kss", LogOfCount(3)));
    window->OpenLog(path);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    // The reader's reason names the path itself; the message must not repeat it.
    EXPECT_EQ(messages[0].text.count(path), 1) << messages[0].text.toStdString();
    EXPECT_EQ(window->frameTable().frameCount, 0);
    EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("0 frames missing"));
    EXPECT_EQ(PositionText(), QStringLiteral("#1 / 0"));
    EXPECT_TRUE(ScrollBar()->isEnabled());
    EXPECT_TRUE(window->frameView().ParameterButton(0)->isChecked());
    EXPECT_TRUE(StatusLine().contains(QStringLiteral("0 frames stored")));
  }
}

// The log named on the command line loads inside the event loop: File > Exit (or closing the
// window) during that load must still end the loop, and with it the program.
TEST_F(MainWindowTest, ExitDuringTheStartUpLoadEndsTheEventLoop) {
  window->SetLoadTiming(EveryFrame());
  window->show();
  window->OpenLogWhenRunning(WriteLog("long.kss", LogOfCount(300)));
  int framesWhenExiting = -1;
  QTimer::singleShot(0, window.get(), [&] {
    framesWhenExiting = window->frameTable().frameCount;
    Find<QAction>("MenuFileExit")->trigger();
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
  watchdog.start(10000);

  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_GE(framesWhenExiting, 1);  // the exit came during the load
  EXPECT_LT(window->frameTable().frameCount, 300);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("quilmar_hkc.ini"))));
}

// A log named relative to the current directory still shows its full path, as one chosen in
// the file dialog does.
TEST_F(MainWindowTest, StartUpLogShowsItsFullPath) {
  const QString path = WriteLog("pass.kss", LogOfCount(3));
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  window->OpenLogWhenRunning(QStringLiteral("pass.kss"));
  QDir::setCurrent(previous);
  QApplication::processEvents();
  EXPECT_EQ(window->frameTable().frameCount, 3);
  EXPECT_EQ(window->CurrentLogPath(), path);
  EXPECT_EQ(Find<QLabel>("Label10")->text(), path);
}

TEST_F(MainWindowTest, SecondOpenOrDropIsRefusedWhileLoading) {
  window->SetLoadTiming(EveryFrame());
  const QString first = WriteLog("first.kss", LogOfCount(50));
  const QString second = WriteLog("second.kss", LogOfCount(7));
  chosenPath = first;
  QAction* open = Find<QAction>("MenuFileOpen");
  bool openEnabledDuringLoad = true;
  QTimer::singleShot(0, window.get(), [&] {
    openEnabledDuringLoad = open->isEnabled();
    chosenPath = second;
    open->trigger();
    emit window->parameterGraph().fileDropped(second);
  });
  open->trigger();

  EXPECT_FALSE(openEnabledDuringLoad);
  EXPECT_EQ(dialogsShown, 1);
  EXPECT_EQ(window->CurrentLogPath(), first);
  EXPECT_EQ(window->frameTable().frameCount, 50);
  EXPECT_TRUE(open->isEnabled());
}

// The caption's box was designed for a handful of missing frames; a log whose numbers jump
// between 0 and 65535 misses millions, and the caption must still be read in full.
TEST_F(MainWindowTest, MissingFramesCaptionFitsItsBox) {
  std::vector<int> swinging;
  for (int i = 0; i < kFrameTableCapacity; ++i) {
    swinging.push_back(i % 2 == 0 ? 0 : 65535);
  }
  const struct {
    std::vector<int> numbers;
    const char* caption;
  } cases[] = {
      {{10, 14, 15}, "3 frames missing"},
      {{1, 60000}, "59998 frames missing"},
      {swinging, "163835000 frames missing"},
  };
  window->show();
  auto* label = Find<QLabel>("Label9");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    window->OpenLog(WriteLog("gaps.kss", LogOfNumbers(c.numbers)));
    ASSERT_EQ(label->text(), QString::fromLatin1(c.caption));
    const QRect box = label->contentsRect();
    const int flags =
        static_cast<int>(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    EXPECT_TRUE(box.contains(label->fontMetrics().boundingRect(box, flags, label->text())));
    EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry()));
  }
}

TEST_F(MainWindowTest, FramesBeyondTheTableAreCounted) {
  window->OpenLog(WriteLog("full.kss", LogOfCount(kFrameTableCapacity + 2)));
  EXPECT_EQ(window->frameTable().frameCount, kFrameTableCapacity);
  EXPECT_EQ(ScrollBar()->maximum(), kFrameTableCapacity);
  EXPECT_EQ(window->graphRangeControls().LastFrameList()->model()->rowCount(), kFrameTableCapacity);
  EXPECT_TRUE(StatusLine().contains(
      QStringLiteral("2 skipped beyond %1").arg(QLocale().toString(kFrameTableCapacity))));
}

TEST(LoadErrorText, NamesThePathOnceWithTheReason) {
  const struct {
    const char* error;
    const char* expected;
  } cases[] = {
      {"cannot open /logs/a.kss: No such file or directory",
       "The log could not be read.\n\nCannot open /logs/a.kss: No such file or directory"},
      {"cannot read /logs/a.kss: Input/output error",
       "The log could not be read.\n\nCannot read /logs/a.kss: Input/output error"},
      {"device gone", "The log could not be read.\n\n/logs/a.kss: device gone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(LoadErrorText(QStringLiteral("/logs/a.kss"), c.error).toStdString(), c.expected);
  }
}

TEST(LoadReport, SaysWhatTheLoadKeptAndWhy) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  struct Case {
    LoadSummary summary;
    std::int64_t missing;
    const char* expected;
  } cases[] = {
      {Summary(250, 0, 2), 3,
       "Loaded: 250 frames stored, 3 missing, 0 skipped beyond 5,000, 2 rejected"},
      {Summary(1, 0, 0), 0,
       "Loaded: 1 frame stored, 0 missing, 0 skipped beyond 5,000, 0 rejected"},
      {Summary(5000, 1234, 0), 163834000,
       "Loaded: 5,000 frames stored, 163,834,000 missing, 1,234 skipped beyond 5,000, 0 rejected"},
      {Summary(12, 0, 0, true), 0,
       "Loading cancelled: 12 frames stored, 0 missing, 0 skipped beyond 5,000, 0 rejected"},
      {Summary(0, 0, 0, false, "cannot read x: I/O error", true), 0,
       "Log not read to its end: 0 frames stored, 0 missing, 0 skipped beyond 5,000, 0 rejected; "
       "the last frame had no end and was dropped"},
      {Summary(0, 0, 0, false, "cannot open x: Is a directory", false, 0), 0,
       "Log could not be read: 0 frames stored, 0 missing, 0 skipped beyond 5,000, 0 rejected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(LoadReport(c.summary, c.missing).toStdString(), c.expected);
  }
  QLocale::setDefault(previous);
}

}  // namespace
}  // namespace quilmar::testing
