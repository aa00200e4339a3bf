// Archiving a live session's frames; see live_archive_feed.h.
#include "live_archive_feed.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/socket.h>

#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <vector>

#include "archive.h"
#include "archive_time.h"
#include "frame_importer.h"

namespace quilmar {
namespace {

// Frames per transaction: large enough to keep up with any TNC, small enough that a pass's
// frames show up in the archive within moments.
constexpr std::size_t kFramesPerWrite = 512;
// A statement of a live write that runs this long hangs (a server whose disk stopped
// answering): it is given up, reported, and the frames are tried again. The wait for another
// importer's write lock comes before it and is not bounded by it.
constexpr int kStatementTimeoutMs = 60000;
// SQLite: how often a write that finds the archive locked by another program looks again.
constexpr int kLockPollMs = 10;

struct Arrival {
  FrameBuffer frame;
  QDateTime time;
  std::int64_t position;
};

// The engine's handle behind the Qt SQL connection: "sqlite3*" for QSQLITE, "pg_conn*"
// (PGconn's struct) for QPSQL.
template <typename Handle>
Handle* EngineHandle(Archive& archive, const char* typeName) {
  const QVariant handle = archive.Database().driver()->handle();
  if (!handle.isValid() || std::strcmp(handle.typeName(), typeName) != 0) {
    return nullptr;
  }
  return *static_cast<Handle* const*>(handle.constData());
}

// SQLite's wait for another program's write lock: as long as the archive's busy timeout,
// and given up at once when the feed is abandoned.
int WaitForLock(void* cancelled, int attempts) {
  if (static_cast<std::atomic<bool>*>(cancelled)->load() ||
      attempts * kLockPollMs >= Archive::kSqliteBusyMilliseconds) {
    return 0;
  }
  sqlite3_sleep(kLockPollMs);
  return 1;
}

}  // namespace

struct LiveArchiveFeed::Shared : std::enable_shared_from_this<Shared> {
  Shared(ArchiveLocation location, QString station, QString source, Report report,
         Settings settings)
      : location(std::move(location)),
        station(std::move(station)),
        source(std::move(source)),
        settings(settings),
        sessionKey(SessionKey()),
        report(std::move(report)) {}

  // The session's key in its source row's digest column, where a file's row keeps the digest
  // of its content: 32 random bytes never equal one.
  static QByteArray SessionKey() {
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(key.data()), key.size() / 4);
    return key;
  }

  void Say(const QString& line) {
    const std::lock_guard lock(reportMutex);
    if (report) {
      report(line);
    }
  }

  // Under mutex: the statement in progress fails at once, and so does every later one.
  void Cancel() {
    cancelled = true;
    if (sqlite != nullptr) {
      sqlite3_interrupt(sqlite);
    }
    if (postgresqlCancel != nullptr) {
      SendCancel(std::exchange(postgresqlCancel, nullptr));
    }
    if (postgresqlSocket >= 0) {
      // The feed's own read or write returns now, whether the server answers or not; the
      // server rolls back a transaction whose connection is gone.
      ::shutdown(postgresqlSocket, SHUT_RDWR);
    }
  }

  // A cancel request is a connection of its own to the server; a host that does not answer
  // holds its connect for minutes, so it is sent from a thread that Abandon waits for no
  // longer than for the feed's own.
  void SendCancel(PGcancel* request) {
    cancelSending = true;
    try {
      std::thread([self = shared_from_this(), request] {
        char error[256];
        PQcancel(request, error, sizeof error);
        PQfreeCancel(request);
        {
          const std::lock_guard lock(self->mutex);
          self->cancelSending = false;
        }
        self->changed.notify_all();
      }).detach();
    } catch (const std::system_error&) {
      PQfreeCancel(request);
      cancelSending = false;
    }
  }

  const ArchiveLocation location;
  const QString station;
  const QString source;
  const Settings settings;
  const QByteArray sessionKey;

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::deque<Arrival> waiting;  // a frame leaves once the transaction that wrote it committed
  std::int64_t nextPosition = 0;
  std::int64_t dropped = 0;
  std::int64_t framesWritten = 0;
  QString unreachable;
  bool stopping = false;
  bool abandoned = false;
  bool ended = false;          // the feed's thread returned
  bool cancelSending = false;  // a cancel request is on its way to the server
  // The open connection's engine handles, set and cleared by the feed's thread, for Cancel.
  int postgresqlSocket = -1;
  PGcancel* postgresqlCancel = nullptr;
  sqlite3* sqlite = nullptr;
  std::atomic<bool> cancelled{false};

  // Taken after mutex when both are; the report is dropped when the feed is abandoned.
  std::mutex reportMutex;
  Report report;
};

