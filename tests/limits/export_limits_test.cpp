// quilmar-hk-export --limits: the limits column of CSV and the limits member of JSON, with
// persistence over the log's frames and frames without the section; the table otherwise as
// without --limits; a bad limits file ends the command with status 2 and its place.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/run_command.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;
using ::testing::HasSubstr;

constexpr char kLimits[] = R"([eps_tcs_battery_volts]
red_low = "eps_tcs_limit_volt_em"
yellow_low = "eps_tcs_limit_volt_psm"

[eps_tcs_power_level]
red = ["EMERGENCY"]

[eps_tcs_temp_battery]
yellow_high = 40
persistence = 2
)";

class ExportLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder);
    // Battery, power level and battery temperature of four frames; the second carries CDHS
    // and ADCS instead of EPS/TCS, and must not count for the temperature's persistence.
    // Limit Volt EM reads 3.33 V, Limit Volt PSM 3.53 V.
    const struct {
      std::uint8_t section, battery, power;
      std::int8_t temp;
    } kFrames[] = {{41, 200, 0, 45}, {23, 0, 0, 0}, {41, 160, 2, 45}, {41, 175, 0, 45}};
    std::vector<Bytes> frames;
    std::uint16_t number = 100;
    for (const auto& f : kFrames) {
      Bytes frame = testing::HousekeepingFrame(number++, f.section, f.section == 41 ? 20 : 64);
      if (f.section == 41) {
        testing::Put(frame, 17 + 27, {f.battery});
        testing::Put(frame, 17 + 44, {180, 170});
        testing::Put(frame, 17 + 38, {static_cast<std::uint8_t>(f.temp)});
        testing::Put(frame, 17 + 10, {f.power});
      }
      frames.push_back(frame);
    }
    testing::WriteFile(log, testing::KissLog(std::span<const Bytes>(frames)));
    std::ofstream(limits) << kLimits;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  testing::CommandResult Export(std::vector<std::string> arguments) {
    arguments.push_back(log.string());
    return testing::RunCommand(QUILMAR_EXPORT_EXE, arguments);
  }

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quilmar_limits_" + std::to_string(::getpid()));
  const std::filesystem::path log = folder / "pass.kss";
  const std::filesystem::path limits = folder / "limits.toml";
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

const std::vector<std::string> kExpected = {
    "",
    "",
    "eps_tcs_power_level red state; eps_tcs_battery_volts red low; "
    "eps_tcs_temp_battery yellow high",
    "eps_tcs_battery_volts yellow low; eps_tcs_temp_battery yellow high",
};

TEST_F(ExportLimits, CsvGetsALimitsColumnAndKeepsEveryOtherCell) {
  const testing::CommandResult plain = Export({});
  const testing::CommandResult judged = Export({"--limits", limits.string()});
  ASSERT_EQ(judged.exitCode, 0) << judged.err;
  const std::vector<std::string> without = Lines(plain.out);
  const std::vector<std::string> with = Lines(judged.out);
  ASSERT_EQ(with.size(), 5u);
  ASSERT_EQ(without.size(), 5u);
  EXPECT_EQ(with[0], without[0] + ",limits");
  for (std::size_t i = 1; i < with.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string expected = kExpected[i - 1];
    EXPECT_EQ(with[i], without[i] + "," + expected);
  }
}

TEST_F(ExportLimits, JsonGetsALimitsMemberPerFrameAndNothingElseChanges) {
  const testing::CommandResult plain = Export({"--format", "json"});
  const testing::CommandResult judged = Export({"--format", "json", "--limits=" + limits.string()});
  ASSERT_EQ(judged.exitCode, 0) << judged.err;
  // The members, one per line, and the text with them taken out.
  std::string members, rest;
  std::size_t done = 0;
  for (std::size_t at; (at = judged.out.find(", \"limits\": [", done)) != std::string::npos;) {
    const std::size_t end = judged.out.find("]}", at);
    ASSERT_NE(end, std::string::npos);
    members += judged.out.substr(at, end + 2 - at) + "\n";
    rest += judged.out.substr(done, at - done) + "}";
    done = end + 2;
  }
  rest += judged.out.substr(done);
  EXPECT_EQ(members,
            ", \"limits\": []}\n"
            ", \"limits\": []}\n"
            ", \"limits\": [\"eps_tcs_power_level red state\", \"eps_tcs_battery_volts red low\","
            " \"eps_tcs_temp_battery yellow high\"]}\n"
            ", \"limits\": [\"eps_tcs_battery_volts yellow low\","
            " \"eps_tcs_temp_battery yellow high\"]}\n");
  EXPECT_EQ(rest, plain.out);
}

TEST_F(ExportLimits, ABadLimitsFileEndsTheCommandWithItsPlace) {
  std::ofstream(limits) << "[eps_tcs_battery_volts]\nred_low = \"cdhs_rtc_temp\"\n";
  const testing::CommandResult refused = Export({"--limits", limits.string()});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_THAT(refused.err, HasSubstr(limits.string() + ":2:11: 'cdhs_rtc_temp' is a value of"));
  EXPECT_EQ(refused.out, "");
  const testing::CommandResult live =
      testing::RunCommand(QUILMAR_EXPORT_EXE, {"--connect", "localhost:1", "--limits", "x"});
  EXPECT_EQ(live.exitCode, 2);
  EXPECT_THAT(live.err, HasSubstr("--limits"));
}

}  // namespace
}  // namespace quilmar
