// Frame view: controls built on the tabs, ShowFrame's texts, colours, blanking and kinds.
#include "ui/frame/frame_view.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "panel_pixels.h"
#include "ui/frame/panel_picture.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {
namespace {

class FrameViewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { table = new FrameTable; }
  static void TearDownTestSuite() { delete table; }

  void SetUp() override {
    previousLocale = QLocale();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    window = std::make_unique<QWidget>();
    window->resize(1110, 460);
    for (QWidget*& tab : tabs) {
      tab = new QWidget(window.get());
      tab->setGeometry(0, 0, 650, 370);
    }
    view = new FrameView(tabs[0], tabs[1], tabs[2], window.get());
    view->InitCaptions();
    table->frameCount = 0;
  }
  void TearDown() override { QLocale::setDefault(previousLocale); }

  // A housekeeping frame carrying all four sections; 1 is a listed word in every table.
  static FrameRecord& Housekeeping(int index) {
    FrameRecord& record = table->Record(index);
    record.Clear();
    record.values.fill(1);
    for (const SectionInfo& section : kSections) {
      record.values[section.firstRow] = section.markerValue;
    }
    record.values[69] = 200;
    record.values[81] = 1455616;
    record.values[82] = 1769472;
    record.values[92] = 0;
    record.frameType = 'S';
    record.frameTypeLetter = "S";
    record.frameNumber = 4711;
    record.primaryCounter = -5;
    record.secondaryCounter = 123456;
    record.dateTime = "07.03.2009 14:05:09";
    record.weekday = "Saturday";
    record.comText = std::string("XQ0SAT beacon\0text", 18) + std::string(15, '\xe9');
    table->frameCount = std::max(table->frameCount, index);
    return record;
  }

  static FrameRecord& OfKind(int index, int frameType) {
    FrameRecord& record = table->Record(index);
    record.Clear();
    record.frameType = frameType;
    record.frameNumber = 4712;
    table->frameCount = std::max(table->frameCount, index);
    return record;
  }

  template <typename T = QLineEdit>
  T* Find(const QString& name) const {
    T* widget = window->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }
  QString Text(const QString& name) const { return Find(name)->text(); }
  QString LabelText(const QString& name) const { return Find<QLabel>(name)->text(); }
  QString Box(int row) const { return view->ValueBox(row)->text(); }
  QImage Picture() const { return view->Panel()->Surface().toImage(); }

  static inline FrameTable* table = nullptr;
  QLocale previousLocale;
  std::unique_ptr<QWidget> window;
  std::array<QWidget*, 3> tabs{};
  FrameView* view = nullptr;  // a child of the window
};

// Per section: the caption of its frame and the tab (0..2) that carries it.
constexpr std::array<const char*, 4> kFrameCaptions{"", "COM HK", "CDHS HK", "ADCS HK"};
constexpr std::array<int, 4> kTabOfSection{0, 1, 1, 2};

TEST_F(FrameViewTest, BuildsEveryRowInItsSectionFrameEmptyAndGrey) {
  for (int row = 0; row < kParameterCount; ++row) {
    SCOPED_TRACE(row);
    const auto section = static_cast<std::size_t>(SectionOfRow(row).section);
    const QString index = QString::number(row);
    QLineEdit* box = Find("Text1_" + index);
    ASSERT_EQ(box, view->ValueBox(row));
    EXPECT_EQ(Find<QRadioButton>("Option2_" + index), view->ParameterButton(row));
    EXPECT_EQ(LabelText("Label1_" + index).toStdString(), kParameterCatalogue[row].name);
    EXPECT_EQ(LabelText("Label2_" + index).toStdString(), kParameterCatalogue[row].unit);
    auto* frame = qobject_cast<QGroupBox*>(box->parentWidget());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), kFrameCaptions[section]);
    EXPECT_EQ(frame->parentWidget(), tabs[kTabOfSection[section]]);
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(view->ValueBoxColour(row), kLightGrey);
    EXPECT_EQ(box->height(), Px(285));
  }
  EXPECT_EQ(view->ValueBox(0)->geometry(), TwipRect(1920, 360, 855, 285));
  EXPECT_EQ(view->ValueBox(92)->geometry(), TwipRect(5280, 3720, 1095, 285));
  EXPECT_EQ(view->ValueBox(45)->geometry(), TwipRect(1920, 2160, 855, 285));
  for (const char* name : {"Text3_0", "Text3_1", "Text3_2", "Text4", "Text5", "Text6", "Text7"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Find(name)->palette().color(QPalette::Base), kLightGrey);
  }
  for (const char* name : {"Label13", "Label14", "Label15", "Image1"}) {
    Find<QLabel>(name);
  }
  EXPECT_NE(Find("Text8"), Find("Text9"));
  EXPECT_EQ(Find<PanelPicture>("Picture1"), view->Panel());
  EXPECT_EQ(view->Panel()->parentWidget(), tabs[1]);
}

