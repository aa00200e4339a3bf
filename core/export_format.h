// Text building blocks shared by the CSV and JSON exports: numbers in their shortest
// round-trip form with '.', and frame texts (raw bytes, Latin-1) re-encoded as UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quilmar {

// The shortest text that reads back to the same double, always with '.'; non-finite values
// as NaN, Infinity and -Infinity.
void AppendNumber(std::string& out, double value);
void AppendInteger(std::string& out, std::int64_t value);

// Each byte as the Latin-1 character of the same code, UTF-8 encoded, inside JSON quotes;
// '"', '\' and control characters (C0, DEL, C1) escaped as \u00xx.
void AppendJsonString(std::string& out, std::string_view latin1);

// A file name as the command line gave it, inside JSON quotes. Names on this system are UTF-8
// and are kept as they are; a byte that is not part of a well-formed UTF-8 sequence is taken
// as the Latin-1 character of its code, so the output stays valid UTF-8. Escaped as above.
void AppendJsonFileName(std::string& out, std::string_view name);

// The character at the start of non-empty UTF-8 text and the bytes it takes; a byte that
// starts no well-formed sequence counts as the Latin-1 character of its code, one byte long.
struct Utf8Character {
  std::uint32_t code = 0;
  std::size_t length = 0;
};
Utf8Character NextUtf8Character(std::string_view text);

// Each byte as the Latin-1 character of the same code, UTF-8 encoded. C0 controls and DEL
// become their Unicode Control Pictures (U+2400 + code, U+2421), so a beacon text with CR or
// LF stays on its row and shows what was received; the C1 bytes 0x80-0x9F, which terminals
// would obey, become their code in hexadecimal between mathematical angle brackets
// (U+27E8 "9B" U+27E9). The mapping is one-to-one: Latin-1 has no character in the U+2400
// block nor those brackets, so every picture and bracketed code stands for exactly one byte.
void AppendCsvText(std::string& out, std::string_view latin1);

// A CSV cell holding the text as AppendCsvText writes it; quoted (quotes doubled) when it
// holds a quote or a comma. Line breaks cannot occur: they became control pictures.
void AppendCsvCell(std::string& out, std::string_view latin1);

}  // namespace quilmar
