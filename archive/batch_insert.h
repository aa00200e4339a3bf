// A multi-row INSERT whose values are given row by row. On SQLite the rows are VALUES rows
// of bound values. On PostgreSQL each column of the batch is bound once, as an array that
// unnest() turns back into rows: Qt's PostgreSQL driver sends bound values as literals in
// the statement text, which the server would otherwise parse one by one.
#pragma once

#include <QByteArray>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <map>
#include <variant>
#include <vector>

namespace quilmar {

class Archive;

// NULL, an integer, a number, a text or bytes.
using BatchValue = std::variant<std::monostate, qint64, double, QString, QByteArray>;

class BatchInsert {
 public:
  struct Column {
    QString name;
    QString postgresqlType;  // "bytea", "text", "bigint", "double precision"
  };
  // tail: what follows the rows, such as an ON CONFLICT clause.
  BatchInsert(Archive& archive, QString table, std::vector<Column> columns, QString tail);

  // Starts a batch of `rows` rows; the values follow with Add, row after row.
  bool Begin(int rows);
  void Add(const BatchValue& value);
  // Runs the statement; false with the archive's Error() set. Rows inserted in `inserted`.
  bool Execute(std::int64_t& inserted);

 private:
  bool PrepareRows(int rows);

  Archive& archive;
  const QString table;
  const std::vector<Column> columns;
  const QString tail;
  const bool arrays;
  std::map<int, QSqlQuery> statements;  // by rows (SQLite); one, under 0 (PostgreSQL)
  QSqlQuery* current = nullptr;
  int next = 0;  // the next value's place
  std::vector<QString> columnArrays;
};

}  // namespace quilmar
