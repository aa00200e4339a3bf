// The window program's command line, run as a user runs it: a screenshot that cannot be
// taken, or a log that cannot be read, fails with the reason; a second log, or a baud rate
// without a TNC, is a usage error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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
      {"unknown option", {"--bogus"}, 2, "bogus"},
      {"option without its value", {"--connect"}, 2, "connect"},
      {"a TNC and a log", {"--connect", "localhost:8001", demo}, 2, "no LOG"},
      {"a file as serial TNC", {"--connect", "/etc/passwd"}, 1, "is not a serial device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CommandResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
  }
}

// Folder entries whose names end in .kss.
std::vector<std::string> Recordings(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".kss") {
      names.push_back(entry.path().filename().string());
    }
  }
  return names;
}

// A window of the test that receives from a TNC that refuses, with the home folder, where its
// recording goes, and its settings in folder.
pid_t StartWindow(const fs::path& folder) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("HOME", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (::chdir(folder.c_str()) != 0 || ::dup2(quiet, 1) < 0 || ::dup2(quiet, 2) < 0) {
      ::_exit(127);
    }
    ::execl(QUILMAR_HK_EXE, QUILMAR_HK_EXE, "--connect", "127.0.0.1:1", nullptr);
    ::_exit(127);
  }
  return child;
}

// The exit status of a child sent SIGTERM; -1 when it did not exit normally within 10 s.
int Terminate(pid_t child) {
  ::kill(child, SIGTERM);
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 100 && ended == 0; ++i) {
    ::usleep(100'000);
    ended = ::waitpid(child, &status, WNOHANG);
  }
  if (ended == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Two windows started together, whose recordings are named by the same second, each record
// to a file of their own; ended by SIGTERM as a logout ends them, they exit normally and leave
// no recording that received nothing behind.
TEST_F(WindowCommandLineTest, WindowsStartedTogetherRecordApartAndSigtermLeavesNoEmptyFile) {
  const pid_t first = StartWindow(folder);
  const pid_t second = StartWindow(folder);
  for (int i = 0; i < 200 && Recordings(folder).size() < 2; ++i) {
    ::usleep(100'000);
  }
  EXPECT_EQ(Recordings(folder).size(), 2u);
  EXPECT_EQ(Terminate(first), 0);
  EXPECT_EQ(Terminate(second), 0);
  EXPECT_TRUE(Recordings(folder).empty());
}

}  // namespace
}  // namespace quilmar::testing
