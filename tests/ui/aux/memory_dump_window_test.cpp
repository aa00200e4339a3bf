// Memory Dump window: which frame's colour each pixel column of the strip shows, the count,
// reopening after another load, and the strip's tooltip and click.
#include "ui/aux/memory_dump_window.h"

#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QToolTip>
#include <cmath>

#include "tests/ui/aux/aux_fixture.h"
#include "ui/aux/frame_strip.h"

namespace quilmar::testing {
namespace {

const QColor kStripGrey(224, 224, 224);
const QColor kUnknown(255, 224, 192);

// The frame-type colours as the operators know them from the legend.
QColor ColourOf(const std::string& letter) {
  static const std::map<std::string, QColor> colours = {
      {"A", QColor(0, 128, 0)},   {"S", QColor(0, 0, 192)},   {"I", QColor(0, 192, 192)},
      {"M", QColor(255, 128, 0)}, {"G", QColor(192, 0, 192)},
  };
  const auto found = colours.find(letter);
  return found == colours.end() ? kUnknown : found->second;
}

class MemoryDumpTest : public AuxFixture {
 protected:
  MemoryDumpWindow* OpenDump() {
    aux->OpenMemoryDump();
    return aux->memoryDumpWindow();
  }

  void Reopen() {
    aux->CloseAll();
    FlushDeletes();
  }

  // Colour of a pixel column halfway down the strip's image.
  static QColor ColumnColour(const FrameStrip* strip, int column) {
    const QImage image = strip->image().toImage();
    return image.pixelColor(column, image.height() / 2);
  }

