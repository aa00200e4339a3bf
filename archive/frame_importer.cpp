// Writing one source's frames into the archive; see frame_importer.h.
#include "frame_importer.h"

#include <QVariant>
#include <system_error>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "sha256.h"

namespace quilmar {
namespace {

// Frames per batch. A batch is handed to the writing thread at once, so a larger one spreads
// that handover over more frames; on PostgreSQL a batch is one COPY (or a COPY and an
// INSERT ... SELECT), whose round trips a larger batch spreads too. Two batches are in
// memory at most: a few MB on SQLite, some 30 MB on PostgreSQL.
constexpr std::size_t kSqliteBatchRows = 2048;
constexpr std::size_t kPostgresqlBatchRows = 8192;
// Frames without a time wait at most this many for the next clock reading; beyond it they
// take the last reading before them.
constexpr std::size_t kMaxWaiting = 4096;

using Type = BatchInsert::Type;

std::vector<BatchInsert::Column> FrameColumns() {
  std::vector<BatchInsert::Column> columns{
      {"digest", Type::kBytes},        {"bytes", Type::kBytes},
      {"time_utc", Type::kText},       {"time_kind", Type::kText},
      {"source_order", Type::kBigint}, {"frame_number", Type::kInteger},
      {"frame_type", Type::kText},
  };
  for (const SectionInfo& section : kSections) {
    for (int r = section.firstRow; r <= section.lastRow; ++r) {
      columns.push_back({QString::fromStdString(ParameterColumn(r)), Type::kDouble});
    }
  }
  return columns;
}

constexpr int kFrameLayoutLength = kInformationFieldStart + kInformationFieldLength;

// The type byte as a letter when it is one, else "#HH": a column text holds no NUL.
QString FrameTypeText(int type) {
  if (type > 0x20 && type < 0x7F) {
    return QString(QChar(type));
  }
  return QStringLiteral("#%1").arg(type, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

QByteArray StoredFrameBytes(const FrameBuffer& frame) {
  int length = kFrameBufferSize;
  while (length > kFrameLayoutLength && frame[static_cast<std::size_t>(length - 1)] == 0) {
    --length;
  }
  return QByteArray(reinterpret_cast<const char*>(frame.data()), length);
}

FrameImporter::FrameImporter(Archive& archive, std::int64_t sourceId)
    : archive(archive),
      sourceId(sourceId),
      batchRows(archive.IsPostgresql() ? kPostgresqlBatchRows : kSqliteBatchRows),
      frameInsert(archive, "frame", FrameColumns(), " ON CONFLICT (digest) DO NOTHING"),
      receptionInsert(archive, "reception",
                      {{"source_id", Type::kBigint},
                       {"position", Type::kBigint},
                       {"frame_digest", Type::kBytes},
                       {"station", Type::kText},
                       {"received_at", Type::kText}},
                      " ON CONFLICT (source_id, position) DO NOTHING"),
      hours(archive) {
  frameInsert.CopyStraightWhileNew();
  receptionInsert.CopyStraightWhileNew();
  batch.reserve(batchRows);
}

bool FrameImporter::Add(const FrameBuffer& frame, std::int64_t position, const QString& station,
                        const std::optional<QDateTime>& receivedAt) {
  Row row;
  row.bytes = StoredFrameBytes(frame);
  row.digest = Sha256(row.bytes);
  row.position = position;
  row.station = station;
  if (receivedAt) {
    row.receivedAt = UtcText(*receivedAt);
  }
  FillFrameRecord(frame, row.record);
  const std::int64_t at = sequence++;
  row.sequence = at;
  if (const auto clock = SpacecraftClockToUtc(row.record.dateTime)) {
    row.time = UtcText(*clock);
    row.timeKind = kTimeFromSpacecraft;
    const ClockReading reading{at, row.time};
    ResolveWaiting(reading);
    lastClock = reading;
  } else if (receivedAt) {
    row.time = row.receivedAt;
    row.timeKind = kTimeFromReception;
  } else {
    waiting.emplace_back(at, std::move(row));
    if (waiting.size() >= kMaxWaiting) {
      ResolveWaiting(std::nullopt);
    }
    return batch.size() < batchRows || HandOver();
  }
  Queue(std::move(row));
  return batch.size() < batchRows || HandOver();
}

void FrameImporter::Queue(Row&& row) { batch.push_back(std::move(row)); }

// Each waiting frame takes the nearer of the clock readings before and after it in the
// source (the earlier one on a tie, or whichever exists).
void FrameImporter::ResolveWaiting(const std::optional<ClockReading>& next) {
  for (auto& [at, row] : waiting) {
    const bool takePrevious =
        lastClock && (!next || at - lastClock->sequence <= next->sequence - at);
    if (takePrevious) {
      row.time = lastClock->time;
    } else if (next) {
      row.time = next->time;
    }
    row.timeKind = kTimeEstimated;
    Queue(std::move(row));
  }
  waiting.clear();
}

bool FrameImporter::Finish() {
  ResolveWaiting(std::nullopt);
  return HandOver() && AwaitWriter() && (!orderBase || WriteOrderEnd());
}

bool FrameImporter::ReadOrderBase() {
  QSqlQuery query(archive.Database());
  if (!query.exec("SELECT value FROM archive_meta WHERE key = 'next_order'")) {
    return archive.Fail(query);
  }
  orderBase = query.next() ? query.value(0).toLongLong() : 0;
  return true;
}

bool FrameImporter::WriteOrderEnd() {
  QSqlQuery query(archive.Database());
  query.prepare(
      "INSERT INTO archive_meta (key, value) VALUES ('next_order', ?) "
      "ON CONFLICT (key) DO UPDATE SET value = excluded.value");
  query.addBindValue(QString::number(*orderBase + sequence));
  return query.exec() || archive.Fail(query);
}

// Waits for the batch being written and hands the queued frames to a new writing thread.
bool FrameImporter::HandOver() {
  if (!AwaitWriter()) {
    return false;
  }
  if (batch.empty()) {
    return true;
  }
  // The first batch reads the order base and takes the engine handles, through Qt SQL, here.
  if ((!orderBase && !ReadOrderBase()) || !frameInsert.Connect() || !receptionInsert.Connect()) {
    return false;
  }
  for (const Row& row : batch) {
    hours.Add(row.time, row.record);
  }
  try {
    writer = std::async(std::launch::async,
                        [this, rows = std::move(batch)] { return WriteBatch(rows); });
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
  return true;
}

// On the writing thread: the frames and their receptions, batchRows at a time.
FrameImporter::Written FrameImporter::WriteBatch(const std::vector<Row>& rows) {
  Written written;
  const std::span<const Row> all(rows);
  for (std::size_t start = 0; start < all.size() && written.ok; start += batchRows) {
    const auto chunk = all.subspan(start, std::min(batchRows, all.size() - start));
    written.ok = InsertFrames(chunk, written) && InsertReceptions(chunk);
  }
  written.rows = static_cast<std::int64_t>(rows.size());
  return written;
}

// Each distinct frame of the chunk once.
bool FrameImporter::InsertFrames(std::span<const Row> chunk, Written& written) {
  if (!frameInsert.Begin()) {
    return false;
  }
  QSet<QByteArray> seen;
  for (const Row& row : chunk) {
    if (!seen.contains(row.digest)) {
      seen.insert(row.digest);
      AddFrame(row);
    }
  }
  std::int64_t inserted = 0;
  if (!frameInsert.Execute(inserted)) {
    return false;
  }
  written.distinct += seen.size();
  written.inserted += inserted;
  return true;
}

// Frames already archived count in their hours with the time they were archived with, which
// may differ from this source's: only a batch of new frames can be summed up here.
bool FrameImporter::UpdateTrendHours(const Written& written) {
  if (written.inserted == 0) {
    return true;
  }
  return written.inserted == written.distinct ? hours.MergeIn() : hours.RecomputeIn();
}

// The values of the sections a frame does not carry are NULL.
void FrameImporter::AddFrame(const Row& row) {
  const FrameRecord& record = row.record;
  frameInsert.Add(row.digest);
  frameInsert.Add(row.bytes);
  frameInsert.Add(row.time.isEmpty() ? BatchValue() : BatchValue(row.time));
  frameInsert.Add(QString::fromLatin1(row.timeKind));
  frameInsert.Add(static_cast<qint64>(*orderBase + row.sequence));
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
    receptionInsert.Add(static_cast<qint64>(sourceId));
    receptionInsert.Add(static_cast<qint64>(row.position));
    receptionInsert.Add(row.digest);
    receptionInsert.Add(row.station);
    receptionInsert.Add(row.receivedAt.isEmpty() ? BatchValue() : BatchValue(row.receivedAt));
  }
  std::int64_t inserted = 0;
  return receptionInsert.Execute(inserted);
}

}  // namespace quilmar
