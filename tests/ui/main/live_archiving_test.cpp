// A live session that adds its frames to the archive: every frame lands once with the station
// and the TNC, an archive that is away is named in the status bar with the frames waiting,
// and ending the session does not wait for a locked archive nor lose the frames it waited
// with. The Connect dialog names the window's archive and shares the station with Add Logs.
#include "ui/live/live_archiving.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QSqlQuery>

#include "archive/archive.h"
#include "live_fixture.h"

namespace quilmar::testing {
namespace {

class LiveArchivingTest : public LiveSessionTest {
 protected:
  void SetUp() override {
    LiveSessionTest::SetUp();
    storePath = dir.filePath(QStringLiteral("archive-choices.ini"));
    window->SetArchiveStore([this] { return Store(); });
  }

  std::unique_ptr<QSettings> Store() const {
    return std::make_unique<QSettings>(storePath, QSettings::IniFormat);
  }

  void UseArchive(const QString& path) {
    Store()->setValue(QLatin1String(kArchiveLocationKey), path);
    QString error;
    location = *ParseArchiveLocation(path, error);
  }

  // Connects with the archive on and sends frames 1 to count.
  void ReceiveFrames(int count) {
    LiveChoice choice = tnc.Choice(dir.filePath(QStringLiteral("live.kss")));
    choice.addToArchive = true;
    choice.station = QStringLiteral("XQ0GND");
    ASSERT_TRUE(window->ConnectToTnc(choice));
    ASSERT_TRUE(tnc.WaitForClient());
    tnc.Send(LogOfCount(count));
    ASSERT_TRUE(WaitForFrames(count));
  }

  QString ArchiveLine() const { return Find<QLabel>("ArchiveStatus")->text(); }

  bool WaitForArchiveLine(const QString& part) {
    return QTest::qWaitFor([&] { return ArchiveLine().contains(part); }, 20000);
  }

  // Receptions in the archive: count, distinct frames, station and source.
  QStringList Receptions() {
    Archive archive;
    if (!archive.Open(location, true)) {
      return {archive.Error()};
    }
    QSqlQuery query(archive.Database());
    query.exec(
        "SELECT count(*), count(DISTINCT frame_id), min(r.station), min(s.name) "
        "FROM reception r JOIN source s ON s.id = r.source_id");
    query.next();
    return {query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
            query.value(3).toString()};
  }

  QString storePath;
  ArchiveLocation location;
};

TEST_F(LiveArchivingTest, EveryFrameLandsOnceWithTheStationAndTheTnc) {
  UseArchive(dir.filePath(QStringLiteral("archive.sqlite")));
  ReceiveFrames(5);
  ASSERT_TRUE(WaitForArchiveLine(QStringLiteral("Archive: 5 frames added")))
      << ArchiveLine().toStdString();
  tnc.Send(LogOfNumbers({6, 7}));
  ASSERT_TRUE(WaitForFrames(7));
  window->Disconnect();
  ASSERT_TRUE(WaitForArchiveLine(QStringLiteral("Archive: 7 frames added")))
      << ArchiveLine().toStdString();
  const QString tncText = tnc.Choice({}).address.Text();
  EXPECT_EQ(Receptions(), QStringList({"7", "7", "XQ0GND", tncText}));
  EXPECT_TRUE(messages.empty());
}

// The archive's folder is a file of the test's own, so the archive cannot be created.
TEST_F(LiveArchivingTest, AnUnreachableArchiveIsNamedWithTheFramesWaiting) {
  const QString blocker = dir.filePath(QStringLiteral("blocker"));
  QFile file(blocker);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  UseArchive(blocker + QStringLiteral("/archive.sqlite"));
  ReceiveFrames(3);
  ASSERT_TRUE(WaitForArchiveLine(QStringLiteral("Archive unreachable, 3 frames waiting: ")))
      << ArchiveLine().toStdString();
  EXPECT_TRUE(ArchiveLine().contains(QStringLiteral("blocker"))) << ArchiveLine().toStdString();
  window->Disconnect();
  EXPECT_TRUE(WaitForArchiveLine(QStringLiteral("Archive: 0 frames added, 3 not added: ")))
      << ArchiveLine().toStdString();
}

// Another program holds the archive's write lock, which a writer waits for: Disconnect must not
// wait with it, and the frames that waited are written once the lock is let go.
TEST_F(LiveArchivingTest, DisconnectDoesNotWaitForALockedArchiveAndLosesNoFrame) {
  UseArchive(dir.filePath(QStringLiteral("archive.sqlite")));
  Archive holder;
  ASSERT_TRUE(holder.Open(location)) << holder.Error().toStdString();
  ASSERT_TRUE(holder.BeginWrite());
  ReceiveFrames(4);
  QElapsedTimer clock;
  clock.start();
  window->Disconnect();
  QTest::qWait(100);
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_FALSE(window->IsLive());
  EXPECT_EQ(ArchiveLine().toStdString(), "Archive: 0 frames added, writing 4 more");
  holder.Rollback();
  holder.Close();
  ASSERT_TRUE(WaitForArchiveLine(QStringLiteral("Archive: 4 frames added")))
      << ArchiveLine().toStdString();
  EXPECT_EQ(Receptions().value(0), QStringLiteral("4"));
}

TEST_F(LiveArchivingTest, DialogNamesTheWindowsArchiveAndSharesTheStation) {
  UseArchive(dir.filePath(QStringLiteral("mission.sqlite")));
  const auto open = [this] {
    return std::make_unique<ConnectDialog>(nullptr, [this] { return Store(); });
  };
  auto dialog = open();
  EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("ArchiveName"))->text(), location.display);
  dialog->findChild<QCheckBox*>(QStringLiteral("AddToArchive"))->setChecked(true);
  auto* station = dialog->findChild<QLineEdit*>(QStringLiteral("Station"));
  station->clear();
  dialog->accept();
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("Problem"))->text().contains("callsign"));
  station->setText(QStringLiteral(" XQ1ABC "));
  dialog->accept();
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(dialog->Choice().addToArchive);
  EXPECT_EQ(dialog->Choice().station, QStringLiteral("XQ1ABC"));
  // Add Logs reads the same station; the next dialog is left as this one was.
  EXPECT_EQ(Store()->value(QLatin1String(kArchiveStationKey)).toString(), "XQ1ABC");
  dialog = open();
  EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("AddToArchive"))->isChecked());
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("Station"))->text(), "XQ1ABC");
}

}  // namespace
}  // namespace quilmar::testing
