// Rebuilding an older archive's frames; see frame_migration.h.
#include "frame_migration.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <vector>

#include "archive.h"
#include "archive_schema.h"
#include "archive_time.h"
#include "frame_importer.h"

namespace quilmar {
namespace {

// Receptions are read this many at a time: the whole of a large source would not fit, and a
// PostgreSQL connection cannot stream one statement while another (the import's COPY) runs.
constexpr int kReceptionsPerRead = 8192;

bool RunAll(Archive& archive, const QStringList& statements) {
  return std::all_of(statements.begin(), statements.end(),
                     [&](const QString& statement) { return archive.Execute(statement); });
}

// The old tables step aside under other names, their indexes too, so the new ones can take
// theirs.
bool SetOldTablesAside(Archive& archive) {
  QStringList statements{"DROP VIEW IF EXISTS housekeeping", "DROP INDEX IF EXISTS frame_time",
                         "DROP INDEX IF EXISTS reception_frame",
                         "ALTER TABLE frame RENAME TO frame_v3",
                         "ALTER TABLE reception RENAME TO reception_v3",
                         "DELETE FROM archive_meta WHERE key = 'next_order'",
                         "DELETE FROM trend_hour", "DELETE FROM trend_minute"};
  if (archive.IsPostgresql()) {
    statements << "ALTER INDEX IF EXISTS frame_pkey RENAME TO frame_v3_pkey"
               << "ALTER INDEX IF EXISTS frame_digest_key RENAME TO frame_v3_digest_key"
               << "ALTER INDEX IF EXISTS reception_pkey RENAME TO reception_v3_pkey";
  }
  return RunAll(archive, statements);
}

struct OldReception {
  qint64 position;
  QString station;
  std::optional<QDateTime> receivedAt;
  QByteArray bytes;
};

bool ReadReceptions(Archive& archive, qint64 sourceId, qint64 after,
                    std::vector<OldReception>& receptions) {
  QSqlQuery query(archive.Database());
  query.prepare(QStringLiteral(
                    "SELECT r.position, r.station, r.received_at, f.bytes FROM reception_v3 r"
                    " JOIN frame_v3 f ON f.digest = r.frame_digest WHERE r.source_id = ? AND"
                    " r.position > ? ORDER BY r.position LIMIT %1")
                    .arg(kReceptionsPerRead));
  query.addBindValue(sourceId);
  query.addBindValue(after);
  if (!query.exec()) {
    return archive.Fail(query);
  }
  receptions.clear();
  while (query.next()) {
    receptions.push_back({query.value(0).toLongLong(), query.value(1).toString(),
                          StoredTime(query.value(2)), query.value(3).toByteArray()});
  }
  return true;
}

// The frame as the de-framer handed it over then: the stored bytes, zeros beyond.
FrameBuffer OldFrameBuffer(const QByteArray& bytes) {
  FrameBuffer frame{};
  std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), kFrameBufferSize),
              reinterpret_cast<char*>(frame.data()));
  return frame;
}

bool AddSourceAgain(Archive& archive, qint64 sourceId) {
  FrameImporter importer(archive, sourceId);
  std::vector<OldReception> receptions;
  for (qint64 after = -1;;) {
    if (!ReadReceptions(archive, sourceId, after, receptions)) {
      return false;
    }
    for (const OldReception& reception : receptions) {
      if (!importer.Add(OldFrameBuffer(reception.bytes), reception.position, reception.station,
                        reception.receivedAt)) {
        return false;
      }
    }
    if (receptions.size() < kReceptionsPerRead) {
      return importer.Finish();
    }
    after = receptions.back().position;
  }
}

}  // namespace

bool RebuildFramesByIdentity(Archive& archive) {
  if (!SetOldTablesAside(archive) || !RunAll(archive, FrameTableStatements(archive.IsPostgresql()))) {
    return false;
  }
  QSqlQuery sources(archive.Database());
  if (!sources.exec("SELECT id FROM source ORDER BY id")) {
    return archive.Fail(sources);
  }
  std::vector<qint64> ids;
  while (sources.next()) {
    ids.push_back(sources.value(0).toLongLong());
  }
  for (const qint64 id : ids) {
    if (!AddSourceAgain(archive, id)) {
      return false;
    }
  }
  return RunAll(archive, {"DROP TABLE reception_v3", "DROP TABLE frame_v3"});
}

}  // namespace quilmar
