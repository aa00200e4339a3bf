// Multi-row inserts; see batch_insert.h.
#include "batch_insert.h"

#include <QVariant>
#include <string>

#include "archive.h"
#include "core/export_format.h"

namespace quilmar {
namespace {

// An element of a PostgreSQL array literal: quoted, with '"' and '\' escaped.
void AppendArrayText(QString& array, const QString& text) {
  array += QLatin1Char('"');
  for (const QChar c : text) {
    if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
      array += QLatin1Char('\\');
    }
    array += c;
  }
  array += QLatin1Char('"');
}

void AppendArrayElement(QString& array, const BatchValue& value) {
  if (array.size() > 1) {
    array += QLatin1Char(',');
  }
  if (std::holds_alternative<std::monostate>(value)) {
    array += QLatin1String("NULL");
  } else if (const auto* integer = std::get_if<qint64>(&value)) {
    array += QString::number(*integer);
  } else if (const auto* number = std::get_if<double>(&value)) {
    std::string text;
    AppendNumber(text, *number);  // NaN, Infinity, -Infinity as PostgreSQL reads them
    array += QLatin1String(text);
  } else if (const auto* text = std::get_if<QString>(&value)) {
    AppendArrayText(array, *text);
  } else {
    array += QLatin1String("\"\\\\x");
    array += QLatin1String(std::get<QByteArray>(value).toHex());
    array += QLatin1Char('"');
  }
}

QVariant ToVariant(const BatchValue& value) {
  if (const auto* integer = std::get_if<qint64>(&value)) {
    return *integer;
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return *number;
  }
  if (const auto* text = std::get_if<QString>(&value)) {
    return *text;
  }
  if (const auto* bytes = std::get_if<QByteArray>(&value)) {
    return *bytes;
  }
  return QVariant(QMetaType::fromType<QString>());
}

}  // namespace

BatchInsert::BatchInsert(Archive& archive, QString table, std::vector<Column> columns, QString tail)
    : archive(archive),
      table(std::move(table)),
      columns(std::move(columns)),
      tail(std::move(tail)),
      arrays(archive.IsPostgresql()) {}

bool BatchInsert::PrepareRows(int rows) {
  QString names;
  for (const Column& column : columns) {
    names += (names.isEmpty() ? "" : ", ") + column.name;
  }
  QString sql = "INSERT INTO " + table + " (" + names + ") ";
  if (arrays) {
    QString unnest;
    for (const Column& column : columns) {
      unnest += (unnest.isEmpty() ? "CAST(? AS " : ", CAST(? AS ") + column.postgresqlType + "[])";
    }
    sql += "SELECT * FROM unnest(" + unnest + ")";
  } else {
    QString row = "(?";
    for (std::size_t c = 1; c < columns.size(); ++c) {
      row += ",?";
    }
    row += ')';
    sql += "VALUES " + row;
    for (int r = 1; r < rows; ++r) {
      sql += ',' + row;
    }
  }
  QSqlQuery& statement = statements[arrays ? 0 : rows];
  statement = QSqlQuery(archive.Database());
  if (!statement.prepare(sql + tail)) {
    statements.erase(arrays ? 0 : rows);
    return archive.Fail(statement);
  }
  return true;
}

bool BatchInsert::Begin(int rows) {
  const int key = arrays ? 0 : rows;
  if (!statements.contains(key) && !PrepareRows(rows)) {
    return false;
  }
  current = &statements[key];
  next = 0;
  if (arrays) {
    columnArrays.assign(columns.size(), QStringLiteral("{"));
  }
  return true;
}

void BatchInsert::Add(const BatchValue& value) {
  if (arrays) {
    AppendArrayElement(columnArrays[static_cast<std::size_t>(next) % columns.size()], value);
  } else {
    current->bindValue(next, ToVariant(value));
  }
  ++next;
}

bool BatchInsert::Execute(std::int64_t& inserted) {
  if (arrays) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      current->bindValue(static_cast<int>(c), columnArrays[c] + QLatin1Char('}'));
    }
  }
  if (!current->exec()) {
    return archive.Fail(*current);
  }
  inserted = current->numRowsAffected();
  return true;
}

}  // namespace quilmar
