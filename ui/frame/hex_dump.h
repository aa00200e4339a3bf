// The "Hexdump" tab: a stored frame's information bytes as hex text, with the bytes of the
// charted parameter in red. The highlight table says which characters of the 402-character
// hex text carry each catalogue row.
#pragma once

#include <array>
#include <span>

#include "core/frame_table.h"
#include "core/parameter_catalogue.h"

class QColor;
class QString;
class QTextEdit;

namespace quilmar {

// 1-based, inclusive character positions in a FrameRecord's hexDump; (0, 0) means none.
struct HighlightRange {
  int first = 0;
  int last = 0;
};

// A run of rows that follow one rule: row r covers characters 3 (r - rowBase) + firstChar to
// 3 (r - rowBase) + lastChar. A single row is a run of one with rowBase equal to the row.
struct HighlightRun {
  int firstRow;
  int lastRow;
  int rowBase;
  int firstChar;
  int lastChar;
};

// Information byte k sits at characters 3k + 1 and 3k + 2, followed by a blank.
// EPS/TCS (0..37) and CDHS (54..65) both start at byte 6, COM (38..53) and ADCS (66..92) both
// at byte 70: a housekeeping frame carries one pair or the other.
inline constexpr HighlightRun kHighlightRuns[] = {
    {0, 6, 0, 19, 20},       // byte r + 6
    {7, 7, 7, 40, 50},       // bytes 13..16, "Beacon Timer"
    {8, 37, 0, 28, 29},      // byte r + 9
    {38, 47, 0, 97, 98},     // byte r + 32
    {48, 48, 48, 241, 245},  // bytes 80..81
    {49, 49, 49, 247, 251},  // bytes 82..83
    {50, 50, 50, 253, 257},  // bytes 84..85
    {51, 51, 51, 259, 263},  // bytes 86..87
    {52, 52, 52, 265, 266},  // byte 88
    {53, 53, 53, 268, 269},  // byte 89
    {54, 59, 54, 19, 20},    // byte r - 48
    {60, 60, 60, 37, 41},    // bytes 12..13
    {61, 61, 61, 64, 65},    // byte 21
    {62, 62, 62, 67, 71},    // bytes 22..23
    {63, 63, 63, 73, 77},    // bytes 24..25
    {64, 64, 64, 79, 83},    // bytes 26..27
    {65, 65, 65, 85, 86},    // byte 28
    {66, 73, 54, 175, 176},  // byte r + 4
    {74, 74, 74, 235, 236},  // byte 78
    {75, 75, 75, 238, 242},  // bytes 79..80
    {76, 76, 76, 244, 248},  // bytes 81..82
    {77, 77, 77, 250, 254},  // bytes 83..84
    {78, 78, 78, 256, 260},  // bytes 85..86
    {79, 79, 79, 262, 266},  // bytes 87..88
    {80, 80, 80, 268, 272},  // bytes 89..90
    {81, 81, 81, 274, 284},  // bytes 91..94
    {82, 82, 82, 286, 296},  // bytes 95..98
    {83, 83, 83, 298, 299},  // byte 99
    {84, 84, 84, 301, 305},  // bytes 100..101
    {85, 85, 85, 307, 317},  // bytes 102..105
    {86, 86, 86, 319, 329},  // bytes 106..109
    {87, 87, 87, 331, 341},  // bytes 110..113
    {88, 88, 88, 343, 353},  // bytes 114..117
    {89, 89, 89, 355, 365},  // bytes 118..121
    {90, 90, 90, 367, 377},  // bytes 122..125
    {91, 91, 91, 379, 389},  // bytes 126..129
    {92, 92, 92, 391, 401},  // bytes 130..133
};

constexpr std::array<HighlightRange, kParameterCount> ExpandHighlightRuns(
    std::span<const HighlightRun> runs) {
  std::array<HighlightRange, kParameterCount> table{};
  for (const HighlightRun& run : runs) {
    for (int row = run.firstRow; row <= run.lastRow; ++row) {
      const int shift = 3 * (row - run.rowBase);
      table[static_cast<std::size_t>(row)] = {shift + run.firstChar, shift + run.lastChar};
    }
  }
  return table;
}

inline constexpr std::array<HighlightRange, kParameterCount> kHighlightTable =
    ExpandHighlightRuns(kHighlightRuns);

// The runs must name every row once, in order, or a row would silently get no highlight.
constexpr bool RunsCoverEveryRowOnce(std::span<const HighlightRun> runs) {
  int next = 0;
  for (const HighlightRun& run : runs) {
    if (run.firstRow != next || run.lastRow < run.firstRow) {
      return false;
    }
    next = run.lastRow + 1;
  }
  return next == kParameterCount;
}
static_assert(RunsCoverEveryRowOnce(kHighlightRuns));

// The range of a catalogue row; (0, 0) for a row outside 0..92.
constexpr HighlightRange HighlightFor(int row) {
  return row >= 0 && row < kParameterCount ? kHighlightTable[static_cast<std::size_t>(row)]
                                           : HighlightRange{};
}

// Inserts text at the area's insertion point in the given colour and leaves the insertion
// point directly after it.
void AppendColouredText(QTextEdit& area, const QString& text, const QColor& colour);

// Rewrites the area with the hexDump of record frameNumber (1-based): characters first..last
// in red, the rest black; first = last = 0 paints all black. A frame number outside the table
// leaves the area empty; pieces beyond the end of a short text shrink to nothing.
void ShowHexDump(QTextEdit& area, const FrameTable& table, int frameNumber, int first, int last);

// Look of RichTextBox1: bold 14.25 pt monospace on light grey, read-only, wrapping at the
// area's width (the text has no line breaks).
void SetUpHexDumpArea(QTextEdit& area);

}  // namespace quilmar
