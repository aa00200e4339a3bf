// The WebSocket /api/live: tells every page connected that frames were archived, as
// {"type": "frame", "key": K, "time": T} naming the newest of the frames archived since the
// last message (T null for a frame without any time). The archive is looked at once a second (its
// newest key, an index lookup) and, on PostgreSQL, a quarter of a second after a NOTIFY on
// quilmar_frames; so a new frame shows within two seconds and a page gets at most four
// messages a second however fast frames arrive.
#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <QWebSocket>
#include <cstdint>
#include <memory>

#include "archive/archive.h"

namespace quilmar {

class ArchiveReader;


class LivePush : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPollMilliseconds = 1000;
  static constexpr int kNotifyDelayMilliseconds = 250;
  static constexpr int kPingMilliseconds = 30000;
  // Pages kept at once; one more is closed with 1013 (try again later).
  static constexpr int kMostClients = 256;

  explicit LivePush(ArchiveReader& reader, QObject* parent = nullptr);

  // Reads the newest key to start from, subscribes to NOTIFY on PostgreSQL, starts the timers.
  void Start();
  void Add(std::unique_ptr<QWebSocket> socket);
  int Clients() const { return static_cast<int>(clients.size()); }

 private:
  void Check();
  void Ping();

  ArchiveReader& reader;
  QList<QWebSocket*> clients;
  std::int64_t lastKey = -1;  // -1 until the archive was read once
  QTimer poll;
  QTimer soon;
  QTimer ping;
};

}  // namespace quilmar
