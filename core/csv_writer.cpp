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
// controls, the no-break space and the soft hyphen.
bool HidesTheStart(std::uint8_t byte) {
  return byte <= 0x20 || (byte >= 0x7F && byte <= 0xA0) || byte == 0xAD;
}

// A spreadsheet runs a cell as a formula when it begins with = + - @, tab or CR; checked on
// the received bytes, before control pictures, and past any leading bytes that hide it.
bool RunsAsFormula(std::string_view text) {
  constexpr std::string_view kFormulaSigns = "=+-@";
  if (!text.empty() && (text.front() == '\t' || text.front() == '\r')) {
    return true;
  }
  const auto first = std::find_if_not(
      text.begin(), text.end(), [](char c) { return HidesTheStart(static_cast<std::uint8_t>(c)); });
  return first != text.end() && kFormulaSigns.find(*first) != std::string_view::npos;
}

void AppendComText(std::string& row, const std::string& comText, CsvText mode) {
  if (mode == CsvText::kGuardFormulas && RunsAsFormula(comText)) {
    AppendCsvCell(row, '\'' + comText);
  } else {
    AppendCsvCell(row, comText);
  }
}

}  // namespace

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
