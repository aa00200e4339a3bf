// Archives the frames of a live session as they arrive, in a thread of its own so that
// reception and recording never wait for the database. Frames wait in a bounded queue while
// the archive is unreachable (server down, disk full, locked); the feed retries and writes
// them when it is back, and reports each change in one line. The recording stays the source
// of truth: frames beyond the bound are counted and reported, and the recording can be added
// later with the archive command.
#pragma once

#include <QDateTime>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "archive_location.h"
#include "core/section_decoders.h"

namespace quilmar {

class Archive;

class LiveArchiveFeed {
 public:
  struct Settings {
    std::size_t maxWaiting = 200000;  // frames held while the archive is away (~110 MB)
    int retryMilliseconds = 5000;
  };
  // report: one line at a time (no line end), from the feed's thread.
  using Report = std::function<void(const QString& line)>;

  // source: the TNC address, stored as the receptions' source.
  LiveArchiveFeed(ArchiveLocation location, QString station, QString source, Report report,
                  Settings settings);
  LiveArchiveFeed(ArchiveLocation location, QString station, QString source, Report report)
      : LiveArchiveFeed(std::move(location), std::move(station), std::move(source),
                        std::move(report), Settings()) {}
  // Finish, if it was not called.
  ~LiveArchiveFeed();
  LiveArchiveFeed(const LiveArchiveFeed&) = delete;
  LiveArchiveFeed& operator=(const LiveArchiveFeed&) = delete;

  // Never blocks on the database.
  void Add(const FrameBuffer& frame, const QDateTime& arrival);
  // Writes what is waiting if the archive is there, at most `settings.retryMilliseconds`
  // once more, then stops; frames added later are not archived. Waits for the database.
  void Finish();
  // Waits until every frame added so far is written; false on timeout.
  bool WaitUntilWritten(int timeoutMilliseconds);
  std::int64_t Dropped() const;

  // Where the feed stands, for a status line; safe from any thread.
  struct Progress {
    std::int64_t written = 0;  // frames committed to the archive
    std::size_t waiting = 0;   // frames not written yet
    std::int64_t dropped = 0;  // frames beyond the bound, not archived
    QString unreachable;       // why the archive is away; empty while it is reachable
  };
  Progress Now() const;

 private:
  struct Arrival {
    FrameBuffer frame;
    QDateTime time;
    std::int64_t position;
  };

  void Run();
  bool WriteSome(Archive& archive);
  bool EnsureOpen(Archive& archive);
  void SetReachable(bool reachable, const QString& reason);

  const ArchiveLocation location;
  const QString station;
  const QString source;
  const Report report;
  const Settings settings;

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::deque<Arrival> waiting;
  std::int64_t nextPosition = 0;
  std::int64_t dropped = 0;
  std::int64_t framesWritten = 0;
  QString unreachable;
  bool stopping = false;

  // The feed thread's own state.
  std::int64_t sourceId = 0;
  bool reachable = true;
  std::int64_t writtenSinceBack = 0;
  std::thread worker;
};

}  // namespace quilmar