  static QString CountText(const MemoryDumpWindow* window) {
    return Child(window, "Label7")->text();
  }
};

// 753 x 153 pixels designed, less the 2-pixel sunken border on each side.
constexpr int kInnerWidth = 749;
constexpr int kLastLine = kInnerWidth - 10;

TEST_F(MemoryDumpTest, EmptyTableDrawsNothingAndShowsNoCount) {
  const MemoryDumpWindow* window = OpenDump();
  const FrameStrip* strip = window->strip();
  ASSERT_EQ(strip->innerWidth(), kInnerWidth);
  ASSERT_EQ(strip->innerHeight(), 149);
  const QImage image = strip->image().toImage();
  for (int column = 0; column < kInnerWidth; ++column) {
    ASSERT_EQ(image.pixelColor(column, 70), kStripGrey) << column;
    ASSERT_EQ(strip->FrameInColumn(column), 0) << column;
  }
  EXPECT_TRUE(CountText(window).isEmpty());
  EXPECT_TRUE(strip->ToolTipAt(QPoint(100, 50)).isEmpty());
}

TEST_F(MemoryDumpTest, OneFrameStandsTenPixelsFromTheRightEdge) {
  FillTable({"S"});
  const MemoryDumpWindow* window = OpenDump();
  const FrameStrip* strip = window->strip();
  const QImage image = strip->image().toImage();
  EXPECT_EQ(image.pixelColor(kLastLine, 1), QColor(0, 0, 192));
  EXPECT_EQ(image.pixelColor(kLastLine, image.height() - 1), QColor(0, 0, 192));
  EXPECT_EQ(image.pixelColor(kLastLine, 0), kStripGrey);  // lines start at row 1
  for (int column = 0; column < kInnerWidth; ++column) {
    if (column != kLastLine) {
      ASSERT_EQ(ColumnColour(strip, column), kStripGrey) << column;
    }
  }
  EXPECT_EQ(strip->FrameInColumn(kLastLine), 1);
  EXPECT_EQ(CountText(window), "1 frames");
}

TEST_F(MemoryDumpTest, ThreeFramesStandOneThirdApart) {
  FillTable({"A", "M", "x"});
  const MemoryDumpWindow* window = OpenDump();
  const FrameStrip* strip = window->strip();
  // step = 739 / 3: lines at 246.33, 492.67 and 739.
  const struct {
    int column;
    int frame;
    QColor colour;
  } lines[] = {{246, 1, QColor(0, 128, 0)}, {493, 2, QColor(255, 128, 0)}, {739, 3, kUnknown}};
  for (const auto& line : lines) {
    SCOPED_TRACE(line.column);
    EXPECT_EQ(strip->FrameInColumn(line.column), line.frame);
    EXPECT_EQ(ColumnColour(strip, line.column), line.colour);
    EXPECT_EQ(ColumnColour(strip, line.column - 1), kStripGrey);
    EXPECT_EQ(ColumnColour(strip, line.column + 1), kStripGrey);
  }
  EXPECT_EQ(CountText(window), "3 frames");
}

TEST_F(MemoryDumpTest, FrameTypeLettersMatchExactly) {
  const char* const letters[] = {"A", "S", "I", "M", "G",    "a", "s",
                                 "g", "X", "?", "",  "\xC0", "AS"};
  for (const char* letter : letters) {
    SCOPED_TRACE(letter);
    Reopen();
    FillTable({letter});
    EXPECT_EQ(ColumnColour(OpenDump()->strip(), kLastLine), ColourOf(letter));
  }
}

// Far more frames than pixels: each column shows the last frame that falls into it.
TEST_F(MemoryDumpTest, FullLogShowsTheLastFrameOfEachColumn) {
  const std::vector<std::string> cycle = {"A", "S", "I", "M", "G", "a", "Q"};
  std::vector<std::string> letters;
  for (int i = 0; i < kFrameTableCapacity; ++i) {
    letters.push_back(cycle[static_cast<std::size_t>(i) % cycle.size()]);
  }
  FillTable(letters);
  const MemoryDumpWindow* window = OpenDump();
  const FrameStrip* strip = window->strip();
  const double step = static_cast<double>(kLastLine) / kFrameTableCapacity;
  for (int column = 0; column < kInnerWidth; ++column) {
    SCOPED_TRACE(column);
    const int frame = strip->FrameInColumn(column);
    if (column > kLastLine) {
      ASSERT_EQ(frame, 0);
      ASSERT_EQ(ColumnColour(strip, column), kStripGrey);
      continue;
    }
    ASSERT_GT(frame, 0);
    // The frame lands in this column, and the next one lands further right.
    ASSERT_LE(std::abs(frame * step - column), 0.5 + 1e-4);
    if (frame < kFrameTableCapacity) {
      ASSERT_GE((frame + 1) * step, column + 0.5 - 1e-4);
    }
    ASSERT_EQ(ColumnColour(strip, column), ColourOf(letters[static_cast<std::size_t>(frame - 1)]));
  }
  EXPECT_EQ(strip->FrameInColumn(kLastLine), kFrameTableCapacity);
  EXPECT_EQ(CountText(window), "5000 frames");
}

TEST_F(MemoryDumpTest, StripKeepsItsLogUntilReopened) {
  FillTable({"S", "S", "S"});
  MemoryDumpWindow* window = OpenDump();
  FillTable({"G"});
  EXPECT_EQ(OpenDump(), window);
  EXPECT_EQ(CountText(window), "3 frames");
  EXPECT_EQ(ColumnColour(window->strip(), 246), QColor(0, 0, 192));

  Reopen();
  window = OpenDump();
  EXPECT_EQ(CountText(window), "1 frames");
  EXPECT_EQ(ColumnColour(window->strip(), 246), kStripGrey);
  EXPECT_EQ(ColumnColour(window->strip(), kLastLine), QColor(192, 0, 192));
}

TEST_F(MemoryDumpTest, LegendShowsTheStripColours) {
  const MemoryDumpWindow* window = OpenDump();
  EXPECT_EQ(window->windowTitle(), "Memory Dump");
  EXPECT_EQ(window->size(), QSize(764, 215));
  const QImage shot = const_cast<MemoryDumpWindow*>(window)->grab().toImage();
  const struct {
    QPoint boxCentre;  // pixels
    const char* caption;
    QColor colour;
  } entries[] = {
      {{8 + 16, 176 + 4}, "ADCS XHK Data", QColor(0, 128, 0)},
      {{168 + 16, 176 + 4}, "System Housekeeping", QColor(0, 0, 192)},
      {{328 + 16, 176 + 4}, "Image Data", QColor(0, 192, 192)},
      {{8 + 16, 192 + 4}, "GPS Almanach", QColor(255, 128, 0)},
      {{168 + 16, 192 + 4}, "GPS Data", QColor(192, 0, 192)},
      {{328 + 16, 192 + 4}, "unknown", kUnknown},
  };
  QStringList captions;
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    captions << label->text();
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
  }
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.caption);
    EXPECT_EQ(shot.pixelColor(entry.boxCentre), entry.colour);
    EXPECT_TRUE(captions.contains(entry.caption));
  }
}

