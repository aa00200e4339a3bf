// Archives the frames of a live session as they arrive, in a thread of its own so that
// reception and recording never wait for the database. Frames wait in a bounded queue while
// the archive is unreachable (server down, disk full, locked); the feed retries and writes
// them when it is back, and reports each change in one line. The recording stays the source
// of truth: frames beyond the bound are counted and reported, and the recording can be added
// later with the archive command.
//
// A session's frames are written under one source row, found again by a key of the session's
// own: a transaction whose COMMIT reached the server but whose answer was lost with the
// connection is recognised when the frames are sent again, and nothing is stored twice.
//
// The end comes in two steps for a program that must not wait for the database: Stop() asks
// for what waits to be written, and Abandon() gives up on a database that does not answer;
// the transaction in progress is then cancelled, never committed in part.
#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "archive_location.h"
#include "core/section_decoders.h"

namespace quilmar {

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
  // Finish, unless the feed was abandoned.
  ~LiveArchiveFeed();
  LiveArchiveFeed(const LiveArchiveFeed&) = delete;
  LiveArchiveFeed& operator=(const LiveArchiveFeed&) = delete;

  // Never blocks on the database.
  void Add(const FrameBuffer& frame, const QDateTime& arrival);
  // Asks the feed to write what is waiting (once more at once if the archive is away) and
  // then to end; returns at once. Frames added later are not archived.
  void Stop();
  // Waits up to `limit` for the feed to end after Stop(); true when it has.
  bool WaitEnded(std::chrono::milliseconds limit);
  // Stop() and waits for the database as long as it takes.
  void Finish();
  // Ends the feed without waiting for the database: the statement in progress is cancelled
  // (PostgreSQL: the connection is cut and the server asked to cancel; SQLite: interrupted,
  // and a wait for another program's lock given up), so its transaction is not committed.
  // No attempt and no report follow. Waits up to `grace` for the feed's thread; false when it
  // is still inside the database (a connect to a host that does not answer) and was left to
  // end on its own. Now() stays readable.
  bool Abandon(std::chrono::milliseconds grace);
  // Waits until every frame added so far is written; false on timeout.
  bool WaitUntilWritten(int timeoutMilliseconds);
  std::int64_t Dropped() const;

  // Where the feed stands, for a status line; safe from any thread.
  struct Progress {
    std::int64_t written = 0;  // frames committed to the archive
    std::size_t waiting = 0;   // frames not written yet, including those being written
    std::int64_t dropped = 0;  // frames beyond the bound, not archived
    QString unreachable;       // why the archive is away; empty while it is reachable
  };
  Progress Now() const;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared;  // also held by the feed's thread, which may outlive this
  std::thread worker;
};

}  // namespace quilmar
