// Values beyond their limits in the main window: the colour and the mark of each state, the
// tooltip naming the bound, persistence over the table's frames in order, and a limits file
// refused at start or on reload.
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <cmath>
#include <fstream>

#include "limits/limits_file.h"
#include "limits/value_names.h"
#include "main_window_fixture.h"
#include "ui/chart/chart_adapter.h"
#include "ui/chart/parameter_graph.h"
#include "ui/frame/frame_view.h"
#include "ui/limits/frame_limits.h"
#include "ui/limits/limit_look.h"
#include "ui/look/look.h"

namespace quilmar::testing {
namespace {

constexpr int kPowerLevel = 4;
constexpr int kBatteryVolts = 18;
constexpr int kTempSensor1 = 26;
constexpr int kTempSensor2 = 27;
constexpr int kTempSensor3 = 28;
constexpr int kTempBattery = 29;
constexpr int kLimitVoltEm = 36;

constexpr char kLimits[] = R"([eps_tcs_battery_volts]
red_low = "eps_tcs_limit_volt_em"   # the EPS's emergency threshold
yellow_low = 3.5

[eps_tcs_temp_battery]
red_high = 60

[eps_tcs_power_level]
red = ["EMERGENCY"]

[eps_tcs_temp_sensor_1]
red_low = -40

[eps_tcs_temp_sensor_2]
yellow_high = 70
persistence = 2
)";

// A housekeeping frame carrying only EPS/TCS; every value 0 unless set.
FrameRecord EpsRecord(int frameNumber) {
  FrameRecord record;
  record.frameType = 'S';
  record.frameTypeLetter = "S";
  record.frameNumber = frameNumber;
  record.hexDump.assign(402, '0');
  record.values[0] = SectionInfoOf(Section::kEpsTcs).markerValue;
  return record;
}

// A frame of CDHS and ADCS only: no EPS/TCS value.
FrameRecord CdhsRecord(int frameNumber) {
  FrameRecord record = EpsRecord(frameNumber);
  record.values[0] = 0;
  record.values[SectionInfoOf(Section::kCdhs).firstRow] = SectionInfoOf(Section::kCdhs).markerValue;
  return record;
}

double EmergencyValue() {
  for (int v = 0; v < 256; ++v) {
    if (ShownStateText(kPowerLevel, v) == std::string("EMERGENCY")) {
      return v;
    }
  }
  ADD_FAILURE() << "no value shows EMERGENCY";
  return 0;
}

class LimitMarksTest : public MainWindowTest {
 protected:
  void UseLimits(const char* text) {
    LimitsLoad load = ParseLimits(text, "limits.toml");
    ASSERT_TRUE(load.limits) << load.error.Text();
    window->UseLimits({*load.limits, {}, QStringLiteral("Limits: limits.toml")});
  }

  void Show(const std::vector<FrameRecord>& records, int showIndex = 1) {
    ASSERT_TRUE(window->ShowFramesFrom(QStringLiteral("test frames"), [&](FrameTable& table) {
      for (std::size_t i = 0; i < records.size(); ++i) {
        table.records[i] = records[i];
      }
      table.frameCount = static_cast<int>(records.size());
      MainWindow::FilledTable filled;
      filled.summary.framesStored = table.frameCount;
      filled.showIndex = showIndex;
      return filled;
    }));
  }

  FrameView& View() { return window->frameView(); }

  QString LimitsFilePath(const char* name, const char* text) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    std::ofstream(path.toStdString()) << text;
    return path;
  }
};