class StripInputTest : public MemoryDumpTest {
 protected:
  void SetUp() override {
    FillTable({"A", "M", "\x07"});
    strip = OpenDump()->strip();
  }

  QPoint AtColumn(int column) const { return strip->contentsRect().topLeft() + QPoint(column, 60); }

  FrameStrip* strip = nullptr;
};

TEST_F(StripInputTest, ClickingALineShowsItsFrame) {
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(493));
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(739));
  QTest::mouseClick(strip, Qt::RightButton, {}, AtColumn(246));
  QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(0, 60));  // on the border
  EXPECT_EQ(shownFrames, (std::vector<int>{2, 3}));
}

// Lines stand apart; a click between two picks the nearer one, and one far left of the first
// line (more than half a step) picks none.
TEST_F(StripInputTest, ClickingBetweenLinesShowsTheNearestFrame) {
  const struct {
    int column;
    int frame;
  } clicks[] = {{300, 1}, {369, 1}, {370, 2}, {620, 3}, {745, 3}, {121, 1}, {100, 0}};
  for (const auto& click : clicks) {
    SCOPED_TRACE(click.column);
    shownFrames.clear();
    QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(click.column));
    EXPECT_EQ(shownFrames, click.frame > 0 ? std::vector<int>{click.frame} : std::vector<int>{});
  }
}

// The strip keeps the log it was drawn from; after another load its lines name frames the main
// window no longer has at that index, and a click must not jump to an unrelated frame.
TEST_F(StripInputTest, ClicksAfterAnotherLoadOnlyFollowTheSameFrame) {
  FillTable({"A", "S", "\x07"});    // frame 1 as drawn, frame 2 of another type,
  table.Record(3).frameNumber = 7;  // frame 3 with another number
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(246));
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(493));
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(739));
  FillTable({"A", "M"});
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(739));
  QTest::mouseClick(strip, Qt::LeftButton, {}, AtColumn(493));
  EXPECT_EQ(shownFrames, (std::vector<int>{1, 2}));
}

TEST_F(StripInputTest, HoveringNamesTheFrame) {
  EXPECT_EQ(strip->ToolTipAt(AtColumn(246)),
            "Frame 1 of 3\nFrame number 1001\nType A: ADCS XHK Data");
  EXPECT_EQ(strip->ToolTipAt(AtColumn(739)), "Frame 3 of 3\nFrame number 1003\nType 0x07: unknown");
  EXPECT_EQ(strip->ToolTipAt(AtColumn(369)), strip->ToolTipAt(AtColumn(246)));
  EXPECT_EQ(strip->ToolTipAt(AtColumn(370)), strip->ToolTipAt(AtColumn(493)));
  EXPECT_TRUE(strip->ToolTipAt(AtColumn(100)).isEmpty());
  EXPECT_TRUE(strip->ToolTipAt(QPoint(strip->width() - 1, 60)).isEmpty());

  QHelpEvent help(QEvent::ToolTip, AtColumn(493), strip->mapToGlobal(AtColumn(493)));
  QApplication::sendEvent(strip, &help);
  EXPECT_EQ(QToolTip::text(), "Frame 2 of 3\nFrame number 1002\nType M: GPS Almanach");
  QToolTip::hideText();
}

}  // namespace
}  // namespace quilmar::testing
