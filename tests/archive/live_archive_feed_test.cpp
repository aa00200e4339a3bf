// The live feed: frames archived once each, with arrival time and station, across an archive
// that goes away in the middle of a session and comes back (a PostgreSQL server stopped and
// started; a SQLite archive whose folder cannot be made until a file in its way is removed),
// a transaction rolled back after its source row, a COMMIT whose answer is lost, the end of
// a session with frames still waiting, and an end that cannot wait for a blocked archive.
#include "archive/live_archive_feed.h"

#include <gtest/gtest.h>
#include <netinet/tcp.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QThread>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "archive/archive.h"
#include "archive/archive_time.h"
#include "postgres_proxy.h"
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

// One number the archive answers, -1 when the query fails.
qint64 Count(const ArchiveLocation& location, const QString& sql) {
  Archive archive;
  if (!archive.Open(location)) {
    ADD_FAILURE() << archive.Error().toStdString();
    return -1;
  }
  QSqlQuery query(archive.Database());
  if (!query.exec(sql) || !query.next()) {
    archive.Fail(query);
    ADD_FAILURE() << sql.toStdString() << ": " << archive.Error().toStdString();
    return -1;
  }
  return query.value(0).toLongLong();
}

// Facts of a session's receptions that hold whatever else the archive keeps of them.
struct Stored {
  qint64 receptions = 0;
  qint64 positions = 0;  // distinct places in the session
  qint64 sources = 0;    // live-session source rows
  qint64 orphans = 0;    // receptions whose source row does not exist
};

Stored ReadStored(const ArchiveLocation& location) {
  return {Count(location, "SELECT count(*) FROM reception"),
          Count(location, "SELECT count(DISTINCT position) FROM reception"),
          Count(location, "SELECT count(*) FROM source WHERE kind = 'tnc'"),
          Count(location,
                "SELECT count(*) FROM reception r WHERE NOT EXISTS "
                "(SELECT 1 FROM source s WHERE s.id = r.source_id)")};
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
  bool Sqlite() const { return GetParam() == ArchiveEngine::kSqlite; }

  // A fresh archive with its schema made, so that a test can add to it before the feed opens.
  ArchiveLocation MadeArchive() {
    const ArchiveLocation location = testing::FreshArchive(GetParam());
    Archive archive;
    EXPECT_TRUE(archive.Open(location)) << archive.Error().toStdString();
    return location;
  }

  std::mutex mutex;
  QStringList reports;
};

TEST_P(LiveFeed, EveryFrameIsArchivedOnceAcrossAnOutage) {
  ArchiveLocation location = testing::FreshArchive(GetParam());
  ASSERT_FALSE(location.display.isEmpty());
  // SQLite: the archive's folder is a file of ours until the outage ends.
  const QString blocker = testing::TestFolder() + "/blocker";
  if (Sqlite()) {
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    location.path = blocker + "/archive.sqlite";
  }
  const QDateTime start = QDateTime::currentDateTimeUtc();
  {
    LiveArchiveFeed feed(location, "XQ0GND", "localhost:8001", Collect(), {1000, 100});
    int number = 0;
    if (!Sqlite()) {
      for (; number < 20; ++number) {
        feed.Add(Frame(number), start.addSecs(number));
      }
      ASSERT_TRUE(feed.WaitUntilWritten(30000)) << feed.Now().unreachable.toStdString();
      ASSERT_TRUE(testing::StopPostgres());
    }
    for (const int end = number + 30; number < end; ++number) {
      feed.Add(Frame(number), start.addSecs(number));
    }
    EXPECT_FALSE(feed.WaitUntilWritten(1000));
    EXPECT_TRUE(Reports().contains("frames wait in memory")) << Reports().toStdString();
    ASSERT_TRUE(Sqlite() ? QFile::remove(blocker) : testing::RestartPostgres());
    EXPECT_TRUE(feed.WaitUntilWritten(30000)) << feed.Now().unreachable.toStdString();
    EXPECT_TRUE(Reports().contains("is back")) << Reports().toStdString();
    EXPECT_EQ(feed.Dropped(), 0);
  }
  const qint64 frames = Sqlite() ? 30 : 50;
  const Stored stored = ReadStored(location);
  EXPECT_EQ(stored.receptions, frames);
  EXPECT_EQ(stored.positions, frames);
  EXPECT_EQ(stored.sources, 1);
  EXPECT_EQ(stored.orphans, 0);
  EXPECT_EQ(Count(location, "SELECT count(*) FROM frame"), frames);
  EXPECT_EQ(Count(location, "SELECT count(*) FROM reception WHERE station = 'XQ0GND'"), frames);
  Archive archive;
  ASSERT_TRUE(archive.Open(location));
  QSqlQuery first(archive.Database());
  ASSERT_TRUE(first.exec("SELECT min(received_at) FROM reception") && first.next());
  // The arrival time to the second at least, whether the engine gives text or a timestamp.
  const std::optional<QDateTime> arrival = StoredTime(first.value(0));
  ASSERT_TRUE(arrival.has_value()) << first.value(0).toString().toStdString();
  EXPECT_LT(std::abs(arrival->msecsTo(start)), 1000) << UtcText(*arrival).toStdString();
}

