// Writing one source's frames into the archive; see frame_importer.h.
#include "frame_importer.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <system_error>
#include <unordered_map>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "frame_identity.h"
#include "sha256.h"

namespace quilmar {
namespace {

// Frames per batch. A batch is handed to the writing thread at once, so a larger one spreads
// that handover over more frames; on PostgreSQL a batch is one COPY (or a COPY and an
// INSERT ... SELECT), whose round trips a larger batch spreads too. Two batches are in
// memory at most: a few MB on SQLite, some 30 MB on PostgreSQL.
constexpr std::size_t kSqliteBatchRows = 2048;
constexpr std::size_t kPostgresqlBatchRows = 8192;
// Frames without a clock wait at most this many for the next clock reading; beyond it they
// take the last reading before them.
constexpr std::size_t kMaxWaiting = 4096;

using Type = BatchInsert::Type;

std::vector<BatchInsert::Column> FrameColumns() {
  std::vector<BatchInsert::Column> columns{
      {"id", Type::kBigint},          {"digest", Type::kBytes},
      {"bytes", Type::kBytes},        {"time_utc", Type::kTimestamp},
      {"time_ms", Type::kBigint},     {"time_kind", Type::kText},
      {"clock_ms", Type::kBigint},    {"clock_estimated", Type::kSmallint},
      {"received_ms", Type::kBigint}, {"frame_number", Type::kInteger},
      {"frame_type", Type::kText},
  };
  for (const SectionInfo& section : kSections) {
    for (int r = section.firstRow; r <= section.lastRow; ++r) {
      columns.push_back({QString::fromStdString(ParameterColumn(r)), Type::kDouble});
    }
  }
  return columns;
}

// The type byte as a letter when it is one, else "#HH": a column text holds no NUL.
QString FrameTypeText(int type) {
  if (type > 0x20 && type < 0x7F) {
    return QString(QChar(type));
  }
  return QStringLiteral("#%1").arg(type, 2, 16, QLatin1Char('0')).toUpper();
}

BatchValue Optional(const std::optional<std::int64_t>& value) {
  return value ? BatchValue(static_cast<qint64>(*value)) : BatchValue();
}

BatchValue OptionalText(const QString& text) { return text.isEmpty() ? BatchValue() : text; }

// The time a new frame is written with, before its passes are timed again: what it would get
// if it were the only frame of its pass from a single source.
struct FirstTime {
  std::optional<std::int64_t> ms;
  const char* kind;
};

template <typename Row>
FirstTime FirstTimeOf(const Row& row) {
  if (row.clockMs && !row.clockEstimated) {
    return {row.clockMs, kTimeFromSpacecraft};
  }
  if (row.receivedMs) {
    return {row.receivedMs, kTimeFromReception};
  }
  return {row.clockMs, kTimeEstimated};
}

}  // namespace

FrameImporter::FrameImporter(Archive& archive, std::int64_t sourceId)
    : archive(archive),
      sourceId(sourceId),
      batchRows(archive.IsPostgresql() ? kPostgresqlBatchRows : kSqliteBatchRows),
      frameInsert(archive, "frame", FrameColumns(), " ON CONFLICT DO NOTHING"),
      receptionInsert(archive, "reception",
                      {{"source_id", Type::kBigint},
                       {"position", Type::kBigint},
                       {"frame_id", Type::kBigint},
                       {"station", Type::kText},
                       {"received_at", Type::kTimestamp},
                       {"station_id", Type::kText},
                       {"observation_id", Type::kText}},
                      " ON CONFLICT (source_id, position) DO NOTHING"),
      knownFrames(archive),
      hours(archive) {
  frameInsert.CopyStraightWhileNew();
  receptionInsert.CopyStraightWhileNew();
  batch.reserve(batchRows);
}

bool FrameImporter::Add(const FrameBuffer& frame, std::int64_t position,
                        const ReceptionFacts& reception) {
  Row row;
  row.bytes = ArchivedFrameBytes(frame);
  row.digest = Sha256(row.bytes);
  row.position = position;
  row.reception = reception;
  stations.insert(reception.station);
  if (reception.receivedAt) {
    row.receivedMs = reception.receivedAt->toMSecsSinceEpoch();
    touched.Add(*row.receivedMs);
  }
  // Decoded from the archived bytes, as every later reading of the frame will be. While the
  // source's frames turn out to be archived already (another station's log of a known pass),
  // only the clock and the EPS/TCS section (its beacon timer) are read here, and a frame is
  // decoded once it proves new.
  if (lookUpFirst.load(std::memory_order_relaxed)) {
    const FrameBuffer buffer = FrameBufferOf(row.bytes);
    WriteSpacecraftClock(buffer, row.record.dateTime);
    DecodeEpsTcsSection(buffer, row.record);  // the beacon timer, part of the frame's identity
  } else {
    FillFrameValues(FrameBufferOf(row.bytes), row.record);
    row.decoded = true;
  }
  const std::int64_t at = sequence++;
  row.sequence = at;
  if (const auto clock = SpacecraftClockToUtcMs(row.record.dateTime)) {
    row.clockMs = *clock;
    touched.Add(*row.clockMs);
    const ClockReading reading{at, *row.clockMs};
    ResolveWaiting(reading);
    lastClock = reading;
    Queue(std::move(row));
  } else {
    row.clockEstimated = true;
    waiting.emplace_back(at, std::move(row));
    if (waiting.size() >= kMaxWaiting) {
      ResolveWaiting(std::nullopt);
    }
  }
  return batch.size() < batchRows || HandOver();
}

void FrameImporter::Queue(Row&& row) { batch.push_back(std::move(row)); }

// Each waiting frame takes the nearer of the clock readings before and after it in the
// source (the earlier one on a tie, or whichever exists) as its clock estimate.
void FrameImporter::ResolveWaiting(const std::optional<ClockReading>& next) {
  for (auto& [at, row] : waiting) {
    const bool takePrevious =
        lastClock && (!next || at - lastClock->sequence <= next->sequence - at);
    if (takePrevious) {
      row.clockMs = lastClock->clockMs;
    } else if (next) {
      row.clockMs = next->clockMs;
    }
    Queue(std::move(row));
  }
  waiting.clear();
}

bool FrameImporter::Finish() {
  ResolveWaiting(std::nullopt);
  return HandOver() && AwaitWriter() && Finished() && Notify();
}

// Sent with the transaction's commit, and never when it is rolled back.
bool FrameImporter::Notify() {
  return newFrames == 0 || !archive.IsPostgresql() ||
         archive.Execute(QStringLiteral("NOTIFY %1").arg(QLatin1String(kFramesChannel)));
}

// The passes change only where frames were added or archived ones were heard earlier than
// before; receptions by one station of archived frames alone only add it to their passes.
bool FrameImporter::Finished() {
  if (newFrames == 0 && retimedFrames == 0 && stations.size() == 1) {
    return AddStationToPasses(archive, knownTimes, *stations.begin());
  }
  return RetimePasses(archive, touched);
}

// Writers take turns under the archive's write lock, so the keys above the largest are free
// until this transaction ends.
bool FrameImporter::ReadKeyBase() {
  QSqlQuery query(archive.Database());
  if (!query.exec("SELECT max(id) FROM frame") || !query.next()) {
    return archive.Fail(query);
  }
  nextKey = query.value(0).toLongLong() + 1;
  return true;
}

// Waits for the batch being written and hands the queued frames to a new writing thread.
bool FrameImporter::HandOver() {
  if (!AwaitWriter()) {
    return false;
  }
  if (batch.empty()) {
    return true;
  }
  // The first batch reads the key base and takes the engine handles, through Qt SQL, here.
  if ((!nextKey && !ReadKeyBase()) || !frameInsert.Connect() || !receptionInsert.Connect() ||
      !knownFrames.Connect()) {
    return false;
  }
  for (Row& row : batch) {
    row.key = (*nextKey)++;
  }
  try {
    writer = std::async(std::launch::async,
                        [this, rows = std::move(batch)]() mutable { return WriteBatch(rows); });
  } catch (const std::system_error& error) {
    return archive.Fail(QStringLiteral("no thread to write with: %1").arg(error.what()));
  }
  batch = {};
  batch.reserve(batchRows);
  return true;
}

// Waits for the batch being written, if any, and brings the hourly overview up to date.
bool FrameImporter::AwaitWriter() {
  if (!writer.valid()) {
    return true;
  }
  const Written written = writer.get();
  if (!written.ok || !UpdateTrendHours(written)) {
    return false;
  }
  hours.Clear();
  added += written.rows;
  newFrames += written.inserted;
  retimedFrames += written.retimed;
  for (const std::int64_t ms : written.knownTimes) {
    knownTimes.Add(ms);
  }
  return true;
}

// On the writing thread: the frames and their receptions, batchRows at a time.
FrameImporter::Written FrameImporter::WriteBatch(std::vector<Row>& rows) {
  Written written;
  const std::span<Row> all(rows);
  for (std::size_t start = 0; start < all.size() && written.ok; start += batchRows) {
    const auto chunk = all.subspan(start, std::min(batchRows, all.size() - start));
    written.ok = InsertFrames(chunk, written) && InsertReceptions(chunk);
  }
  written.rows = static_cast<std::int64_t>(rows.size());
  return written;
}

// Each distinct frame of the chunk once, under the key of its first row, with the earliest
// reception and clock estimate of its rows; frames the archive holds already give their keys
// to the chunk's rows.
bool FrameImporter::InsertFrames(std::span<Row> chunk, Written& written) {
  if (!frameInsert.Begin()) {
    return false;
  }
  std::unordered_map<QByteArray, std::size_t, DigestHash> firstOf;
  std::vector<std::size_t> distinct;
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    const auto [place, isNew] = firstOf.try_emplace(chunk[i].digest, i);
    Row& first = chunk[place->second];
    if (isNew) {
      distinct.push_back(i);
      continue;
    }
    chunk[i].key = first.key;
    if (chunk[i].receivedMs && (!first.receivedMs || *chunk[i].receivedMs < *first.receivedMs)) {
      first.receivedMs = chunk[i].receivedMs;
    }
    if (first.clockEstimated && chunk[i].clockMs &&
        (!first.clockMs || *chunk[i].clockMs < *first.clockMs)) {
      first.clockMs = chunk[i].clockMs;
    }
  }
  // A source of frames mostly archived already (another station's log of a known pass) looks
  // them up first and sends only the new ones; one of new frames sends them all and looks up
  // only when the table refused some.
  std::vector<std::int64_t> offeredKeys;
  for (const std::size_t i : distinct) {
    offeredKeys.push_back(chunk[i].key);
  }
  KnownFrames::Found found;
  const bool lookFirst = lookUpFirst;
  if (lookFirst && !LookUp(chunk, distinct, found)) {
    return false;
  }
  std::vector<std::size_t> fresh;
  for (std::size_t d = 0; d < distinct.size(); ++d) {
    if (chunk[distinct[d]].key == offeredKeys[d]) {
      fresh.push_back(distinct[d]);
    }
  }
  // In the identity index's order, it takes them in one sweep rather than at random places.
  std::sort(fresh.begin(), fresh.end(), [&](std::size_t a, std::size_t b) {
    const Row& left = chunk[a];
    const Row& right = chunk[b];
    return left.IdentityTime() != right.IdentityTime() ? left.IdentityTime() < right.IdentityTime()
                                               : left.digest < right.digest;
  });
  for (const std::size_t i : fresh) {
    AddFrame(chunk[i]);
  }
  const auto offered = static_cast<std::int64_t>(fresh.size());
  std::int64_t inserted = 0;
  if (!frameInsert.Execute(inserted)) {
    return false;
  }
  if (!lookFirst && inserted < offered && !LookUp(chunk, distinct, found)) {
    return false;
  }
  // A frame the table refused is an archived one, found by its whole digest; one refused but
  // not found shares its identity time and the first eight bytes of its digest with another
  // frame. Its receptions would refer to no frame, so the import stops instead.
  const std::int64_t refusedFound = lookFirst ? 0 : found.known;
  if (inserted + refusedFound < offered) {
    return archive.Fail(QStringLiteral(
        "a frame's identity (its time on board and the start of its digest) matches another"
        " archived frame's; nothing of this source was added"));
  }
  lookUpFirst = found.known > 0;
  written.distinct += static_cast<std::int64_t>(distinct.size());
  written.offered += offered;
  written.inserted += inserted;
  written.retimed += found.retimed;
  written.knownTimes.insert(written.knownTimes.end(), found.times.begin(), found.times.end());
  return true;
}

