// The window's side of the archive: a pass from the archive shown in the main window on the
// frame asked for, the Passes list, and an archive that cannot be read.
#include "ui/archive/archive_menu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "archive/archive.h"
#include "archive/archive_time.h"
#include "archive/source_import.h"
#include "ui/archive/passes_window.h"
#include "ui/main/main_window.h"
#include "ui/trends/trend_chart.h"
#include "ui/trends/trends_window.h"

namespace quilmar {
namespace {

const QString kDemoLog = QStringLiteral(QUILMAR_SOURCE_DIR "/samples/demo.kss");

class ArchiveMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    archivePath = folder.filePath(QStringLiteral("archive.sqlite"));
    window.SetMessageReporter(
        [this](QMessageBox::Icon, const QString&, const QString& text) { messages << text; });
    menu = new ArchiveMenu(window);
    menu->UseSettingsFile(folder.filePath(QStringLiteral("settings.ini")));
  }

  void AddDemoLog() {
    Archive archive;
    QString error;
    ASSERT_TRUE(archive.Open(*ParseArchiveLocation(archivePath, error)))
        << archive.Error().toStdString();
    const ImportOutcome outcome = ImportFile(archive, kDemoLog, QStringLiteral("XQ1ABC"));
    ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  }

  QTemporaryDir folder;
  QString archivePath;
  MainWindow window;
  ArchiveMenu* menu = nullptr;
  QStringList messages;
};

TEST_F(ArchiveMenuTest, PassOpensInTheWindowOnTheFrameAsked) {
  AddDemoLog();
  ASSERT_TRUE(menu->UseArchive(archivePath));
  std::vector<ArchivedPass> passes;
  Archive archive;
  ASSERT_TRUE(archive.Open(*menu->Location(), true));
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); }));
  ASSERT_EQ(passes.size(), 1u);
  // The last frame's time is the pass's end; the window must stand on a frame of that time,
  // not on the first one.
  ASSERT_TRUE(menu->OpenPassAt(passes[0].end)) << messages.join('\n').toStdString();
  const FrameTableModel& model = window.tableModel();
  EXPECT_EQ(model.RowCount(), 242);
  EXPECT_EQ(model.Missing().Count(), 8);
  const int shown = window.findChild<QScrollBar*>(QStringLiteral("HScroll1"))->value();
  EXPECT_GT(shown, 200);
  EXPECT_TRUE(model.Source().contains(passes[0].start)) << model.Source().toStdString();
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// A point clicked on the Trends chart opens its pass in the main window on that frame.
TEST_F(ArchiveMenuTest, PointClickedInTrendsOpensItsPassOnThatFrame) {
  AddDemoLog();
  ASSERT_TRUE(menu->UseArchive(archivePath));
  menu->OpenTrends();
  TrendsWindow* trends = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    trends = trends ? trends : qobject_cast<TrendsWindow*>(top);
  }
  ASSERT_NE(trends, nullptr);
  const QDateTime last = *ParseUtcText(QStringLiteral("2026-06-12T16:53:34Z"));
  emit trends->Chart()->pointClicked(static_cast<double>(last.toSecsSinceEpoch()));
  EXPECT_EQ(window.tableModel().RowCount(), 242);
  EXPECT_GT(window.findChild<QScrollBar*>(QStringLiteral("HScroll1"))->value(), 200);
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  menu->CloseAll();
}

// Add Logs... adds in the background and reports per file; the same log again adds nothing,
// and an unreadable file is named with its reason.
TEST_F(ArchiveMenuTest, AddLogsReportsEachFileAndAddsALogOnce) {
  ASSERT_TRUE(menu->UseArchive(archivePath));
  const QString gone = folder.filePath(QStringLiteral("gone.kss"));
  struct Case {
    QStringList files;
    const char* expected;
  };
  const Case cases[] = {
      {{kDemoLog}, "demo.kss: 242 new frames, 0 already archived, 1 rejected, 0 warnings"},
      {{kDemoLog, gone}, "demo.kss: already archived"},
      {{gone}, "gone.kss"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    messages.clear();
    menu->SetLogsChooser([&](const QString&) {
      return ArchiveMenu::LogsToAdd{c.files, QStringLiteral("XQ1ABC")};
    });
    menu->ChooseLogsToAdd();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, 20000));
    EXPECT_TRUE(messages[0].contains(QString::fromUtf8(c.expected))) << messages[0].toStdString();
  }
  EXPECT_TRUE(messages[0].contains(QStringLiteral("gone.kss:"))) << messages[0].toStdString();
  Archive archive;
  ASSERT_TRUE(archive.Open(*menu->Location(), true));
  std::int64_t frames = 0;
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { frames += pass.frames; }));
  EXPECT_EQ(frames, 242);
}

TEST_F(ArchiveMenuTest, PassesListShowsEachPassWithItsCounts) {
  AddDemoLog();
  ASSERT_TRUE(menu->UseArchive(archivePath));
  menu->OpenPasses();
  auto* list = window.findChild<QWidget*>(QStringLiteral("PassesWindow"));
  QTableWidget* table = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* passes = qobject_cast<PassesWindow*>(top)) {
      table = passes->findChild<QTableWidget*>(QStringLiteral("passTable"));
    }
  }
  ASSERT_EQ(list, nullptr);  // a window of its own, not a child of the main window
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("12 min 27 s"));
  EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("XQ1ABC"));
  EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("242"));
  EXPECT_EQ(table->item(0, 4)->text(), QStringLiteral("8"));
  menu->CloseAll();
}

TEST_F(ArchiveMenuTest, ArchiveThatCannotBeReadIsReportedAndTheTableStays) {
  window.LoadKissLog(kDemoLog);
  ASSERT_EQ(window.tableModel().RowCount(), 242);
  ASSERT_TRUE(menu->UseArchive(folder.filePath(QStringLiteral("missing.sqlite"))));
  EXPECT_FALSE(menu->OpenPassAt(QStringLiteral("2026-06-12T16:41:07Z")));
  EXPECT_EQ(window.tableModel().RowCount(), 242);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("missing.sqlite"))) << messages[0].toStdString();
  EXPECT_FALSE(menu->UseArchive(QStringLiteral("postgresql://[")));
}

}  // namespace
}  // namespace quilmar
