// The main window's frame, menus, start-up state, scroll-bar steps and keyboard, file drops
// and shutdown.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "main_window_fixture.h"
#include "ui/chart/chart_adapter.h"
#include "ui/chart/parameter_graph.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/hex_dump.h"
#include "ui/live/alarm_window.h"
#include "ui/frame/missing_frames_model.h"

namespace quilmar::testing {
namespace {

TEST_F(MainWindowTest, FrameTitleTabsAndStartUpState) {
  EXPECT_EQ(window->windowTitle(),
            QStringLiteral("QUILMAR-1 Housekeeping Telemetry Decoder  Ver. 3.03"));
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  // Sized before it is shown: a size set as it is shown would make the window manager take
  // the saved edges for the client area's and put the title bar above them.
  const QSize placed = window->size();
  window->show();
  EXPECT_EQ(window->size(), placed);
  // Never smaller than its controls, larger as the user likes.
  EXPECT_EQ(window->minimumSize().width(), window->width());
  EXPECT_GE(window->minimumSize().height(), window->height() - 1);
  EXPECT_GT(window->maximumSize().width(), window->width());
  EXPECT_GT(window->maximumSize().height(), window->height());
  EXPECT_FALSE(window->windowIcon().pixmap(32, 32).isNull());

  auto* tabs = Find<QTabWidget>("Hexdump");
  const QStringList captions{"EPS / TCS", "COM / CDHS", "ADCS", "Graph", "Hexdump"};
  ASSERT_EQ(tabs->count(), captions.size());
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_EQ(tabs->tabText(i), captions[i]);
  }
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_TRUE(tabs->widget(4)->isAncestorOf(HexArea()));