// The chunk's distinct frames the archive holds already: their rows take the archived keys.
bool FrameImporter::LookUp(std::span<Row> chunk, const std::vector<std::size_t>& distinct,
                           KnownFrames::Found& found) {
  std::vector<KnownFrames::Probe> probes;
  for (const std::size_t i : distinct) {
    const Row& row = chunk[i];
    probes.push_back({&row.digest, row.IdentityTime(), row.key, row.receivedMs,
                      row.clockEstimated ? row.clockMs : std::nullopt});
    found.keys.push_back(row.key);
  }
  if (!knownFrames.Resolve(probes, found)) {
    return false;
  }
  std::unordered_map<std::int64_t, std::int64_t> archivedKey;
  for (std::size_t d = 0; d < distinct.size(); ++d) {
    if (found.keys[d] != chunk[distinct[d]].key) {
      archivedKey.emplace(chunk[distinct[d]].key, found.keys[d]);
    }
  }
  for (Row& row : chunk) {
    if (const auto archived = archivedKey.find(row.key); archived != archivedKey.end()) {
      row.key = archived->second;
    }
  }
  return true;
}

// The overview holds the frames offered; frames already archived count in their hours with
// the time they were archived with, which may differ from this source's: only a batch whose
// offered frames were all new can be summed up here.
bool FrameImporter::UpdateTrendHours(const Written& written) {
  if (written.inserted == 0) {
    return true;
  }
  return written.inserted == written.offered ? hours.MergeIn() : hours.RecomputeIn();
}

