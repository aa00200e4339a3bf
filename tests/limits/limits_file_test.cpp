// The limits file: the default one loads with a source for every bound, and each kind of bad
// file is refused at the line and column of its fault.
#include "limits/limits_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "limits/value_names.h"

namespace quilmar {
namespace {

using ::testing::HasSubstr;

TEST(DefaultLimits, LoadsWithTheSpacecraftsThresholdsAndASourcePerBound) {
  const LimitsLoad load = LoadDefaultLimits();
  ASSERT_TRUE(load.limits) << load.error.Text();
  const ValueLimits* battery = load.limits->Of(*RowOfValueName("eps_tcs_battery_volts"));
  ASSERT_NE(battery, nullptr);
  const auto& redLow = battery->bounds[static_cast<int>(BoundKind::kRedLow)];
  ASSERT_TRUE(redLow);
  EXPECT_EQ(redLow->otherRow, *RowOfValueName("eps_tcs_limit_volt_em"));
  EXPECT_THAT(redLow->note, HasSubstr("Limit Volt EM"));
  const ValueLimits* power = load.limits->Of(*RowOfValueName("eps_tcs_power_level"));
  ASSERT_NE(power, nullptr);
  EXPECT_EQ(power->redStates, std::vector<std::string>{"EMERGENCY"});
  for (const ValueLimits& value : load.limits->Values()) {
    for (const auto& bound : value.bounds) {
      if (bound) {
        SCOPED_TRACE(ValueName(value.row) + " at " + bound->source);
        EXPECT_FALSE(bound->note.empty()) << "every default bound says where it comes from";
      }
    }
  }
}

TEST(LimitsFile, ABoundKeepsItsTextItsPlaceAndItsLinesComment) {
  const LimitsLoad load = ParseLimits(
      "[eps_tcs_battery_volts]\nyellow_high = 4.2 # charge end, \"quoted # not here\"\n"
      "red_low = \"eps_tcs_limit_volt_em\"  # the # EPS's own\n",
      "mine.toml");
  ASSERT_TRUE(load.limits) << load.error.Text();
  const ValueLimits& limits = load.limits->Values().front();
  const auto& high = limits.bounds[static_cast<int>(BoundKind::kYellowHigh)];
  ASSERT_TRUE(high);
  EXPECT_EQ(high->text, "4.2");
  EXPECT_EQ(high->source, "mine.toml:2:15");
  EXPECT_EQ(high->note, "charge end, \"quoted # not here\"");
  const auto& low = limits.bounds[static_cast<int>(BoundKind::kRedLow)];
  ASSERT_TRUE(low);
  EXPECT_EQ(low->note, "the # EPS's own");
  EXPECT_EQ(load.limits->Origin(), "mine.toml");
}

struct BadFile {
  const char* what;
  const char* text;
  int line;
  int column;
  const char* message;
};

// clang-format off
constexpr BadFile kBadFiles[] = {
    {"syntax", "[eps_tcs_battery_volts]\nred_low = = 3\n", 2, 11, ""},
    {"unclosed table", "[eps_tcs_battery_volts\nred_low = 3\n", 1, 23, ""},
    {"duplicate key", "[eps_tcs_battery_volts]\nred_low = 3\nred_low = 2\n", 3, 11, ""},
    {"unknown value name", "[adcs_temp_panel]\nred_low = 1\n", 1, 2, "unknown value name 'adcs_temp_panel'"},
    {"unknown value named by a bound", "[eps_tcs_battery_volts]\n\nred_low = \"eps_tcs_limit_volt\"\n", 3, 11, "unknown value name 'eps_tcs_limit_volt'"},
    {"bound naming another section", "[eps_tcs_battery_volts]\nred_low = \"cdhs_rtc_temp\"\n", 2, 11, "value of CDHS, not of EPS/TCS"},
    {"bound naming the value itself", "[cdhs_rtc_temp]\nred_high = \"cdhs_rtc_temp\"\n", 2, 12, "itself"},
    {"red low inside yellow", "[cdhs_rtc_temp]\nyellow_low = -20\n  red_low = -10\n", 3, 13, "red inside yellow: red_low -10 lies above yellow_low -20"},
    {"red high inside yellow", "[cdhs_rtc_temp]\nred_high = 60\nyellow_high = 70\n", 2, 12, "red inside yellow: yellow_high 70 lies above red_high 60"},
    {"red low above yellow high", "[cdhs_rtc_temp]\nyellow_high = 70\nred_low = 75\n", 3, 11, "red inside yellow"},
    {"low above high", "[cdhs_rtc_temp]\nyellow_low = 30\nyellow_high = 20\n", 2, 14, "yellow_low 30 lies above yellow_high 20"},
    {"state red and yellow", "[eps_tcs_power_level]\nred = [\"EMERGENCY\"]\nyellow = [\"POWERSAFE\", \"EMERGENCY\"]\n", 3, 10, "red inside yellow: 'EMERGENCY'"},
    {"unknown state", "[eps_tcs_power_level]\nred = [\"EMERGENCY\", \"EMERGANCY\"]\n", 2, 21, "'EMERGANCY' is not a state"},
    {"state of another value's words", "[com_sendstatus]\nred = [\"EMERGENCY\"]\n", 2, 8, "not a state"},
    {"states of a number", "[eps_tcs_battery_volts]\nred = [\"LOW\"]\n", 2, 1, "is a number, not a state"},
    {"bounds and states", "[eps_tcs_power_level]\nred = [\"EMERGENCY\"]\nred_high = 2\n", 1, 2, "bounds and states"},
    {"unknown key", "[cdhs_rtc_temp]\nred_lo = 3\n", 2, 1, "unknown key 'red_lo'"},
    {"bound neither number nor name", "[cdhs_rtc_temp]\nred_low = true\n", 2, 11, "must be a number or the name"},
    {"bound not finite", "[cdhs_rtc_temp]\nred_high = inf\n", 2, 12, "finite"},
    {"persistence zero", "[cdhs_rtc_temp]\npersistence = 0\n", 2, 15, "persistence"},
    {"persistence a fraction", "[cdhs_rtc_temp]\npersistence = 1.5\n", 2, 15, "persistence"},
    {"value not a table", "cdhs_rtc_temp = 3\n", 1, 1, "are a table"},
    {"a fault after good tables", "[cdhs_rtc_temp]\nred_high = 85\n\n[adcs_adcs_temp]\nred_high = 85\nyellow_high = 90\n", 5, 12, "red inside yellow"},
};
// clang-format on

TEST(LimitsFile, RefusesEachKindOfBadFileAtItsLineAndColumn) {
  for (const BadFile& bad : kBadFiles) {
    SCOPED_TRACE(bad.what);
    const LimitsLoad load = ParseLimits(bad.text, "bad.toml");
    ASSERT_FALSE(load.limits);
    EXPECT_EQ(load.error.file, "bad.toml");
    EXPECT_EQ(load.error.line, bad.line);
    EXPECT_EQ(load.error.column, bad.column);
    EXPECT_THAT(load.error.message, HasSubstr(bad.message));
    EXPECT_THAT(load.error.Text(), HasSubstr("bad.toml:" + std::to_string(bad.line) + ":" +
                                             std::to_string(bad.column) + ": "));
  }
}

TEST(LimitsFile, AFileThatCannotBeReadIsRefusedByNameAndAnEmptyOneGivesNoLimits) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("quilmar_limits_file_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "empty.toml").close();
  const LimitsLoad empty = LoadLimitsFile((folder / "empty.toml").string());
  ASSERT_TRUE(empty.limits) << empty.error.Text();
  EXPECT_TRUE(empty.limits->Values().empty());
  for (const std::string& path : {std::string("/nonexistent/limits.toml"), folder.string()}) {
    SCOPED_TRACE(path);
    const LimitsLoad load = LoadLimitsFile(path);
    ASSERT_FALSE(load.limits);
    EXPECT_EQ(load.error.Text(), path + ": cannot be read");
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quilmar
