// Strict UTF-8, CSV and JSON readers for the fuzzer; see strict_parsers.h.
#include "strict_parsers.h"

#include <cstdint>

namespace quilmar::fuzz {

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length = lead < 0x80   ? 1
                         : lead < 0xC2 ? 0
                         : lead < 0xE0 ? 2
                         : lead < 0xF0 ? 3
                         : lead < 0xF5 ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) {
      return std::nullopt;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return std::nullopt;
      }
      code = (code << 6) | (next & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    out.push_back(code);
    i += length;
  }
  return out;
}

std::optional<CsvRows> ParseCsv(std::string_view text) {
  CsvRows rows;
  std::vector<std::string> row;
  std::size_t i = 0;
  while (i < text.size()) {
    std::string cell;
    if (text[i] == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) {
          return std::nullopt;
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            cell += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        cell += text[i];
      }
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\r') {
        if (text[i] == '"' || text[i] == '\n') {
          return std::nullopt;
        }
        cell += text[i++];
      }
    }
    row.push_back(std::move(cell));
    if (i < text.size() && text[i] == ',') {
      ++i;
    } else if (text.substr(i, 2) == "\r\n") {
      rows.push_back(std::move(row));
      row.clear();
      i += 2;
    } else {
      return std::nullopt;
    }
  }
  if (!row.empty()) {
    return std::nullopt;  // the last row lacks its CRLF
  }
  return rows;
}

const JsonValue* JsonValue::Member(std::string_view key) const {
  const std::u32string wanted(key.begin(), key.end());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == wanted) {
      return &items[i];
    }
  }
  return nullptr;
}

namespace {

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text(text) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    SkipBlanks();
    if (!Value(value, 0)) {
      return std::nullopt;
    }
    SkipBlanks();
    if (at != text.size()) {
      return std::nullopt;
    }
    return value;
  }

 private:
  static constexpr int kDeepest = 64;

  void SkipBlanks() {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) {
      ++at;
    }
  }

  bool Take(std::string_view word) {
    if (text.substr(at, word.size()) != word) {
      return false;
    }
    at += word.size();
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (at >= text.size() || depth > kDeepest) {
      return false;
    }
    switch (text[at]) {
      case '{':
        value.kind = JsonValue::Kind::kObject;
        return Object(value, depth);
      case '[':
        value.kind = JsonValue::Kind::kArray;
        return Array(value, depth);
      case '"':
        value.kind = JsonValue::Kind::kString;
        return String(value.text);
      case 't':
        value.kind = JsonValue::Kind::kBool;
        value.truth = true;
        return Take("true");
      case 'f':
        value.kind = JsonValue::Kind::kBool;
        return Take("false");
      case 'n':
        return Take("null");
      default:
        value.kind = JsonValue::Kind::kNumber;
        return Number(value.number);
    }
  }

  bool Object(JsonValue& value, int depth) {
    ++at;
    SkipBlanks();
    if (Take("}")) {
      return true;
    }
    for (;;) {
      std::u32string key;
      JsonValue member;
      SkipBlanks();
      if (at >= text.size() || text[at] != '"' || !String(key)) {
        return false;
      }
      SkipBlanks();
      if (!Take(":")) {
        return false;
      }
      SkipBlanks();
      if (!Value(member, depth + 1)) {
        return false;
      }
      value.keys.push_back(std::move(key));
      value.items.push_back(std::move(member));
      SkipBlanks();
      if (Take("}")) {
        return true;
      }
      if (!Take(",")) {
        return false;
      }
    }
  }

  bool Array(JsonValue& value, int depth) {
    ++at;
    SkipBlanks();
    if (Take("]")) {
      return true;
    }
    for (;;) {
      JsonValue item;
      SkipBlanks();
      if (!Value(item, depth + 1)) {
        return false;
      }
      value.items.push_back(std::move(item));
      SkipBlanks();
      if (Take("]")) {
        return true;
      }
      if (!Take(",")) {
        return false;
      }
    }
  }

  bool Digits() {
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      ++at;
    }
    return at > start;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  bool Number(std::string& literal) {
    const std::size_t start = at;
    Take("-");
    if (Take("0")) {
      if (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        return false;
      }
    } else if (!Digits()) {
      return false;
    }
    if (Take(".") && !Digits()) {
      return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      ++at;
      if (!Take("+")) {
        Take("-");
      }
      if (!Digits()) {
        return false;
      }
    }
    literal = text.substr(start, at - start);
    return true;
  }

  bool Hex4(char32_t& code) {
    if (at + 4 > text.size()) {
      return false;
    }
    code = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[at++];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) {
        return false;
      }
      code = code * 16 + static_cast<char32_t>(digit);
    }
    return true;
  }

  bool Escape(std::u32string& out) {
    constexpr std::string_view kFrom = "\"\\/bfnrt";
    constexpr std::u32string_view kTo = U"\"\\/\b\f\n\r\t";
    const char c = text[at++];
    if (const std::size_t k = kFrom.find(c); k != std::string_view::npos) {
      out.push_back(kTo[k]);
      return true;
    }
    char32_t code = 0;
    if (c != 'u' || !Hex4(code) || (code >= 0xDC00 && code <= 0xDFFF)) {
      return false;
    }
    if (code >= 0xD800 && code <= 0xDBFF) {
      char32_t low = 0;
      if (!Take("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
        return false;
      }
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    out.push_back(code);
    return true;
  }

  bool String(std::u32string& out) {
    ++at;
    std::u32string decoded;
    for (;;) {
      if (at >= text.size()) {
        return false;
      }
      const auto c = static_cast<std::uint8_t>(text[at]);
      if (c == '"') {
        ++at;
        break;
      }
      if (c < 0x20) {
        return false;
      }
      if (c == '\\') {
        ++at;
        if (at >= text.size() || !Escape(decoded)) {
          return false;
        }
        continue;
      }
      // A run of plain characters up to the next quote or backslash, checked as UTF-8.
      std::size_t end = at;
      while (end < text.size() && text[end] != '"' && text[end] != '\\' &&
             static_cast<std::uint8_t>(text[end]) >= 0x20) {
        ++end;
      }
      const std::optional<std::u32string> run = DecodeUtf8(text.substr(at, end - at));
      if (!run) {
        return false;
      }
      decoded += *run;
      at = end;
    }
    out = std::move(decoded);
    return true;
  }

  std::string_view text;
  std::size_t at = 0;
};

}  // namespace

std::optional<JsonValue> ParseJson(std::string_view text) { return JsonReader(text).Document(); }

}  // namespace quilmar::fuzz
