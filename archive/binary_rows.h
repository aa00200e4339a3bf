// A PostgreSQL query's rows in the server's binary form, through libpq: integers come as
// big-endian bytes and frame bytes and digests as they are, so neither side writes or parses
// text for a million rows, and Qt SQL's conversion of every value costs nothing either.
#pragma once

#include <libpq-fe.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace quilmar {

class BinaryRows {
 public:
  // A parameter of the query: its value as text, or raw bytes for a BYTEA.
  struct Parameter {
    QByteArray value;
    bool bytes = false;
  };

  BinaryRows(pg_conn* connection, const char* sql, std::initializer_list<Parameter> parameters) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const Parameter& parameter : parameters) {
      values.push_back(parameter.value.constData());
      lengths.push_back(static_cast<int>(parameter.value.size()));
      formats.push_back(parameter.bytes ? 1 : 0);
    }
    result = PQexecParams(connection, sql, static_cast<int>(values.size()), nullptr,
                          values.data(), lengths.data(), formats.data(), 1);
  }
  ~BinaryRows() { PQclear(result); }
  BinaryRows(const BinaryRows&) = delete;
  BinaryRows& operator=(const BinaryRows&) = delete;

  bool Ok() const { return PQresultStatus(result) == PGRES_TUPLES_OK; }
  QString Error() const { return QString::fromUtf8(PQresultErrorMessage(result)).simplified(); }
  int Count() const { return PQntuples(result); }

  bool IsNull(int row, int column) const { return PQgetisnull(result, row, column) != 0; }
  std::string_view Bytes(int row, int column) const {
    return {PQgetvalue(result, row, column),
            static_cast<std::size_t>(PQgetlength(result, row, column))};
  }
  // A BIGINT, INTEGER or SMALLINT column by its width; NULL reads 0.
  std::int64_t Integer(int row, int column) const {
    const std::string_view bytes = Bytes(row, column);
    std::uint64_t value = 0;
    for (const char byte : bytes) {
      value = (value << 8) | static_cast<std::uint8_t>(byte);
    }
    switch (bytes.size()) {
      case 2:
        return static_cast<std::int16_t>(value);
      case 4:
        return static_cast<std::int32_t>(value);
      default:
        return static_cast<std::int64_t>(value);
    }
  }

 private:
  PGresult* result = nullptr;
};

}  // namespace quilmar
