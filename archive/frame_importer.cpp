// Writing one source's frames into the archive; see frame_importer.h.
#include "frame_importer.h"

#include <QCryptographicHash>
#include <QVariant>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"

namespace quilmar {
namespace {

// Frames per statement. SQLite: 64 rows of up to 61 values; longer statements cost more to
// prepare than they save (preparing is not linear in the placeholders). PostgreSQL: a
// column's values travel as one array, so a statement can carry many more frames.
constexpr std::size_t kSqliteBatchRows = 64;
constexpr std::size_t kPostgresqlBatchRows = 2048;
// Frames without a time wait at most this many for the next clock reading; beyond it they
// take the last reading before them.
constexpr std::size_t kMaxWaiting = 4096;

unsigned SectionBit(const SectionInfo& section) {
  return 1u << static_cast<unsigned>(section.section);
}

bool Carries(unsigned sections, const SectionInfo& section) {
  return (sections & SectionBit(section)) != 0;
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
      receptionInsert(archive, "reception",
                      {{"source_id", "bigint"},
                       {"position", "bigint"},
                       {"frame_digest", "bytea"},
                       {"station", "text"},
                       {"received_at", "text"}},
                      " ON CONFLICT (source_id, position) DO NOTHING") {
  batch.reserve(batchRows);
}

bool FrameImporter::Add(const FrameBuffer& frame, std::int64_t position, const QString& station,
                        const std::optional<QDateTime>& receivedAt) {
  Row row;
  row.bytes = StoredFrameBytes(frame);
  row.digest = QCryptographicHash::hash(row.bytes, QCryptographicHash::Sha256);
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

// The batch's first `count` rows, each distinct frame once, grouped by the sections they carry.
bool FrameImporter::InsertFrames(std::size_t count) {
  QSet<QByteArray> seen;
  std::array<std::vector<const Row*>, 1u << kSections.size()> groups;
  for (std::size_t i = 0; i < count; ++i) {
    if (!seen.contains(batch[i].digest)) {
      seen.insert(batch[i].digest);
      unsigned sections = 0;
      for (const SectionInfo& section : kSections) {
        sections |= batch[i].record.HasSection(section.section) ? SectionBit(section) : 0u;
      }
      groups[sections].push_back(&batch[i]);
    }
  }
  for (unsigned sections = 0; sections < groups.size(); ++sections) {
    if (!groups[sections].empty() && !InsertFrameGroup(sections, groups[sections])) {
      return false;
    }
  }
  return true;
}

BatchInsert& FrameImporter::FrameInsert(unsigned sections) {
  auto found = frameInserts.find(sections);
  if (found == frameInserts.end()) {
    std::vector<BatchInsert::Column> columns{
        {"digest", "bytea"},    {"bytes", "bytea"},         {"time_utc", "text"},
        {"time_kind", "text"},  {"source_order", "bigint"}, {"frame_number", "integer"},
        {"frame_type", "text"},
    };
    for (const SectionInfo& section : kSections) {
      for (int r = section.firstRow; Carries(sections, section) && r <= section.lastRow; ++r) {
        columns.push_back({QString::fromStdString(ParameterColumn(r)), "double precision"});
      }
    }
    found = frameInserts
                .try_emplace(sections, archive, "frame", std::move(columns),
                             " ON CONFLICT (digest) DO NOTHING")
                .first;
  }
  return found->second;
}

bool FrameImporter::InsertFrameGroup(unsigned sections, const std::vector<const Row*>& rows) {
  BatchInsert& insert = FrameInsert(sections);
  if (!insert.Begin(static_cast<int>(rows.size()))) {
    return false;
  }
  for (const Row* row : rows) {
    const FrameRecord& record = row->record;
    insert.Add(row->digest);
    insert.Add(row->bytes);
    insert.Add(row->time.isEmpty() ? BatchValue() : BatchValue(row->time));
    insert.Add(QString::fromLatin1(row->timeKind));
    insert.Add(static_cast<qint64>(*orderBase + row->sequence));
    insert.Add(static_cast<qint64>(record.frameNumber));
    insert.Add(FrameTypeText(record.frameType));
    for (const SectionInfo& section : kSections) {
      for (int r = section.firstRow; Carries(sections, section) && r <= section.lastRow; ++r) {
        insert.Add(record.values[r]);
      }
    }
  }
  std::int64_t inserted = 0;
  if (!insert.Execute(inserted)) {
    return false;
  }
  newFrames += inserted;
  return true;
}

// The receptions of the batch's first rows, which leave the batch.
bool FrameImporter::InsertReceptions() {
  const std::size_t count = std::min(batch.size(), batchRows);
  if (!receptionInsert.Begin(static_cast<int>(count))) {
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