namespace {

// The feed's thread: its connection and the source row it writes under.
class FeedWriter {
 public:
  explicit FeedWriter(std::shared_ptr<LiveArchiveFeed::Shared> shared)
      : shared(std::move(shared)) {}
  void Run();

 private:
  bool EnsureOpen();
  void KeepCancellable();
  void CloseArchive();
  bool WriteSome();
  bool FindOrAddSource();
  void SetReachable(bool reachable, const QString& reason);

  const std::shared_ptr<LiveArchiveFeed::Shared> shared;
  Archive archive;  // the connection lives in this thread only
  std::int64_t sourceId = 0;
  bool sourceCommitted = false;  // a transaction with the source row committed
  bool reachable = true;
};

void FeedWriter::Run() {
  LiveArchiveFeed::Shared& s = *shared;
  for (;;) {
    bool last = false;
    {
      std::unique_lock lock(s.mutex);
      s.changed.wait(lock, [&] { return s.stopping || s.abandoned || !s.waiting.empty(); });
      if (s.abandoned || s.waiting.empty()) {
        break;
      }
      last = s.stopping;
    }
    if (EnsureOpen() && WriteSome()) {
      s.changed.notify_all();
      continue;
    }
    CloseArchive();
    std::unique_lock lock(s.mutex);
    if (last || s.abandoned) {
      break;
    }
    s.changed.wait_for(lock, std::chrono::milliseconds(s.settings.retryMilliseconds),
                       [&] { return s.stopping || s.abandoned; });
  }
  CloseArchive();
  {
    const std::lock_guard lock(s.mutex);
    s.ended = true;
  }
  s.changed.notify_all();
}

bool FeedWriter::EnsureOpen() {
  if (archive.IsOpen()) {
    return true;
  }
  if (!archive.Open(shared->location)) {
    SetReachable(false, archive.Error());
    return false;
  }
  if (sqlite3* sqlite = EngineHandle<sqlite3>(archive, "sqlite3*")) {
    sqlite3_busy_handler(sqlite, WaitForLock, &shared->cancelled);
  }
  KeepCancellable();
  return true;
}

// Hands the connection's handles to Abandon; one that came meanwhile cancels at once.
void FeedWriter::KeepCancellable() {
  const std::lock_guard lock(shared->mutex);
  if (PGconn* postgresql = EngineHandle<PGconn>(archive, "pg_conn*")) {
    shared->postgresqlSocket = PQsocket(postgresql);
    shared->postgresqlCancel = PQgetCancel(postgresql);
  }
  shared->sqlite = EngineHandle<sqlite3>(archive, "sqlite3*");
  if (shared->abandoned) {
    shared->Cancel();
  }
}

// The handles go before the connection, so that Abandon never reaches a closed one.
void FeedWriter::CloseArchive() {
  {
    const std::lock_guard lock(shared->mutex);
    shared->postgresqlSocket = -1;
    PQfreeCancel(std::exchange(shared->postgresqlCancel, nullptr));
    shared->sqlite = nullptr;
  }
  archive.Close();
}

// One transaction of the oldest waiting frames; they leave the queue once it is committed.
bool FeedWriter::WriteSome() {
  std::vector<Arrival> frames;
  {
    const std::lock_guard lock(shared->mutex);
    const std::size_t count = std::min(shared->waiting.size(), kFramesPerWrite);
    frames.assign(shared->waiting.begin(),
                  shared->waiting.begin() + static_cast<std::ptrdiff_t>(count));
  }
  if (!archive.BeginWrite()) {
    SetReachable(false, archive.Error());
    return false;
  }
  bool written =
      (!archive.IsPostgresql() ||
       archive.Execute(
           QStringLiteral("SET LOCAL statement_timeout = %1").arg(kStatementTimeoutMs))) &&
      FindOrAddSource();
  if (written) {
    // Gone before the transaction ends: it waits for the batch it is writing.
    FrameImporter importer(archive, sourceId);
    for (std::size_t i = 0; written && i < frames.size(); ++i) {
      written = importer.Add(frames[i].frame, frames[i].position, shared->station, frames[i].time);
    }
    written = written && importer.Finish();
  }
  if (!written || !archive.Commit()) {
    const QString reason = archive.Error();
    archive.Rollback();
    if (!sourceCommitted) {
      // The source row may have gone with the transaction, or may have been committed with an
      // answer that was lost: the next transaction looks it up by the session's key.
      sourceId = 0;
    }
    SetReachable(false, reason);
    return false;
  }
  sourceCommitted = true;
  {
    const std::lock_guard lock(shared->mutex);
    shared->waiting.erase(shared->waiting.begin(),
                          shared->waiting.begin() + static_cast<std::ptrdiff_t>(frames.size()));
    shared->framesWritten += static_cast<std::int64_t>(frames.size());
  }
  SetReachable(true, QString());
  return true;
}

// The session's source row: added by its first transaction, found by its key when that
// transaction committed without the feed hearing of it. Frames sent again under the same
// source and positions are then known receptions, not new ones.
bool FeedWriter::FindOrAddSource() {
  if (sourceId != 0) {
    return true;
  }
  QSqlQuery insert(archive.Database());
  insert.prepare(
      "INSERT INTO source (kind, name, digest, station, added_at) VALUES ('tnc', ?, ?, ?, ?) "
      "ON CONFLICT (digest) DO NOTHING RETURNING id");
  insert.addBindValue(shared->source);
  insert.addBindValue(shared->sessionKey);
  insert.addBindValue(shared->station);
  insert.addBindValue(UtcText(QDateTime::currentDateTimeUtc()));
  if (!insert.exec()) {
    return archive.Fail(insert);
  }
  if (insert.next()) {
    sourceId = insert.value(0).toLongLong();
    return true;
  }
  QSqlQuery known(archive.Database());
  known.prepare("SELECT id FROM source WHERE digest = ?");
  known.addBindValue(shared->sessionKey);
  if (!known.exec()) {
    return archive.Fail(known);
  }
  if (!known.next()) {
    return archive.Fail(QStringLiteral("the live session's source row is gone"));
  }
  sourceId = known.value(0).toLongLong();
  return true;
}

void FeedWriter::SetReachable(bool nowReachable, const QString& reason) {
  {
    const std::lock_guard lock(shared->mutex);
    shared->unreachable = nowReachable ? QString() : reason;
  }
  if (nowReachable == reachable) {
    return;
  }
  reachable = nowReachable;
  if (!reachable) {
    shared->Say(
        QStringLiteral("%1; frames wait in memory and are written when it is back").arg(reason));
  } else {
    shared->Say(QStringLiteral("archive %1 is back: writing the frames that waited")
                    .arg(shared->location.display));
  }
}

}  // namespace

