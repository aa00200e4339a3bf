// The state of a value in a frame: bounds from numbers and from the frame's own thresholds,
// states by their shown text, NaN, a frame without the section, and persistence.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "limits/limits_file.h"
#include "limits/value_names.h"

namespace quilmar {
namespace {

constexpr char kLimits[] = R"(
[eps_tcs_battery_volts]
red_low = "eps_tcs_limit_volt_em"
yellow_low = "eps_tcs_limit_volt_psm"
yellow_high = 4.2
red_high = 4.3

[eps_tcs_power_level]
red = ["EMERGENCY", "7"]
yellow = ["POWERSAFE"]

[cdhs_rtc_temp]
yellow_high = 40
persistence = 3
)";

LimitSet Limits() {
  LimitsLoad load = ParseLimits(kLimits, "test.toml");
  EXPECT_TRUE(load.limits) << load.error.Text();
  return load.limits.value_or(LimitSet());
}

int Row(const char* name) { return *RowOfValueName(name); }

// A frame carrying the EPS/TCS section, with the EPS's thresholds at 3.3 V (emergency) and
// 3.5 V (power-safe).
FrameRecord EpsFrame() {
  FrameRecord record;
  record.values[0] = 41;
  record.values[static_cast<std::size_t>(Row("eps_tcs_limit_volt_em"))] = 3.3;
  record.values[static_cast<std::size_t>(Row("eps_tcs_limit_volt_psm"))] = 3.5;
  return record;
}

struct Case {
  const char* what;
  const char* value;
  double reading;
  LimitLevel level;
  LimitDirection direction;
  std::optional<BoundKind> bound;
  double boundValue;
};

using enum LimitLevel;
using enum LimitDirection;

// clang-format off
const Case kCases[] = {
    {"within", "eps_tcs_battery_volts", 3.9, kNormal, kNone, std::nullopt, 0},
    {"on the power-safe threshold", "eps_tcs_battery_volts", 3.5, kNormal, kNone, std::nullopt, 0},
    {"below power-safe", "eps_tcs_battery_volts", 3.49, kYellow, kLow, BoundKind::kYellowLow, 3.5},
    {"on the emergency threshold", "eps_tcs_battery_volts", 3.3, kYellow, kLow, BoundKind::kYellowLow, 3.5},
    {"below emergency", "eps_tcs_battery_volts", 3.2, kRed, kLow, BoundKind::kRedLow, 3.3},
    {"on yellow high", "eps_tcs_battery_volts", 4.2, kNormal, kNone, std::nullopt, 0},
    {"above yellow high", "eps_tcs_battery_volts", 4.25, kYellow, kHigh, BoundKind::kYellowHigh, 4.2},
    {"above red high", "eps_tcs_battery_volts", 4.31, kRed, kHigh, BoundKind::kRedHigh, 4.3},
    {"NaN reading", "eps_tcs_battery_volts", NAN, kRed, kState, std::nullopt, 0},
    {"emergency", "eps_tcs_power_level", 2, kRed, kState, std::nullopt, 0},
    {"power-safe", "eps_tcs_power_level", 1, kYellow, kState, std::nullopt, 0},
    {"nominal", "eps_tcs_power_level", 0, kNormal, kNone, std::nullopt, 0},
    {"an unlisted word by its integer text", "eps_tcs_power_level", 7, kRed, kState, std::nullopt, 0},
    {"6.5 shows as 6", "eps_tcs_power_level", 6.5, kNormal, kNone, std::nullopt, 0},
    {"7.4 shows as 7", "eps_tcs_power_level", 7.4, kRed, kState, std::nullopt, 0},
    {"a value without limits", "eps_tcs_battery_curr", NAN, kNormal, kNone, std::nullopt, 0},
};
// clang-format on

TEST(LimitSet, StateOfAValueInAFrame) {
  const LimitSet limits = Limits();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    FrameRecord record = EpsFrame();
    record.values[static_cast<std::size_t>(Row(c.value))] = c.reading;
    const LimitCheck check = limits.Check(Row(c.value), record);
    EXPECT_EQ(check.level, c.level);
    EXPECT_EQ(check.direction, c.direction);
    EXPECT_EQ(check.bound, c.bound);
    if (c.bound) {
      EXPECT_DOUBLE_EQ(check.boundValue, c.boundValue);
      ASSERT_NE(check.Bound(), nullptr);
      EXPECT_EQ(check.Bound()->source.substr(0, 10), "test.toml:");
    }
  }
}

TEST(LimitSet, ABoundTheFrameReadAsNaNDecidesNothing) {
  const LimitSet limits = Limits();
  FrameRecord record = EpsFrame();
  record.values[static_cast<std::size_t>(Row("eps_tcs_limit_volt_em"))] = NAN;
  record.values[static_cast<std::size_t>(Row("eps_tcs_battery_volts"))] = 3.0;
  const LimitCheck check = limits.Check(Row("eps_tcs_battery_volts"), record);
  EXPECT_EQ(check.level, kYellow);
  EXPECT_EQ(check.bound, BoundKind::kYellowLow);
}