TEST_F(FrameViewTest, ValueBoxColourIsThePaletteBase) {
  view->SetValueBoxColour(9, kLightYellow);
  EXPECT_EQ(view->ValueBox(9)->palette().color(QPalette::Base), kLightYellow);
  EXPECT_EQ(view->ValueBoxColour(9), kLightYellow);
  view->SetValueBoxColour(93, kLightYellow);  // no such row: ignored
  EXPECT_FALSE(view->ValueBoxColour(-1).isValid());
  // The charted row keeps its mark through a frame; only System Status is recoloured.
  Housekeeping(1);
  view->ShowFrame(*table, 1);
  EXPECT_EQ(view->ValueBoxColour(9), kLightYellow);
}

TEST_F(FrameViewTest, ParameterButtonsAreOneExclusiveChoiceAcrossTabs) {
  window->show();
  QSignalSpy spy(view, &FrameView::parameterButtonClicked);
  for (int row : {3, 45, 80, 0}) {
    QTest::mouseClick(view->ParameterButton(row), Qt::LeftButton);
  }
  ASSERT_EQ(spy.count(), 4);
  EXPECT_EQ(spy.at(1).at(0).toInt(), 45);
  EXPECT_EQ(spy.at(2).at(0).toInt(), 80);
  for (int row = 0; row < kParameterCount; ++row) {
    EXPECT_EQ(view->ParameterButton(row)->isChecked(), row == 0) << row;
  }
  view->ParameterButton(7)->setChecked(true);  // the program's own choice is no click
  EXPECT_EQ(spy.count(), 4);
  EXPECT_FALSE(view->ParameterButton(0)->isChecked());
}

TEST_F(FrameViewTest, PictureButtonsRequestTheirStatusWindows) {
  window->show();
  QSignalSpy spy(view, &FrameView::statusBitWindowRequested);
  const std::pair<const char*, int> buttons[] = {{"Image2", 69}, {"Image3", 70}, {"Image5", 71},
                                                 {"Image6", 72}, {"Image7", 73}, {"Image4", 74}};
  for (const auto& [name, row] : buttons) {
    SCOPED_TRACE(name);
    auto* button = Find<QToolButton>(name);
    EXPECT_FALSE(button->toolTip().isEmpty());
    EXPECT_EQ(button->parentWidget(), view->ValueBox(69)->parentWidget());
    // What the mouse reaches at the icon's centre must be the button, not a label over it.
    QWidget* hit = button->parentWidget()->childAt(button->geometry().center());
    ASSERT_EQ(hit, button);
    QTest::mouseClick(hit, Qt::LeftButton);
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_EQ(spy.takeLast().at(0).toInt(), row);
  }
}

TEST_F(FrameViewTest, ShowsHeaderFooterAndRowsOfAHousekeepingFrame) {
  FrameRecord& record = Housekeeping(2);
  record.values[40] = 1;
  record.values[42] = 0;
  record.values[67] = 0;
  record.values[8] = 4.25;
  Find("Text8")->setText("stale");
  view->ShowFrame(*table, 2);
  EXPECT_EQ(Text("Text3_0"), "Saturday");
  EXPECT_EQ(Text("Text3_1"), "07.03.2009 14:05:09");
  EXPECT_EQ(Text("Text3_2"), "4711");
  EXPECT_EQ(Text("Text5"), "S");
  EXPECT_EQ(Text("Text6"), "-5");
  EXPECT_EQ(Text("Text7"), "123456");
  EXPECT_EQ(Text("Text8"), "");
  EXPECT_EQ(Text("Text9").size(), 33);
  EXPECT_EQ(Text("Text9"), QString::fromLatin1(record.comText.data(), 33));
  EXPECT_EQ(LabelText("Label13"), "System Housekeeping Data");
  const std::pair<int, const char*> rows[] = {
      {0, "41"},        {1, "TEST"},    {2, "YES"},     {4, "POWERSAFE"}, {8, "4.3"},
      {38, "20"},       {40, "1"},      {42, "IDLE"},   {43, "RX ON"},    {45, "1k2 AFSK"},
      {46, "1.0"},      {54, "23"},     {66, "64"},     {67, "???"},      {69, "11001000"},
      {70, "00000001"}, {81, "163600"}, {82, "1B0000"}, {92, "0"},
  };
  for (const auto& [row, text] : rows) {
    EXPECT_EQ(Box(row), text) << "row " << row;
  }
  EXPECT_EQ(LabelText("Label14"), "0%");
  EXPECT_EQ(LabelText("Label15"), "0%");
  EXPECT_EQ(Text("Text4"), "1/1/00 11:58:57 AM UTC");  // US short date and long time
}

