// The archive command end to end on SQLite: what export writes to --output and how it ranges
// over time (in any local zone), add under a file-size limit and on what is no file,
// reading commands on a mistyped path, the stations cell's formula guard, and messages about
// an archive URL that never show its password.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <map>

#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;

struct CommandRun {
  int exitCode = -1;  // -1 when the command did not exit normally (a signal, a hang)
  QByteArray out;
  QStringList errorLines;
};

struct RunOptions {
  rlim_t fileSizeLimit = 0;  // > 0: RLIMIT_FSIZE of the command, SIGXFSZ left at its default
  QString timeZone;          // TZ of the command
  int timeoutMs = 60000;
};

CommandRun RunArchive(const QStringList& arguments, const RunOptions& options = {}) {
  QProcess command;
  const rlim_t limit = options.fileSizeLimit;
  command.setChildProcessModifier([limit] {
    // The command must cope with the signal's default action itself.
    std::signal(SIGXFSZ, SIG_DFL);
    if (limit > 0) {
      const rlimit fileSize{limit, limit};
      setrlimit(RLIMIT_FSIZE, &fileSize);
    }
  });
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  if (!options.timeZone.isEmpty()) {
    environment.insert("TZ", options.timeZone);
  }
  command.setProcessEnvironment(environment);
  command.start(QUILMAR_ARCHIVE_EXE, arguments);
  CommandRun run;
  if (!command.waitForFinished(options.timeoutMs)) {
    command.kill();
    command.waitForFinished();
    run.errorLines << "(killed: did not end within the time allowed)";
    return run;
  }
  if (command.exitStatus() == QProcess::NormalExit) {
    run.exitCode = command.exitCode();
  }
  run.out = command.readAllStandardOutput();
  for (const QString& line : QString::fromUtf8(command.readAllStandardError()).split('\n')) {
    if (!line.isEmpty() && !line.startsWith('\r')) {
      run.errorLines << line;
    }
  }
  return run;
}

QString Join(const CommandRun& run) { return run.errorLines.join(" | "); }

// A folder of its own per test, so that a test can say what it must hold afterwards.
QString NewFolder(const QString& name) {
  const QString folder = testing::TestFolder() + "/command-" + name;
  QDir().mkpath(folder);
  return folder;
}

// CDHS/ADCS frames with the spacecraft clock at 15 July 2026 12:0n:30 PDT for frame n: each
// frame has a time of its own, half a minute into a minute.
QString WriteClockLog(const QString& path, int frames) {
  std::vector<Bytes> log;
  for (int n = 0; n < frames; ++n) {
    Bytes frame = testing::HousekeepingFrame(static_cast<std::uint16_t>(n), 23, 64);
    testing::Put(frame, 31, {30, static_cast<std::uint8_t>(n), 12, 3, 15, 7, 26});
    log.push_back(frame);
  }
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const Bytes>(log)));
  return path;
}

// EPS/TCS and COM frames numbered first.. without a clock.
QString WritePlainLog(const QString& path, int first, int frames) {
  std::vector<Bytes> log;
  for (int n = first; n < first + frames; ++n) {
    log.push_back(testing::HousekeepingFrame(static_cast<std::uint16_t>(n), 41, 20));
  }
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const Bytes>(log)));
  return path;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FolderEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                QDir::NoDotAndDotDot);
}

// The rows of a CSV export as (frame number, timeUtc, last cell); the header is checked.
struct Row {
  int frameNumber = -1;
  QString time;
  QString stations;
};

std::vector<Row> CsvRows(const QByteArray& csv) {
  std::vector<Row> rows;
  QList<QByteArray> lines = csv.split('\n');
  EXPECT_FALSE(lines.isEmpty());
  if (lines.isEmpty()) {
    return rows;
  }
  const QStringList header = QString::fromUtf8(lines.takeFirst()).trimmed().split(',');
  EXPECT_TRUE(header.size() > 3 && header[0] == "index" && header[1] == "frameNumber" &&
              header.endsWith("stations") && header[header.size() - 3] == "timeUtc")
      << header.join(',').left(200).toStdString();
  for (const QByteArray& line : lines) {
    if (line.trimmed().isEmpty()) {
      continue;
    }
    const QString text = QString::fromUtf8(line).chopped(line.endsWith("\r") ? 1 : 0);
    const QStringList cells = text.split(',');  // no cell of these tests holds a comma
    rows.push_back({cells[1].toInt(), cells[cells.size() - 3], cells.back()});
  }
  return rows;
}

class ArchiveCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = NewFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    archive = folder + "/archive.sqlite";
    const CommandRun added =
        RunArchive({"--archive", archive, "add", WriteClockLog(folder + "/pass.kss", kFrames)});
    ASSERT_EQ(added.exitCode, 0) << Join(added).toStdString();
  }

  QString folder;
  QString archive;
  static constexpr int kFrames = 8;
};

