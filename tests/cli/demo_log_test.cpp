// The demo log end to end: the generator reproduces the committed samples/demo.kss, the log
// exercises what it is meant to, and its exports match the golden files in tests/data.
//
// After an intended change of the decoder or the writers, regenerate the goldens from the
// source directory (release build shown; any build will do):
//   build/release/cli/quilmar-hk-export samples/demo.kss > tests/data/demo.csv
//   build/release/cli/quilmar-hk-export --format json samples/demo.kss > tests/data/demo.json
// and after a change of the generator: build/release/tools/make-demo-log samples/demo.kss
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "run_command.h"

namespace quilmar {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::RunCommand;

const fs::path kSourceDir = QUILMAR_SOURCE_DIR;
const std::string kDemoLog = "samples/demo.kss";

TEST(DemoLogTest, GeneratorReproducesTheCommittedLog) {
  const fs::path generated =
      fs::temp_directory_path() / ("quilmar_demo_" + std::to_string(::getpid()) + ".kss");
  const auto result = RunCommand(QUILMAR_DEMO_LOG_EXE, {generated.string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string committed = ReadWholeFile(kSourceDir / kDemoLog);
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(ReadWholeFile(generated) == committed)
      << "samples/demo.kss differs from the generator's output";
  fs::remove(generated);
}

TEST(DemoLogTest, CoversEveryFrameKindEscapingGapsAndAForeignStation) {
  const std::string log = ReadWholeFile(kSourceDir / kDemoLog);
  EXPECT_NE(log.find("\xDB\xDC"), std::string::npos) << "no escaped FEND";
  EXPECT_NE(log.find("\xDB\xDD"), std::string::npos) << "no escaped FESC";

  const auto result = RunCommand(QUILMAR_EXPORT_EXE, {"--summary", kDemoLog}, kSourceDir);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::istringstream lines(result.out);
  int stored = 0, rejected = 0, missing = 0, s = 0, g = 0, m = 0, i = 0, a = 0, other = 0;
  for (std::string line; std::getline(lines, line);) {
    std::sscanf(line.c_str(), "Frames stored: %d", &stored);
    std::sscanf(line.c_str(), "Frames rejected: %d", &rejected);
    std::sscanf(line.c_str(), "Frames missing: %d", &missing);
    std::sscanf(line.c_str(), "By frame type: S %d G %d M %d I %d A %d other %d", &s, &g, &m, &i,
                &a, &other);
  }
  EXPECT_GE(stored, 200);
  EXPECT_EQ(rejected, 1);
  EXPECT_GT(missing, 0);
  for (int count : {s, g, m, i, a, other}) {
    EXPECT_GT(count, 0) << result.out;
  }
  EXPECT_EQ(s + g + m + i + a + other, stored);
}

// Splits a CSV row of the export; the demo's texts hold no quotes or commas.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  for (const char c : line) {
    if (c == ',') {
      cells.emplace_back();
    } else if (c != '\r') {
      cells.back() += c;
    }
  }
  return cells;
}

// The ADCS "Julian TE" is a UTC day count; the clock beside it in the same frame keeps
// Pacific time. The demo pass is in June, daylight time: UTC is the clock plus seven hours.
TEST(DemoLogTest, JulianTeIsTheUtcTimeOfTheFramesClock) {
  const auto result = RunCommand(QUILMAR_EXPORT_EXE, {kDemoLog}, kSourceDir);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::istringstream lines(result.out);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  const std::vector<std::string> header = Cells(line);
  const auto column = [&header](const std::string& title) {
    return static_cast<std::size_t>(std::find(header.begin(), header.end(), title) -
                                    header.begin());
  };
  const std::size_t clockColumn = column("dateTime");
  const std::size_t julianColumn = column("ADCS Julian TE [days]");
  ASSERT_LT(julianColumn, header.size());
  // J2000 as the ground software counts it: 1 Jan 2000 11:58:56 UTC plus one second.
  constexpr std::int64_t kJ2000 = 946684800 + 11 * 3600 + 58 * 60 + 57;
  constexpr std::int64_t kPacificDaylight = 7 * 3600;
  int compared = 0;
  while (std::getline(lines, line)) {
    const std::vector<std::string> cells = Cells(line);
    if (cells.size() <= julianColumn || cells[julianColumn].empty() || cells[clockColumn].empty()) {
      continue;
    }
    SCOPED_TRACE(cells[clockColumn]);
    std::tm clock{};
    ASSERT_EQ(
        std::sscanf(cells[clockColumn].c_str(), "%d.%d.%d %d:%d:%d", &clock.tm_mday, &clock.tm_mon,
                    &clock.tm_year, &clock.tm_hour, &clock.tm_min, &clock.tm_sec),
        6);
    ASSERT_TRUE(clock.tm_mon >= 4 && clock.tm_mon <= 10) << "the pass left daylight time";
    clock.tm_mon -= 1;
    clock.tm_year -= 1900;
    const std::int64_t utc = ::timegm(&clock) + kPacificDaylight;
    const double days = std::stod(cells[julianColumn]);
    const auto julianUtc = kJ2000 + static_cast<std::int64_t>(std::llround(days * 86400));
    // The frame carries the count less 2500 as a float: near 7160 its steps are 2^-11 days
    // (42 s), so the nearest step lies within 21 s.
    EXPECT_NEAR(static_cast<double>(julianUtc - utc), 0.0, 22.0) << cells[julianColumn];
    ++compared;
  }
  EXPECT_GT(compared, 50);
}

struct GoldenCase {
  const char* name;
  std::vector<std::string> args;
  const char* golden;
};

class DemoGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(DemoGoldenTest, ExportMatchesGoldenFile) {
  std::vector<std::string> args = GetParam().args;
  args.push_back(kDemoLog);
  const auto result = RunCommand(QUILMAR_EXPORT_EXE, args, kSourceDir);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string golden = ReadWholeFile(fs::path(QUILMAR_TEST_DATA) / GetParam().golden);
  ASSERT_FALSE(golden.empty());
  if (result.out == golden) {
    return;
  }
  // Name the first differing line instead of printing two large files.
  std::istringstream actualLines(result.out);
  std::istringstream goldenLines(golden);
  std::string actual;
  std::string expected;
  for (int line = 1; std::getline(goldenLines, expected); ++line) {
    if (!std::getline(actualLines, actual) || actual != expected) {
      FAIL() << GetParam().golden << " line " << line << "\n expected: " << expected
             << "\n actual:   " << actual;
    }
  }
  FAIL() << "the export has more lines than " << GetParam().golden;
}

INSTANTIATE_TEST_SUITE_P(Formats, DemoGoldenTest,
                         ::testing::Values(GoldenCase{"Csv", {}, "demo.csv"},
                                           GoldenCase{"Json", {"--format", "json"}, "demo.json"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quilmar
