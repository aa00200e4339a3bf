// The archive's tables; see archive_schema.h.
#include "archive_schema.h"

#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <cctype>

#include "archive.h"
#include "frame_migration.h"
#include "trend_overview.h"

namespace quilmar {
namespace {

void AppendWords(std::string& column, std::string_view text) {
  bool gap = !column.empty();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool axisSign = (c == '+' || c == '-') && i + 1 < text.size() &&
                          std::isalpha(static_cast<unsigned char>(text[i + 1]));
    if (axisSign) {
      column += gap ? "_" : "";
      column += c == '+' ? "plus" : "minus";
      gap = true;
    } else if (std::isalnum(static_cast<unsigned char>(c))) {
      if (gap) {
        column += '_';
        gap = false;
      }
      column += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      gap = true;
    }
  }
}

// Time columns: a native time on PostgreSQL (what Grafana and other tools chart by), ISO text
// on SQLite, which has no time type ("YYYY-MM-DDTHH:MM:SSZ" sorts in time order).
QString TimeType(bool postgresql) {
  return postgresql ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
}

// On SQLite the frame's key is the table's rowid: the rows lie in the order of their keys,
// which is about the order of time, so a read of a range of time visits the table's pages in
// order rather than at random; and no second index of keys is kept by every insert.
QString FrameTableHead(bool postgresql, const QString& table) {
  const QString blob = postgresql ? "BYTEA" : "BLOB";
  return "CREATE TABLE " + table + " (id " + (postgresql ? "BIGINT" : "INTEGER") +
         " PRIMARY KEY, digest " + blob + " NOT NULL, bytes " + blob + " NOT NULL,";
}

// A frame is one row whatever brought it. The index that keeps it so leads with a time from
// the frame's bytes (its own spacecraft clock, or its beacon timer), which puts a new pass's
// frames together at the ends of the index instead of at random places all over it: an
// import into a grown archive writes the pages of its own frames, not most of the index, and
// another station's log of a pass looks its frames up in the order they lie. Frames with
// neither gather under -1 in digest order; eight bytes of the digest keep that part small.
QString FrameIdentityIndexStatement() {
  return QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS frame_identity ON frame (%1)")
      .arg(QString::fromStdString(FrameIdentity()));
}

// The frame table's columns after its key, digest and bytes: the time on the axis and where it
// came from, the two clocks it was derived from, the frame counter and type, and the values.
QString FrameColumnsDefinition(bool postgresql) {
  QString columns =
      " time_utc " + TimeType(postgresql) + ", time_ms BIGINT, time_kind TEXT NOT NULL, clock_ms BIGINT,"
      " clock_estimated SMALLINT NOT NULL, received_ms BIGINT, frame_number INTEGER NOT NULL,"
      " frame_type TEXT NOT NULL";
  for (int row = 0; row < kParameterCount; ++row) {
    columns += QStringLiteral(", %1 DOUBLE PRECISION").arg(ParameterColumn(row).c_str());
  }
  return columns;
}

}  // namespace

QStringList FrameTableStatements(bool postgresql) {
  return {
      FrameTableHead(postgresql, "frame") + FrameColumnsDefinition(postgresql) + ")",
      FrameIdentityIndexStatement(),
      "CREATE INDEX frame_time ON frame (time_utc)",
      "CREATE INDEX frame_clock ON frame (clock_ms)",
      "CREATE TABLE reception (source_id BIGINT NOT NULL, position BIGINT NOT NULL,"
      " frame_id BIGINT NOT NULL, station TEXT NOT NULL, received_at " + TimeType(postgresql) +
          ", station_id TEXT,"
      " observation_id TEXT, PRIMARY KEY (source_id, position))",
      "CREATE INDEX reception_frame ON reception (frame_id)",
      "CREATE TABLE pass (id " + QString(postgresql ? "BIGSERIAL" : "INTEGER") +
          " PRIMARY KEY, start_utc " + TimeType(postgresql) + " NOT NULL, end_utc " +
          TimeType(postgresql) + " NOT NULL, start_ms BIGINT NOT NULL,"
          " end_ms BIGINT NOT NULL, frames BIGINT NOT NULL, missing BIGINT NOT NULL,"
          " missing_ranges TEXT NOT NULL, stations TEXT NOT NULL, clock_offset_s DOUBLE PRECISION)",
      "CREATE INDEX pass_start ON pass (start_ms)",
      HousekeepingViewStatement(postgresql),
  };
}