TEST_F(FrameViewTest, EveryValueReplacesThePreviousFramesText) {
  Housekeeping(1);
  FrameRecord& next = Housekeeping(2);
  const std::pair<int, double> values[] = {{1, 2},
                                           {45, 0},
                                           {67, 12},
                                           {3, 1e10},
                                           {69, 256},
                                           {70, -1},
                                           {81, 4294967295.0},
                                           {82, 1e300},
                                           {92, std::numeric_limits<double>::quiet_NaN()},
                                           {8, std::numeric_limits<double>::infinity()}};
  for (const auto& [row, value] : values) {
    next.values[row] = value;
  }
  const std::pair<int, const char*> expected[] = {
      {1, "2"}, {45, "0"},        {67, "12"}, {3, ""},     {69, ""},
      {70, ""}, {81, "FFFFFFFF"}, {82, ""},   {92, "NaN"}, {8, "Infinity"}};
  view->ShowFrame(*table, 1);
  view->ShowFrame(*table, 2);
  for (const auto& [row, text] : expected) {
    EXPECT_EQ(Box(row), text) << "row " << row;
  }
  EXPECT_EQ(view->ValueBoxColour(69), kLightGreen);  // follows the value, not the text
  EXPECT_EQ(LabelText("Label14"), "");
  EXPECT_EQ(LabelText("Label15"), "");
  EXPECT_EQ(Text("Text4"), "");
}

TEST_F(FrameViewTest, SystemStatusColourFollowsRow69WhileAdcsIsPresent) {
  const struct {
    double status;
    double adcsMarker;
    QColor colour;
    const char* text;
  } cases[] = {
      {190, 64, kLightRed, "10111110"}, {191, 64, kLightGreen, "10111111"},
      {0, 64, kLightRed, "00000000"},   {256, 64, kLightGreen, ""},
      {255, 0, kLightGrey, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    FrameRecord& record = Housekeeping(1);
    record.values[69] = c.status;
    record.values[66] = c.adcsMarker;
    view->ShowFrame(*table, 1);
    EXPECT_EQ(view->ValueBoxColour(69), c.colour);
    EXPECT_EQ(Box(69), c.text);
  }
}

TEST_F(FrameViewTest, AnAbsentSectionShowsZeroAndEmptyBoxes) {
  for (const SectionInfo& absent : kSections) {
    SCOPED_TRACE(absent.name.data());
    Housekeeping(1).values[absent.firstRow] = 0;
    view->ShowFrame(*table, 1);
    for (int row = 0; row < kParameterCount; ++row) {
      const bool blank = row > absent.firstRow && row <= absent.lastRow;
      EXPECT_EQ(Box(row).isEmpty(), blank) << "row " << row;
    }
    EXPECT_EQ(Box(absent.firstRow), "0");
    const bool adcs = absent.section == Section::kAdcs;
    EXPECT_EQ(Text("Text4").isEmpty(), adcs);
    EXPECT_EQ(LabelText("Label14").isEmpty(), adcs);
    EXPECT_EQ(LabelText("Label15").isEmpty(), adcs);
  }
}

TEST_F(FrameViewTest, DerivedFieldsUseTheRegionalSeparatorAndDate) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  FrameRecord& record = Housekeeping(1);
  record.values[81] = 1455616 + 4608;
  record.values[82] = 1769472 + 1536;
  record.values[92] = 0.5;
  record.values[9] = 319.2156982421875;
  view->ShowFrame(*table, 1);
  EXPECT_EQ(Box(81), "164800");
  EXPECT_EQ(LabelText("Label14"), "2%");
  EXPECT_EQ(LabelText("Label15"), "0%");  // half a step rounds to the even 0
  EXPECT_EQ(Box(92), "0,5");
  EXPECT_EQ(Box(9), "319,2");
  const QString day = QLocale().toString(QDate(2000, 1, 1), QLocale::ShortFormat);
  EXPECT_EQ(Text("Text4"), day + " 23:58:57 UTC");
  // Read back with the same separator, 319,2 mA colours the +Z face with n = 192.
  EXPECT_EQ(QColor(Picture().pixel(80, 180)), QColor(192, 192, 0));
}