LiveArchiveFeed::LiveArchiveFeed(ArchiveLocation location, QString station, QString source,
                                 Report report, Settings settings)
    : shared(std::make_shared<Shared>(std::move(location), std::move(station), std::move(source),
                                      std::move(report), settings)),
      worker([feed = shared] { FeedWriter(feed).Run(); }) {}

LiveArchiveFeed::~LiveArchiveFeed() { Finish(); }

void LiveArchiveFeed::Stop() {
  {
    const std::lock_guard lock(shared->mutex);
    shared->stopping = true;
  }
  shared->changed.notify_all();
}

bool LiveArchiveFeed::WaitEnded(std::chrono::milliseconds limit) {
  std::unique_lock lock(shared->mutex);
  return shared->changed.wait_for(lock, limit, [this] { return shared->ended; });
}

void LiveArchiveFeed::Finish() {
  if (!worker.joinable()) {
    return;
  }
  Stop();
  worker.join();
}

bool LiveArchiveFeed::Abandon(std::chrono::milliseconds grace) {
  if (!worker.joinable()) {
    return true;
  }
  {
    const std::lock_guard lock(shared->mutex);
    shared->stopping = true;
    shared->abandoned = true;
    shared->Cancel();
  }
  {
    const std::lock_guard lock(shared->reportMutex);
    shared->report = nullptr;
  }
  shared->changed.notify_all();
  bool ended = false;
  {
    std::unique_lock lock(shared->mutex);
    shared->changed.wait_for(lock, grace,
                             [this] { return shared->ended && !shared->cancelSending; });
    ended = shared->ended;
  }
  if (ended) {
    worker.join();
  } else {
    worker.detach();
  }
  return ended;
}

void LiveArchiveFeed::Add(const FrameBuffer& frame, const QDateTime& arrival) {
  {
    const std::lock_guard lock(shared->mutex);
    const std::int64_t position = shared->nextPosition++;
    if (shared->waiting.size() >= shared->settings.maxWaiting) {
      if (shared->dropped++ == 0) {
        shared->Say(QStringLiteral("archive %1: %2 frames waiting, later frames are not archived; "
                                   "add the recording afterwards")
                        .arg(shared->location.display)
                        .arg(shared->waiting.size()));
      }
      return;
    }
    shared->waiting.push_back({frame, arrival, position});
  }
  shared->changed.notify_all();
}

bool LiveArchiveFeed::WaitUntilWritten(int timeoutMilliseconds) {
  std::unique_lock lock(shared->mutex);
  return shared->changed.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                                  [this] { return shared->waiting.empty(); });
}

std::int64_t LiveArchiveFeed::Dropped() const {
  const std::lock_guard lock(shared->mutex);
  return shared->dropped;
}

LiveArchiveFeed::Progress LiveArchiveFeed::Now() const {
  const std::lock_guard lock(shared->mutex);
  return {shared->framesWritten, shared->waiting.size(), shared->dropped, shared->unreachable};
}

}  // namespace quilmar
