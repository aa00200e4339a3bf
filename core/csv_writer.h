// The stored frames of a log as CSV: one row per frame, one column per catalogue row.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "frame_table.h"

namespace quilmar {

// How the beacon text (comText) is written. It is received over the air from anyone who
// transmits, and a spreadsheet runs a cell that starts with =, +, -, @, tab or CR as a
// formula, also behind leading blanks, NUL, LF or no-break spaces; by default such a cell
// gets a leading apostrophe, which spreadsheets read as "text follows". kRaw writes the text
// without it (control bytes are shown as pictures either way).
enum class CsvText { kGuardFormulas, kRaw };

// True when a spreadsheet would run a cell holding this UTF-8 text as a formula: the guard
// of the beacon text for other received text (station names in the archive's export), which
// also looks past invisible characters only UTF-8 can hold: zero-width and other spaces,
// direction marks and the byte-order mark.
bool RunsAsFormulaUtf8(std::string_view utf8);

// Writes the header row and one row per stored frame; false when the stream failed.
bool WriteCsv(std::ostream& out, const FrameTable& table,
              CsvText comText = CsvText::kGuardFormulas);

// The header row, and the row of one frame with its 1-based index, CRLF-terminated: for
// writers that produce rows one at a time (live reception).
void AppendCsvHeader(std::string& row);
void AppendCsvRow(std::string& row, int index, const FrameRecord& record,
                  CsvText comText = CsvText::kGuardFormulas);

}  // namespace quilmar
