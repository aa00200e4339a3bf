// The frames of a batch the archive held before; see known_frames.h.
#include "known_frames.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QString>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>

#include "archive.h"
#include "archive_schema.h"
#include "binary_rows.h"
#include "frame_identity.h"

namespace quilmar {
namespace {

using Type = BatchInsert::Type;

// A frame's earliest reception and, for a frame without a clock of its own, its earliest
// clock estimate: a value offered only replaces a later one or none.
// The frame of a digest, through the identity index.
const std::string kSqliteLookup = "SELECT id, time_ms FROM frame WHERE (" + FrameIdentity() +
                                  ") = (?2, substr(?1, 1, 8)) AND digest = ?1";
constexpr char kSqliteAtKey[] = "SELECT digest, time_ms FROM frame WHERE id = ?";
constexpr char kSqliteUpdate[] =
    "UPDATE frame SET received_ms = CASE WHEN ?2 IS NOT NULL AND (received_ms IS NULL OR"
    " ?2 < received_ms) THEN ?2 ELSE received_ms END, clock_ms = CASE WHEN clock_estimated = 1"
    " AND ?3 IS NOT NULL AND (clock_ms IS NULL OR ?3 < clock_ms) THEN ?3 ELSE clock_ms END"
    " WHERE id = ?1 AND ((?2 IS NOT NULL AND (received_ms IS NULL OR ?2 < received_ms)) OR"
    " (clock_estimated = 1 AND ?3 IS NOT NULL AND (clock_ms IS NULL OR ?3 < clock_ms)))";

constexpr char kPostgresqlProbeTable[] =
    "CREATE TEMPORARY TABLE IF NOT EXISTS known_probe (digest bytea, identity_time bigint,"
    " given_key bigint, received_ms bigint, clock_ms bigint) ON COMMIT DROP";

// The archived key of the frame of identity time $c and digest $d, through the identity index.
std::string AnchorKey(int c, int d) {
  const std::string clock = "$" + std::to_string(c) + "::bigint";
  const std::string digest = "$" + std::to_string(d) + "::bytea";
  return "(SELECT id FROM frame WHERE (" + FrameIdentity() + ") = (" + clock + ", substr(" +
         digest + ", 1, 8)) AND digest = " + digest + " LIMIT 1)";
}
// The frames around three anchors of a batch (identity time and digest $1 to $6): those of the
// range of the anchors' archived keys, $7 more on either side, when it is at most $8 long.
const std::string kPostgresqlNear =
    "WITH anchor AS (SELECT min(id) AS low, max(id) AS high FROM (" + AnchorKey(1, 2) +
    " UNION ALL " + AnchorKey(3, 4) + " UNION ALL " + AnchorKey(5, 6) +
    ") AS a) SELECT f.id, f.digest, f.time_ms, f.received_ms, f.clock_ms, f.clock_estimated"
    " FROM anchor a JOIN frame f ON f.id BETWEEN a.low - $7::bigint AND a.high + $7::bigint"
    " WHERE a.high - a.low <= $8::bigint";

// One statement for the probes not found near the anchors: each looked up in the identity
// index (as a look-up per probe: without statistics of the index's expressions the planner
// might hash the whole frame table instead), the earliest reception and estimate of each
// written where they are earlier than the archived ones (a frame needing none is not joined
// again), and the frames with the count of those retimed.
const std::string kPostgresqlResolve =
    "WITH matched AS MATERIALIZED ("
    " SELECT p.given_key, f.id, f.time_ms, p.received_ms, p.clock_ms,"
    " f.received_ms AS archived_received_ms, f.clock_ms AS archived_clock_ms, f.clock_estimated"
    " FROM known_probe p CROSS JOIN LATERAL (SELECT id, time_ms, received_ms, clock_ms,"
    " clock_estimated FROM frame WHERE (" + FrameIdentity() +
    ") = (p.identity_time, substr(p.digest, 1, 8)) AND digest = p.digest LIMIT 1) f),"
    " earliest AS ("
    " SELECT id, min(received_ms) AS received_ms, min(clock_ms) AS clock_ms FROM matched"
    " GROUP BY id, archived_received_ms, archived_clock_ms, clock_estimated"
    " HAVING (min(received_ms) IS NOT NULL AND (archived_received_ms IS NULL OR"
    " min(received_ms) < archived_received_ms)) OR (clock_estimated = 1 AND min(clock_ms) IS NOT"
    " NULL AND (archived_clock_ms IS NULL OR min(clock_ms) < archived_clock_ms))),"
    " retimed AS ("
    " UPDATE frame f SET received_ms = CASE WHEN e.received_ms IS NOT NULL AND (f.received_ms IS"
    " NULL OR e.received_ms < f.received_ms) THEN e.received_ms ELSE f.received_ms END,"
    " clock_ms = CASE WHEN f.clock_estimated = 1 AND e.clock_ms IS NOT NULL AND (f.clock_ms IS"
    " NULL OR e.clock_ms < f.clock_ms) THEN e.clock_ms ELSE f.clock_ms END"
    " FROM earliest e WHERE f.id = e.id RETURNING f.id)"
    " SELECT given_key, id, time_ms, (SELECT count(*) FROM retimed) FROM matched";

// The probes first, midmost and last in the order the frames came (the keys offered, given
// one after another to the frames of a batch).
std::array<std::size_t, 3> Anchors(std::span<const KnownFrames::Probe> probes) {
  const auto byKey = [](const KnownFrames::Probe& a, const KnownFrames::Probe& b) {
    return a.givenKey < b.givenKey;
  };
  const auto [first, last] = std::minmax_element(probes.begin(), probes.end(), byKey);
  const std::int64_t middle = first->givenKey + (last->givenKey - first->givenKey) / 2;
  const auto midmost = std::min_element(probes.begin(), probes.end(), [&](const auto& a, const auto& b) {
    return std::abs(a.givenKey - middle) < std::abs(b.givenKey - middle);
  });
  return {static_cast<std::size_t>(first - probes.begin()),
          static_cast<std::size_t>(midmost - probes.begin()),
          static_cast<std::size_t>(last - probes.begin())};
}

// Whether the probe brings an earlier reception or clock estimate than the archived frame's.
bool EarlierThanArchived(const KnownFrames::Probe& probe, std::optional<std::int64_t> receivedMs,
                         std::optional<std::int64_t> clockMs, bool clockEstimated) {
  return (probe.receivedMs && (!receivedMs || *probe.receivedMs < *receivedMs)) ||
         (clockEstimated && probe.clockMs && (!clockMs || *probe.clockMs < *clockMs));
}

void BindOptional(sqlite3_stmt* statement, int place, const std::optional<std::int64_t>& value) {
  if (value) {
    sqlite3_bind_int64(statement, place, *value);
  } else {
    sqlite3_bind_null(statement, place);
  }
}

}  // namespace

KnownFrames::KnownFrames(Archive& archive)
    : archive(archive),
      probeInsert(archive, "known_probe",
                  {{"digest", Type::kBytes},
                   {"identity_time", Type::kBigint},
                   {"given_key", Type::kBigint},
                   {"received_ms", Type::kBigint},
                   {"clock_ms", Type::kBigint}},
                  QString()) {
  probeInsert.CopyStraightWhileNew();
}

KnownFrames::~KnownFrames() {
  sqlite3_finalize(lookup);
  sqlite3_finalize(atKey);
  sqlite3_finalize(update);
}

bool KnownFrames::Connect() {
  if (archive.IsPostgresql()) {
    postgresql = PostgresqlHandle(archive);
    return probeInsert.Connect();
  }
  if (lookup) {
    return true;
  }
  sqlite3* sqlite = SqliteHandle(archive);
  if (!sqlite) {
    return archive.Fail(QStringLiteral("the database driver gives no engine handle"));
  }
  if (sqlite3_prepare_v3(sqlite, kSqliteLookup.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &lookup, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v3(sqlite, kSqliteAtKey, -1, SQLITE_PREPARE_PERSISTENT, &atKey, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v3(sqlite, kSqliteUpdate, -1, SQLITE_PREPARE_PERSISTENT, &update, nullptr) !=
          SQLITE_OK) {
    return archive.Fail(QString::fromUtf8(sqlite3_errmsg(sqlite)));
  }
  return true;
}

bool KnownFrames::Resolve(std::span<const Probe> probes, Found& found) {
  return archive.IsPostgresql() ? ResolvePostgresql(probes, found) : ResolveSqlite(probes, found);
}

// A second station's log of a pass mostly holds the archived frames in their archived order.
// So, in the order the frames came (the keys offered), each is first looked for next to the
// frame before it (the key after that frame's, or before it in a log kept newest first),
// checked by its digest: a look-up by key, where the identity index costs a search among
// clocks and digests. The index is searched when the guess fails.
bool KnownFrames::ResolveSqlite(std::span<const Probe> probes, Found& found) {
  sqlite3* sqlite = sqlite3_db_handle(lookup);
  std::vector<std::size_t> arrival(probes.size());
  std::iota(arrival.begin(), arrival.end(), std::size_t{0});
  std::sort(arrival.begin(), arrival.end(), [&](std::size_t a, std::size_t b) {
    return probes[a].givenKey < probes[b].givenKey;
  });
  std::optional<std::int64_t> previous;  // the archived key of the frame before
  std::int64_t direction = 1;
  for (const std::size_t i : arrival) {
    const Probe& probe = probes[i];
    Archived archived;
    if ((previous && !AtKeySqlite(*previous + direction, *probe.digest, archived)) ||
        (archived.key == 0 && !ByIdentitySqlite(probe, archived))) {
      return archive.Fail(archive.WithSystemReason(QString::fromUtf8(sqlite3_errmsg(sqlite))));
    }
    if (archived.key != 0 && previous && std::abs(archived.key - *previous) == 1) {
      direction = archived.key - *previous;
    }
    previous = archived.key != 0 ? std::optional(archived.key) : std::nullopt;
    if (archived.timeMs) {
      found.times.push_back(*archived.timeMs);
    }
    const std::int64_t key = archived.key;
    if (key == 0 || key == probe.givenKey) {
      continue;
    }
    found.keys[i] = key;
    ++found.known;
    if (!probe.receivedMs && !probe.clockMs) {
      continue;
    }
    sqlite3_bind_int64(update, 1, key);
    BindOptional(update, 2, probe.receivedMs);
    BindOptional(update, 3, probe.clockMs);
    const int updated = sqlite3_step(update);
    found.retimed += sqlite3_changes(sqlite);
    sqlite3_reset(update);
    if (updated != SQLITE_DONE) {
      return archive.Fail(archive.WithSystemReason(QString::fromUtf8(sqlite3_errmsg(sqlite))));
    }
  }
  return true;
}

bool KnownFrames::AtKeySqlite(std::int64_t key, const QByteArray& digest, Archived& archived) {
  sqlite3_bind_int64(atKey, 1, key);
  const int step = sqlite3_step(atKey);
  if (step == SQLITE_ROW &&
      QByteArrayView(static_cast<const char*>(sqlite3_column_blob(atKey, 0)),
                     sqlite3_column_bytes(atKey, 0)) == digest) {
    archived.key = key;
    if (sqlite3_column_type(atKey, 1) != SQLITE_NULL) {
      archived.timeMs = sqlite3_column_int64(atKey, 1);
    }
  }
  sqlite3_reset(atKey);
  return step == SQLITE_ROW || step == SQLITE_DONE;
}

bool KnownFrames::ByIdentitySqlite(const Probe& probe, Archived& archived) {
  sqlite3_bind_blob(lookup, 1, probe.digest->constData(), static_cast<int>(probe.digest->size()),
                    SQLITE_STATIC);
  sqlite3_bind_int64(lookup, 2, probe.identityTime);
  const int step = sqlite3_step(lookup);
  if (step == SQLITE_ROW) {
    archived.key = sqlite3_column_int64(lookup, 0);
    if (sqlite3_column_type(lookup, 1) != SQLITE_NULL) {
      archived.timeMs = sqlite3_column_int64(lookup, 1);
    }
  }
  sqlite3_reset(lookup);
  return step == SQLITE_ROW || step == SQLITE_DONE;
}

// A second station's log of a pass holds its frames in about the order the archive keys them,
// so a batch's archived frames lie in a range of keys: the frames of that range, found from
// three anchors, are read in one sweep of the table and matched by digest here, about ten
// times faster than looking each up in the index. What is not found there, or brings an
// earlier reception or estimate to write, goes to the one statement that looks up and writes.
bool KnownFrames::ResolvePostgresql(std::span<const Probe> probes, Found& found) {
  if (probes.empty()) {
    return true;
  }
  // The look-ups' estimated cost is high (the index's expressions have no statistics, and a
  // large archive's key range looks long), high enough for the server to compile a statement
  // to machine code each time: about ten times the work of the look-ups themselves. For this
  // transaction they run as they are.
  if (!jitOff) {
    if (!probeInsert.RunPostgresql("SET LOCAL jit = off", PGRES_COMMAND_OK)) {
      return false;
    }
    jitOff = true;
  }
  std::vector<std::size_t> rest;
  return MatchNearPostgresql(probes, found, rest) && ResolveRestPostgresql(probes, rest, found);
}

bool KnownFrames::MatchNearPostgresql(std::span<const Probe> probes, Found& found,
                                      std::vector<std::size_t>& rest) {
  std::vector<BinaryRows::Parameter> anchors;
  for (const std::size_t i : Anchors(probes)) {
    anchors.push_back({QByteArray::number(static_cast<qint64>(probes[i].identityTime))});
    anchors.push_back({*probes[i].digest, true});
  }
  // A station that missed frames spreads a batch over more keys: a range of up to four times
  // the batch's frames is read, a sixteenth of them more on either side of the anchors.
  const auto count = static_cast<qint64>(probes.size());
  const BinaryRows near(postgresql, kPostgresqlNear.c_str(),
                        {anchors[0], anchors[1], anchors[2], anchors[3], anchors[4], anchors[5],
                         {QByteArray::number(count / 16 + 16)}, {QByteArray::number(count * 4)}});
  if (!near.Ok()) {
    return archive.Fail(near.Error());
  }
  std::unordered_map<QByteArrayView, std::size_t, DigestHash> probeOfDigest;
  for (std::size_t i = 0; i < probes.size(); ++i) {
    probeOfDigest.emplace(*probes[i].digest, i);
  }
  std::vector<bool> matched(probes.size(), false);
  const auto optional = [&](int row, int column) {
    return near.IsNull(row, column) ? std::nullopt : std::optional(near.Integer(row, column));
  };
  for (int row = 0; row < near.Count(); ++row) {
    const std::string_view digest = near.Bytes(row, 1);
    const auto probe = probeOfDigest.find(QByteArrayView(digest.data(), digest.size()));
    if (probe == probeOfDigest.end() ||
        EarlierThanArchived(probes[probe->second], optional(row, 3), optional(row, 4),
                            near.Integer(row, 5) == 1)) {
      continue;
    }
    const std::size_t i = probe->second;
    matched[i] = true;
    const std::int64_t key = near.Integer(row, 0);
    if (key == probes[i].givenKey) {
      continue;  // a frame of this batch, written under the key it was offered
    }
    found.keys[i] = key;
    ++found.known;
    if (const auto timeMs = optional(row, 2)) {
      found.times.push_back(*timeMs);
    }
  }
  for (std::size_t i = 0; i < probes.size(); ++i) {
    if (!matched[i]) {
      rest.push_back(i);
    }
  }
  return true;
}

bool KnownFrames::ResolveRestPostgresql(std::span<const Probe> probes,
                                        std::span<const std::size_t> rest, Found& found) {
  if (rest.empty()) {
    return true;
  }
  if (!probeTableReady) {
    if (!probeInsert.RunPostgresql(kPostgresqlProbeTable, PGRES_COMMAND_OK)) {
      return false;
    }
    probeTableReady = true;
  }
  if (!probeInsert.Begin()) {
    return false;
  }
  std::unordered_map<std::int64_t, std::size_t> placeOfKey;
  for (const std::size_t i : rest) {
    const Probe& probe = probes[i];
    placeOfKey.emplace(probe.givenKey, i);
    probeInsert.Add(*probe.digest);
    probeInsert.Add(static_cast<qint64>(probe.identityTime));
    probeInsert.Add(static_cast<qint64>(probe.givenKey));
    probeInsert.Add(probe.receivedMs ? BatchValue(static_cast<qint64>(*probe.receivedMs))
                                     : BatchValue());
    probeInsert.Add(probe.clockMs ? BatchValue(static_cast<qint64>(*probe.clockMs)) : BatchValue());
  }
  std::int64_t copied = 0;
  if (!probeInsert.Execute(copied)) {
    return false;
  }
  PGresult* result = PQexec(postgresql, kPostgresqlResolve.c_str());
  const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
  if (!ok) {
    archive.Fail(QString::fromUtf8(PQresultErrorMessage(result)).simplified());
  }
  for (int row = 0; ok && row < PQntuples(result); ++row) {
    const std::int64_t given = std::strtoll(PQgetvalue(result, row, 0), nullptr, 10);
    const std::int64_t key = std::strtoll(PQgetvalue(result, row, 1), nullptr, 10);
    if (key == given) {
      continue;  // a frame of this batch, written under the key it was offered
    }
    if (const auto place = placeOfKey.find(given); place != placeOfKey.end()) {
      found.keys[place->second] = key;
      ++found.known;
    }
    if (!PQgetisnull(result, row, 2)) {
      found.times.push_back(std::strtoll(PQgetvalue(result, row, 2), nullptr, 10));
    }
  }
  if (ok && PQntuples(result) > 0) {
    found.retimed += std::strtoll(PQgetvalue(result, 0, 3), nullptr, 10);
  }
  PQclear(result);
  return ok && probeInsert.RunPostgresql("TRUNCATE known_probe", PGRES_COMMAND_OK);
}

}  // namespace quilmar