TEST_F(FrameViewTest, OtherKindsEmptyTheValuesAndTheirDerivedFields) {
  const struct {
    int frameType;
    const char* description;
    const char* id;
  } kinds[] = {
      {'G', "GPS Data", "G"},     {'M', "GPS Almanach Data", "M"},
      {'I', "Image Data", "I"},   {'A', "ADCS Extended Housekeeping Data", "A"},
      {'s', "unknown Data", "s"}, {'?', "unknown Data", "?"},
      {300, "unknown Data", "S"},  // no character: the ID box keeps its text
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.description);
    Housekeeping(1).values[15] = 500;
    OfKind(2, kind.frameType).comText = "";
    view->ShowFrame(*table, 1);
    view->ShowFrame(*table, 2);
    EXPECT_EQ(LabelText("Label13"), kind.description);
    EXPECT_EQ(Text("Text5"), kind.id);
    EXPECT_EQ(Text("Text3_2"), "4712");
    for (int row = 0; row < kParameterCount; ++row) {
      EXPECT_TRUE(Box(row).isEmpty()) << "row " << row;
    }
    EXPECT_EQ(Text("Text4"), "");
    EXPECT_EQ(LabelText("Label14"), "");
    EXPECT_EQ(LabelText("Label15"), "");
    EXPECT_EQ(Text("Text9"), "");
    EXPECT_EQ(view->ValueBoxColour(69), kLightGrey);
    const QImage picture = Picture();
    for (const FacePixels& face : kFacePixels) {
      SCOPED_TRACE(face.caption);
      ExpectFaceLook(picture, face, Qt::black, Qt::white);
    }
  }
}

TEST_F(FrameViewTest, FrameNumberBeyondTheTableIsUnknownAndKeepsTheHeader) {
  Housekeeping(1);
  view->ShowFrame(*table, 1);
  view->ShowFrame(*table, kFrameTableCapacity + 1);
  EXPECT_EQ(LabelText("Label13"), "unknown Data");
  EXPECT_EQ(Text("Text3_2"), "4711");
  EXPECT_TRUE(Box(0).isEmpty());
}

TEST_F(FrameViewTest, FrameZeroChangesNothing) {
  Housekeeping(1).values[9] = 400;
  view->ShowFrame(*table, 1);
  const auto snapshot = [this] {
    QStringList texts;
    for (const QLineEdit* box : window->findChildren<QLineEdit*>()) {
      texts << box->objectName() + "=" + box->text() + "@" +
                   box->palette().color(QPalette::Base).name();
    }
    for (const QLabel* label : window->findChildren<QLabel*>()) {
      texts << label->objectName() + "=" + label->text();
    }
    return texts;
  };
  const QStringList before = snapshot();
  const QImage picture = Picture();
  view->ShowFrame(*table, 0);
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(Picture(), picture);
}

