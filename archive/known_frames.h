// The frames of a batch the archive held before it: their keys, so that receptions refer to
// them, and the earliest reception and clock estimate of all their sources kept in their rows
// (min over every source, so the result does not depend on which came first). Runs on the
// importer's writing thread through the engine's own handle: on SQLite a lookup per frame, at
// the key next to the frame before it or else in the identity index (time and digest);
// on PostgreSQL one COPY of the batch's identities into a temporary table and one statement
// joined against it.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "batch_insert.h"

struct sqlite3_stmt;

namespace quilmar {

class Archive;

class KnownFrames {
 public:
  struct Probe {
    const QByteArray* digest;
    std::int64_t identityTime;  // the frame's time in the identity index (see FrameIdentity)
    std::int64_t givenKey;  // the key the frame was offered under
    std::optional<std::int64_t> receivedMs;
    std::optional<std::int64_t> clockMs;  // an estimate: the frame has no clock of its own
  };

  explicit KnownFrames(Archive& archive);
  ~KnownFrames();
  KnownFrames(const KnownFrames&) = delete;
  KnownFrames& operator=(const KnownFrames&) = delete;

  // On the connection's own thread, before batches are written from another.
  bool Connect();

  // What the archive holds of a batch's frames.
  struct Found {
    std::vector<std::int64_t> keys;  // per probe: the archived frame's key, or the key offered
    std::vector<std::int64_t> times;  // the archived frames' times (Unix ms), those with one
    std::int64_t known = 0;           // probes the archive held under another key
    std::int64_t retimed = 0;  // archived frames whose earliest reception or estimate changed
  };

  // Looks the probes up; found.keys must be as long as probes, pre-filled with the keys
  // offered.
  bool Resolve(std::span<const Probe> probes, Found& found);

 private:
  // An archived frame: its key (0 for none) and its time.
  struct Archived {
    std::int64_t key = 0;
    std::optional<std::int64_t> timeMs;
  };

  bool ResolveSqlite(std::span<const Probe> probes, Found& found);
  // The frame at key, when its digest is the one given; false on a database error.
  bool AtKeySqlite(std::int64_t key, const QByteArray& digest, Archived& archived);
  // The frame of the probe's identity time and digest; false on a database error.
  bool ByIdentitySqlite(const Probe& probe, Archived& archived);
  bool ResolvePostgresql(std::span<const Probe> probes, Found& found);
  // The probes archived under keys near the batch's anchors, with nothing earlier to write;
  // the places of the others in rest.
  bool MatchNearPostgresql(std::span<const Probe> probes, Found& found,
                           std::vector<std::size_t>& rest);
  // The probes at the places given, through the identity index, their earlier receptions
  // and estimates written.
  bool ResolveRestPostgresql(std::span<const Probe> probes, std::span<const std::size_t> rest,
                             Found& found);

  Archive& archive;
  BatchInsert probeInsert;  // PostgreSQL: the batch's digests into known_probe
  bool probeTableReady = false;
  bool jitOff = false;  // PostgreSQL: set for the transaction
  pg_conn* postgresql = nullptr;
  sqlite3_stmt* lookup = nullptr;
  sqlite3_stmt* atKey = nullptr;
  sqlite3_stmt* update = nullptr;
};

}  // namespace quilmar
