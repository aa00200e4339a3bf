// Bulk inserts of an import, row by row, through the engine's own client library on the
// connection Qt SQL opened (QSqlDriver::handle()): Qt SQL's cost per bound value is most of
// an import's time otherwise. On SQLite one prepared single-row INSERT is stepped per row
// with sqlite3_bind_* values. On PostgreSQL the rows travel in COPY's binary format into a
// temporary staging table (dropped at the end of the transaction), from which one
// INSERT ... SELECT moves them into the table; or, where every row is expected to be new,
// straight into the table (see CopyStraightWhileNew). Values are bound or sent as data,
// never pasted into SQL text.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

namespace quilmar {

class Archive;

// NULL, an integer, a number, a text or bytes.
using BatchValue = std::variant<std::monostate, qint64, double, QString, QByteArray>;

// The engine's handle behind the archive's Qt SQL connection; nullptr on the other engine.
sqlite3* SqliteHandle(Archive& archive);
pg_conn* PostgresqlHandle(Archive& archive);

class BatchInsert {
 public:
  // kSmallint takes a qint64 like the other integers. kTimestamp takes Unix milliseconds as
  // a qint64: a timestamptz on PostgreSQL, the text "YYYY-MM-DDTHH:MM:SSZ" on SQLite.
  enum class Type { kBytes, kText, kSmallint, kInteger, kBigint, kDouble, kTimestamp };
  struct Column {
    QString name;
    Type type;
  };
  // tail: what follows the rows, such as an ON CONFLICT clause.
  BatchInsert(Archive& archive, QString table, std::vector<Column> columns, QString tail);
  ~BatchInsert();
  BatchInsert(const BatchInsert&) = delete;
  BatchInsert& operator=(const BatchInsert&) = delete;

  // PostgreSQL: while every row of the last batch was new, the next batch is copied straight
  // into the table, which costs about half the staging way. A batch that meets a row the
  // table holds already (a unique key) is taken back to a savepoint and sent the staging
  // way, whose tail decides. Only for a tail that skips such rows (ON CONFLICT DO NOTHING).
  void CopyStraightWhileNew() { copyStraight = true; }

  // Takes the engine's handle from the Qt SQL connection: on the connection's own thread,
  // before batches are written from another. Begin does it too.
  bool Connect();

  // Starts a batch; the values follow with Add, row after row, each in its column's type
  // (or NULL).
  bool Begin();
  void Add(const BatchValue& value);
  // Ends the batch; false with the archive's Error() set. Rows inserted in `inserted`.
  bool Execute(std::int64_t& inserted);

  // PostgreSQL: runs a statement without values on the engine's handle; `expected` is the
  // PGRES_* status it must give, `rows` takes the rows it changed.
  bool RunPostgresql(const std::string& sql, int expected, std::int64_t* rows = nullptr);

 private:
  bool PrepareSqlite();
  void BindSqlite(int place, const Column& column, const BatchValue& value);
  void StepSqlite();
  void AppendCopyValue(const Column& column, const BatchValue& value);
  bool Copy(const std::string& target, bool* metKnownRow = nullptr);
  bool CopyToStaging();
  enum class Straight { kCopied, kMetKnownRow, kFailed };
  Straight CopyStraight();
  std::string ColumnNames() const;
  std::string StagingTable() const;

  Archive& archive;
  const QString table;
  const std::vector<Column> columns;
  const QString tail;
  sqlite3* sqlite = nullptr;
  sqlite3_stmt* statement = nullptr;
  pg_conn* postgresql = nullptr;
  bool stagingReady = false;
  bool copyStraight = false;  // CopyStraightWhileNew was asked for
  bool lastBatchAllNew = true;
  std::string copyData;   // the batch in COPY's binary format
  std::size_t place = 0;  // the next value's column
  std::size_t rows = 0;   // complete rows of the batch
  std::int64_t changes = 0;
  QString failure;  // the engine's reason when a row was refused
};

}  // namespace quilmar
