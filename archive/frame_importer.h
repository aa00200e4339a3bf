// Writes one source's frames into the archive: each frame decoded once, keyed by the
// SHA-256 digest of its bytes, and sent in batches of frames (frames new to the archive are
// inserted, known ones left as they are; see BatchInsert) together with one reception row
// each. Frames without a time of their own wait in memory until the next
// frame with the spacecraft clock, so that they can take the nearest clock reading.
//
// A full batch is written by a thread of its own while the caller reads and decodes the
// next one, so decoding and the database's work overlap; at most one batch is being written.
// That thread uses only the engine's own handle (BatchInsert), never Qt SQL, and the caller
// touches the connection only while no batch is being written.
//
// The caller holds the archive's write transaction around the importer's whole life and
// ends it (commit after Finish, or rollback) only once the importer is gone: its destructor
// waits for the batch being written.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <array>
#include <cstdint>
#include <future>
#include <optional>
#include <span>
#include <vector>

#include "batch_insert.h"
#include "core/section_decoders.h"
#include "trend_overview.h"

namespace quilmar {

class Archive;

// A frame's bytes as the archive keeps them: the frame layout's 151 positions, longer when
// non-zero bytes follow (positions the frame did not reach read 0, as the decoders see them).
QByteArray StoredFrameBytes(const FrameBuffer& frame);

class FrameImporter {
 public:
  // sourceId: the source row the receptions belong to.
  FrameImporter(Archive& archive, std::int64_t sourceId);

  // position: where the frame stood in its source (byte offset, line, element, sequence).
  // False with the archive's Error() set when the database refused a statement.
  bool Add(const FrameBuffer& frame, std::int64_t position, const QString& station,
           const std::optional<QDateTime>& receivedAt);
  // Writes what is still waiting; false on a database error.
  bool Finish();

  // Frames of this source new to the archive, and receptions of frames it already held.
  std::int64_t NewFrames() const { return newFrames; }
  std::int64_t KnownFrames() const { return added - newFrames; }

 private:
  struct Row {
    QByteArray digest;
    QByteArray bytes;
    QString time;
    const char* timeKind = nullptr;
    std::int64_t position = 0;
    std::int64_t sequence = 0;  // the frame's place among this source's frames
    QString station;
    QString receivedAt;
    FrameRecord record;
  };
  struct ClockReading {
    std::int64_t sequence = 0;
    QString time;
  };

  // What the writing thread did with one batch.
  struct Written {
    bool ok = true;
    std::int64_t rows = 0;
    std::int64_t distinct = 0;  // distinct frames, counted per chunk of batchRows
    std::int64_t inserted = 0;  // of which new to the archive
  };

  void Queue(Row&& row);
  void ResolveWaiting(const std::optional<ClockReading>& next);
  bool HandOver();
  bool AwaitWriter();
  bool ReadOrderBase();
  bool WriteOrderEnd();
  Written WriteBatch(const std::vector<Row>& rows);
  bool InsertFrames(std::span<const Row> chunk, Written& written);
  bool UpdateTrendHours(const Written& written);
  void AddFrame(const Row& row);
  bool InsertReceptions(std::span<const Row> chunk);

  Archive& archive;
  std::int64_t sourceId;
  std::size_t batchRows;
  std::vector<Row> batch;
  std::vector<std::pair<std::int64_t, Row>> waiting;  // sequence, frame without time
  std::optional<ClockReading> lastClock;
  std::int64_t sequence = 0;
  // Where this source's frames start in the archive-wide order that breaks ties between
  // frames of the same time (kept in archive_meta as next_order); read on the first write.
  std::optional<std::int64_t> orderBase;
  std::int64_t added = 0;
  std::int64_t newFrames = 0;
  BatchInsert frameInsert;
  BatchInsert receptionInsert;
  TrendHourAccumulator hours;   // the housekeeping frames of the batch being written, by hour
  std::future<Written> writer;  // the batch being written; last, so it is waited for first
};

}  // namespace quilmar
