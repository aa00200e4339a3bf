// Number and text formatting for the exports; see export_format.h.
#include "export_format.h"

#include <array>
#include <charconv>
#include <cmath>

namespace quilmar {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool IsControl(std::uint32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

// One character inside JSON quotes: quote and backslash escaped, controls as \u00xx.
void AppendJsonCharacter(std::string& out, std::uint32_t code) {
  if (code == '"' || code == '\\') {
    out.push_back('\\');
    out.push_back(static_cast<char>(code));
  } else if (IsControl(code)) {
    out += "\\u00";
    out.push_back(kHexDigits[code >> 4]);
    out.push_back(kHexDigits[code & 0x0F]);
  } else {
    AppendUtf8(out, code);
  }
}

bool IsContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at the start of text (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when it does not start with one.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80;  // the range of the second byte, narrower after some leads
  std::uint8_t high = 0xBF;
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) {
      return 0;
    }
  }
  return length;
}

std::uint32_t DecodeUtf8(std::string_view sequence) {
  const auto lead = static_cast<std::uint8_t>(sequence[0]);
  if (sequence.size() == 1) {
    return lead;
  }
  std::uint32_t code = lead & (0x7F >> sequence.size());
  for (std::size_t i = 1; i < sequence.size(); ++i) {
    code = (code << 6) | (static_cast<std::uint8_t>(sequence[i]) & 0x3F);
  }
  return code;
}

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

// Runs of printable ASCII, such as a whole hex dump, are copied in one step.
void AppendJsonString(std::string& out, std::string_view latin1) {
  out.push_back('"');
  std::size_t start = 0;
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(latin1[i]);
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
      continue;
    }
    out.append(latin1.substr(start, i - start));
    AppendJsonCharacter(out, b);
    start = i + 1;
  }
  out.append(latin1.substr(start));
  out.push_back('"');
}

Utf8Character NextUtf8Character(std::string_view text) {
  const std::size_t length = Utf8SequenceLength(text);
  if (length == 0) {
    return {static_cast<std::uint8_t>(text[0]), 1};
  }
  return {DecodeUtf8(text.substr(0, length)), length};
}

void AppendJsonFileName(std::string& out, std::string_view name) {
  out.push_back('"');
  while (!name.empty()) {
    const std::size_t length = Utf8SequenceLength(name);
    if (length == 0) {
      AppendJsonCharacter(out, static_cast<std::uint8_t>(name[0]));
      name.remove_prefix(1);
    } else {
      AppendJsonCharacter(out, DecodeUtf8(name.substr(0, length)));
      name.remove_prefix(length);
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
    } else if (b >= 0x80 && b <= 0x9F) {
      // Terminals obey U+0080-U+009F as 8-bit control codes (CSI erases and moves), and
      // Unicode has no pictures for them: the byte in hexadecimal between angle brackets that
      // no Latin-1 character can produce.
      AppendUtf8(out, 0x27E8u);
      out.push_back(kUpperHexDigits[b >> 4]);
      out.push_back(kUpperHexDigits[b & 0x0F]);
      AppendUtf8(out, 0x27E9u);
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
