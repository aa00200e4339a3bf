// Writes one source's frames into the archive: each frame keyed by the SHA-256 digest of its
// AX.25 bytes (frame_identity.h), decoded once, and sent in batches (frames new to the
// archive are inserted under keys the importer gives them, known ones keep theirs and only
// take an earlier reception or clock estimate), with one reception row each referring to
// its frame by key. A frame without a clock of its own waits in memory until the next frame
// with the spacecraft clock, so that it can take the nearest reading as its estimate. Once
// every frame is written, Finish re-times the passes the source touched (pass_retiming.h),
// so a frame's time never depends on which source brought it first.
//
// A full batch is written by a thread of its own while the caller reads and decodes the
// next one, so decoding and the database's work overlap; at most one batch is being written.
// That thread uses only the engine's own handle (BatchInsert, KnownFrames), never Qt SQL, and
// the caller touches the connection only while no batch is being written.
//
// The caller holds the archive's write transaction around the importer's whole life and
// ends it (commit after Finish, or rollback) only once the importer is gone: its destructor
// waits for the batch being written.
#pragma once

#include <QByteArray>
#include <QSet>
#include <QDateTime>
#include <QString>
#include <atomic>
#include <cstdint>
#include <future>
#include <optional>
#include <span>
#include <vector>

#include "archive_schema.h"
#include "batch_insert.h"
#include "core/section_decoders.h"
#include "known_frames.h"
#include "pass_retiming.h"
#include "trend_overview.h"

namespace quilmar {

class Archive;

// Who received a frame, and when: what a reception row keeps besides its source and place.
struct ReceptionFacts {
  QString station;
  std::optional<QDateTime> receivedAt;
  QString stationId;      // a SatNOGS station's number, empty elsewhere
  QString observationId;  // a SatNOGS observation's number, empty elsewhere
};

class FrameImporter {
 public:
  // sourceId: the source row the receptions belong to.
  FrameImporter(Archive& archive, std::int64_t sourceId);

  // position: where the frame stood in its source (byte offset, line, element, sequence).
  // False with the archive's Error() set when the database refused a statement.
  bool Add(const FrameBuffer& frame, std::int64_t position, const ReceptionFacts& reception);
  bool Add(const FrameBuffer& frame, std::int64_t position, const QString& station,
           const std::optional<QDateTime>& receivedAt) {
    return Add(frame, position, ReceptionFacts{station, receivedAt, {}, {}});
  }
  // Writes what is still waiting and re-times the passes touched; false on a database error.
  bool Finish();

  // Frames of this source new to the archive, and receptions of frames it already held.
  std::int64_t NewFrames() const { return newFrames; }
  std::int64_t KnownFrames() const { return added - newFrames; }

 private:
  struct Row {
    QByteArray digest;
    QByteArray bytes;
    std::int64_t key = 0;  // given to the frame if it is new; the archived frame's otherwise
    std::optional<std::int64_t> clockMs;
    bool clockEstimated = false;  // no clock of its own: clockMs is the nearest reading
    std::optional<std::int64_t> receivedMs;
    std::int64_t position = 0;
    std::int64_t sequence = 0;  // the frame's place among this source's frames
    ReceptionFacts reception;
    FrameRecord record;    // the clock and the EPS/TCS values alone until decoded
    bool decoded = false;  // the record holds every value

    // The frame's time as the identity index keys it (see FrameIdentity).
    std::int64_t IdentityTime() const {
      if (!clockEstimated && clockMs) {
        return *clockMs;
      }
      return record.HasSection(Section::kEpsTcs)
                 ? static_cast<std::int64_t>(record.values[kBeaconTimerRow]) + kBeaconTimerBase
                 : kNoIdentityTime;
    }
  };
  struct ClockReading {
    std::int64_t sequence = 0;
    std::int64_t clockMs = 0;
  };

  // What the writing thread did with one batch.
  struct Written {
    bool ok = true;
    std::int64_t rows = 0;
    std::int64_t distinct = 0;  // distinct frames, counted per chunk of batchRows
    std::int64_t offered = 0;   // of which offered to the frame table
    std::int64_t inserted = 0;  // of which new to the archive
    std::int64_t retimed = 0;   // archived frames given an earlier reception or estimate
    std::vector<std::int64_t> knownTimes;  // the archived frames' times, where they have one
  };

  void Queue(Row&& row);
  void ResolveWaiting(const std::optional<ClockReading>& next);
  bool HandOver();
  bool AwaitWriter();
  bool ReadKeyBase();
  Written WriteBatch(std::vector<Row>& rows);
  bool InsertFrames(std::span<Row> chunk, Written& written);
  bool LookUp(std::span<Row> chunk, const std::vector<std::size_t>& distinct,
              KnownFrames::Found& found);
  bool Finished();
  bool Notify();
  bool UpdateTrendHours(const Written& written);
  void AddFrame(Row& row);
  bool InsertReceptions(std::span<const Row> chunk);

  Archive& archive;
  std::int64_t sourceId;
  std::size_t batchRows;
  std::vector<Row> batch;
  std::vector<std::pair<std::int64_t, Row>> waiting;  // sequence, frame without a clock
  std::optional<ClockReading> lastClock;
  std::int64_t sequence = 0;
  // The next key a new frame gets; read once the write lock is held, on the first write.
  std::optional<std::int64_t> nextKey;
  std::int64_t added = 0;
  std::int64_t newFrames = 0;
  std::int64_t retimedFrames = 0;  // archived frames whose reception or estimate moved earlier
  // Set on the writing thread: the last chunk met archived frames; read by the reading one.
  std::atomic<bool> lookUpFirst = true;
  QSet<QString> stations;          // the stations of this source's receptions
  TouchedTimes knownTimes;         // where the frames this source shares with the archive lie
  BatchInsert frameInsert;
  BatchInsert receptionInsert;
  class KnownFrames knownFrames;
  TouchedTimes touched;         // the clock and reception times this source brought
  TrendHourAccumulator hours;   // the frames the writing thread offers, by hour
  std::future<Written> writer;  // the batch being written; last, so it is waited for first
};

}  // namespace quilmar
