// The archive command against a database it cannot use: a wrong password on PostgreSQL and a
// full disk under SQLite (a file size limit on the importer). Either way one line names the
// archive, without the password, and the reason; the exit status is 1; the archive is as it
// was before that file, and adding the file later gives what one clean import gives.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <sstream>

#include "archive/archive.h"
#include "archive/archive_queries.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

struct CommandRun {
  int exitCode = -1;       // -1 when the command did not exit normally
  QStringList errorLines;  // standard error without the progress lines
};

// Runs the archive command; fileSizeLimit > 0 bounds the size of every file it writes, as a
// full disk would, and the command then gets EFBIG from write() instead of a signal.
CommandRun RunArchiveCommand(const QStringList& arguments, rlim_t fileSizeLimit = 0) {
  QProcess command;
  if (fileSizeLimit > 0) {
    command.setChildProcessModifier([fileSizeLimit] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    });
  }
  command.start(QUILMAR_ARCHIVE_EXE, arguments);
  command.waitForFinished(120000);
  CommandRun run;
  if (command.exitStatus() == QProcess::NormalExit) {
    run.exitCode = command.exitCode();
  }
  for (const QString& line : QString::fromLocal8Bit(command.readAllStandardError()).split('\n')) {
    if (!line.isEmpty() && !line.startsWith('\r')) {
      run.errorLines << line;
    }
  }
  return run;
}

QString WriteLog(const QString& name, int first, int count) {
  std::vector<testing::Bytes> frames;
  for (int n = first; n < first + count; ++n) {
    frames.push_back(testing::HousekeepingFrame(static_cast<std::uint16_t>(n), 41, 20));
  }
  const QString path = testing::TestFolder() + "/" + name;
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const testing::Bytes>(frames)));
  return path;
}

std::string ExportOf(const ArchiveLocation& location) {
  Archive archive;
  EXPECT_TRUE(archive.Open(location, true)) << archive.Error().toStdString();
  std::ostringstream out;
  EXPECT_TRUE(ExportArchive(archive, {}, ArchiveFormat::kCsv, out))
      << archive.Error().toStdString();
  return out.str();
}

TEST(ArchiveFaults, WrongPasswordNamesTheArchiveWithoutIt) {
  const ArchiveLocation location = testing::FreshArchive(ArchiveEngine::kPostgresql);
  ASSERT_FALSE(location.display.isEmpty());
  ASSERT_TRUE(testing::AddPasswordRole("field_station", "right-secret"));
  const QString first = WriteLog("first.kss", 1, 20), second = WriteLog("second.kss", 100, 20);
  const auto url = [&](const QString& password) {
    return "postgresql://field_station:" + password + "@/" + location.database +
           "?host=" + location.host;
  };
  ASSERT_EQ(RunArchiveCommand({"--archive", url("right-secret"), "add", first}).exitCode, 0);
  const std::string before = ExportOf(location);

  const QString shown = "archive postgresql://field_station@/" + location.database;
  for (const QString& password : {QStringLiteral("wrong-secret"), QStringLiteral("")}) {
    SCOPED_TRACE(password.toStdString());
    const CommandRun run = RunArchiveCommand({"--archive", url(password), "add", second});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.errorLines.size(), 1) << run.errorLines.join('\n').toStdString();
    const QString& line = run.errorLines.front();
    EXPECT_TRUE(line.contains(shown)) << line.toStdString();
    EXPECT_TRUE(line.contains("password")) << line.toStdString();
    EXPECT_FALSE(line.contains("-secret")) << line.toStdString();
  }
  EXPECT_EQ(ExportOf(location), before);
}

TEST(ArchiveFaults, FullDiskLeavesTheArchiveAsItWasAndTheFileAddsLater) {
  const QString first = WriteLog("before.kss", 1, 200), second = WriteLog("big.kss", 1000, 3000);
  const ArchiveLocation clean = testing::FreshArchive(ArchiveEngine::kSqlite);
  for (const QString& log : {first, second}) {
    ASSERT_EQ(RunArchiveCommand({"--archive", clean.path, "add", log}).exitCode, 0);
  }
  const ArchiveLocation location = testing::FreshArchive(ArchiveEngine::kSqlite);
  ASSERT_EQ(RunArchiveCommand({"--archive", location.path, "add", first}).exitCode, 0);
  const std::string before = ExportOf(location);

  // What the file adds to the archive, all of it written to SQLite's log at commit.
  const auto growth =
      static_cast<rlim_t>(QFileInfo(clean.path).size() - QFileInfo(location.path).size());
  ASSERT_GT(growth, rlim_t{1} << 20);
  // Too small for SQLite's shared-memory file at opening; then for the log, early and late.
  for (const rlim_t limit : {rlim_t{16} << 10, growth / 4, growth * 3 / 4}) {
    SCOPED_TRACE(limit);
    const CommandRun run = RunArchiveCommand({"--archive", location.path, "add", second}, limit);
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.errorLines.size(), 1) << run.errorLines.join('\n').toStdString();
    EXPECT_TRUE(
        run.errorLines.front().startsWith("quilmar-hk-archive: archive " + location.path + ": "))
        << run.errorLines.front().toStdString();
    EXPECT_TRUE(run.errorLines.front().contains("File too large"))
        << run.errorLines.front().toStdString();
    EXPECT_EQ(ExportOf(location), before);
  }
  EXPECT_EQ(RunArchiveCommand({"--archive", location.path, "add", second}).exitCode, 0);
  EXPECT_EQ(ExportOf(location), ExportOf(clean));
}

}  // namespace
}  // namespace quilmar
