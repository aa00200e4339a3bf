// The live feed: frames archived once each, with arrival time and station, across an archive
// that goes away in the middle of a session and comes back (a PostgreSQL server stopped and
// started; a SQLite archive whose folder cannot be made until a file in its way is removed).
#include "archive/live_archive_feed.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <mutex>

#include "archive/archive.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

FrameBuffer Frame(int number) {
  const testing::Bytes bytes =
      testing::HousekeepingFrame(static_cast<std::uint16_t>(number), 41, 20);
  FrameBuffer frame{};
  std::copy(bytes.begin(), bytes.end(), frame.begin());
  return frame;
}

class LiveFeed : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  // Collects the feed's report lines.
  LiveArchiveFeed::Report Collect() {
    return [this](const QString& line) {
      const std::lock_guard lock(mutex);
      reports << line;
    };
  }
  QString Reports() {
    const std::lock_guard lock(mutex);
    return reports.join('\n');
  }

  std::mutex mutex;
  QStringList reports;
};

TEST_P(LiveFeed, EveryFrameIsArchivedOnceAcrossAnOutage) {
  ArchiveLocation location = testing::FreshArchive(GetParam());
  ASSERT_FALSE(location.display.isEmpty());
  const bool sqlite = GetParam() == ArchiveEngine::kSqlite;
  // SQLite: the archive's folder is a file of ours until the outage ends.
  const QString blocker = testing::TestFolder() + "/blocker";
  if (sqlite) {
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    location.path = blocker + "/archive.sqlite";
  }
  const QDateTime start = QDateTime::currentDateTimeUtc();
  {
    LiveArchiveFeed feed(location, "XQ0GND", "localhost:8001", Collect(), {1000, 100});
    int number = 0;
    if (!sqlite) {
      for (; number < 20; ++number) {
        feed.Add(Frame(number), start.addSecs(number));
      }
      ASSERT_TRUE(feed.WaitUntilWritten(30000));
      ASSERT_TRUE(testing::StopPostgres());
    }
    for (const int end = number + 30; number < end; ++number) {
      feed.Add(Frame(number), start.addSecs(number));
    }
    EXPECT_FALSE(feed.WaitUntilWritten(1000));
    EXPECT_TRUE(Reports().contains("frames wait in memory")) << Reports().toStdString();
    ASSERT_TRUE(sqlite ? QFile::remove(blocker) : testing::RestartPostgres());
    EXPECT_TRUE(feed.WaitUntilWritten(30000));
    EXPECT_TRUE(Reports().contains("is back")) << Reports().toStdString();
    EXPECT_EQ(feed.Dropped(), 0);
  }
  Archive archive;
  ASSERT_TRUE(archive.Open(location)) << archive.Error().toStdString();
  QSqlQuery query(archive.Database());
  ASSERT_TRUE(
      query.exec("SELECT count(*), count(DISTINCT frame_digest), min(station), "
                 "max(station), min(received_at) FROM reception"));
  ASSERT_TRUE(query.next());
  const int frames = sqlite ? 30 : 50;
  EXPECT_EQ(query.value(0).toInt(), frames);
  EXPECT_EQ(query.value(1).toInt(), frames);
  EXPECT_EQ(query.value(2).toString(), "XQ0GND");
  EXPECT_EQ(query.value(3).toString(), "XQ0GND");
  EXPECT_EQ(query.value(4).toString(), start.toString("yyyy-MM-ddTHH:mm:ssZ"));
  ASSERT_TRUE(query.exec("SELECT count(*) FROM frame WHERE time_kind = 'reception'"));
  ASSERT_TRUE(query.next());
  EXPECT_EQ(query.value(0).toInt(), frames);
}

INSTANTIATE_TEST_SUITE_P(Engines, LiveFeed,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
