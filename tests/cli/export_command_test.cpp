// The export command end to end: exit statuses, the one-line error reports, usage errors,
// --output, and the summary of a log built in the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "run_command.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::RunCommand;

class ExportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = fs::temp_directory_path() /
                ("quilmar_export_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(directory);
  }
  void TearDown() override { fs::remove_all(directory); }

  std::string WriteLog(const std::string& name, const testing::Bytes& bytes) {
    const fs::path path = directory / name;
    testing::WriteFile(path, bytes);
    return path.string();
  }
  static CommandResult Export(const std::vector<std::string>& args,
                              const std::string& stdoutPath = {}) {
    return RunCommand(QUILMAR_EXPORT_EXE, args, ".", stdoutPath);
  }

  fs::path directory;
};

// Three frames of the spacecraft (an S pair, a G frame, frame numbers 10, 11, 14), one of
// another station and one for port 1.
testing::Bytes SmallLog() {
  testing::Bytes eps = testing::Information(10, 'S');
  eps[6] = 41;
  eps[70] = 20;
  testing::FrameAddresses otherStation;
  otherStation.source = "XQ1ABC";
  testing::FrameAddresses port1;
  port1.command = 0x10;
  return testing::KissLog({testing::BuildFrame(eps),
                           testing::BuildFrame(testing::Information(11, 'G')),
                           testing::BuildFrame(testing::Information(12, 'S'), otherStation),
                           testing::BuildFrame(testing::Information(13, 'S'), port1),
                           testing::BuildFrame(testing::Information(14, 'Z'))});
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(ExportCommandTest, UsageErrorsExitWithTwoAndTheUsage) {
  const std::string log = WriteLog("a.kss", SmallLog());
  const std::vector<std::vector<std::string>> kCases{
      {},
      {"--bogus", log},
      {"--format", "xml", log},
      {"--format"},
      {"--output"},
      {"--output=", log},
      {"--summary", "--format", "json", log},
      {"--summary", "--output", "x.csv", log},
      {log, log},
      {"--format", "json"},
      {"--summary", "--raw-text", log},
      {"--frames", "3", log},
      {"--record", "r.kss", log},
      {"--baud", "9600", log},
      {"--connect", "localhost:8001", log},
      {"--connect", "localhost:8001", "--summary"},
      {"--connect"},
      {"--connect", "localhost"},
      {"--connect", "::1:8001"},
      {"--connect", "localhost:0"},
      {"--connect", "localhost:8001", "--frames", "0"},
      {"--connect", "/dev/ttyUSB0", "--baud", "fast"},
      {"--connect", "localhost:8001", "--record", log + ".new", "--output", log + ".new"},
  };
  for (const auto& args : kCases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CommandResult result = Export(args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.out.empty());
    EXPECT_TRUE(result.err.starts_with("quilmar-hk-export: ")) << result.err;
    EXPECT_NE(result.err.find("Usage: quilmar-hk-export"), std::string::npos);
  }
}

TEST_F(ExportCommandTest, HelpAndVersionGoToStandardOutput) {
  const CommandResult help = Export({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: quilmar-hk-export")) << help.out;
  EXPECT_TRUE(help.err.empty());
  const CommandResult version = Export({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "quilmar-hk-export 3.03\n");
}

TEST_F(ExportCommandTest, FileProblemsExitWithOneAndOneLineNamingPathAndReason) {
  const std::string log = WriteLog("a.kss", SmallLog());
  const std::string missing = (directory / "missing.kss").string();
  const std::string intoMissingDir = (directory / "no" / "such" / "dir" / "out.csv").string();
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string path;
    const char* reason;
    std::string stdoutPath;
  } kCases[] = {
      {"missing log", {missing}, missing, "No such file or directory", {}},
      {"missing log, summary", {"--summary", missing}, missing, "No such file or directory", {}},
      {"directory as log",
       {"--format", "json", directory.string()},
       directory.string(),
       "Is a directory",
       {}},
      {"output into a missing directory",
       {"--output", intoMissingDir, log},
       intoMissingDir,
       "No such file or directory",
       {}},
      {"output to a directory",
       {"--output", directory.string(), log},
       directory.string(),
       "Is a directory",
       {}},
      {"output on a full disk",
       {"--format=json", "--output=/dev/full", log},
       "/dev/full",
       "No space left on device",
       {}},
      {"standard output on a full disk",
       {log},
       "standard output",
       "No space left on device",
       "/dev/full"},
      {"help on a full disk",
       {"--help"},
       "standard output",
       "No space left on device",
       "/dev/full"},
      {"version on a full disk",
       {"--version"},
       "standard output",
       "No space left on device",
       "/dev/full"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const CommandResult result = Export(c.args, c.stdoutPath);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.err), 1u) << result.err;
    EXPECT_TRUE(result.err.starts_with("quilmar-hk-export: ")) << result.err;
    EXPECT_NE(result.err.find(c.path + ": " + c.reason), std::string::npos) << result.err;
    // The reader's error text names the path already; the line says it once.
    EXPECT_EQ(result.err.find(c.path), result.err.rfind(c.path)) << result.err;
  }
  EXPECT_FALSE(fs::exists(intoMissingDir));
}

TEST_F(ExportCommandTest, LogsWithoutSpacecraftFramesExportAnEmptyTable) {
  testing::Bytes noise;
  for (int i = 0; i < 5000; ++i) {
    noise.push_back(static_cast<std::uint8_t>((i * 7919) >> 3));
  }
  const struct {
    const char* name;
    testing::Bytes bytes;
  } kCases[] = {{"empty", {}}, {"noise", noise}, {"FENDs only", {0xC0, 0xC0, 0xC0}}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string log = WriteLog("log.kss", c.bytes);
    const CommandResult csv = Export({log});
    EXPECT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(Lines(csv.out), 1u);
    EXPECT_TRUE(csv.out.starts_with("index,frameNumber,"));
    const CommandResult json = Export({"--format", "json", log});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find("\"frameCount\": 0,"), std::string::npos);
    EXPECT_NE(json.out.find("\"frames\": []"), std::string::npos);
  }
}

TEST_F(ExportCommandTest, OutputFileHoldsWhatStandardOutputWouldShow) {
  const std::string log = WriteLog("a.kss", SmallLog());
  for (const char* format : {"csv", "json"}) {
    SCOPED_TRACE(format);
    const std::string output = (directory / "out").string();
    const CommandResult toFile = Export({"--output", output, "--format", format, log});
    const CommandResult toStdout = Export({"--format", format, log});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_TRUE(toFile.out.empty());
    EXPECT_TRUE(toFile.err.empty()) << toFile.err;
    EXPECT_EQ(testing::ReadWholeFile(output), toStdout.out);
    EXPECT_EQ(Lines(toStdout.out), std::string(format) == "csv" ? 4u : 14u);
  }
}

TEST_F(ExportCommandTest, SummaryCountsFramesByFateAndType) {
  const std::string log = WriteLog("a.kss", SmallLog());
  const CommandResult result = Export({"--summary", log});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string kExpected = "File:            " + log +
                                "\n"
                                "Frames stored:   3\n"
                                "Frames skipped:  0 (beyond the first 5000)\n"
                                "Frames rejected: 2 (noise, other stations or ports)\n"
                                "Frames missing:  2\n"
                                "By frame type:   S 1 G 1 M 0 I 0 A 0 other 1\n";
  EXPECT_EQ(result.out, kExpected);
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ExportCommandTest, FailedWriteLeavesThePreviousOutputAndNoTemporaryFile) {
  const std::string log = WriteLog("a.kss", SmallLog());
  const fs::path output = directory / "out";
  const std::string kPrevious = "the previous good table\r\n";
  for (const char* format : {"csv", "json"}) {
    SCOPED_TRACE(format);
    testing::WriteFile(output, std::span(reinterpret_cast<const std::uint8_t*>(kPrevious.data()),
                                         kPrevious.size()));
    // Every table here is larger than 2 kB: the write fails with EFBIG part way.
    const CommandResult result = RunCommand(
        "/usr/bin/prlimit",
        {"--fsize=2048", QUILMAR_EXPORT_EXE, "--format", format, "--output", output.string(), log});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(output.string() + ": File too large"), std::string::npos)
        << result.err;
    EXPECT_EQ(testing::ReadWholeFile(output), kPrevious);
    EXPECT_EQ(FolderEntries(directory), (std::vector<std::string>{"a.kss", "out"}));
  }
}

