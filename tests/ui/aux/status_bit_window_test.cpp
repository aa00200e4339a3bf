// Status-bit windows: the refresh rule over all six members, the magnetometer field line and
// the reserved Sun Sensor Config bits, lifecycle and robustness against odd source texts.
#include "ui/aux/status_bit_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "tests/ui/aux/aux_fixture.h"
#include "ui/aux/status_bit_members.h"
#include "ui/look/look.h"

namespace quilmar::testing {
namespace {

class StatusBitWindowTest : public AuxFixture {
 protected:
  StatusBitWindow* Open(int row) {
    aux->OpenStatusBitWindow(row);
    return aux->statusBitWindow(row);
  }

  static QStringList Lines(const StatusBitWindow* window) {
    QStringList texts;
    for (int line = 0; line < window->member().lineCount; ++line) {
      texts << Child(window, QStringLiteral("Label2_%1").arg(line))->text();
    }
    return texts;
  }

  static QStringList CreatedLines(int lineCount) {
    return lineCount == 5 ? QStringList{"bit 7", "bit 6", "bit 5", "bit 4", "bit 3-0"}
                          : QStringList{"bit 7", "bit 6", "bit 5", "bit 4",
                                        "bit 3", "bit 2", "bit 1", "bit 0"};
  }
};

// Every bit text names its bit and value in the same words, so a text in the wrong slot of
// the table shows up here.
TEST_F(StatusBitWindowTest, BitTextsNameTheirBitAndValue) {
  for (const StatusBitMember& member : kStatusBitMembers) {
    SCOPED_TRACE(member.title);
    const int bitLines = member.fieldRule == FieldRule::kMagnetometerField ? 4 : 8;
    EXPECT_EQ(member.lineCount, bitLines == 4 ? 5 : 8);
    for (int line = 0; line < bitLines; ++line) {
      const BitTexts& texts = member.bits[static_cast<std::size_t>(line)];
      EXPECT_TRUE(QString(texts.zero).startsWith(QStringLiteral("bit %1 [0]: ").arg(7 - line)));
      if (texts.one != nullptr) {
        EXPECT_TRUE(QString(texts.one).startsWith(QStringLiteral("bit %1 [1]: ").arg(7 - line)));
      }
    }
  }
}

struct WindowLook {
  int row;
  const char* formName;
  const char* title;
  const char* heading;
  QSize clientPixels;
};

// Client areas are the designed twips at 15 twips per pixel.
constexpr WindowLook kLooks[] = {
    {69, "Form4", "System Status", "QUILMAR System Status", {382, 221}},
    {70, "Form5", "Resource Status", "QUILMAR Resource Status", {431, 213}},
    {71, "Form7", "Magnetometer Status", "QUILMAR Magentometer Status", {429, 165}},
    {72, "Form9", "Sunsensor Status", "QUILMAR Sunsensor Status", {431, 215}},
    {73, "Form8", "SunSensor Config", "QUILMAR Sunsensor Config", {432, 217}},
    {74, "Form6", "Form6", "QUILMAR GPS Status", {422, 205}},
};

TEST_F(StatusBitWindowTest, OpensInItsCreatedStateWithTheTimerRunning) {
  for (const WindowLook& look : kLooks) {
    SCOPED_TRACE(look.title);
    StatusBitWindow* window = Open(look.row);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), look.formName);
    EXPECT_EQ(window->windowTitle(), look.title);
    EXPECT_EQ(Child(window, "Label1")->text(), look.heading);
    EXPECT_EQ(window->size(), look.clientPixels);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->windowModality(), Qt::NonModal);
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(224, 224, 224));
    EXPECT_EQ(Child(window, "Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_TRUE(Child<QLineEdit>(window, "Text1")->text().isEmpty());
    EXPECT_EQ(Lines(window), CreatedLines(look.row == 71 ? 5 : 8));
    const auto* timer = Child<QTimer>(window, "Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);  // a coarse one may tick at 1050 ms
  }
}

// A pattern per line: '0' or '1' for that bit's text, '-' for a line left as it was.
struct RefreshCase {
  const char* name;
  const char* source;
  const char* lines;
};

constexpr RefreshCase kRefreshCases[] = {
    {"all zeros", "00000000", "00000000"},
    {"all ones", "11111111", "11111111"},
    {"mixed", "10010110", "10010110"},
    {"other digits read as one", "09020300", "01010100"},
    {"blanks only", "        ", "--------"},
    {"empty", "", "--------"},
    {"non-digits keep their lines", "1x0-1 01", "1-0-1-01"},
    {"short text keeps the missing lines", "101", "101-----"},
    {"longer text reads the first eight", "0000000011", "00000000"},
    {"leading blank shifts nothing", " 1111111", "-1111111"},
};

class RefreshRuleTest : public StatusBitWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(RefreshRuleTest, ExplainsEachDigitOfTheSourceText) {
  const StatusBitMember& member = *StatusBitMemberForRow(GetParam());
  StatusBitWindow* window = nullptr;
  const bool hasField = member.fieldRule == FieldRule::kMagnetometerField;
  for (const RefreshCase& test : kRefreshCases) {
    SCOPED_TRACE(test.name);
    aux->CloseAll();
    FlushDeletes();
    window = Open(member.row);
    boxes[member.row]->setText(test.source);
    window->Refresh();

    EXPECT_EQ(Child<QLineEdit>(window, "Text1")->text(), test.source);
    const bool blank = QString(test.source).trimmed().isEmpty();
    const QStringList lines = Lines(window);
    const QStringList created = CreatedLines(member.lineCount);
    for (int line = 0; line < (hasField ? 4 : 8); ++line) {
      SCOPED_TRACE(line);
      const BitTexts& texts = member.bits[static_cast<std::size_t>(line)];
      const char wanted = test.lines[line];
      QString expected = created[line];
      if (!blank && texts.one == nullptr) {
        expected = texts.zero;  // reserved bits read the same whatever the byte holds
      } else if (wanted != '-') {
        expected = wanted == '0' ? texts.zero : texts.one;
      }
      EXPECT_EQ(lines[line], expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllMembers, RefreshRuleTest, ::testing::Range(69, 75),
                         [](const auto& param) {
                           return std::string(StatusBitMemberForRow(param.param)->formName);
                         });

TEST_F(StatusBitWindowTest, SunSensorConfigShowsReservedBitsAsDashes) {
  StatusBitWindow* window = Open(73);
  boxes[73]->setText("11111111");
  window->Refresh();
  EXPECT_EQ(Lines(window), (QStringList{"bit 7 [0]: ---", "bit 6 [0]: ---", "bit 5 [0]: ---",
                                        "bit 4 [1]: Include the master in vector processing",
                                        "bit 3 [1]: Include SA3 in vector processing",
                                        "bit 2 [1]: Include SA2 in vector processing",
                                        "bit 1 [1]: Include SA1 in vector processing",
                                        "bit 0 [1]: Include SB in vector processing"}));
}

struct FieldCase {
  const char* source;
  const char* mode;
  const char* fieldLine;  // nullptr: the line keeps its created caption
};

constexpr FieldCase kFieldCases[] = {
    {"01011100", "GPS", "bit 3-0 [1100]  VISIBLE SAT [GPS]"},
    {"01011100", "GPS GND", "bit 3-0 [1100]  MAG FIELD ERRORS"},
    {"01011100", "", "bit 3-0 [1100]  MAG FIELD ERRORS"},
    {"01011100", "gps", "bit 3-0 [1100]  MAG FIELD ERRORS"},
    {"01011100", " GPS", "bit 3-0 [1100]  MAG FIELD ERRORS"},
    {"10110101", "SAFE", "bit 3-0 [0101]  MAG FIELD ERRORS"},
    {"1011<b>x", "GPS", "bit 3-0 [<b>x]  VISIBLE SAT [GPS]"},  // shown raw, never as markup
    {"1011010", "GPS", nullptr},
};

TEST_F(StatusBitWindowTest, MagnetometerFieldLineFollowsTheAdcsMode) {
  StatusBitWindow* window = Open(71);
  for (const FieldCase& test : kFieldCases) {
    SCOPED_TRACE(std::string(test.source) + " / " + test.mode);
    aux->CloseAll();
    FlushDeletes();
    window = Open(71);
    boxes[71]->setText(test.source);
    boxes[67]->setText(test.mode);
    window->Refresh();
    auto* line = Child(window, "Label2_4");
    EXPECT_EQ(line->text(), test.fieldLine != nullptr ? test.fieldLine : "bit 3-0");
    EXPECT_EQ(line->textFormat(), Qt::PlainText);
  }
  EXPECT_EQ(Child(window, "Label2_0")->text(), "bit 7 [1]: the magnetometer main 3V3 supply is on");
}

// The window names the frame its bits belong to; a frame without the section empties the
// value and takes the explanations back to the bare bit names, rather than leaving the last
// frame's lines under the new frame's number.
TEST_F(StatusBitWindowTest, ExplainsOnlyTheFrameItNames) {
  StatusBitWindow* window = Open(69);
  struct Step {
    const char* frame;
    const char* value;
    const char* title;
    const char* firstLine;
  };
  const Step steps[] = {
      {"65432", "10000000", "System Status - frame 65432",
       "bit 7 [1]: ADCS has plausible TIME information"},
      {"65433", "", "System Status - frame 65433: not in this frame", "bit 7"},
      {"65434", "00000000", "System Status - frame 65434",
       "bit 7 [0]: There is NO VALID TIME information"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.frame);
    frameNumberBox->setText(step.frame);
    boxes[69]->setText(step.value);
    window->Refresh();
    EXPECT_EQ(Child<QLineEdit>(window, "Text1")->text(), step.value);
    EXPECT_EQ(window->windowTitle(), step.title);
    EXPECT_EQ(Child(window, "Label2_0")->text(), step.firstLine);
    if (*step.value == '\0') {
      EXPECT_EQ(Lines(window), CreatedLines(window->member().lineCount));
    }
  }
}

TEST_F(StatusBitWindowTest, TypedTextIsReplacedAtTheNextTick) {
  StatusBitWindow* window = Open(74);
  boxes[74]->setText("10000000");
  QTest::keyClicks(Child<QLineEdit>(window, "Text1"), "typed");
  window->Refresh();
  EXPECT_EQ(Child<QLineEdit>(window, "Text1")->text(), "10000000");
}

TEST_F(StatusBitWindowTest, ReopeningAnOpenWindowKeepsItsState) {
  StatusBitWindow* window = Open(70);
  boxes[70]->setText("11111111");
  window->Refresh();
  EXPECT_EQ(Open(70), window);
  EXPECT_EQ(Child(window, "Label2_0")->text(), "bit 7 [1]: the FLASH is currently powered");
  EXPECT_TRUE(Child<QTimer>(window, "Timer1")->isActive());
  const QWidgetList windows = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                          [](QWidget* widget) { return widget->objectName() == "Form5"; }),
            1);
}

TEST_F(StatusBitWindowTest, CloseStopsTheTimerAndReopenStartsAfresh) {
  StatusBitWindow* window = Open(72);
  boxes[72]->setText("11111111");
  window->Refresh();
  QPointer<QTimer> timer = Child<QTimer>(window, "Timer1");
  QPointer<StatusBitWindow> closed = window;
  window->close();
  EXPECT_FALSE(timer->isActive());
  FlushDeletes();
  EXPECT_TRUE(closed.isNull());
  EXPECT_EQ(aux->statusBitWindow(72), nullptr);

  window = Open(72);
  EXPECT_NE(window, nullptr);
  EXPECT_EQ(Lines(window), CreatedLines(8));
  EXPECT_TRUE(Child<QLineEdit>(window, "Text1")->text().isEmpty());
}

TEST_F(StatusBitWindowTest, OutlivesTheMainWindowsValueBoxes) {
  StatusBitWindow* magnetometer = Open(71);
  StatusBitWindow* system = Open(69);
  boxes[71]->setText("11110000");
  boxes[67]->setText("GPS");
  boxes[69]->setText("00000000");
  magnetometer->Refresh();
  system->Refresh();

  // Without the mode box the field line cannot tell its ending and keeps the last one.
  delete boxes[67].data();
  boxes[71]->setText("00001010");
  magnetometer->Refresh();
  EXPECT_EQ(Child(magnetometer, "Label2_0")->text(),
            "bit 7 [0]: the magnetometer main supply is off");
  EXPECT_EQ(Child(magnetometer, "Label2_4")->text(), "bit 3-0 [0000]  VISIBLE SAT [GPS]");

  mainWindow.reset();  // the main window and its value boxes gone
  magnetometer->Refresh();
  system->Refresh();
  EXPECT_TRUE(magnetometer->isVisible());
  EXPECT_EQ(Child<QLineEdit>(magnetometer, "Text1")->text(), "00001010");
  EXPECT_EQ(Child<QLineEdit>(system, "Text1")->text(), "00000000");
  EXPECT_EQ(Child(magnetometer, "Label2_4")->text(), "bit 3-0 [0000]  VISIBLE SAT [GPS]");
  EXPECT_EQ(Child(system, "Label2_0")->text(), "bit 7 [0]: There is NO VALID TIME information");
}

TEST_F(StatusBitWindowTest, RowsWithoutAWindowAreIgnored) {
  const auto before = QApplication::topLevelWidgets().size();
  for (int row : {0, 67, 68, 75, -1}) {
    SCOPED_TRACE(row);
    aux->OpenStatusBitWindow(row);
    EXPECT_EQ(aux->statusBitWindow(row), nullptr);
  }
  EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

// A new table (a log, a pass from the archive) is explained at once, without waiting for the
// timer: the frame view has written the boxes before the windows hear of the table.
TEST_F(StatusBitWindowTest, NewTableIsExplainedWithoutWaitingForTheTimer) {
  StatusBitWindow* window = Open(69);
  boxes[69]->setText("01000000");
  FillTable({"S", "S"});
  EXPECT_EQ(Child<QLineEdit>(window, "Text1")->text(), "01000000");
}

TEST_F(StatusBitWindowTest, TheTimerFollowsTheMainWindowWithinASecond) {
  StatusBitWindow* window = Open(69);
  boxes[69]->setText("01000000");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Child<QLineEdit>(window, "Text1")->text() == "01000000"; }, 2000));
  EXPECT_EQ(Child(window, "Label2_1")->text(), "bit 6 [1]: ADCS has CORRECT OLE information");
}

}  // namespace
}  // namespace quilmar::testing
