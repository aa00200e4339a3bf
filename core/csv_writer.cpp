// The stored frames as CSV (RFC 4180, CRLF row ends, UTF-8); see csv_writer.h.
#include "csv_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "export_format.h"

namespace quilmar {
namespace {

constexpr std::string_view kRowEnd = "\r\n";
constexpr std::string_view kHeaderColumns[] = {
    "index",    "frameNumber", "frameTypeLetter", "primaryCounter", "secondaryCounter",
    "dateTime", "weekday",     "comText"};

// "<section> <name>" plus " [<unit>]" when the parameter has a unit.
std::string ParameterTitle(const ParameterInfo& info) {
  std::string title(SectionInfoOf(info.section).name);
  title += ' ';
  title += info.name;
  if (!info.unit.empty()) {
    title += " [";
    title += info.unit;
    title += ']';
  }
  return title;
}

// Leading characters that hide what follows from a reader or that a spreadsheet may skip
// before it looks for a formula: blanks and C0 controls (NUL, tab, LF, CR), DEL, the C1
// controls, the no-break space and the soft hyphen; in Unicode text also the invisible
// letters and spaces, zero-width characters, direction marks and the byte-order mark.
struct CodeRange {
  std::uint32_t first;
  std::uint32_t last;
};
constexpr CodeRange kHidingCharacters[] = {
    {0x0000, 0x0020}, {0x007F, 0x00A0}, {0x00AD, 0x00AD}, {0x034F, 0x034F},
    {0x061C, 0x061C}, {0x115F, 0x1160}, {0x1680, 0x1680}, {0x180E, 0x180E},
    {0x2000, 0x200F}, {0x2028, 0x202F}, {0x205F, 0x2064}, {0x2066, 0x206F},
    {0x3000, 0x3000}, {0x3164, 0x3164}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}};

bool HidesTheStart(std::uint32_t code) {
  return std::any_of(
      std::begin(kHidingCharacters), std::end(kHidingCharacters),
      [code](const CodeRange& range) { return code >= range.first && code <= range.last; });
}

// A spreadsheet runs a cell as a formula when it begins with = + - @, tab or CR; checked on
// the received text, before control pictures, and past any leading characters that hide it.
// next reads one character off the front of the text.
template <typename NextCharacter>
bool RunsAsFormula(std::string_view text, NextCharacter next) {
  constexpr std::string_view kFormulaSigns = "=+-@";
  if (!text.empty() && (text.front() == '\t' || text.front() == '\r')) {
    return true;
  }
  while (!text.empty()) {
    const Utf8Character character = next(text);
    if (!HidesTheStart(character.code)) {
      return character.code < 0x80 &&
             kFormulaSigns.find(static_cast<char>(character.code)) != std::string_view::npos;
    }
    text.remove_prefix(character.length);
  }
  return false;
}

bool RunsAsFormulaLatin1(std::string_view latin1) {
  return RunsAsFormula(latin1, [](std::string_view text) {
    return Utf8Character{static_cast<std::uint8_t>(text.front()), 1};
  });
}

void AppendComText(std::string& row, const std::string& comText, CsvText mode) {
  if (mode == CsvText::kGuardFormulas && RunsAsFormulaLatin1(comText)) {
    AppendCsvCell(row, '\'' + comText);
  } else {
    AppendCsvCell(row, comText);
  }
}

}  // namespace

bool RunsAsFormulaUtf8(std::string_view utf8) { return RunsAsFormula(utf8, NextUtf8Character); }

void AppendCsvHeader(std::string& row) {
  bool first = true;
  for (std::string_view column : kHeaderColumns) {
    if (!first) {
      row += ',';
    }
    first = false;
    row += column;
  }
  for (const ParameterInfo& info : kParameterCatalogue) {
    row += ',';
    AppendCsvCell(row, ParameterTitle(info));
  }
  row += kRowEnd;
}

void AppendCsvRow(std::string& row, int index, const FrameRecord& record, CsvText comText) {
  AppendInteger(row, index);
  row += ',';
  AppendInteger(row, record.frameNumber);
  row += ',';
  AppendCsvCell(row, record.frameTypeLetter);
  row += ',';
  AppendInteger(row, record.primaryCounter);
  row += ',';
  AppendInteger(row, record.secondaryCounter);
  row += ',';
  AppendCsvCell(row, record.dateTime);
  row += ',';
  AppendCsvCell(row, record.weekday);
  row += ',';
  AppendComText(row, record.comText, comText);
  std::array<bool, kSections.size()> carried{};
  for (const SectionInfo& section : kSections) {
    carried[static_cast<std::size_t>(section.section)] = record.HasSection(section.section);
  }
  for (int r = 0; r < kParameterCount; ++r) {
    row += ',';
    const Section section = kParameterCatalogue[static_cast<std::size_t>(r)].section;
    // A section the frame did not carry has no values, not zeros.
    if (carried[static_cast<std::size_t>(section)]) {
      AppendNumber(row, record.values[static_cast<std::size_t>(r)]);
    }
  }
  row += kRowEnd;
}

bool WriteCsv(std::ostream& out, const FrameTable& table, CsvText comText) {
  std::string row;
  row.reserve(4096);
  AppendCsvHeader(row);
  out.write(row.data(), static_cast<std::streamsize>(row.size()));
  for (int index = 1; index <= table.frameCount && out; ++index) {
    row.clear();
    AppendCsvRow(row, index, table.Record(index), comText);
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace quilmar
