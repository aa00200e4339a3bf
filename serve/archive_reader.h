// The archive as the web server reads it: opened for reading only (a SQLite file through a
// read-only connection after its schema was found up to date, a PostgreSQL session whose
// transactions are read-only), and the reads the API needs beyond archive/'s own: the newest
// housekeeping frame that carried a section, and one frame by its key, decoded again from its
// stored bytes.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "archive/archive.h"
#include "core/frame_table.h"

namespace quilmar {

struct StoredFrame {
  std::int64_t key = 0;
  std::optional<std::int64_t> timeMs;  // none for a frame without any time
  QString timeKind;
  std::int32_t frameNumber = 0;
  QString frameType;
  QByteArray bytes;  // the AX.25 frame as archived
  FrameRecord record;
};

class ArchiveReader {
 public:
  // Opens the archive without ever writing it: a SQLite archive whose schema is not this
  // program's (older or newer) is refused rather than upgraded. False with the reason in error.
  bool Open(const ArchiveLocation& location, QString& error);
  Archive& Store() { return archive; }
  // After a read failed: opens the archive again (a PostgreSQL server that restarted, a
  // connection the network dropped), at most once a second; the next request reads anew.
  void ReopenAfterFailure();

  // The housekeeping frame of the latest time that carried the section; nullopt with
  // failed set when the archive failed, without it when no frame carried the section.
  std::optional<StoredFrame> NewestWithSection(Section section, bool& failed);
  // The frame with the key; nullopt as above when there is none.
  std::optional<StoredFrame> FrameByKey(std::int64_t key, bool& failed);
  // The housekeeping frame whose time is nearest to timeMs (the earlier one on a tie): the
  // frame behind a point of a chart. As above when there is none.
  std::optional<StoredFrame> HousekeepingFrameNear(std::int64_t timeMs, bool& failed);
  // What changes whenever frames are added or re-timed: the newest frame key and the newest
  // source id (0 for none); nullopt when the archive failed.
  std::optional<std::pair<qint64, qint64>> ChangeMark();
  // The stations that received the frame, sorted, each once; nullopt when the archive failed.
  std::optional<QStringList> StationsOf(std::int64_t key);

 private:
  bool ReopenReadOnly();
  // The first row of a frame query with one bound value.
  std::optional<StoredFrame> FirstFrame(const QString& sql, const QVariant& value, bool& failed);

  Archive archive;
  ArchiveLocation location;
  QElapsedTimer sinceReopen;
};

}  // namespace quilmar
