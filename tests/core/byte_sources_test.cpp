// Reading logs from disk and from chunked sources: error texts that name the reason, an
// empty file that is no error, and frames that straddle read chunks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/kiss_reader.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    directory = fs::temp_directory_path() /
                (std::string("quilmar_core_") + info->name() + "_" + std::to_string(getpid()));
    fs::create_directories(directory);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(directory / "locked.kss", fs::perms::owner_all, ec);
    fs::remove_all(directory, ec);
  }
  fs::path directory;
};

TEST_F(LogFileTest, ReadsAFileOnDisk) {
  const Bytes log = testing::KissLog({testing::BuildFrame(testing::Information(3, 'S')),
                                      testing::BuildFrame(testing::Information(4, 'G'))});
  testing::WriteFile(directory / "two.kss", log);
  FrameTable table;
  const LoadSummary summary = ReadKissLog((directory / "two.kss").string(), table);
  EXPECT_TRUE(summary.error.empty()) << summary.error;
  EXPECT_EQ(table.frameCount, 2);
  EXPECT_EQ(table.Record(2).frameTypeLetter, "G");
  EXPECT_EQ(summary.bytesRead, static_cast<std::int64_t>(log.size()));
  EXPECT_EQ(OpenFileSource((directory / "two.kss").string())->Size(),
            static_cast<std::int64_t>(log.size()));
}

TEST_F(LogFileTest, EmptyFileIsNoError) {
  testing::WriteFile(directory / "empty.kss", Bytes{});
  FrameTable table;
  table.frameCount = 3;
  const LoadSummary summary = ReadKissLog((directory / "empty.kss").string(), table);
  EXPECT_TRUE(summary.error.empty()) << summary.error;
  EXPECT_EQ(table.frameCount, 0);
}

TEST_F(LogFileTest, ErrorNamesTheReason) {
  testing::WriteFile(directory / "locked.kss", testing::KissLog({testing::BuildFrame({})}));
  fs::permissions(directory / "locked.kss", fs::perms::none);
  struct Case {
    const char* name;
    fs::path path;
    const char* reason;
  };
  const Case cases[] = {
      {"missing", directory / "absent.kss", "No such file or directory"},
      {"directory", directory, "Is a directory"},
      {"unreadable", directory / "locked.kss", "Permission denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "unreadable" && geteuid() == 0) {
      continue;  // root reads files whatever their permissions
    }
    FrameTable table;
    table.frameCount = 7;
    const LoadSummary summary = ReadKissLog(c.path.string(), table);
    EXPECT_NE(summary.error.find(c.reason), std::string::npos) << summary.error;
    EXPECT_NE(summary.error.find(c.path.string()), std::string::npos) << summary.error;
    EXPECT_EQ(table.frameCount, 0);
    EXPECT_EQ(summary.framesStored, 0);
  }
}

// Hands out a log a few bytes at a time, then optionally fails.
class TrickleSource : public ByteSource {
 public:
  TrickleSource(const Bytes& bytes, std::size_t step, bool failAtEnd)
      : bytes(bytes), step(step), failAtEnd(failAtEnd) {}
  std::size_t Read(std::span<std::uint8_t> buffer) override {
    const std::size_t count = std::min({step, buffer.size(), bytes.size() - position});
    std::copy_n(bytes.begin() + static_cast<long>(position), count, buffer.begin());
    position += count;
    return count;
  }
  std::string Error() const override {
    return failAtEnd && position == bytes.size() ? "cannot read log: Input/output error" : "";
  }

 private:
  const Bytes& bytes;
  std::size_t step;
  bool failAtEnd;
  std::size_t position = 0;
};

TEST(ChunkedReadTest, FramesAcrossReadBoundariesReadTheSame) {
  // Escaped bytes in every frame, so escape pairs also fall across read boundaries.
  std::vector<Bytes> frames;
  for (int i = 0; i < 600; ++i) {
    Bytes frame =
        testing::BuildFrame(testing::Information(static_cast<std::uint16_t>(i), 'S', 0xC0, 0xDBC0));
    frames.push_back(frame);
  }
  const Bytes log = testing::KissLog(frames);
  ASSERT_GT(log.size(), 64u * 1024u);
  for (std::size_t step : {std::size_t{1}, std::size_t{7}, std::size_t{65536}, log.size()}) {
    SCOPED_TRACE(step);
    TrickleSource source(log, step, false);
    FrameTable table;
    const LoadSummary summary = ReadKissLog(source, table);
    ASSERT_EQ(table.frameCount, 600);
    EXPECT_EQ(table.Record(600).frameNumber, 599);
    EXPECT_EQ(table.Record(600).primaryCounter, 0xC0);
    EXPECT_EQ(table.Record(600).secondaryCounter, 0xDBC0);
    EXPECT_EQ(summary.bytesRead, static_cast<std::int64_t>(log.size()));
  }
}

TEST(ChunkedReadTest, ReadErrorKeepsTheFramesBeforeIt) {
  const Bytes log = testing::KissLog({testing::BuildFrame(testing::Information(1, 'S')),
                                      testing::BuildFrame(testing::Information(2, 'S'))});
  const Bytes truncated(log.begin(), log.end() - 5);
  TrickleSource source(truncated, 100, true);
  FrameTable table;
  const LoadSummary summary = ReadKissLog(source, table);
  EXPECT_EQ(table.frameCount, 1);
  EXPECT_TRUE(summary.endedInsideFrame);
  EXPECT_EQ(summary.error, "cannot read log: Input/output error");
}

}  // namespace
}  // namespace quilmar
