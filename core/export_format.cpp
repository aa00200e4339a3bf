// Number and text formatting for the exports; see export_format.h.
#include "export_format.h"

#include <array>
#include <charconv>
#include <cmath>

namespace quilmar {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool IsControl(std::uint8_t b) { return b < 0x20 || (b >= 0x7F && b <= 0x9F); }

}  // namespace

void AppendNumber(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "Infinity" : "-Infinity";
    return;
  }
  std::array<char, 32> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

void AppendInteger(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

void AppendJsonString(std::string& out, std::string_view latin1) {
  out.push_back('"');
  for (const char c : latin1) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b == '"' || b == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (IsControl(b)) {
      out += "\\u00";
      out.push_back(kHexDigits[b >> 4]);
      out.push_back(kHexDigits[b & 0x0F]);
    } else {
      AppendUtf8(out, b);
    }
  }
  out.push_back('"');
}

void AppendCsvText(std::string& out, std::string_view latin1) {
  for (const char c : latin1) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x20) {
      AppendUtf8(out, 0x2400u + b);
    } else if (b == 0x7F) {
      AppendUtf8(out, 0x2421u);
    } else {
      AppendUtf8(out, b);
    }
  }
}

void AppendCsvCell(std::string& out, std::string_view latin1) {
  // After the control pictures no CR or LF is left, so only quotes and commas need quoting.
  if (latin1.find_first_of("\",") == std::string_view::npos) {
    AppendCsvText(out, latin1);
    return;
  }
  out.push_back('"');
  std::size_t start = 0;
  for (std::size_t quote = latin1.find('"'); quote != std::string_view::npos;
       quote = latin1.find('"', start)) {
    AppendCsvText(out, latin1.substr(start, quote + 1 - start));
    out.push_back('"');
    start = quote + 1;
  }
  AppendCsvText(out, latin1.substr(start));
  out.push_back('"');
}

}  // namespace quilmar