// The session's first transaction fails after it added the source row: the row went with it,
// and the receptions written later must not name it.
TEST_P(LiveFeed, SourceRowRolledBackIsAddedAgain) {
  const ArchiveLocation location = MadeArchive();
  ASSERT_FALSE(location.display.isEmpty());
  // Receptions are refused while the table `fault` has a row.
  const QStringList refuse =
      Sqlite() ? QStringList{"CREATE TABLE fault (x INTEGER)",
                             "CREATE TRIGGER refuse BEFORE INSERT ON reception WHEN EXISTS "
                             "(SELECT 1 FROM fault) BEGIN SELECT RAISE(ABORT, 'refused'); END"}
               : QStringList{"CREATE TABLE fault (x INTEGER)",
                             "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ "
                             "BEGIN IF EXISTS (SELECT 1 FROM fault) THEN RAISE EXCEPTION "
                             "'refused'; END IF; RETURN NEW; END $$",
                             "CREATE TRIGGER refuse BEFORE INSERT ON reception FOR EACH ROW "
                             "EXECUTE FUNCTION refuse()"};
  Archive admin;
  ASSERT_TRUE(admin.Open(location));
  for (const QString& statement : refuse + QStringList{"INSERT INTO fault VALUES (1)"}) {
    ASSERT_TRUE(admin.Execute(statement)) << admin.Error().toStdString();
  }
  const QDateTime start = QDateTime::currentDateTimeUtc();
  {
    LiveArchiveFeed feed(location, "XQ0GND", "localhost:8001", Collect(), {1000, 100});
    for (int number = 0; number < 10; ++number) {
      feed.Add(Frame(number), start.addSecs(number));
    }
    EXPECT_FALSE(feed.WaitUntilWritten(1000));
    EXPECT_TRUE(feed.Now().unreachable.contains("refused")) << Reports().toStdString();
    ASSERT_TRUE(admin.Execute("DELETE FROM fault"));
    EXPECT_TRUE(feed.WaitUntilWritten(30000)) << feed.Now().unreachable.toStdString();
  }
  const Stored stored = ReadStored(location);
  EXPECT_EQ(stored.receptions, 10);
  EXPECT_EQ(stored.sources, 1);
  EXPECT_EQ(stored.orphans, 0);
}

// The end of a session writes every frame still waiting, in as many transactions as it takes.
TEST_P(LiveFeed, StopWritesEveryFrameStillWaiting) {
  const ArchiveLocation location = testing::FreshArchive(GetParam());
  ASSERT_FALSE(location.display.isEmpty());
  const QDateTime start = QDateTime::currentDateTimeUtc();
  constexpr int kFrames = 700;  // more than one transaction takes
  {
    LiveArchiveFeed feed(location, "XQ0GND", "localhost:8001", Collect(), {1000, 100});
    for (int number = 0; number < kFrames; ++number) {
      feed.Add(Frame(number), start.addMSecs(number));
    }
    feed.Stop();
    ASSERT_TRUE(feed.WaitEnded(std::chrono::seconds(60))) << Reports().toStdString();
    EXPECT_EQ(feed.Now().written, kFrames);
    EXPECT_EQ(feed.Now().waiting, 0u);
  }
  const Stored stored = ReadStored(location);
  EXPECT_EQ(stored.receptions, kFrames);
  EXPECT_EQ(stored.positions, kFrames);
}

// Another program holds the archive's write lock (a long import) when the session ends: the
// feed is given up within a second, the frames its blocked transaction held count as not
// archived, and none of them is left in the archive once the lock is free.
TEST_P(LiveFeed, AbandonEndsAWriteBlockedByAnotherWriter) {
  const ArchiveLocation location = MadeArchive();
  ASSERT_FALSE(location.display.isEmpty());
  Archive holder;
  ASSERT_TRUE(holder.Open(location));
  ASSERT_TRUE(holder.BeginWrite()) << holder.Error().toStdString();
  const QDateTime start = QDateTime::currentDateTimeUtc();
  {
    LiveArchiveFeed feed(location, "XQ0GND", "localhost:8001", Collect(), {1000, 100});
    for (int number = 0; number < 20; ++number) {
      feed.Add(Frame(number), start.addSecs(number));
    }
    QThread::msleep(500);  // the feed's transaction is waiting for the lock
    feed.Stop();
    EXPECT_FALSE(feed.WaitEnded(std::chrono::milliseconds(300)));
    QElapsedTimer took;
    took.start();
    EXPECT_TRUE(feed.Abandon(std::chrono::milliseconds(1500)));
    EXPECT_LT(took.elapsed(), 2000);
    const LiveArchiveFeed::Progress last = feed.Now();
    EXPECT_EQ(last.waiting, 20u);
    EXPECT_EQ(last.written, 0);
  }
  holder.Rollback();
  EXPECT_EQ(ReadStored(location).receptions, 0);
  EXPECT_EQ(Count(location, "SELECT count(*) FROM frame"), 0);
  // The lock is free for the next writer.
  ASSERT_TRUE(holder.BeginWrite()) << holder.Error().toStdString();
  holder.Rollback();
}