TEST_F(FrameViewTest, PanelFacesFollowTheCurrentBoxes) {
  FrameRecord& record = Housekeeping(1);
  record.values[15] = 319.2;  // -X: n = 192, black lines
  record.values[17] = 319.1;  // +Y: n = 191, white lines
  record.values[13] = -10;    // -Y: negative, reset look
  record.values[9] = 500;     // +Z: full yellow
  record.values[11] = 0.84;   // -Z: the box shows 0.8, and 0.48 rounds to black
  view->ShowFrame(*table, 1);
  const QImage picture = Picture();
  const std::array<std::pair<QColor, QColor>, 6> looks{{
      {Qt::black, Qt::white},            // -Z
      {Qt::black, Qt::white},            // +X has no solar cells
      {QColor(191, 191, 0), Qt::white},  // +Y
      {Qt::black, Qt::white},            // -Y
      {QColor(192, 192, 0), Qt::black},  // -X
      {QColor(255, 255, 0), Qt::black},  // +Z
  }};
  for (std::size_t i = 0; i < kFacePixels.size(); ++i) {
    SCOPED_TRACE(kFacePixels[i].caption);
    ExpectFaceLook(picture, kFacePixels[i], looks[i].first, looks[i].second);
  }
  // Without the power section the current boxes are empty: every face stays reset.
  record.values[0] = 0;
  view->ShowFrame(*table, 1);
  const QImage reset = Picture();
  for (const FacePixels& face : kFacePixels) {
    SCOPED_TRACE(face.caption);
    ExpectFaceLook(reset, face, Qt::black, Qt::white);
  }
}

// The whole text is in view: with the cursor moved to its end the box has not scrolled.
bool ShowsWholeText(QLineEdit* box) {
  box->setCursorPosition(0);
  box->grab();
  const QPoint start = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
  box->setCursorPosition(static_cast<int>(box->text().size()));
  box->grab();
  const bool whole = box->cursorPositionAt(start) == 0;
  box->setCursorPosition(0);
  return whole;
}

TEST_F(FrameViewTest, LongWordsAndNumbersFitTheirBoxes) {
  window->show();
  const struct {
    int row;
    double value;
    const char* text;
  } cases[] = {
      {4, 2, "EMERGENCY"},
      {58, 1, "POWERSAFE"},
      {67, 9, "SUN TEST"},
      {68, 4, "CONTROL"},
      {45, 1, "1k2 AFSK"},
      {3, -2147483648.0, "-2147483648"},
      {81, 4294967295.0, "FFFFFFFF"},
      {19, -1234.5, "-1234.5"},
      {92, 9658.90478515625, "9658.90478515625"},
  };
  FrameRecord& record = Housekeeping(1);
  for (const auto& c : cases) {
    record.values[c.row] = c.value;
  }
  record.comText = "XQ0SAT QUILMAR-1 BEACON WMWMWMWMW";
  record.dateTime = "255.255.2155 255:255:255";  // clock bytes garbled on the radio link
  view->ShowFrame(*table, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(Box(c.row), c.text);
    EXPECT_TRUE(ShowsWholeText(view->ValueBox(c.row)));
  }
  for (const char* name : {"Text9", "Text3_1"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ShowsWholeText(Find(name)));
  }
  // A text that fits goes back to the box's own face.
  const QFont own = view->ValueBox(5)->font();
  EXPECT_NE(view->ValueBox(4)->font(), own);
  Housekeeping(1);
  view->ShowFrame(*table, 1);
  EXPECT_EQ(Box(4), "POWERSAFE");
  EXPECT_EQ(Box(3), "1");
  EXPECT_EQ(view->ValueBox(3)->font(), own);
  EXPECT_EQ(view->ValueBox(67)->font(), own);
}

// Values far beyond the usual range do not fit even at the smallest size: the box shows what it
// can and the tooltip all of it, until a value that fits replaces it.
TEST_F(FrameViewTest, TextCutOffEvenAtTheSmallestSizeIsInTheTooltip) {
  FrameRecord& record = Housekeeping(1);
  record.values[19] = 1e20;     // one-decimal text, 23 characters
  record.values[20] = -1234.5;  // fits once narrowed
  view->ShowFrame(*table, 1);
  EXPECT_EQ(view->ValueBox(19)->toolTip(), "100000000000000000000.0");
  EXPECT_EQ(view->ValueBox(19)->toolTip(), Box(19));
  EXPECT_TRUE(view->ValueBox(20)->toolTip().isEmpty());
  Housekeeping(1);
  view->ShowFrame(*table, 1);
  EXPECT_TRUE(view->ValueBox(19)->toolTip().isEmpty());
}

TEST_F(FrameViewTest, InitCaptionsEmptiesTheFirstFourBoxes) {
  Housekeeping(1);
  view->ShowFrame(*table, 1);
  view->InitCaptions();
  for (int row = 0; row <= 5; ++row) {
    EXPECT_EQ(Box(row).isEmpty(), row <= 3) << row;
  }
}

}  // namespace
}  // namespace quilmar
