// Writing one source's frames into the archive; see frame_importer.h.
#include "frame_importer.h"

#include <QVariant>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "sha256.h"

namespace quilmar {
namespace {

// Frames per batch. SQLite steps one prepared INSERT per row, so a batch only bounds the
// memory of frames waiting; on PostgreSQL a batch is one COPY and one INSERT ... SELECT,
// whose round trips and planning a larger batch spreads over more frames.
constexpr std::size_t kSqliteBatchRows = 256;
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
    return batch.size() < batchRows || Flush();
  }
  Queue(std::move(row));
  return batch.size() < batchRows || Flush();
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
  return Flush() && (!orderBase || WriteOrderEnd());
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

bool FrameImporter::Flush() {
  if (!batch.empty() && !orderBase && !ReadOrderBase()) {
    return false;
  }
  while (!batch.empty()) {
    const std::size_t count = std::min(batch.size(), batchRows);
    if (!InsertFrames(count)) {
      return false;
    }
    if (!InsertReceptions()) {
      return false;
    }
  }
  return true;
}

// The batch's first `count` rows, each distinct frame once.
bool FrameImporter::InsertFrames(std::size_t count) {
  if (!frameInsert.Begin()) {
    return false;
  }
  QSet<QByteArray> seen;
  hours.Clear();
  for (std::size_t i = 0; i < count; ++i) {
    if (!seen.contains(batch[i].digest)) {
      seen.insert(batch[i].digest);
      AddFrame(batch[i]);
      hours.Add(batch[i].time, batch[i].record);
    }
  }
  std::int64_t inserted = 0;
  if (!frameInsert.Execute(inserted)) {
    return false;
  }
  newFrames += inserted;
  return UpdateTrendHours(inserted, seen.size());
}

// Frames already archived count in their hours with the time they were archived with, which
// may differ from this source's: only a batch of new frames can be summed up here.
bool FrameImporter::UpdateTrendHours(std::int64_t inserted, qsizetype distinct) {
  if (inserted == 0) {
    return true;
  }
  return inserted == distinct ? hours.MergeIn() : hours.RecomputeIn();
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

// The receptions of the batch's first rows, which leave the batch.
bool FrameImporter::InsertReceptions() {
  const std::size_t count = std::min(batch.size(), batchRows);
  if (!receptionInsert.Begin()) {
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const Row& row = batch[i];
    receptionInsert.Add(static_cast<qint64>(sourceId));
    receptionInsert.Add(static_cast<qint64>(row.position));
    receptionInsert.Add(row.digest);
    receptionInsert.Add(row.station);
    receptionInsert.Add(row.receivedAt.isEmpty() ? BatchValue() : BatchValue(row.receivedAt));
  }
  std::int64_t inserted = 0;
  if (!receptionInsert.Execute(inserted)) {
    return false;
  }
  added += static_cast<std::int64_t>(count);
  batch.erase(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(count));
  return true;
}

}  // namespace quilmar
