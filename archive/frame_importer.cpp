// Writing one source's frames into the archive; see frame_importer.h.
#include "frame_importer.h"

#include <QCryptographicHash>
#include <QVariant>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"

namespace quilmar {
namespace {

// Frames per multi-row statement: 64 rows of 99 values; longer statements cost more to
// prepare than they save (preparing is not linear in the placeholders).
constexpr std::size_t kBatchRows = 64;
// Frames without a time wait at most this many for the next clock reading; beyond it they
// take the last reading before them.
constexpr std::size_t kMaxWaiting = 4096;
constexpr int kReceptionColumns = 5;
constexpr int kFrameLayoutLength = kInformationFieldStart + kInformationFieldLength;

// The type byte as a letter when it is one, else "#HH": a column text holds no NUL.
QString FrameTypeText(int type) {
  if (type > 0x20 && type < 0x7F) {
    return QString(QChar(type));
  }
  return QStringLiteral("#%1").arg(type, 2, 16, QLatin1Char('0')).toUpper();
}

QVariant OptionalText(const QString& text) {
  return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
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
    : archive(archive), sourceId(sourceId) {
  batch.reserve(kBatchRows);
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
    return batch.size() < kBatchRows || Flush();
  }
  Queue(std::move(row));
  return batch.size() < kBatchRows || Flush();
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
    const std::size_t count = std::min(batch.size(), kBatchRows);
    if (!InsertFrames(count)) {
      return false;
    }
    if (!InsertReceptions()) {
      return false;
    }
  }
  return true;
}

QSqlQuery& FrameImporter::Statement(QSqlQuery& cached, int& cachedRows, const QString& head,
                                    int columns, const QString& tail, int rows) {
  if (cachedRows != rows) {
    QString row = "(?";
    for (int c = 1; c < columns; ++c) {
      row += ",?";
    }
    row += ')';
    QString sql = head;
    for (int r = 0; r < rows; ++r) {
      sql += r == 0 ? row : ',' + row;
    }
    sql += tail;
    cached = QSqlQuery(archive.Database());
    cachedRows = cached.prepare(sql) ? rows : 0;
  }
  return cached;
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
        sections |= batch[i].record.HasSection(section.section)
                        ? 1u << static_cast<unsigned>(section.section)
                        : 0u;
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

bool FrameImporter::InsertFrameGroup(unsigned sections, const std::vector<const Row*>& rows) {
  const auto carried = [sections](const SectionInfo& section) {
    return (sections & (1u << static_cast<unsigned>(section.section))) != 0;
  };
  QSqlQuery& insert = frameInserts[{sections, static_cast<int>(rows.size())}];
  if (!insert.isValid() && insert.lastQuery().isEmpty()) {
    QString head =
        "INSERT INTO frame (digest, bytes, time_utc, time_kind, source_order, frame_number, "
        "frame_type";
    int columns = 7;
    for (const SectionInfo& section : kSections) {
      for (int r = section.firstRow; carried(section) && r <= section.lastRow; ++r, ++columns) {
        head += QStringLiteral(", %1").arg(ParameterColumn(r).c_str());
      }
    }
    QSqlQuery unused;
    int unusedRows = 0;
    insert = Statement(unused, unusedRows, head + ") VALUES ", columns,
                       " ON CONFLICT (digest) DO NOTHING", static_cast<int>(rows.size()));
  }
  int at = 0;
  for (const Row* row : rows) {
    const FrameRecord& record = row->record;
    insert.bindValue(at++, row->digest);
    insert.bindValue(at++, row->bytes);
    insert.bindValue(at++, OptionalText(row->time));
    insert.bindValue(at++, QString::fromLatin1(row->timeKind));
    insert.bindValue(at++, static_cast<qint64>(*orderBase + row->sequence));
    insert.bindValue(at++, record.frameNumber);
    insert.bindValue(at++, FrameTypeText(record.frameType));
    for (const SectionInfo& section : kSections) {
      for (int r = section.firstRow; carried(section) && r <= section.lastRow; ++r) {
        insert.bindValue(at++, record.values[r]);
      }
    }
  }
  if (!insert.exec()) {
    return archive.Fail(insert);
  }
  newFrames += insert.numRowsAffected();
  return true;
}

// The receptions of the batch's first rows, which leave the batch.
bool FrameImporter::InsertReceptions() {
  const std::size_t count = std::min(batch.size(), kBatchRows);
  QSqlQuery& insert = Statement(
      receptionInsert, receptionInsertRows,
      "INSERT INTO reception (source_id, position, frame_digest, station, received_at) VALUES ",
      kReceptionColumns, " ON CONFLICT (source_id, position) DO NOTHING", static_cast<int>(count));
  int at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Row& row = batch[i];
    insert.bindValue(at++, static_cast<qint64>(sourceId));
    insert.bindValue(at++, static_cast<qint64>(row.position));
    insert.bindValue(at++, row.digest);
    insert.bindValue(at++, row.station);
    insert.bindValue(at++, OptionalText(row.receivedAt));
  }
  if (!insert.exec()) {
    return archive.Fail(insert);
  }
  added += static_cast<std::int64_t>(count);
  batch.erase(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(count));
  return true;
}

}  // namespace quilmar
