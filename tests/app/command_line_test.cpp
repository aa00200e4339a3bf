// The window program's command line, run as a user runs it: a screenshot that cannot be
// taken, or a log that cannot be read, fails with the reason; a second log, or a baud rate
// without a TNC, is a usage error.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/run_command.h"

namespace quilmar::testing {
namespace {

namespace fs = std::filesystem;

class WindowCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("quilmar_hk_" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  CommandResult Run(const std::vector<std::string>& args) {
    return RunCommand(QUILMAR_HK_EXE, args, folder);
  }

  fs::path folder;
  const std::string demo = QUILMAR_SOURCE_DIR "/samples/demo.kss";
};

TEST_F(WindowCommandLineTest, ScreenshotOfTheDemoLog) {
  const CommandResult result = Run({demo, "--screenshot", "shot.png"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_GT(fs::file_size(folder / "shot.png"), 1000u);
}

TEST_F(WindowCommandLineTest, FailuresSayWhyOnStandardError) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  } cases[] = {
      {"screenshot into a missing folder",
       {demo, "--screenshot", "missing/shot.png"},
       1,
       "does not exist"},
      {"unreadable log", {"absent.kss", "--screenshot", "shot.png"}, 1, "absent.kss"},
      {"folder as log", {".", "--screenshot", "shot.png"}, 1, "could not be read"},
      {"second log", {demo, demo, "--screenshot", "shot.png"}, 2, "Usage:"},
      {"baud rate without a TNC", {"--baud", "1200"}, 2, "--baud needs --connect"},
      {"baud rate not a number", {"--connect", "/dev/ttyUSB0", "--baud", "fast"}, 2, "fast"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CommandResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace quilmar::testing
