// A live session's frames added to the mission archive as they arrive, through the archive's
// live feed: a thread of its own writes them, so reception and the recording never wait for
// the database, and frames wait in memory while the archive is away. It also words the
// status-bar line that says how that goes. Ending a session never holds up the window: the
// feed writes what waits, and stops, in a thread of its own.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "archive/archive_location.h"
#include "archive/live_archive_feed.h"

namespace quilmar {

// The window's archive in store: the one chosen last (with the password given this session),
// else the default one.
QString ArchiveTextIn(const QSettings& store);

class LiveArchiving : public QObject {
  Q_OBJECT
 public:
  explicit LiveArchiving(QObject* parent = nullptr);
  // Ends the feed and waits for every feed still ending: each makes one more attempt at most.
  ~LiveArchiving() override;

  // Starts archiving a session's frames; a feed still running is finished first. source is
  // the TNC address the receptions name.
  void Start(const ArchiveLocation& location, const QString& station, const QString& source);
  bool IsOn() const { return feed != nullptr; }
  // Never waits for the database.
  void Add(const FrameBuffer& frame, const QDateTime& arrival);
  // Ends the feed without waiting for it; statusChanged follows when it has stopped.
  void Finish();
  // A session that does not archive: the feed ended and its line forgotten.
  void Forget();
  // "Archive: 240 frames added", "Archive unreachable, 12 frames waiting: <reason>"; empty
  // when the session does not archive.
  QString StatusText() const;

 signals:
  // The archive went away or came back, or an ended feed has stopped.
  void statusChanged();

 private:
  struct Relay;
  void Finished(int closed, const LiveArchiveFeed::Progress& outcome);

  // Posts the feeds' news to this object while it lives.
  std::shared_ptr<Relay> relay;
  std::unique_ptr<LiveArchiveFeed> feed;
  int session = 0;  // the feed's number; an ended feed's news is for the status of its own
  bool shown = false;
  std::map<int, std::thread> closers;
  LiveArchiveFeed::Progress atFinish;  // the feed as it was told to end
  // What the ended feed left: written, and not written because the archive was away.
  std::optional<LiveArchiveFeed::Progress> outcome;
};

}  // namespace quilmar