QString HousekeepingViewStatement(bool postgresql) {
  const QString stations =
      postgresql ? "(SELECT string_agg(DISTINCT r.station, ', ' ORDER BY r.station) FROM reception r"
                   " WHERE r.frame_id = f.id)"
                 : "(SELECT group_concat(station, ', ') FROM (SELECT DISTINCT r.station FROM"
                   " reception r WHERE r.frame_id = f.id ORDER BY r.station))";
  QString view =
      "CREATE VIEW housekeeping AS SELECT f.id AS frame_key, f.time_utc, f.time_ms, f.time_kind,"
      " f.frame_number, (SELECT p.id FROM pass p WHERE p.start_ms <= f.time_ms AND"
      " p.end_ms >= f.time_ms) AS pass_id, " + stations + " AS stations";
  for (int row = 0; row < kParameterCount; ++row) {
    view += QStringLiteral(", f.%1").arg(ParameterColumn(row).c_str());
  }
  return view + " FROM frame f WHERE f.frame_type = 'S'";
}

namespace {

QStringList SchemaStatements(bool postgresql) {
  const QString id = postgresql ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY";
  const QString blob = postgresql ? "BYTEA" : "BLOB";
  QStringList statements{
      "CREATE TABLE archive_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
      "CREATE TABLE source (id " + id + ", kind TEXT NOT NULL, name TEXT NOT NULL, digest " + blob +
          " UNIQUE, station TEXT NOT NULL, added_at " + TimeType(postgresql) + " NOT NULL)",
      "CREATE TABLE parameter (column_name TEXT PRIMARY KEY, section TEXT NOT NULL,"
      " name TEXT NOT NULL, unit TEXT NOT NULL)",
      TrendHourTableStatement(),
      TrendHourIndexStatement(),
  };
  return statements + TrendMinuteStatements() + FrameTableStatements(postgresql);
}

bool FillParameterTable(Archive& archive) {
  QSqlQuery insert(archive.Database());
  insert.prepare("INSERT INTO parameter (column_name, section, name, unit) VALUES (?, ?, ?, ?)");
  for (int row = 0; row < kParameterCount; ++row) {
    const ParameterInfo& info = kParameterCatalogue[row];
    insert.bindValue(0, QString::fromStdString(ParameterColumn(row)));
    insert.bindValue(1, QString::fromLatin1(SectionInfoOf(info.section).name));
    insert.bindValue(2, QString::fromLatin1(info.name));
    insert.bindValue(3, QString::fromLatin1(info.unit));
    if (!insert.exec()) {
      return archive.Fail(insert);
    }
  }
  return true;
}

bool CreateSchema(Archive& archive) {
  for (const QString& statement : SchemaStatements(archive.IsPostgresql())) {
    if (!archive.Execute(statement)) {
      return false;
    }
  }
  return FillParameterTable(archive) &&
         archive.Execute(QStringLiteral("INSERT INTO archive_meta (key, value) VALUES "
                                        "('schema_version', '%1')")
                             .arg(kSchemaVersion));
}

bool WriteVersion(Archive& archive) {
  return archive.Execute(QStringLiteral("UPDATE archive_meta SET value = '%1' WHERE key = "
                                        "'schema_version'")
                             .arg(kSchemaVersion));
}

// Up to version 2 a reception referred to its source and frame by foreign keys. SQLite
// never enforced them (its foreign_keys pragma is off), so only PostgreSQL's go.
bool DropReceptionKeys(Archive& archive) {
  return !archive.IsPostgresql() ||
         archive.Execute(
             "ALTER TABLE reception DROP CONSTRAINT IF EXISTS reception_source_id_fkey, "
             "DROP CONSTRAINT IF EXISTS reception_frame_digest_fkey");
}

// Up to version 5 the digest alone was unique, in an index of random order. A SQLite frame
// table of version 4 also kept its key beside the rowid. A SQLite table cannot drop a column's
// constraint, so its rows are copied, in key order, into a new one keyed by the rowid, and the
// old one is set aside as frame_v5, to be dropped once the upgrade is committed; a PostgreSQL
// table swaps the constraint for the index.
bool KeyFramesByIdentity(Archive& archive) {
  QStringList statements;
  if (archive.IsPostgresql()) {
    statements << "ALTER TABLE frame DROP CONSTRAINT IF EXISTS frame_digest_key"
               << FrameIdentityIndexStatement();
  } else {
    statements << "DROP VIEW IF EXISTS housekeeping"
               << FrameTableHead(false, "frame_keyed") + FrameColumnsDefinition(false) + ")"
               << "INSERT INTO frame_keyed SELECT * FROM frame ORDER BY id"
               << "DROP INDEX frame_time" << "DROP INDEX frame_clock"
               << "ALTER TABLE frame RENAME TO frame_v5"
               << "ALTER TABLE frame_keyed RENAME TO frame" << FrameIdentityIndexStatement()
               << "CREATE INDEX frame_time ON frame (time_utc)"
               << "CREATE INDEX frame_clock ON frame (clock_ms)" << HousekeepingViewStatement(false);
  }
  return std::all_of(statements.begin(), statements.end(),
                     [&](const QString& statement) { return archive.Execute(statement); });
}

// An archive of version 3 or older has its frames added again, which fills the overviews as an
// import does; one of version 4 also lacks the per-minute overview and the hours' starts in
// milliseconds, summed up from its frames.
bool UpgradeSchema(Archive& archive, int version) {
  if (!AddTrendOverviewTables(archive)) {
    return false;
  }
  const bool rebuilt =
      version >= 4 ? KeyFramesByIdentity(archive) && (version > 4 || RebuildTrendOverviews(archive))
                   : DropReceptionKeys(archive) && RebuildFramesByIdentity(archive);
  return rebuilt && WriteVersion(archive);
}

// Dropping a table inside a transaction keeps a copy of each of its pages in memory (the
// statement's journal, to undo just the drop): the whole frame table's size. On its own, the
// drop needs none. Left by an upgrade that ended before it, the table goes at the next opening
// that may write; a reading one leaves it.
void DropSetAsideFrames(Archive& archive) {
  if (archive.IsPostgresql()) {
    return;
  }
  QSqlQuery query(archive.Database());
  if (query.exec("SELECT 1 FROM sqlite_master WHERE name = 'frame_v5'") && query.next()) {
    query.finish();
    query.exec("DROP TABLE frame_v5");
  }
}

// The schema version, 0 when the archive is empty; nullopt when it cannot be read.
std::optional<int> ReadVersion(Archive& archive) {
  QSqlQuery query(archive.Database());
  const QString exists = archive.IsPostgresql()
                             ? "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() "
                               "AND tablename = 'archive_meta'"
                             : "SELECT 1 FROM sqlite_master WHERE name = 'archive_meta'";
  if (!query.exec(exists)) {
    archive.Fail(query);
    return std::nullopt;
  }
  if (!query.next()) {
    return 0;
  }
  if (!query.exec("SELECT value FROM archive_meta WHERE key = 'schema_version'") || !query.next()) {
    archive.Fail(QStringLiteral("not a telemetry archive (no schema version)"));
    return std::nullopt;
  }
  return query.value(0).toInt();
}

}  // namespace

