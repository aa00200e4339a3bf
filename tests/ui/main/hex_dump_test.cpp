// The hex dump: which characters turn red for a charted row, and the highlight table against
// the information bytes each catalogue row is decoded from.
#include "ui/frame/hex_dump.h"

#include <gtest/gtest.h>

#include <QTextCursor>
#include <QTextEdit>
#include <cstdio>

#include "main_window_fixture.h"

namespace quilmar {
namespace {

using testing::ColourPattern;
using testing::RedRange;

// "00 01 02 ... 85 " as the reader builds it: 134 bytes, 402 characters.
std::string CountingHexDump() {
  std::string text;
  for (int k = 0; k < 134; ++k) {
    char group[4];
    std::snprintf(group, sizeof group, "%02X ", k);
    text += group;
  }
  return text;
}

class HexDumpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    table = new FrameTable;
    table->frameCount = 3;
    table->Record(1).hexDump = CountingHexDump();
    table->Record(2).hexDump = "0A 0B 0C ";  // a text shorter than any range's end
    // Record 3 never filled: its hexDump is empty.
  }
  static void TearDownTestSuite() { delete table; }

  static FrameTable* table;
  QTextEdit area;
};

FrameTable* HexDumpTest::table = nullptr;

struct RowCase {
  int row;
  int first;
  int last;
};

class HexDumpRowTest : public HexDumpTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(HexDumpRowTest, OnlyTheRowsCharactersAreRed) {
  const RowCase c = GetParam();
  const HighlightRange range = HighlightFor(c.row);
  ASSERT_EQ(range.first, c.first);
  ASSERT_EQ(range.last, c.last);
  ShowHexDump(area, *table, 1, range.first, range.last);
  EXPECT_EQ(area.toPlainText().toStdString(), CountingHexDump());
  EXPECT_EQ(ColourPattern(area), RedRange(402, c.first, c.last));
}

// Row 0 is the section length byte; 7 spans four bytes with their blanks; 69 sits in the ADCS
// part; 92 ends just before the final blank.
INSTANTIATE_TEST_SUITE_P(Rows, HexDumpRowTest,
                         ::testing::Values(RowCase{0, 19, 20}, RowCase{7, 40, 50},
                                           RowCase{69, 220, 221}, RowCase{92, 391, 401}));

TEST_F(HexDumpTest, NoRangeLeavesTheWholeTextBlack) {
  ShowHexDump(area, *table, 1, 40, 50);
  ShowHexDump(area, *table, 1, 0, 0);
  EXPECT_EQ(area.toPlainText().size(), 402);
  EXPECT_EQ(ColourPattern(area), std::string(402, '.'));
}

TEST_F(HexDumpTest, RangeFromTheFirstCharacterStartsRed) {
  ShowHexDump(area, *table, 1, 1, 5);
  EXPECT_EQ(ColourPattern(area), RedRange(402, 1, 5));
}

TEST_F(HexDumpTest, PiecesBeyondAShortTextShrink) {
  struct Case {
    int first;
    int last;
    std::string pattern;
  } cases[] = {{4, 20, "...RRRRRR"}, {19, 20, "........."}, {1, 2, "RR......."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.first << ".." << c.last);
    ShowHexDump(area, *table, 2, c.first, c.last);
    EXPECT_EQ(area.toPlainText(), QStringLiteral("0A 0B 0C "));
    EXPECT_EQ(ColourPattern(area), c.pattern);
  }
}

TEST_F(HexDumpTest, EmptyHexTextOrMissingFrameEmptiesTheArea) {
  struct Case {
    int frame;
    int first;
    int last;
  } cases[] = {{3, 0, 0}, {3, 19, 20}, {3, 1, 401}, {0, 19, 20}, {5001, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "frame " << c.frame);
    ShowHexDump(area, *table, 1, 0, 0);
    ShowHexDump(area, *table, c.frame, c.first, c.last);
    EXPECT_TRUE(area.toPlainText().isEmpty());
  }
}

TEST_F(HexDumpTest, AppendColouredTextInsertsAtTheInsertionPoint) {
  area.setPlainText(QStringLiteral("AAAA"));
  QTextCursor cursor = area.textCursor();
  cursor.setPosition(1);
  cursor.setPosition(3, QTextCursor::KeepAnchor);  // a selection is not replaced
  area.setTextCursor(cursor);
  AppendColouredText(area, QStringLiteral("xy"), QColor(255, 0, 0));
  EXPECT_EQ(area.toPlainText(), QStringLiteral("AAAxyA"));
  EXPECT_EQ(area.textCursor().position(), 5);
  EXPECT_FALSE(area.textCursor().hasSelection());
  EXPECT_EQ(ColourPattern(area).substr(3, 2), "RR");
}

// The information bytes each row is decoded from, as the frame layout gives them, written
// independently of the character table: {first row, last row, first byte of the first row,
// bytes per row}. Consecutive rows of a run take consecutive bytes.
struct ByteRun {
  int firstRow;
  int lastRow;
  int firstByte;
  int width;
};
constexpr ByteRun kInformationBytes[] = {
    {0, 6, 6, 1},    {7, 7, 13, 4},    {8, 37, 17, 1},   {38, 47, 70, 1}, {48, 51, 80, 2},
    {52, 53, 88, 1}, {54, 59, 6, 1},   {60, 60, 12, 2},  {61, 61, 21, 1}, {62, 64, 22, 2},
    {65, 65, 28, 1}, {66, 73, 70, 1},  {74, 74, 78, 1},  {75, 80, 79, 2}, {81, 82, 91, 4},
    {83, 83, 99, 1}, {84, 84, 100, 2}, {85, 92, 102, 4},
};

TEST(HighlightTable, EveryRowCoversExactlyItsInformationBytes) {
  const std::string hex = CountingHexDump();
  int checked = 0;
  for (const ByteRun& run : kInformationBytes) {
    for (int row = run.firstRow; row <= run.lastRow; ++row, ++checked) {
      SCOPED_TRACE(::testing::Message() << "row " << row);
      ASSERT_EQ(row, checked) << "byte runs must list every row once, in order";
      const int firstByte = run.firstByte + (row - run.firstRow) * run.width;
      const int lastByte = firstByte + run.width - 1;
      const HighlightRange range = HighlightFor(row);
      EXPECT_EQ(range.first, 3 * firstByte + 1);
      EXPECT_EQ(range.last, 3 * lastByte + 2);
      // The covered text is the bytes' digits with the blanks between them, nothing more.
      const std::string covered =
          hex.substr(static_cast<std::size_t>(range.first - 1),
                     static_cast<std::size_t>(range.last - range.first + 1));
      EXPECT_NE(covered.front(), ' ');
      EXPECT_NE(covered.back(), ' ');
      EXPECT_EQ(covered.size(), static_cast<std::size_t>(3 * run.width - 1));
    }
  }
  EXPECT_EQ(checked, kParameterCount);
  EXPECT_EQ(HighlightFor(-1).first, 0);
  EXPECT_EQ(HighlightFor(kParameterCount).last, 0);
}

}  // namespace
}  // namespace quilmar
