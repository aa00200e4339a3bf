// Bulk inserts through the engines' client libraries; see batch_insert.h.
#include "batch_insert.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QSqlDriver>
#include <QVariant>
#include <bit>
#include <cmath>
#include <cstring>

#include "archive.h"
#include "archive_time.h"

namespace quilmar {
namespace {

// COPY's binary format: signature, flags, header extension length; a tuple is its field
// count and each field's length (-1 for NULL) and bytes, big-endian; -1 ends the data.
constexpr char kCopySignature[] = "PGCOPY\n\377\r\n";
constexpr std::size_t kCopySignatureLength = 11;
constexpr char kUniqueViolation[] = "23505";  // SQLSTATE of a duplicate key

template <typename Integer>
void AppendBigEndian(std::string& out, Integer value) {
  auto bits = static_cast<std::make_unsigned_t<Integer>>(value);
  char bytes[sizeof(Integer)];
  for (std::size_t i = sizeof(Integer); i-- > 0;) {
    bytes[i] = static_cast<char>(bits & 0xFF);
    bits >>= 8;
  }
  out.append(bytes, sizeof(Integer));
}

void AppendField(std::string& out, const char* data, std::size_t length) {
  AppendBigEndian(out, static_cast<std::int32_t>(length));
  out.append(data, length);
}

const char* PostgresqlType(BatchInsert::Type type) {
  switch (type) {
    case BatchInsert::Type::kBytes:
      return "bytea";
    case BatchInsert::Type::kText:
      return "text";
    case BatchInsert::Type::kSmallint:
      return "smallint";
    case BatchInsert::Type::kInteger:
      return "integer";
    case BatchInsert::Type::kBigint:
      return "bigint";
    case BatchInsert::Type::kDouble:
      return "double precision";
    case BatchInsert::Type::kTimestamp:
      return "timestamptz";
  }
  return "text";
}

// The engine's handle behind the connection, named by its type: "sqlite3*" for QSQLITE,
// "pg_conn*" (PGconn's struct) for QPSQL.
template <typename Handle>
Handle* DriverHandle(Archive& archive, const char* typeName) {
  const QVariant handle = archive.Database().driver()->handle();
  if (!handle.isValid() || std::strcmp(handle.typeName(), typeName) != 0) {
    return nullptr;
  }
  return *static_cast<Handle* const*>(handle.constData());
}

QString PostgresqlReason(const PGresult* result, PGconn* connection) {
  const char* message = result ? PQresultErrorMessage(result) : PQerrorMessage(connection);
  const QString reason = QString::fromUtf8(message).simplified();
  return reason.isEmpty() ? QStringLiteral("unknown database error") : reason;
}

}  // namespace

sqlite3* SqliteHandle(Archive& archive) { return DriverHandle<sqlite3>(archive, "sqlite3*"); }

pg_conn* PostgresqlHandle(Archive& archive) { return DriverHandle<PGconn>(archive, "pg_conn*"); }

BatchInsert::BatchInsert(Archive& archive, QString table, std::vector<Column> columns, QString tail)
    : archive(archive),
      table(std::move(table)),
      columns(std::move(columns)),
      tail(std::move(tail)) {}

BatchInsert::~BatchInsert() { sqlite3_finalize(statement); }

bool BatchInsert::Connect() {
  if (sqlite || postgresql) {
    return true;
  }
  if (archive.IsPostgresql()) {
    postgresql = DriverHandle<PGconn>(archive, "pg_conn*");
  } else if ((sqlite = DriverHandle<sqlite3>(archive, "sqlite3*"))) {
    return PrepareSqlite();
  }
  return postgresql || archive.Fail(QStringLiteral("the database driver gives no engine handle"));
}

bool BatchInsert::PrepareSqlite() {
  QString names;
  QString places;
  for (const Column& column : columns) {
    names += (names.isEmpty() ? "" : ", ") + column.name;
    places += places.isEmpty() ? "?" : ", ?";
  }
  const QByteArray sql =
      ("INSERT INTO " + table + " (" + names + ") VALUES (" + places + ")" + tail).toUtf8();
  if (sqlite3_prepare_v3(sqlite, sql.constData(), static_cast<int>(sql.size()),
                         SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
    return archive.Fail(QString::fromUtf8(sqlite3_errmsg(sqlite)));
  }
  return true;
}

bool BatchInsert::Begin() {
  if (!Connect()) {
    return false;
  }
  place = 0;
  rows = 0;
  changes = 0;
  failure.clear();
  if (postgresql) {
    copyData.assign(kCopySignature, kCopySignatureLength);
    AppendBigEndian(copyData, std::int32_t{0});  // flags
    AppendBigEndian(copyData, std::int32_t{0});  // header extension length
  }
  return true;
}

void BatchInsert::Add(const BatchValue& value) {
  // A counter that wraps, not a division per value: an import adds a hundred million.
  const std::size_t column = place;
  const bool rowDone = ++place == columns.size();
  if (rowDone) {
    place = 0;
    ++rows;
  }
  if (postgresql) {
    if (column == 0) {
      AppendBigEndian(copyData, static_cast<std::int16_t>(columns.size()));
    }
    AppendCopyValue(columns[column], value);
    return;
  }
  BindSqlite(static_cast<int>(column) + 1, columns[column], value);
  if (rowDone) {
    StepSqlite();
  }
}

void BatchInsert::BindSqlite(int place, const Column& column, const BatchValue& value) {
  if (const auto* ms = std::get_if<qint64>(&value); ms && column.type == Type::kTimestamp) {
    const QByteArray text = UtcTextOfMs(*ms).toLatin1();
    sqlite3_bind_text(statement, place, text.constData(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
  } else if (const auto* integer = std::get_if<qint64>(&value)) {
    sqlite3_bind_int64(statement, place, *integer);
  } else if (const auto* number = std::get_if<double>(&value)) {
    // SQLite stores a NaN number as NULL, which means "not carried" in the archive: the
    // reading is kept as the text 'NaN' instead.
    if (std::isnan(*number)) {
      sqlite3_bind_text(statement, place, "NaN", 3, SQLITE_STATIC);
    } else {
      sqlite3_bind_double(statement, place, *number);
    }
  } else if (const auto* text = std::get_if<QString>(&value)) {
    const QByteArray utf8 = text->toUtf8();
    sqlite3_bind_text(statement, place, utf8.constData(), static_cast<int>(utf8.size()),
                      SQLITE_TRANSIENT);
  } else if (const auto* bytes = std::get_if<QByteArray>(&value)) {
    sqlite3_bind_blob(statement, place, bytes->constData(), static_cast<int>(bytes->size()),
                      SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(statement, place);
  }
}

// Inserts the bound row; after a refused row the batch's other rows are not tried.
void BatchInsert::StepSqlite() {
  if (failure.isEmpty()) {
    if (sqlite3_step(statement) == SQLITE_DONE) {
      changes += sqlite3_changes(sqlite);
    } else {
      failure = archive.WithSystemReason(QString::fromUtf8(sqlite3_errmsg(sqlite)));
    }
  }
  sqlite3_reset(statement);
}

void BatchInsert::AppendCopyValue(const Column& column, const BatchValue& value) {
  if (const auto* integer = std::get_if<qint64>(&value)) {
    if (column.type == Type::kTimestamp) {
      // COPY's binary timestamptz: microseconds since 2000-01-01 00:00 UTC.
      constexpr qint64 kUnixMsAt2000 = 946684800000;
      AppendBigEndian(copyData, std::int32_t{8});
      AppendBigEndian(copyData, (*integer - kUnixMsAt2000) * 1000);
    } else if (column.type == Type::kSmallint) {
      AppendBigEndian(copyData, std::int32_t{2});
      AppendBigEndian(copyData, static_cast<std::int16_t>(*integer));
    } else if (column.type == Type::kInteger) {
      AppendBigEndian(copyData, std::int32_t{4});
      AppendBigEndian(copyData, static_cast<std::int32_t>(*integer));
    } else {
      AppendBigEndian(copyData, std::int32_t{8});
      AppendBigEndian(copyData, *integer);
    }
  } else if (const auto* number = std::get_if<double>(&value)) {
    AppendBigEndian(copyData, std::int32_t{8});
    AppendBigEndian(copyData, std::bit_cast<std::int64_t>(*number));
  } else if (const auto* text = std::get_if<QString>(&value)) {
    const QByteArray utf8 = text->toUtf8();
    AppendField(copyData, utf8.constData(), static_cast<std::size_t>(utf8.size()));
  } else if (const auto* bytes = std::get_if<QByteArray>(&value)) {
    AppendField(copyData, bytes->constData(), static_cast<std::size_t>(bytes->size()));
  } else {
    AppendBigEndian(copyData, std::int32_t{-1});
  }
}

// Runs one statement without values; `expected` is the result status it must give.
bool BatchInsert::RunPostgresql(const std::string& sql, int expected, std::int64_t* rows) {
  PGresult* result = PQexec(postgresql, sql.c_str());
  const bool ok = PQresultStatus(result) == expected;
  if (!ok) {
    archive.Fail(PostgresqlReason(result, postgresql));
  } else if (rows) {
    *rows = std::strtoll(PQcmdTuples(result), nullptr, 10);
  }
  PQclear(result);
  return ok;
}

// Sends the batch by COPY into `target`. metKnownRow, when given, is set instead of the
// archive's error when the table refused a row for a key it holds already.
bool BatchInsert::Copy(const std::string& target, bool* metKnownRow) {
  if (!RunPostgresql("COPY " + target + " FROM STDIN (FORMAT binary)", PGRES_COPY_IN)) {
    return false;
  }
  char trailer[2];
  trailer[0] = trailer[1] = static_cast<char>(0xFF);  // a field count of -1
  const bool sent =
      PQputCopyData(postgresql, copyData.data(), static_cast<int>(copyData.size())) == 1 &&
      PQputCopyData(postgresql, trailer, sizeof trailer) == 1;
  // Ends the COPY either way; with an error message the server refuses what it got.
  PQputCopyEnd(postgresql, sent ? nullptr : "the data could not be sent");
  bool ok = true;
  while (PGresult* result = PQgetResult(postgresql)) {
    if (ok && PQresultStatus(result) != PGRES_COMMAND_OK) {
      ok = false;
      const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
      if (metKnownRow && state && std::strcmp(state, kUniqueViolation) == 0) {
        *metKnownRow = true;
      } else {
        archive.Fail(PostgresqlReason(result, postgresql));
      }
    }
    PQclear(result);
  }
  return ok;
}

std::string BatchInsert::StagingTable() const { return "staging_" + table.toStdString(); }

bool BatchInsert::CopyToStaging() {
  const std::string staging = StagingTable();
  if (!stagingReady) {
    std::string definition;
    for (const Column& column : columns) {
      definition += (definition.empty() ? "" : ", ") + column.name.toStdString() + ' ' +
                    PostgresqlType(column.type);
    }
    if (!RunPostgresql("CREATE TEMPORARY TABLE IF NOT EXISTS " + staging + " (" + definition + ") ON COMMIT DROP",
                       PGRES_COMMAND_OK)) {
      return false;
    }
    stagingReady = true;
  }
  return Copy(staging);
}

// The batch straight into the table, behind a savepoint that takes it back when a row of it
// is known already (archived before, or by another importer meanwhile).
BatchInsert::Straight BatchInsert::CopyStraight() {
  if (!RunPostgresql("SAVEPOINT straight_copy", PGRES_COMMAND_OK)) {
    return Straight::kFailed;
  }
  bool metKnownRow = false;
  if (Copy(table.toStdString() + " (" + ColumnNames() + ")", &metKnownRow)) {
    return RunPostgresql("RELEASE SAVEPOINT straight_copy", PGRES_COMMAND_OK) ? Straight::kCopied
                                                                              : Straight::kFailed;
  }
  const bool takenBack = metKnownRow &&
                         RunPostgresql("ROLLBACK TO SAVEPOINT straight_copy", PGRES_COMMAND_OK) &&
                         RunPostgresql("RELEASE SAVEPOINT straight_copy", PGRES_COMMAND_OK);
  return takenBack ? Straight::kMetKnownRow : Straight::kFailed;
}

std::string BatchInsert::ColumnNames() const {
  std::string names;
  for (const Column& column : columns) {
    names += (names.empty() ? "" : ", ") + column.name.toStdString();
  }
  return names;
}

bool BatchInsert::Execute(std::int64_t& inserted) {
  inserted = 0;
  if (sqlite) {
    inserted = changes;
    return failure.isEmpty() || archive.Fail(failure);
  }
  if (rows == 0) {
    return true;
  }
  if (copyStraight && lastBatchAllNew) {
    const Straight straight = CopyStraight();
    if (straight != Straight::kMetKnownRow) {
      inserted = straight == Straight::kCopied ? static_cast<std::int64_t>(rows) : 0;
      return straight == Straight::kCopied;
    }
  }
  const std::string names = ColumnNames();
  const std::string staging = StagingTable();
  const bool ok = CopyToStaging() &&
                  RunPostgresql("INSERT INTO " + table.toStdString() + " (" + names + ") SELECT " +
                                    names + " FROM " + staging + tail.toStdString(),
                                PGRES_COMMAND_OK, &inserted) &&
                  RunPostgresql("TRUNCATE " + staging, PGRES_COMMAND_OK);
  lastBatchAllNew = ok && inserted == static_cast<std::int64_t>(rows);
  return ok;
}

}  // namespace quilmar
