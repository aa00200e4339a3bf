// Strict readers of what the export writers produce, for the fuzzer to parse their output back:
// UTF-8, CSV as RFC 4180 has it, JSON as RFC 8259 has it. Each returns nothing for input that
// breaks its grammar, so the harness can tell a malformed export from a wrong value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quilmar::fuzz {

// The code points of well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
std::optional<std::u32string> DecodeUtf8(std::string_view text);

// Rows of cells: CRLF ends every row, a quoted cell may hold commas, CR, LF and doubled quotes,
// an unquoted one none of them nor a quote.
using CsvRows = std::vector<std::vector<std::string>>;
std::optional<CsvRows> ParseCsv(std::string_view text);

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  std::string number;                // kNumber: the literal as written
  std::u32string text;               // kString: the code points
  bool truth = false;                // kBool
  std::vector<JsonValue> items;      // kArray: the elements; kObject: the members' values
  std::vector<std::u32string> keys;  // kObject: the members' names, in step with items

  // The member of an object with this ASCII key, or nullptr.
  const JsonValue* Member(std::string_view key) const;
};

// One JSON text: a value between optional white space, nothing after it.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace quilmar::fuzz
