// File > Export... and File > Open Recent on a real main window: the exports equal the export
// command's golden files, a failed write leaves nothing behind, and the recent list keeps ten
// logs, drops vanished ones and stays out of the current directory.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "main_window_fixture.h"
#include "ui/chart/parameter_graph.h"
#include "ui/shell/export_frames.h"
#include "ui/shell/recent_logs.h"

namespace quilmar::testing {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FileCommandsTest : public MainWindowTest {
 protected:
  // The next export goes to path in format; the offer it was made is kept.
  void ChooseExport(const QString& path, TableFormat format, bool rangeOnly = false) {
    window->frameExporter().SetChooser([=, this](QWidget*, const ExportOffer& offer) {
      lastOffer = offer;
      return std::optional<ExportChoice>(ExportChoice{path, format, rangeOnly});
    });
  }
  QAction* ExportAction() const { return Find<QAction>("MenuFileExport"); }
  QMenu* RecentMenu() const { return Find<QMenu>("MenuFileOpenRecent"); }
  QStringList RecentEntries() const {
    QStringList texts;
    for (QAction* entry : RecentMenu()->actions()) {
      texts << entry->text();
    }
    return texts;
  }

  ExportOffer lastOffer;
};

TEST_F(FileCommandsTest, ExportEqualsTheExportCommandsGoldenFiles) {
  const QString log = QStringLiteral(QUILMAR_SOURCE_DIR "/samples/demo.kss");
  EXPECT_FALSE(ExportAction()->isEnabled());
  window->OpenLog(log);
  ASSERT_TRUE(ExportAction()->isEnabled());
  const struct {
    TableFormat format;
    const char* golden;
    const char* written;
  } cases[] = {{TableFormat::kCsv, "demo.csv", "out.csv"},
               {TableFormat::kJson, "demo.json", "out.json"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.golden);
    // The suffix of the chosen file type is added to a bare name.
    ChooseExport(dir.filePath(QStringLiteral("out")), c.format);
    ExportAction()->trigger();
    QByteArray golden = ReadAll(QStringLiteral(QUILMAR_TEST_DATA "/") + QLatin1String(c.golden));
    ASSERT_FALSE(golden.isEmpty());
    // The golden file was made with the relative path; the window names the log as opened.
    golden.replace("\"file\": \"samples/demo.kss\"", "\"file\": \"" + log.toUtf8() + '"');
    EXPECT_TRUE(ReadAll(dir.filePath(QLatin1String(c.written))) == golden);
  }
  EXPECT_FALSE(lastOffer.range.has_value());
  EXPECT_TRUE(messages.empty());
}

TEST_F(FileCommandsTest, RangeExportWritesTheChosenFramesOnly) {
  window->OpenLog(WriteLog("gaps.kss", LogOfNumbers({10, 11, 14, 15, 16, 20})));
  GraphRangeControls& range = window->graphRangeControls();
  range.CheckBox()->click();
  QCoreApplication::processEvents();  // the lists take the frame numbers in batches
  range.FirstFrameList()->setCurrentIndex(range.FirstFrameList()->model()->index(1, 0));
  range.LastFrameList()->setCurrentIndex(range.LastFrameList()->model()->index(3, 0));
  ChooseExport(dir.filePath(QStringLiteral("part.json")), TableFormat::kJson, true);
  ExportAction()->trigger();

  ASSERT_TRUE(lastOffer.range.has_value());
  EXPECT_EQ(lastOffer.rangeCaption, QStringLiteral("Only frames 11 to 15"));
  const QByteArray json = ReadAll(dir.filePath(QStringLiteral("part.json")));
  EXPECT_TRUE(json.contains("\"frameCount\": 3,"));
  EXPECT_TRUE(json.contains("\"missingFrames\": [\n    13, 12\n  ],"));
  EXPECT_EQ(json.count("\"frameNumber\""), 3);
  EXPECT_TRUE(json.contains("\"frameNumber\": 11,"));
  EXPECT_FALSE(json.contains("\"frameNumber\": 16,"));
}

TEST_F(FileCommandsTest, FailedExportNamesThePathAndLeavesNothing) {
  window->OpenLog(WriteLog("four.kss", LogOfCount(4)));
  // A plain file where a folder should be: not writable, even for root.
  WriteLog("plain", Bytes{1});
  const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
  const QString target = dir.filePath(QStringLiteral("plain/out.csv"));
  ChooseExport(target, TableFormat::kCsv);
  ExportAction()->trigger();

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(messages[0].text.contains(target)) << messages[0].text.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
  EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("plain"))), QByteArray(1, '\1'));
}

TEST_F(FileCommandsTest, RecentLogsKeepTenNewestFirstAndDropVanishedOnes) {
  QStringList logs;
  for (int i = 0; i < 12; ++i) {
    logs << WriteLog(QStringLiteral("log%1.kss").arg(i), LogOfCount(1));
    window->OpenLog(logs.back());
  }
  window->OpenLog(logs[5]);
  const QStringList expected{logs[5], logs[11], logs[10], logs[9], logs[8],
                             logs[7], logs[6],  logs[4],  logs[3], logs[2]};
  EXPECT_EQ(window->recentLogs().Paths(), expected);
  EXPECT_EQ(RecentEntries(), expected);

  RecentMenu()->actions().at(2)->trigger();
  EXPECT_EQ(window->CurrentLogPath(), logs[10]);
  EXPECT_EQ(window->recentLogs().Paths().constFirst(), logs[10]);

  ASSERT_TRUE(QFile::remove(logs[9]));
  RecentMenu()->actions().at(3)->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(logs[9]));
  EXPECT_FALSE(window->recentLogs().Paths().contains(logs[9]));
  EXPECT_EQ(window->CurrentLogPath(), logs[10]);
}

TEST_F(FileCommandsTest, FileCommandsAreDisabledWhileALoadRuns) {
  window->OpenLog(WriteLog("first.kss", LogOfCount(2)));
  LoadTiming everyFrame;
  everyFrame.eventPassInterval = std::chrono::milliseconds(0);
  window->SetLoadTiming(everyFrame);
  bool exportDuringLoad = true;
  bool recentDuringLoad = true;
  QTimer::singleShot(0, window.get(), [&] {
    exportDuringLoad = ExportAction()->isEnabled();
    recentDuringLoad = RecentMenu()->isEnabled();
  });
  window->OpenLog(WriteLog("second.kss", LogOfCount(50)));
  EXPECT_FALSE(exportDuringLoad);
  EXPECT_FALSE(recentDuringLoad);
  EXPECT_TRUE(ExportAction()->isEnabled());
  EXPECT_TRUE(RecentMenu()->isEnabled());
}

// The window-position file in the current directory holds its two lines and nothing else.
TEST(RecentLogsStore, StaysOutOfTheCurrentDirectory) {
  QTemporaryDir cwd;
  ASSERT_TRUE(cwd.isValid());
  const QString previous = QDir::currentPath();
  QDir::setCurrent(cwd.path());
  {
    QMenu menu;
    RecentLogs recent(&menu);
    recent.Add(QStringLiteral("/logs/pass.kss"));
    EXPECT_EQ(recent.Paths().constFirst(), QStringLiteral("/logs/pass.kss"));
    recent.Remove(QStringLiteral("/logs/pass.kss"));
  }
  EXPECT_TRUE(QDir(cwd.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace quilmar::testing