INSTANTIATE_TEST_SUITE_P(Engines, LiveFeed,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

// The archive over TCP through the proxy, as a station's network reaches it.
ArchiveLocation OverTcp(ArchiveLocation location, quint16 port, const QString& options) {
  location.host = "127.0.0.1";
  location.port = port;
  location.options = options;
  return location;
}

// A COMMIT that reached the server, whose answer the connection lost: the batch landed, and
// sending it again after the reconnection must store nothing twice, whether it was the
// session's first (which added its source row) or a later one.
TEST(LiveFeedPostgresql, CommitWithLostAnswerIsNotStoredTwice) {
  for (const int lost : {1, 2}) {
    SCOPED_TRACE("COMMIT answer lost: " + std::to_string(lost));
    const ArchiveLocation direct = testing::FreshArchive(ArchiveEngine::kPostgresql);
    ASSERT_FALSE(direct.display.isEmpty());
    ASSERT_TRUE(Archive().Open(direct));
    testing::PostgresProxy proxy(direct.host);
    ASSERT_NE(proxy.Port(), 0);
    proxy.LoseCommitAnswer(lost);
    const QDateTime start = QDateTime::currentDateTimeUtc();
    {
      LiveArchiveFeed feed(OverTcp(direct, proxy.Port(), {}), "XQ0GND", "localhost:8001", {},
                           {1000, 100});
      for (int number = 0; number < 30; ++number) {
        feed.Add(Frame(number), start.addSecs(number));
        if (number % 10 == 9) {
          ASSERT_TRUE(feed.WaitUntilWritten(30000)) << feed.Now().unreachable.toStdString();
        }
      }
    }
    EXPECT_EQ(proxy.CommitAnswersLost(), 1);
    const Stored stored = ReadStored(direct);
    EXPECT_EQ(stored.receptions, 30);
    EXPECT_EQ(stored.positions, 30);
    EXPECT_EQ(stored.sources, 1);
    EXPECT_EQ(stored.orphans, 0);
  }
}

// The TCP options of this process's socket connected to `port`; nullopt when there is none.
struct TcpOptions {
  int keepAlive = 0, idle = 0, interval = 0, count = 0;
  unsigned userTimeout = 0;
};
std::optional<TcpOptions> OptionsOfSocketTo(quint16 port) {
  for (const QString& name : QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::System)) {
    const int fd = name.toInt();
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        peer.sin_family != AF_INET || ntohs(peer.sin_port) != port) {
      continue;
    }
    TcpOptions options;
    socklen_t length = sizeof(int);
    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &options.keepAlive, &length);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &options.idle, &length);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &options.interval, &length);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &options.count, &length);
    length = sizeof options.userTimeout;
    ::getsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &options.userTimeout, &length);
    return options;
  }
  return std::nullopt;
}

// A server host that vanishes is found by keepalive probes and the user timeout on unanswered
// data, within about half a minute; a URL's own settings win.
TEST(LiveFeedPostgresql, ConnectionProbesAServerThatMayVanish) {
  const ArchiveLocation direct = testing::FreshArchive(ArchiveEngine::kPostgresql);
  ASSERT_FALSE(direct.display.isEmpty());
  testing::PostgresProxy proxy(direct.host);
  ASSERT_NE(proxy.Port(), 0);
  struct Case {
    const char* options;
    int idle, interval, count;
    unsigned userTimeout;
  };
  const Case cases[] = {
      {"", 10, 5, 3, 25000},
      {"keepalives_idle=60;tcp_user_timeout=90000", 60, 5, 3, 90000},
      {"keepalives_interval=2;keepalives_count=9", 10, 2, 9, 25000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    Archive archive;
    ASSERT_TRUE(archive.Open(OverTcp(direct, proxy.Port(), c.options)))
        << archive.Error().toStdString();
    const auto options = OptionsOfSocketTo(proxy.Port());
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->keepAlive, 1);
    EXPECT_EQ(options->idle, c.idle);
    EXPECT_EQ(options->interval, c.interval);
    EXPECT_EQ(options->count, c.count);
    EXPECT_EQ(options->userTimeout, c.userTimeout);
  }
}

}  // namespace
}  // namespace quilmar