TEST_F(ExportCommandTest, ReplacedOutputKeepsItsModeAndSymlink) {
  const std::string log = WriteLog("a.kss", SmallLog());
  const std::string table = Export({log}).out;
  const fs::path existing = directory / "existing.csv";
  testing::WriteFile(existing, testing::Bytes{'x'});
  fs::permissions(existing, fs::perms(0640));
  const fs::path link = directory / "link.csv";
  fs::create_symlink(existing, link);
  const fs::path dangling = directory / "dangling.csv";
  fs::create_symlink("made-through-link.csv", dangling);
  const fs::path fresh = directory / "fresh.csv";
  const mode_t mask = ::umask(0);
  ::umask(mask);

  EXPECT_EQ(Export({"--output", link.string(), log}).exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(testing::ReadWholeFile(existing), table);
  EXPECT_EQ(fs::status(existing).permissions(), fs::perms(0640));
  EXPECT_EQ(Export({"--output", fresh.string(), log}).exitCode, 0);
  EXPECT_EQ(testing::ReadWholeFile(fresh), table);
  EXPECT_EQ(fs::status(fresh).permissions(), fs::perms(0666 & ~mask));
  EXPECT_EQ(Export({"--output", dangling.string(), log}).exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(testing::ReadWholeFile(directory / "made-through-link.csv"), table);
}

TEST_F(ExportCommandTest, RefusesAnOutputThatIsTheLogItself) {
  const testing::Bytes bytes = SmallLog();
  const std::string log = WriteLog("a.kss", bytes);
  fs::create_symlink(log, directory / "link.kss");
  fs::create_hard_link(log, directory / "hard.kss");
  const std::string kOutputs[] = {log, (directory / "." / "a.kss").string(),
                                  (directory / "link.kss").string(),
                                  (directory / "hard.kss").string()};
  for (const std::string& output : kOutputs) {
    SCOPED_TRACE(output);
    const CommandResult result = Export({"--output", output, log});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("is the log itself"), std::string::npos) << result.err;
    EXPECT_EQ(testing::ReadWholeFile(log), std::string(bytes.begin(), bytes.end()));
  }
}

TEST_F(ExportCommandTest, SaysOnStandardErrorWhichFramesTheTableLeavesOut) {
  const struct {
    int frames;
    const char* skipped;
  } kCases[] = {{5001, "1 frame beyond the first 5000 skipped"},
                {5002, "2 frames beyond the first 5000 skipped"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.frames);
    std::vector<testing::Bytes> frames;
    for (int i = 0; i < c.frames; ++i) {
      frames.push_back(
          testing::BuildFrame(testing::Information(static_cast<std::uint16_t>(i), 'G')));
    }
    testing::Bytes bytes = testing::KissLog(std::span<const testing::Bytes>(frames));
    // A frame the end of the file cut off after its opening FEND.
    bytes.insert(bytes.end(), {testing::kFend, 0x00, 0xB0, 0xA2});
    const std::string log = WriteLog("big.kss", bytes);
    for (const char* format : {"csv", "json"}) {
      SCOPED_TRACE(format);
      const CommandResult result = Export({"--format", format, log});
      EXPECT_EQ(result.exitCode, 0);
      EXPECT_EQ(result.err, "quilmar-hk-export: " + log + ": " + c.skipped +
                                "\nquilmar-hk-export: " + log +
                                ": last frame cut off by the end of the file, dropped\n");
      if (format == std::string("csv")) {
        EXPECT_EQ(Lines(result.out), 5001u);  // the header and the table's 5000 rows
      }
    }
    const CommandResult summary = Export({"--summary", log});
    EXPECT_NE(summary.out.find("Frames stored:   5000\n"), std::string::npos);
    EXPECT_NE(summary.out.find("Frames skipped:  " + std::to_string(c.frames - 5000) +
                               " (beyond the first 5000)\n"),
              std::string::npos);
    EXPECT_NE(summary.out.find("Last frame:      cut off by the end of the file, dropped\n"),
              std::string::npos);
  }
}

TEST_F(ExportCommandTest, RawTextWritesBeaconFormulasUnguarded) {
  testing::Bytes frame = testing::HousekeepingFrame(10, 41, 20);
  testing::Put(frame, 17 + 90, {'=', '1', '+', '1'});
  const std::string log = WriteLog("a.kss", testing::KissLog({frame}));
  const std::string guarded = Export({log}).out;
  const std::string raw = Export({"--raw-text", log}).out;
  EXPECT_NE(guarded.find(",'=1+1\u2400"), std::string::npos) << guarded;
  EXPECT_NE(raw.find(",=1+1\u2400"), std::string::npos) << raw;
}

}  // namespace
}  // namespace quilmar
