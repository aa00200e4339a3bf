// The archive command; see archive_command.h.
#include "archive_command.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "archive/archive.h"
#include "archive/archive_queries.h"
#include "archive/archive_time.h"
#include "archive/source_import.h"

namespace quilmar {
namespace {

constexpr char kUsage[] =
    "usage: quilmar-hk-archive [--archive URL] add [--station CALL] FILE...\n"
    "       quilmar-hk-archive [--archive URL] export [--from TIME] [--to TIME]"
    " [--format csv|json] [--output FILE]\n"
    "       quilmar-hk-archive [--archive URL] passes\n"
    "       quilmar-hk-archive [--archive URL] summary\n"
    "       quilmar-hk-archive --help\n"
    "URL: a file path, sqlite:PATH or postgresql://user@host:port/dbname;\n"
    "QUILMAR_HK_ARCHIVE sets the default (archive.sqlite in the user's data folder).\n";

// Progress shows only once a file has taken longer than this.
constexpr qint64 kProgressAfterMs = 1000;

struct Options {
  QString archive;
  QString action;
  QString station;
  QString format = QStringLiteral("csv");
  QString output;
  ExportRange range;
  QStringList files;
};

int Usage(const QString& problem) {
  std::cerr << "quilmar-hk-archive: " << problem.toStdString() << '\n' << kUsage;
  return 2;
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
        argument == "--output" || argument == "--from" || argument == "--to") {
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
      } else if (const auto time = ParseUserTime(value)) {
        (argument == "--from" ? options.range.from : options.range.to) = time;
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
  if (options.action != "add" && options.action != "export" && options.action != "passes" &&
      options.action != "summary") {
    return options.action.isEmpty() ? QStringLiteral("no command given")
                                    : "unknown command " + options.action;
  }
  if ((options.action == "add") == options.files.isEmpty()) {
    return options.action == "add" ? QStringLiteral("add needs at least one file")
                                   : "unexpected argument " + options.files.front();
  }
  if (options.format != "csv" && options.format != "json") {
    return "unknown format " + options.format + " (csv or json)";
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

int Add(Archive& archive, const Options& options) {
  int status = 0;
  for (const QString& file : options.files) {
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
      std::cerr << "quilmar-hk-archive: " << outcome.error.toStdString()
                << " (nothing of this file was added)\n";
      status = 1;
      continue;
    }
    PrintOutcome(file, outcome);
  }
  return status;
}

int Export(Archive& archive, const Options& options) {
  const ArchiveFormat format =
      options.format == "json" ? ArchiveFormat::kJson : ArchiveFormat::kCsv;
  if (options.output.isEmpty()) {
    if (!ExportArchive(archive, options.range, format, std::cout)) {
      std::cerr << "quilmar-hk-archive: " << archive.Error().toStdString() << '\n';
      return 1;
    }
    return 0;
  }
  // Written beside the target and renamed over it only once complete.
  const QString partial = options.output + ".part";
  std::ofstream out(partial.toStdString(), std::ios::binary | std::ios::trunc);
  const bool written = out && ExportArchive(archive, options.range, format, out);
  out.close();
  if (!written || !out ||
      std::rename(partial.toLocal8Bit().constData(), options.output.toLocal8Bit().constData()) !=
          0) {
    std::remove(partial.toLocal8Bit().constData());
    const QString reason = archive.Error().isEmpty()
                               ? options.output + ": " + QString::fromLocal8Bit(strerror(errno))
                               : archive.Error();
    std::cerr << "quilmar-hk-archive: " << reason.toStdString() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int RunArchiveCommand(const QStringList& arguments) {
  if (arguments.contains("--help") || arguments.contains("-h")) {
    std::cout << kUsage;
    return 0;
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
  Archive archive;
  if (!archive.Open(*location, options.action != "add")) {
    std::cerr << "quilmar-hk-archive: " << archive.Error().toStdString() << '\n';
    return 1;
  }
  if (options.action == "add") {
    return Add(archive, options);
  }
  if (options.action == "export") {
    return Export(archive, options);
  }
  const bool done = options.action == "passes" ? WritePasses(archive, std::cout)
                                               : WriteArchiveSummary(archive, std::cout);
  if (!done) {
    std::cerr << "quilmar-hk-archive: " << archive.Error().toStdString() << '\n';
  }
  return done ? 0 : 1;
}

}  // namespace quilmar