// A table written to --output replaces the file only once complete, through a temporary name
// of its own: a symlink planted at FILE.part is not followed, an existing file keeps its mode,
// a symlink given as FILE stays and its target is replaced, a device is written in place.
TEST_F(ArchiveCommand, ExportOutputIsReplacedSafelyAndKeepsWhatTheUserSetUp) {
  const CommandRun whole = RunArchive({"--archive", archive, "export"});
  ASSERT_EQ(whole.exitCode, 0) << Join(whole).toStdString();
  ASSERT_EQ(CsvRows(whole.out).size(), static_cast<std::size_t>(kFrames));

  // Planted link: out.csv.part -> victim.
  const QString victim = folder + "/victim.txt";
  testing::WriteFile(victim.toStdString(), Bytes{'k', 'e', 'p', 't'});
  ASSERT_TRUE(QFile::link(victim, folder + "/planted.csv.part"));
  // An existing private file, and a link to one.
  const QString existing = folder + "/private.csv";
  testing::WriteFile(existing.toStdString(), Bytes(100000, 'x'));  // longer than the table
  ASSERT_EQ(::chmod(existing.toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(existing, folder + "/link.csv"));

  for (const QString name : {"planted.csv", "private.csv", "link.csv"}) {
    SCOPED_TRACE(name.toStdString());
    const CommandRun run =
        RunArchive({"--archive", archive, "export", "--output", folder + "/" + name});
    EXPECT_EQ(run.exitCode, 0) << Join(run).toStdString();
    EXPECT_EQ(ReadAll(folder + "/" + name), whole.out);
  }
  EXPECT_EQ(ReadAll(victim), "kept");
  EXPECT_TRUE(QFileInfo(folder + "/planted.csv.part").isSymLink());
  EXPECT_TRUE(QFileInfo(folder + "/link.csv").isSymLink());
  struct stat status {};
  ASSERT_EQ(::stat(existing.toLocal8Bit().constData(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(::lstat(existing.toLocal8Bit().constData(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));

  // A device node of this test's own (the null device) stays a device.
  const QString device = folder + "/null-device";
  if (::mknod(device.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "cannot make a device node here";
  }
  const CommandRun run = RunArchive({"--archive", archive, "export", "--output", device});
  EXPECT_EQ(run.exitCode, 0) << Join(run).toStdString();
  ASSERT_EQ(::lstat(device.toLocal8Bit().constData(), &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));
}

// Under a file-size limit the export says why it failed (the signal is not left to end it),
// leaves the previous FILE as it was and no temporary file beside it; add says it too.
TEST_F(ArchiveCommand, FileSizeLimitIsReportedAndLeavesNothingBehind) {
  // A table of about a megabyte, beyond the limit; the archive's own files stay within it.
  const CommandRun more =
      RunArchive({"--archive", archive, "add", WritePlainLog(folder + "/more.kss", 100, 2000)});
  ASSERT_EQ(more.exitCode, 0) << Join(more).toStdString();
  const QString output = folder + "/table.csv";
  testing::WriteFile(output.toStdString(), Bytes{'o', 'l', 'd'});
  const QStringList before = FolderEntries(folder);
  const CommandRun run = RunArchive({"--archive", archive, "export", "--output", output},
                                    {.fileSizeLimit = 256 << 10});
  EXPECT_EQ(run.exitCode, 1) << Join(run).toStdString();
  ASSERT_EQ(run.errorLines.size(), 1) << Join(run).toStdString();
  EXPECT_TRUE(run.errorLines.front().contains(output)) << run.errorLines.front().toStdString();
  EXPECT_TRUE(run.errorLines.front().contains("File too large"))
      << run.errorLines.front().toStdString();
  EXPECT_EQ(ReadAll(output), "old");
  EXPECT_EQ(FolderEntries(folder), before);

  const QString big = WritePlainLog(folder + "/big.kss", 1000, 3000);
  const CommandRun add =
      RunArchive({"--archive", folder + "/new.sqlite", "add", big}, {.fileSizeLimit = 64 << 10});
  EXPECT_EQ(add.exitCode, 1) << Join(add).toStdString();
  ASSERT_EQ(add.errorLines.size(), 1) << Join(add).toStdString();
  EXPECT_TRUE(add.errorLines.front().contains("File too large"))
      << add.errorLines.front().toStdString();
}

// What is not a regular file is refused before it is opened, in one line, and nothing is
// recorded: a FIFO would wait for a writer, /dev/zero never ends, /dev/null reads as nothing.
TEST_F(ArchiveCommand, AddRefusesWhatIsNotARegularFile) {
  const QString fifo = folder + "/capture.fifo";
  ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  const QString fresh = folder + "/fresh.sqlite";
  const struct {
    QString path;
    const char* kind;
  } cases[] = {{fifo, "named pipe"},
               {"/dev/zero", "character device"},
               {"/dev/null", "character device"},
               {folder, "folder"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    const CommandRun run = RunArchive({"--archive", fresh, "add", c.path}, {.timeoutMs = 10000});
    EXPECT_EQ(run.exitCode, 1) << Join(run).toStdString();
    ASSERT_EQ(run.errorLines.size(), 1) << Join(run).toStdString();
    const QString& line = run.errorLines.front();
    EXPECT_TRUE(line.startsWith("quilmar-hk-archive: " + c.path + ": ")) << line.toStdString();
    EXPECT_TRUE(line.contains(c.kind) && line.contains("not a regular file")) << line.toStdString();
    EXPECT_FALSE(QFileInfo::exists(fresh)) << "an archive was created";
  }
  // Beside a good file: the good one is added, the status still says one failed.
  const CommandRun mixed = RunArchive(
      {"--archive", fresh, "add", "/dev/null", WritePlainLog(folder + "/good.kss", 500, 3)},
      {.timeoutMs = 10000});
  EXPECT_EQ(mixed.exitCode, 1) << Join(mixed).toStdString();
  EXPECT_TRUE(mixed.out.contains("3 new frames")) << mixed.out.toStdString();
}

// export, passes and summary read an archive; a mistyped path is an error, never a new one.
TEST_F(ArchiveCommand, ReadingCommandsOnAMistypedPathCreateNothing) {
  const QString typo = folder + "/archve.sqlite";
  for (const QString action : {"export", "passes", "summary"}) {
    SCOPED_TRACE(action.toStdString());
    const CommandRun run = RunArchive({"--archive", typo, action});
    EXPECT_EQ(run.exitCode, 1) << Join(run).toStdString();
    ASSERT_EQ(run.errorLines.size(), 1) << Join(run).toStdString();
    EXPECT_TRUE(run.errorLines.front().contains(typo)) << run.errorLines.front().toStdString();
    EXPECT_FALSE(QFileInfo::exists(typo));
  }
  for (const QString action : {"passes", "summary"}) {
    SCOPED_TRACE(action.toStdString());
    const CommandRun run = RunArchive({"--archive", archive, action});
    EXPECT_EQ(run.exitCode, 0) << Join(run).toStdString();
    EXPECT_FALSE(run.out.isEmpty());
  }
  // Nor is the archive itself a place for the table.
  const QByteArray before = ReadAll(archive);
  const CommandRun run = RunArchive({"--archive", archive, "export", "--output", archive});
  EXPECT_EQ(run.exitCode, 2) << Join(run).toStdString();
  EXPECT_EQ(ReadAll(archive), before);
}

// --from and --to take in both ends, are UTC unless they name an offset whatever the local
// zone, and --to takes in the whole minute or day it names. The expected rows come from the
// times the archive itself gives, so the test holds however frames are timed.
TEST_F(ArchiveCommand, ExportRangeIncludesBothEndsInUtcInAnyZone) {
  const CommandRun whole = RunArchive({"--archive", archive, "export"});
  ASSERT_EQ(whole.exitCode, 0) << Join(whole).toStdString();
  const std::vector<Row> all = CsvRows(whole.out);
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kFrames));
  const auto numbersWithin = [&](const QString& from, const QString& to) {
    std::vector<int> numbers;
    for (const Row& row : all) {
      if (row.time >= from && row.time <= to) {
        numbers.push_back(row.frameNumber);
      }
    }
    return numbers;
  };
  const QString from = all[2].time;  // "2026-07-15T19:02:30Z" when the clock is taken as is
  const QString to = all[5].time;
  ASSERT_LT(from, to);
  ASSERT_TRUE(from.endsWith("30Z") && to.endsWith("30Z")) << to.toStdString();
  const auto plain = [](QString time) { return time.replace('T', ' ').chopped(1); };
  const auto minute = [](const QString& time) { return time.left(16); };
  const QString minuteEnd = minute(to) + ":59Z";
  const QString dayEnd = to.left(10) + "T23:59:59Z";
  const struct {
    QString from;
    QString to;
    std::vector<int> expected;
  } cases[] = {
      {from, to, numbersWithin(from, to)},
      {plain(from), plain(to), numbersWithin(from, to)},  // no offset: UTC, not local time
      {from, minute(to), numbersWithin(from, minuteEnd)},
      {from, to.left(10), numbersWithin(from, dayEnd)},
      {to, to, numbersWithin(to, to)},
  };
  for (const QString zone : {"UTC", "Europe/Berlin", "America/Los_Angeles"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE((zone + " --from " + c.from + " --to " + c.to).toStdString());
      ASSERT_FALSE(c.expected.empty());
      const CommandRun run = RunArchive(
          {"--archive", archive, "export", "--from", c.from, "--to", c.to}, {.timeZone = zone});
      ASSERT_EQ(run.exitCode, 0) << Join(run).toStdString();
      std::vector<int> numbers;
      for (const Row& row : CsvRows(run.out)) {
        numbers.push_back(row.frameNumber);
      }
      EXPECT_EQ(numbers, c.expected);
    }
  }
  const CommandRun reversed =
      RunArchive({"--archive", archive, "export", "--from", to, "--to", from});
  EXPECT_EQ(reversed.exitCode, 2) << Join(reversed).toStdString();
  EXPECT_TRUE(reversed.out.isEmpty());
}

// A station name is received text: a spreadsheet must not run it, also when invisible
// characters stand before the formula sign.
TEST_F(ArchiveCommand, StationsCellIsGuardedAgainstFormulasBehindInvisibleCharacters) {
  const struct {
    const char* station;
    bool guarded;
  } cases[] = {
      {"XQ0GND", false},
      {"A=B", false},
      {"=HYPERLINK(1)", true},
      {"\u00AD=HYPERLINK(1)", true},
      {"\u200B=HYPERLINK(1)", true},
      {"\u200E=HYPERLINK(1)", true},
      {"\u200F+SUM(1)", true},
      {"\uFEFF@SUM(1)", true},
      {"\u00A0-SUM(1)", true},
      {"\u2060\u200B=1", true},
  };
  const QString stations = folder + "/stations.sqlite";
  std::map<int, std::pair<QString, bool>> byFrame;
  int first = 100;
  for (const auto& c : cases) {
    const QString name = QString::fromUtf8(c.station);
    const QString log = WritePlainLog(folder + QStringLiteral("/s%1.kss").arg(first), first, 1);
    const CommandRun run = RunArchive({"--archive", stations, "add", "--station", name, log});
    ASSERT_EQ(run.exitCode, 0) << Join(run).toStdString();
    byFrame[first++] = {name, c.guarded};
  }
  const CommandRun run = RunArchive({"--archive", stations, "export"});
  ASSERT_EQ(run.exitCode, 0) << Join(run).toStdString();
  const std::vector<Row> rows = CsvRows(run.out);
  ASSERT_EQ(rows.size(), byFrame.size());
  for (const Row& row : rows) {
    const auto& [name, guarded] = byFrame.at(row.frameNumber);
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(row.stations, guarded ? "'" + name : name);
  }
}

// A URL the command cannot use is named in the message, without its password, wherever the
// password was given: in the user part or as a parameter, in a URL that does not even parse.
TEST(ArchiveCommandUrl, MessagesNeverShowThePassword) {
  const QString secret = "s3cret-pw";
  const QString missing = testing::TestFolder() + "/no-server-here";
  const struct {
    QString url;
    int exitCode;
    QString shown;  // the archive as the message must name it
  } cases[] = {
      {"postgresql://field:" + secret + "@host:99x/mission", 2, "postgresql://field@host"},
      {"postgresql://field:" + secret + "@ground station/mission", 2, "postgresql://field@"},
      {"postgresql://field:" + secret + "@[::1/mission", 2, "postgresql://field@[::1"},
      {"postgresql://field:" + secret + "@[::1/mission?password=" + secret, 2,
       "postgresql://field@[::1"},
      {"postgresql://field@[::1/mission?sslmode=disable&password=" + secret, 2,
       "postgresql://field@[::1/mission?sslmode=disable"},
      {"postgresql://field@/mission?host=" + missing + "&port=x&password=" + secret, 2,
       "postgresql://field@/mission"},
      {"postgresql://field@/mission?host=" + missing + "&password=" + secret, 1,
       "postgresql://field@/mission?host=" + missing},
      {"postgresql://field@/mission?host=" + missing + "&pass%77ord=" + secret, 1,
       "postgresql://field@/mission?host=" + missing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url.toStdString());
    const CommandRun run = RunArchive({"--archive", c.url, "summary"}, {.timeoutMs = 30000});
    EXPECT_EQ(run.exitCode, c.exitCode) << Join(run).toStdString();
    ASSERT_FALSE(run.errorLines.isEmpty());
    const QString& line = run.errorLines.front();
    EXPECT_TRUE(line.startsWith("quilmar-hk-archive: archive " + c.shown)) << line.toStdString();
    EXPECT_FALSE(Join(run).contains("s3cret")) << Join(run).toStdString();
  }
}

}  // namespace
}  // namespace quilmar