// The values of the sections a frame does not carry are NULL.
void FrameImporter::AddFrame(Row& row) {
  if (!row.decoded) {
    FillFrameValues(FrameBufferOf(row.bytes), row.record);
    row.decoded = true;
  }
  const FrameRecord& record = row.record;
  const FirstTime first = FirstTimeOf(row);
  if (first.ms) {
    hours.Add(*first.ms, record);
  }
  frameInsert.Add(static_cast<qint64>(row.key));
  frameInsert.Add(row.digest);
  frameInsert.Add(row.bytes);
  frameInsert.Add(Optional(first.ms));
  frameInsert.Add(Optional(first.ms));
  frameInsert.Add(QString::fromLatin1(first.kind));
  frameInsert.Add(Optional(row.clockMs));
  frameInsert.Add(static_cast<qint64>(row.clockEstimated ? 1 : 0));
  frameInsert.Add(Optional(row.receivedMs));
  frameInsert.Add(static_cast<qint64>(record.frameNumber));
  frameInsert.Add(FrameTypeText(record.frameType));
  for (const SectionInfo& section : kSections) {
    const bool carried = record.HasSection(section.section);
    for (int r = section.firstRow; r <= section.lastRow; ++r) {
      frameInsert.Add(carried ? BatchValue(record.values[r]) : BatchValue());
    }
  }
}

bool FrameImporter::InsertReceptions(std::span<const Row> chunk) {
  if (!receptionInsert.Begin()) {
    return false;
  }
  for (const Row& row : chunk) {
    const ReceptionFacts& reception = row.reception;
    receptionInsert.Add(static_cast<qint64>(sourceId));
    receptionInsert.Add(static_cast<qint64>(row.position));
    receptionInsert.Add(static_cast<qint64>(row.key));
    receptionInsert.Add(reception.station);
    receptionInsert.Add(Optional(row.receivedMs));
    receptionInsert.Add(OptionalText(reception.stationId));
    receptionInsert.Add(OptionalText(reception.observationId));
  }
  std::int64_t inserted = 0;
  return receptionInsert.Execute(inserted);
}

}  // namespace quilmar