TEST_F(LimitMarksTest, EachStateHasItsColourMarkAndTooltip) {
  UseLimits(kLimits);
  FrameRecord record = EpsRecord(7);
  record.values[kLimitVoltEm] = 3.3;
  record.values[kBatteryVolts] = 3.4;  // below yellow_low 3.5, above Limit Volt EM
  record.values[kTempBattery] = 61;    // above red_high 60
  record.values[kPowerLevel] = EmergencyValue();
  record.values[kTempSensor1] = NAN;
  record.values[kTempSensor2] = 20;   // within
  record.values[kTempSensor3] = 300;  // no limits at all
  Show({record});

  const struct {
    const char* name;
    int row;
    QColor colour;
    const char* mark;
    const char* toolTip;  // a part of it; nullptr: no tooltip
  } cases[] = {
      {"yellow low", kBatteryVolts, kLimitYellow, "\u25BC",
       "yellow low: below yellow_low 3.5 (limits.toml:3:14)"},
      {"red high", kTempBattery, kLimitRed, "\u25B2",
       "red high: above red_high 60 (limits.toml:6:12)"},
      {"red state", kPowerLevel, kLimitRed, "!", "red state: EMERGENCY (limits.toml:9:7)"},
      {"NaN reading", kTempSensor1, kLimitRed, "!", "red: NaN reading"},
      {"within", kTempSensor2, kLightGrey, "", nullptr},
      {"without limits", kTempSensor3, kLightGrey, "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(View().ValueBoxColour(c.row), c.colour);
    EXPECT_EQ(View().LimitMarkOf(c.row), QString::fromUtf8(c.mark));
    const QString toolTip = View().ValueBox(c.row)->toolTip();
    if (c.toolTip == nullptr) {
      EXPECT_TRUE(toolTip.isEmpty()) << toolTip.toStdString();
    } else {
      EXPECT_TRUE(toolTip.contains(QString::fromUtf8(c.toolTip))) << toolTip.toStdString();
    }
  }
  // The mark stands before the value, which keeps its text for the windows that read it.
  EXPECT_GT(View().ValueBox(kBatteryVolts)->textMargins().left(), 0);
  EXPECT_EQ(View().ValueBox(kTempSensor2)->textMargins().left(), 0);
  EXPECT_FALSE(View().ValueBox(kBatteryVolts)->text().contains(u'\u25BC'));
}

// A bound naming another value is said with that value as this frame reads it.
TEST_F(LimitMarksTest, ATooltipNamesTheBoundAndWhereItWasRead) {
  UseLimits(kLimits);
  FrameRecord record = EpsRecord(7);
  record.values[kLimitVoltEm] = 3.25;
  record.values[kBatteryVolts] = 3.0;
  Show({record});
  EXPECT_EQ(View().LimitMarkOf(kBatteryVolts), QStringLiteral("\u25BC"));
  EXPECT_EQ(View().ValueBox(kBatteryVolts)->toolTip(),
            QStringLiteral("red low: below red_low eps_tcs_limit_volt_em = 3.25 "
                           "(limits.toml:2:11; the EPS's emergency threshold)"));
}

// Persistence 2 over the frames in order: a state is shown once it has held two frames that
// carried the value; a frame without EPS/TCS neither counts nor breaks the count. Stepping
// back shows each frame's state as it stood, and a normal frame gives the charted box its
// light yellow back.
TEST_F(LimitMarksTest, PersistenceHoldsOverTheFramesInOrder) {
  UseLimits(kLimits);
  const double temps[] = {80, 20, 80, NAN, 80, 20, 80};  // NAN: a frame without EPS/TCS
  std::vector<FrameRecord> records;
  for (std::size_t i = 0; i < std::size(temps); ++i) {
    records.push_back(std::isnan(temps[i]) ? CdhsRecord(static_cast<int>(i) + 1)
                                           : EpsRecord(static_cast<int>(i) + 1));
    records.back().values[kTempSensor2] = std::isnan(temps[i]) ? 0 : temps[i];
  }
  Show(records);
  View().ParameterButton(kTempSensor2)->click();
  const char* shown[] = {"", "", "", "", "\u25B2", "\u25B2", "\u25B2"};
  for (int index = 1; index <= 7; ++index) {
    SCOPED_TRACE(index);
    window->ShowFrameAt(index);
    EXPECT_EQ(View().LimitMarkOf(kTempSensor2), QString::fromUtf8(shown[index - 1]));
  }
  window->ShowFrameAt(2);
  EXPECT_EQ(View().ValueBoxColour(kTempSensor2), kLightYellow);
  window->ShowFrameAt(5);
  EXPECT_EQ(View().ValueBoxColour(kTempSensor2), kLimitYellow);
}

TEST_F(LimitMarksTest, ARefusedFileIsSaidAndTheDefaultLimitsServe) {
  const QString bad = LimitsFilePath("bad.toml", "[eps_tcs_batery_volts]\nred_low = 3\n");
  window->LoadLimitsAtStart(bad.toStdString());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
  EXPECT_TRUE(messages[0].text.contains(bad + QStringLiteral(":1:2: unknown value name")))
      << messages[0].text.toStdString();
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("default limits")));
  EXPECT_EQ(Find<QLabel>("LimitsStatus")->text(),
            QStringLiteral("Limits: default (bad.toml refused)"));
  EXPECT_EQ(window->frameLimits().Limits().Origin(), kDefaultLimitsName);
}