  QScrollBar* bar = ScrollBar();
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_EQ(bar->minimum(), 1);
  EXPECT_EQ(bar->value(), 1);
  EXPECT_TRUE(PositionText().isEmpty());
  EXPECT_TRUE(HexArea()->toPlainText().isEmpty());
  EXPECT_EQ(window->ChartedParameter(), 0);
  EXPECT_EQ(window->frameTable().frameCount, 0);
  for (int row = 0; row < kParameterCount; ++row) {
    EXPECT_FALSE(window->frameView().ParameterButton(row)->isChecked()) << row;
  }
}

TEST_F(MainWindowTest, MenusInOrderWithTheirCommands) {
  QStringList titles;
  for (QAction* action : window->menuBar()->actions()) {
    titles << action->text();
  }
  EXPECT_EQ(titles, (QStringList{"File", "Settings", "Memory", "Info", "Alarms"}));
  EXPECT_EQ(Find<QAction>("MenuFileOpen")->text(), QStringLiteral("Open"));
  EXPECT_EQ(Find<QAction>("MenuFileExit")->text(), QStringLiteral("Exit"));
  EXPECT_EQ(window->menuBar()->actions().at(2)->menu(), nullptr);  // a command, no drop-down

  QAction* writeTlm = Find<QAction>("WriteTLMFile");
  EXPECT_TRUE(writeTlm->isChecked());
  writeTlm->trigger();
  EXPECT_FALSE(writeTlm->isChecked());
  writeTlm->trigger();
  EXPECT_TRUE(writeTlm->isChecked());

  QSignalSpy memory(window.get(), &MainWindow::memoryDumpRequested);
  QSignalSpy info(window.get(), &MainWindow::infoRequested);
  Find<QAction>("MnuMemory")->trigger();
  Find<QAction>("MnuInfo")->trigger();
  EXPECT_EQ(memory.count(), 1);
  EXPECT_EQ(info.count(), 1);
  Find<QAction>("MnuAlarms")->trigger();
  EXPECT_TRUE(window->alarmWindow().isVisible());
}

TEST_F(MainWindowTest, ScrollStepWritesPositionFrameAndHighlightedHexDump) {
  window->OpenLog(WriteLog("pass.kss", LogOfCount(345, 1000)));
  ASSERT_EQ(window->frameTable().frameCount, 345);
  window->ShowFrameAt(12);
  EXPECT_EQ(PositionText(), QStringLiteral("#12 / 345"));
  EXPECT_EQ(Find<QLineEdit>("Text3_2")->text(), QStringLiteral("1011"));
  const std::string& hex = window->frameTable().Record(12).hexDump;
  EXPECT_EQ(HexArea()->toPlainText().toStdString(), hex);
  EXPECT_EQ(ColourPattern(*HexArea()), RedRange(hex.size(), 19, 20));  // row 0 is charted
}

TEST_F(MainWindowTest, ChangeWithoutStoredFramesLeavesTheHexDump) {
  window->OpenLog(WriteLog("three.kss", LogOfCount(3)));
  window->ShowFrameAt(3);
  const QString before = HexArea()->toPlainText();
  const std::string coloursBefore = ColourPattern(*HexArea());
  // The empty log's maximum pulls the bar back to 1, which runs the change steps.
  window->OpenLog(WriteLog("empty.kss", {}));
  EXPECT_EQ(ScrollBar()->value(), 1);
  EXPECT_EQ(PositionText(), QStringLiteral("#1 / 0"));
  EXPECT_EQ(HexArea()->toPlainText(), before);
  EXPECT_EQ(ColourPattern(*HexArea()), coloursBefore);
  // The frame view names no frame of the earlier log as if it were current.
  EXPECT_TRUE(Find<QLineEdit>("Text3_2")->text().isEmpty());
  EXPECT_TRUE(Find<QLineEdit>("Text1_0")->text().isEmpty());
  EXPECT_TRUE(Find<QLabel>("Label13")->text().isEmpty());
}

TEST_F(MainWindowTest, KeyboardStepsThroughFrames) {
  window->OpenLog(WriteLog("thirty.kss", LogOfCount(30)));
  struct Case {
    Qt::Key key;
    int expected;
  } cases[] = {{Qt::Key_Right, 16},    {Qt::Key_Left, 14},  {Qt::Key_Down, 16}, {Qt::Key_Up, 14},
               {Qt::Key_PageDown, 25}, {Qt::Key_PageUp, 5}, {Qt::Key_End, 30},  {Qt::Key_Home, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "key 0x" << std::hex << int{c.key});
    window->ShowFrameAt(15);
    QTest::keyClick(ScrollBar(), c.key);
    EXPECT_EQ(ScrollBar()->value(), c.expected);
    EXPECT_EQ(PositionText(), QStringLiteral("#%1 / 30").arg(c.expected));
  }
}

TEST_F(MainWindowTest, DropLoadsOnlyLogsEndingInKss) {
  const Bytes twoFrames = LogOfCount(2);
  struct Case {
    const char* name;
    bool loads;
  } cases[] = {{"LOG.KSS", true}, {"log.kss", true}, {"logkss", true}, {"log.txt", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window->OpenLog(WriteLog("none.kss", {}));
    const QString path = WriteLog(QString::fromLatin1(c.name), twoFrames);
    emit window->parameterGraph().fileDropped(path);
    EXPECT_EQ(window->CurrentLogPath(), path);
    EXPECT_EQ(window->frameTable().frameCount, c.loads ? 2 : 0);
    EXPECT_EQ(Find<QLabel>("Label10")->text() == path, c.loads);
  }
}

TEST_F(MainWindowTest, RangeListsChartTheChosenParameter) {
  Bytes log;
  for (int n = 1; n <= 10; ++n) {
    const Bytes wrapped = KissWrap(AdcsFrame(static_cast<std::uint16_t>(n), 100 + n));
    log.insert(log.end(), wrapped.begin(), wrapped.end());
  }
  window->OpenLog(WriteLog("adcs.kss", log));
  window->frameView().ParameterButton(69)->click();
  emit window->graphRangeControls().rangeChosen(3, 7);
  ChartAdapter& chart = window->parameterGraph().Chart();
  ASSERT_EQ(chart.RowCount(), 5);
  for (int r = 1; r <= 5; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(chart.RowLabel(r), QString::number(r + 3));
    ASSERT_TRUE(chart.SetCurrentRow(r));
    ASSERT_TRUE(chart.SetCurrentColumn(1));
    EXPECT_EQ(chart.PointValue(), QString::number(100 + r + 3));
  }
}

// A few frames of a long log, chosen in the range lists, each get their label: the long
// log's wide spacing must not leave them unlabelled.
TEST_F(MainWindowTest, RangeOfAFewDemoFramesLabelsEach) {
  window->OpenLog(QStringLiteral(QUILMAR_SOURCE_DIR "/samples/demo.kss"));
  ASSERT_GT(window->frameTable().frameCount, 100);
  GraphRangeControls& range = window->graphRangeControls();
  range.CheckBox()->click();
  for (auto [list, position] : {std::pair{range.FirstFrameList(), 3}, {range.LastFrameList(), 7}}) {
    const QModelIndex item = list->model()->index(position, 0);
    list->scrollTo(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
  }
  ChartAdapter& chart = window->parameterGraph().Chart();
  ASSERT_EQ(chart.RowCount(), 5);
  QStringList frames;
  for (int f = 4; f <= 8; ++f) {
    frames << QString::number(window->frameTable().Record(f).frameNumber);
  }
  EXPECT_EQ(chart.AxisLabels(), frames);
}

TEST(OpenLogDialog, OffersLogsTextsAndEveryFile) {
  QFileDialog dialog;
  PrepareOpenLogDialog(dialog);
  auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(types, nullptr);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(types->currentIndex(), 0);
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
  const struct {
    const char* caption;
    QStringList shown;
    QStringList hidden;
  } choices[] = {
      {"Log Files (*.kss)", {"pass.kss", "PASS.KSS"}, {"notes.txt", "logkss"}},
      {"Text Files (*.txt)", {"notes.txt"}, {"pass.kss"}},
      {"All Files (*.*)", {"pass.kss", "notes.txt", "logkss", "README"}, {}},
  };
  ASSERT_EQ(types->count(), 3);
  for (int i = 0; i < types->count(); ++i) {
    SCOPED_TRACE(choices[i].caption);
    EXPECT_EQ(types->itemText(i), QString::fromLatin1(choices[i].caption));
    types->setCurrentIndex(i);
    emit types->activated(i);
    const QStringList patterns = model->nameFilters();
    for (const QString& name : choices[i].shown) {
      EXPECT_TRUE(QDir::match(patterns, name)) << name.toStdString();
    }
    for (const QString& name : choices[i].hidden) {
      EXPECT_FALSE(QDir::match(patterns, name)) << name.toStdString();
    }
  }
}

TEST_F(MainWindowTest, CancelledDialogEmptiesListsButKeepsTheFrames) {
  chosenPath = WriteLog("gaps.kss", LogOfNumbers({10, 14, 15}));
  Find<QAction>("MenuFileOpen")->trigger();
  ASSERT_EQ(window->frameTable().frameCount, 3);
  const QString hexBefore = HexArea()->toPlainText();
  chosenPath.clear();
  Find<QAction>("MenuFileOpen")->trigger();
  EXPECT_EQ(dialogsShown, 2);
  EXPECT_TRUE(window->CurrentLogPath().isEmpty());
  EXPECT_TRUE(Find<QLabel>("Label10")->text().isEmpty());
  EXPECT_EQ(window->frameTable().frameCount, 3);
  EXPECT_EQ(HexArea()->toPlainText(), hexBefore);
  EXPECT_EQ(window->graphRangeControls().FirstFrameList()->model()->rowCount(), 0);
  EXPECT_EQ(window->graphRangeControls().LastFrameList()->model()->rowCount(), 0);
  EXPECT_EQ(Find<MissingFramesList>("List1")->Model()->rowCount(), 0);
  EXPECT_EQ(Find<QLabel>("Label9")->text(), QStringLiteral("3 frames missing"));
}

TEST_F(MainWindowTest, ClosingWritesTheWindowPosition) {
  window->move(40, 80);
  window->close();
  QFile saved(dir.filePath(QStringLiteral("quilmar_hkc.ini")));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QPoint at = window->pos();
  EXPECT_EQ(saved.readAll(),
            QStringLiteral(" %1 \r\n %2 \r\n").arg(at.y() * 15).arg(at.x() * 15).toLatin1());
  EXPECT_TRUE(messages.empty());
}

TEST(MainWindowStartUp, PlacesTheWindowFromTheSettingsFile) {
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  struct Case {
    const char* file;  // nullptr: no settings file
    QPoint expected;
  } cases[] = {{" 600 \r\n 1200 \r\n", {80, 40}},
               {"-300\r\n1200\r\n", {80, 0}},
               {" 450 \r\n", {0, 30}},
               // Beyond any window coordinate: that edge is left where it was.
               {"1E300\r\n1200\r\n", {80, 0}},
               {nullptr, {0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "no file");
    QFile::remove(QStringLiteral("quilmar_hkc.ini"));
    if (c.file != nullptr) {
      QFile file(QStringLiteral("quilmar_hkc.ini"));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.file);
    }
    MainWindow window;
    EXPECT_EQ(window.pos(), c.expected);
  }
  QDir::setCurrent(previous);
}

// A log whose frame numbers swing between 0 and 65535 misses about 164 million numbers; the
// list must still show them without expanding them.
TEST(MissingFramesList, ShowsHugeGapsOnDemand) {
  MissingFrames missing;
  for (int i = 0; i < 2500; ++i) {
    missing.AddStep(0, 65535);
  }
  MissingFramesModel model;
  model.SetMissingFrames(std::move(missing));
  ASSERT_EQ(model.rowCount(), 2500 * 65534);
  MissingFramesList list;
  list.resize(105, 95);
  list.SetModel(&model);
  list.show();
  struct Case {
    Qt::Key key;
    int row;
    const char* text;
  } cases[] = {
      {Qt::Key_End, 2500 * 65534 - 1, "1"}, {Qt::Key_Home, 0, "65534"}, {Qt::Key_Down, 1, "65533"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "key 0x" << std::hex << int{c.key});
    QTest::keyClick(&list, c.key);
    EXPECT_EQ(list.CurrentRow(), c.row);
    EXPECT_EQ(model.index(c.row, 0).data().toString(), QString::fromLatin1(c.text));
    EXPECT_LE(list.FirstVisibleRow(), c.row);
    EXPECT_FALSE(list.grab().isNull());
  }
  model.Clear();
  EXPECT_EQ(list.CurrentRow(), -1);
}

}  // namespace
}  // namespace quilmar::testing
