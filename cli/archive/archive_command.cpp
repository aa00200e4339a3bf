// The archive command; see archive_command.h.
#include "archive_command.h"

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include "archive/archive.h"
#include "archive/archive_events.h"
#include "archive/archive_queries.h"
#include "archive/archive_time.h"
#include "archive/source_import.h"
#include "cli/output_file.h"
#include "limits/limits_file.h"
#include "serve/serve_command.h"

namespace quilmar {
namespace {

constexpr char kUsage[] =
    "usage: quilmar-hk-archive [--archive URL] add [--station CALL] FILE...\n"
    "       quilmar-hk-archive [--archive URL] export [--from TIME] [--to TIME]"
    " [--format csv|json] [--output FILE]\n"
    "       quilmar-hk-archive [--archive URL] events [--limits FILE] [--from TIME] [--to TIME]"
    " [--format csv|json] [--output FILE]\n"
    "       quilmar-hk-archive [--archive URL] passes\n"
    "       quilmar-hk-archive [--archive URL] summary\n"
    "       quilmar-hk-archive [--archive URL] serve [--listen HOST:PORT] [--token-file FILE]"
    " [--limits FILE] [--site DIR]\n"
    "       quilmar-hk-archive --help\n"
    "URL: a file path, sqlite:PATH or postgresql://user@host:port/dbname;\n"
    "QUILMAR_HK_ARCHIVE sets the default (archive.sqlite in the user's data folder).\n"
    "TIME: UTC unless it names an offset; both ends included, --to to its last second\n"
    "(--to 2026-12-07 takes in the whole day, --to 2026-12-07T21:45 the whole minute).\n"
    "--output FILE is replaced only once the whole table is written.\n"
    "events: each episode of a value beyond its limits, pass by pass; --limits FILE replaces\n"
    "the user's ~/.config/quilmar-hk/limits.toml, which replaces the default limits.\n";

// Progress shows only once a file has taken longer than this.
constexpr qint64 kProgressAfterMs = 1000;

struct Options {
  QString archive;
  QString action;
  QString station;
  QString format = QStringLiteral("csv");
  QString output;
  std::optional<QString> limits;
  ExportRange range;
  QStringList files;
};

int Usage(const QString& problem) {
  std::cerr << "quilmar-hk-archive: " << problem.toStdString() << '\n' << kUsage;
  return 2;
}

// --to names a period as precise as it was typed, and all of it is included: a date its last
// second, a time without seconds the minute's. Archive times are whole seconds.
QDateTime LastSecondOf(const QString& typed, const QDateTime& start) {
  const QString text = typed.trimmed();
  if (text.size() == 10) {
    return start.addDays(1).addSecs(-1);
  }
  // "2026-12-07T21:45", perhaps with an offset or Z after it: no seconds field.
  const bool minutesOnly = text.size() >= 16 && (text.size() == 16 || text[16] != u':');
  return minutesOnly ? start.addSecs(59) : start;
}

// Takes the value of an option that needs one; false when it is missing.
bool TakeValue(const QStringList& arguments, qsizetype& i, QString& value) {
  if (i + 1 >= arguments.size()) {
    return false;
  }
  value = arguments[++i];
  return true;
}

std::optional<QString> ParseOptions(const QStringList& arguments, Options& options) {
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    QString value;
    if (argument == "--archive" || argument == "--station" || argument == "--format" ||
        argument == "--output" || argument == "--from" || argument == "--to" ||
        argument == "--limits") {
      if (!TakeValue(arguments, i, value)) {
        return argument + " needs a value";
      }
      if (argument == "--archive") {
        options.archive = value;
      } else if (argument == "--station") {
        options.station = value;
      } else if (argument == "--format") {
        options.format = value;
      } else if (argument == "--output") {
        options.output = value;
      } else if (argument == "--limits") {
        options.limits = value;
      } else if (const auto time = ParseUserTime(value)) {
        if (argument == "--from") {
          options.range.from = time;
        } else {
          options.range.to = LastSecondOf(value, *time);
        }
      } else {
        return "not a time: " + value + " (use 2026-12-07 or 2026-12-07T21:45:00Z)";
      }
    } else if (argument.startsWith("--") && argument != "--") {
      return "unknown option " + argument;
    } else if (options.action.isEmpty()) {
      options.action = argument;
    } else {
      options.files << argument;
    }
  }
  if (options.action != "add" && options.action != "export" && options.action != "events" &&
      options.action != "passes" && options.action != "summary") {
    return options.action.isEmpty() ? QStringLiteral("no command given")
                                    : "unknown command " + options.action;
  }
  if ((options.action == "add") == options.files.isEmpty()) {
    return options.action == "add" ? QStringLiteral("add needs at least one file")
                                   : "unexpected argument " + options.files.front();
  }
  if (options.limits && options.action != "events") {
    return "--limits belongs to events";
  }
  if (options.format != "csv" && options.format != "json") {
    return "unknown format " + options.format + " (csv or json)";
  }
  if (options.range.from && options.range.to && *options.range.from > *options.range.to) {
    return QStringLiteral("--from is later than --to");
  }
  return std::nullopt;
}

void PrintOutcome(const QString& file, const ImportOutcome& outcome) {
  for (const QString& warning : outcome.warnings) {
    std::cerr << file.toStdString() << ": " << warning.toStdString() << '\n';
  }
  if (outcome.alreadyArchived) {
    std::cout << file.toStdString() << ": already archived (added " << outcome.addedAt.toStdString()
              << "), nothing added\n";
    return;
  }
  std::cout << file.toStdString() << ": " << outcome.newFrames << " new frames, "
            << outcome.knownFrames << " already archived, " << outcome.rejected << " rejected, "
            << outcome.warnings.size() << (outcome.warnings.size() == 1 ? " warning" : " warnings")
            << '\n';
}

// Only a regular file is read: a FIFO or a device such as /dev/zero would never end, and
// opening a FIFO alone waits for a writer. Checked before anything is opened.
std::optional<QString> NotARegularFile(const QString& file) {
  struct stat status {};
  if (::stat(QFile::encodeName(file).constData(), &status) != 0) {
    return QString::fromLocal8Bit(std::strerror(errno));
  }
  if (S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  const char* kind = S_ISDIR(status.st_mode)    ? "a folder"
                     : S_ISFIFO(status.st_mode) ? "a named pipe (FIFO)"
                     : S_ISCHR(status.st_mode)  ? "a character device"
                     : S_ISBLK(status.st_mode)  ? "a block device"
                     : S_ISSOCK(status.st_mode) ? "a socket"
                                                : "of an unknown kind";
  return QStringLiteral("is %1, not a regular file").arg(QLatin1String(kind));
}

void ReportNothingAdded(const QString& reason) {
  std::cerr << "quilmar-hk-archive: " << reason.toStdString()
            << " (nothing of this file was added)\n";
}

int Add(const ArchiveLocation& location, const Options& options) {
  int status = 0;
  QStringList files;
  for (const QString& file : options.files) {
    if (const auto problem = NotARegularFile(file)) {
      ReportNothingAdded(file + ": " + *problem);
      status = 1;
    } else {
      files << file;
    }
  }
  if (files.isEmpty()) {
    return status;
  }
  Archive archive;
  if (!archive.Open(location)) {
    std::cerr << "quilmar-hk-archive: " << archive.Error().toStdString() << '\n';
    return 1;
  }
  for (const QString& file : files) {
    QElapsedTimer timer;
    timer.start();
    bool shown = false;
    const ImportProgress progress = [&](std::int64_t done, std::int64_t total) {
      if (timer.elapsed() >= kProgressAfterMs && total > 0) {
        std::cerr << '\r' << file.toStdString() << ": " << done * 100 / total << "% ";
        shown = true;
      }
      return true;
    };
    const ImportOutcome outcome = ImportFile(archive, file, options.station, progress);
    if (shown) {
      std::cerr << '\n';
    }
    if (!outcome.ok) {
      ReportNothingAdded(outcome.error);
      status = 1;
      continue;
    }
    PrintOutcome(file, outcome);
  }
  return status;
}

// Writes what an action reads to standard output or to --output; 1 with one line naming the
// archive (a failed read) or the output (a failed write).
int WriteResult(Archive& archive, const QString& output, const TableWriter& write) {
  std::string error;
  const bool written =
      output.isEmpty() ? WriteToStandardOutput(write, error)
                       : WriteFileReplacing(QFile::encodeName(output).toStdString(), write, error);
  if (written) {
    return 0;
  }
  const QString target = output.isEmpty() ? QStringLiteral("standard output") : output;
  const QString reason = !archive.Error().isEmpty()
                             ? archive.Error()
                             : "cannot write " + target + ": " + QString::fromStdString(error);
  std::cerr << "quilmar-hk-archive: " << reason.toStdString() << '\n';
  return 1;
}

int Read(Archive& archive, const Options& options, const LimitSet* limits) {
  if (options.action == "passes") {
    return WriteResult(archive, {}, [&](std::ostream& out) { return WritePasses(archive, out); });
  }
  if (options.action == "summary") {
    return WriteResult(archive, {},
                       [&](std::ostream& out) { return WriteArchiveSummary(archive, out); });
  }
  const ArchiveFormat format =
      options.format == "json" ? ArchiveFormat::kJson : ArchiveFormat::kCsv;
  if (options.action == "events") {
    return WriteResult(archive, options.output, [&](std::ostream& out) {
      return WriteEvents(archive, *limits, options.range, format, out);
    });
  }
  return WriteResult(archive, options.output, [&](std::ostream& out) {
    return ExportArchive(archive, options.range, format, out);
  });
}

}  // namespace

int RunArchiveCommand(const QStringList& arguments) {
  // Under a file-size limit (ulimit -f) a write that goes too far then fails with EFBIG and
  // is reported, instead of the signal ending the command without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  if (arguments.contains("--help") || arguments.contains("-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (const auto served = RunServeIfAsked(arguments)) {
    return *served;
  }
  Options options;
  if (const auto problem = ParseOptions(arguments, options)) {
    return Usage(*problem);
  }
  QString error;
  const auto location = ParseArchiveLocation(
      options.archive.isEmpty() ? DefaultArchiveText() : options.archive, error);
  if (!location) {
    return Usage(error);
  }
  if (options.action == "add") {
    return Add(*location, options);
  }
  if (!options.output.isEmpty() && location->engine == ArchiveEngine::kSqlite &&
      NameSameFile(QFile::encodeName(options.output).toStdString(),
                   QFile::encodeName(location->path).toStdString())) {
    return Usage("--output " + options.output + " is the archive itself; it would be overwritten");
  }
  // A bad limits file is refused before the archive is opened, as a usage error.
  std::optional<LimitsLoad> limits;
  if (options.action == "events") {
    limits =
        LoadLimits(options.limits ? std::optional(QFile::encodeName(*options.limits).toStdString())
                                  : std::nullopt);
    if (!limits->limits) {
      std::cerr << "quilmar-hk-archive: limits file refused: " << limits->error.Text() << '\n';
      return 2;
    }
  }
  // Reading commands never create an archive: a mistyped path is an error.
  Archive archive;
  if (!archive.Open(*location, true)) {
    std::cerr << "quilmar-hk-archive: " << archive.Error().toStdString() << '\n';
    return 1;
  }
  return Read(archive, options, limits ? &*limits->limits : nullptr);
}

}  // namespace quilmar