TEST_F(LimitMarksTest, AReloadThatFindsABadFileKeepsTheLimitsInUse) {
  const QString path = LimitsFilePath("limits.toml", kLimits);
  window->LoadLimitsAtStart(path.toStdString());
  ASSERT_TRUE(messages.empty());
  EXPECT_EQ(Find<QLabel>("LimitsStatus")->text(), QStringLiteral("Limits: limits.toml"));
  LimitsFilePath("limits.toml", "[eps_tcs_temp_battery]\nred_high = 60\nred_high = 61\n");
  window->ReloadLimits();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("keeps the limits it had")));
  EXPECT_EQ(Find<QLabel>("LimitsStatus")->text(),
            QStringLiteral("Limits: limits.toml kept (limits.toml refused)"));
  // Still the first file's limits, whose sensor 2 holds two frames.
  const ValueLimits* kept = window->frameLimits().Limits().Of(kTempSensor2);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->persistence, 2);
}

// The chart of a value with limits: a band beyond each bound that is a number, a line
// following the value a bound names (broken where a frame lacks the section), and the points
// beyond the limits (after persistence) marked.
TEST_F(LimitMarksTest, TheChartShowsBandsBoundLinesAndMarkedPoints) {
  UseLimits(kLimits);
  struct Values {
    double em, battery, sensor2, tempBattery;
  };
  const Values values[] = {
      {3.3, 3.6, 20, 50}, {0, 0, 0, 0}, {3.25, 3.2, 80, 65}, {3.3, 3.4, 80, 55}};
  std::vector<FrameRecord> records;
  for (int i = 0; i < 4; ++i) {
    records.push_back(i == 1 ? CdhsRecord(i + 1) : EpsRecord(i + 1));
    if (i != 1) {
      records.back().values[kLimitVoltEm] = values[i].em;
      records.back().values[kBatteryVolts] = values[i].battery;
      records.back().values[kTempSensor2] = values[i].sensor2;
      records.back().values[kTempBattery] = values[i].tempBattery;
    }
  }
  Show(records);
  window->show();
  Find<QTabWidget>("Hexdump")->setCurrentIndex(3);

  const double none = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    int row;
    std::vector<std::pair<BoundKind, std::vector<double>>> lines;  // NaN: no value there
    std::vector<bool> follows;
    std::vector<int> markedRows;
    bool yellowBand, redBand;
  } cases[] = {
      {"a bound naming Limit Volt EM and a number",
       kBatteryVolts,
       {{BoundKind::kRedLow, {3.3, none, 3.25, 3.3}},
        {BoundKind::kYellowLow, {3.5, 3.5, 3.5, 3.5}}},
       {true, false},
       {3, 4},
       true,
       false},
      {"persistence 2",
       kTempSensor2,
       {{BoundKind::kYellowHigh, {70, 70, 70, 70}}},
       {false},
       {4},
       true,
       false},
      {"a red high number",
       kTempBattery,
       {{BoundKind::kRedHigh, {60, 60, 60, 60}}},
       {false},
       {3},
       false,
       true},
      {"no limits", kTempSensor3, {}, {}, {}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    View().ParameterButton(c.row)->click();
    ChartAdapter& chart = window->parameterGraph().Chart();
    const ChartLimits& limits = chart.Limits();
    ASSERT_EQ(limits.lines.size(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(limits.lines[i].kind, c.lines[i].first);
      EXPECT_EQ(limits.lines[i].follows, c.follows[i]);
      ASSERT_EQ(limits.lines[i].values.size(), 4u);
      for (std::size_t r = 0; r < 4; ++r) {
        const double expected = c.lines[i].second[r];
        const double got = limits.lines[i].values[r];
        EXPECT_TRUE(std::isnan(expected) ? std::isnan(got) : got == expected) << "row " << r + 1;
      }
    }
    std::vector<int> marked;
    for (const ChartLimitPoint& point : limits.points) {
      marked.push_back(point.row);
    }
    EXPECT_EQ(marked, c.markedRows);
    chart.Commit();
    const QImage picture = chart.View()->grab().toImage();
    int yellow = 0;
    int red = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QColor colour = picture.pixelColor(x, y);
        yellow += colour == kLimitBandYellow;
        red += colour == kLimitBandRed;
      }
    }
    EXPECT_EQ(yellow > 100, c.yellowBand) << yellow;
    EXPECT_EQ(red > 100, c.redBand) << red;
  }
}

}  // namespace
}  // namespace quilmar::testing