TEST(LimitSet, AFrameWithoutTheSectionIsNormal) {
  const LimitSet limits = Limits();
  FrameRecord record;  // no section carried: every marker row 0, every value 0
  EXPECT_EQ(limits.Check(Row("eps_tcs_battery_volts"), record).level, kNormal);
  record.values[0] = 41;  // now it carries EPS/TCS, whose thresholds read 0 V
  record.values[static_cast<std::size_t>(Row("eps_tcs_battery_volts"))] = 4.5;
  EXPECT_EQ(limits.Check(Row("eps_tcs_battery_volts"), record).level, kRed);
}

// Readings of cdhs_rtc_temp (yellow above 40, persistence 3) and the state reported after
// each: a change shows once it has held three frames in a row.
TEST(LimitPersistence, AStateChangesAfterItHeldForThePersistence) {
  const LimitSet limits = Limits();
  const int row = Row("cdhs_rtc_temp");
  const struct {
    std::vector<double> readings;
    std::string reported;  // per frame: n normal, y yellow
  } kSeries[] = {
      {{41, 41, 41, 41}, "nnyy"},
      {{41, 41, 30, 41, 41, 41, 30}, "nnnnnyy"},
      {{41, 41, 41, 30, 30, 41, 30, 30, 30}, "nnyyyyyyn"},
      {{41, NAN, 41, 41, 41, 41}, "nnnnyy"},
  };
  for (const auto& series : kSeries) {
    SCOPED_TRACE(series.reported);
    LimitPersistence persistence;
    std::string reported;
    for (const double reading : series.readings) {
      FrameRecord record;
      record.values[54] = 23;  // carries CDHS
      record.values[static_cast<std::size_t>(row)] = reading;
      const LimitCheck state = persistence.Step(row, limits.Check(row, record));
      reported += state.Normal() ? 'n' : (state.level == kYellow ? 'y' : 'r');
    }
    EXPECT_EQ(reported, series.reported);
  }
}

// What a tooltip says of each state: the bound, its value in this frame and where it was
// read, with the line's comment.
TEST(LimitSet, SourceTextNamesTheBoundItsValueAndItsPlace) {
  const LimitsLoad load = ParseLimits(
      "[eps_tcs_battery_volts]\nred_low = \"eps_tcs_limit_volt_em\" # the EPS's own\n"
      "yellow_high = 4.2\n\n[eps_tcs_power_level]\nyellow = [\"POWERSAFE\"]\n"
      "red = [\"EMERGENCY\"]\n",
      "tip.toml");
  ASSERT_TRUE(load.limits) << load.error.Text();
  FrameRecord record = EpsFrame();
  const int battery = Row("eps_tcs_battery_volts");
  const int power = Row("eps_tcs_power_level");
  const struct {
    int row;
    double reading;
    const char* text;
  } kCases[] = {
      {battery, 3.9, ""},
      {battery, 3.2,
       "red low: below red_low eps_tcs_limit_volt_em = 3.3 (tip.toml:2:11; the EPS's own)"},
      {battery, 4.5, "yellow high: above yellow_high 4.2 (tip.toml:3:15)"},
      {battery, NAN, "red: NaN reading"},
      {power, 2, "red state: EMERGENCY (tip.toml:7:7)"},
      {power, 1, "yellow state: POWERSAFE (tip.toml:6:10)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    record.values[static_cast<std::size_t>(c.row)] = c.reading;
    const auto checks = load.limits->CheckFrame(record);
    EXPECT_EQ(LimitSourceText(checks[static_cast<std::size_t>(c.row)], c.reading), c.text);
    EXPECT_TRUE(checks[static_cast<std::size_t>(Row("cdhs_rtc_temp"))].Normal());
  }
}

TEST(ValueNames, StateTextsAsTheWindowShowsThem) {
  EXPECT_EQ(ShownStateText(Row("eps_tcs_power_level"), 2), "EMERGENCY");
  EXPECT_EQ(ShownStateText(Row("com_enabled"), 0), "TRX OFF");
  EXPECT_EQ(ShownStateText(Row("adcs_act_adcs_mode"), 9), "SUN TEST");
  EXPECT_EQ(ShownStateText(Row("eps_tcs_power_level"), 2.5), "2");  // half to even
  EXPECT_EQ(ShownStateText(Row("eps_tcs_power_level"), NAN), std::nullopt);
  EXPECT_FALSE(ShowsStateWords(Row("com_softstart")));  // a count, unlike EPS's softstart
  EXPECT_TRUE(ShowsStateWords(Row("eps_tcs_softstart")));
}

}  // namespace
}  // namespace quilmar