std::string ParameterColumn(int row) {
  const ParameterInfo& info = kParameterCatalogue[row];
  std::string column;
  AppendWords(column, SectionInfoOf(info.section).name);
  AppendWords(column, info.name);
  return column;
}

std::string FrameIdentity(const std::string& table) {
  const std::string column = table.empty() ? "" : table + ".";
  const std::string beacon = column + ParameterColumn(kBeaconTimerRow);
  return "(CASE WHEN " + column + "clock_estimated = 0 THEN " + column + "clock_ms WHEN " +
         beacon + " IS NOT NULL THEN CAST(" + beacon + " AS BIGINT) + (" +
         std::to_string(kBeaconTimerBase) + ") ELSE " + std::to_string(kNoIdentityTime) +
         " END), substr(" + column + "digest, 1, 8)";
}

bool PrepareSchema(Archive& archive, QString& error) {
  std::optional<int> version = ReadVersion(archive);
  if (version == kSchemaVersion) {
    DropSetAsideFrames(archive);
    return true;
  }
  // Creation and upgrades take the write lock, and look again once they hold it: another
  // program may have done the work meanwhile.
  if (version && *version < kSchemaVersion && archive.BeginWrite()) {
    version = ReadVersion(archive);
    const bool done = version == kSchemaVersion || (version == 0 && CreateSchema(archive)) ||
                      (version > 0 && version < kSchemaVersion && UpgradeSchema(archive, *version));
    if (done && archive.Commit()) {
      DropSetAsideFrames(archive);
      return true;
    }
    archive.Rollback();
  }
  if (version && *version > kSchemaVersion) {
    error = QStringLiteral(
                "written by a newer program (schema version %1, this one knows up to %2); "
                "left unchanged, use a newer quilmar-hk-archive")
                .arg(*version)
                .arg(kSchemaVersion);
  } else if (version == kSchemaVersion) {
    return true;
  } else {
    error = archive.Error().section(QStringLiteral(": "), 1);
  }
  return false;
}

}  // namespace quilmar
