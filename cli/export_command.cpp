// The export command: argument parsing, reading the log, and writing the chosen output.
#include "export_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>

#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/version.h"
#include "fd_stream_buffer.h"

namespace quilmar {
namespace {

constexpr std::string_view kProgram = "quilmar-hk-export";

// Takes the value of an option given as "--name value" or "--name=value".
bool TakeValue(std::span<const std::string_view> arguments, std::size_t& i, std::string_view name,
               std::optional<std::string_view>& value) {
  const std::string_view argument = arguments[i];
  if (argument == name) {
    value = i + 1 < arguments.size() ? std::optional(arguments[++i]) : std::nullopt;
    return true;
  }
  if (argument.size() > name.size() && argument.starts_with(name) && argument[name.size()] == '=') {
    value = argument.substr(name.size() + 1);
    return true;
  }
  return false;
}

std::string ParseOption(std::span<const std::string_view> arguments, std::size_t& i,
                        ExportOptions& options, bool& formatGiven) {
  const std::string_view argument = arguments[i];
  std::optional<std::string_view> value;
  if (argument == "--help" || argument == "-h") {
    options.action = CommandAction::kHelp;
  } else if (argument == "--version") {
    options.action = CommandAction::kVersion;
  } else if (argument == "--summary") {
    options.action = CommandAction::kSummary;
  } else if (TakeValue(arguments, i, "--format", value)) {
    if (value == "csv" || value == "json") {
      options.format = value == "csv" ? ExportFormat::kCsv : ExportFormat::kJson;
      formatGiven = true;
    } else {
      return value ? "unknown format '" + std::string(*value) + "' (csv or json)"
                   : "--format needs csv or json";
    }
  } else if (TakeValue(arguments, i, "--output", value)) {
    if (!value || value->empty()) {
      return "--output needs a file name";
    }
    options.output = std::string(*value);
  } else {
    return "unknown option '" + std::string(argument) + "'";
  }
  return {};
}

}  // namespace

const char kUsageText[] =
    "Usage: quilmar-hk-export [--format csv|json] [--output FILE] LOG\n"
    "       quilmar-hk-export --summary LOG\n"
    "       quilmar-hk-export --help | --version\n"
    "\n"
    "Writes the QUILMAR-1 frames stored from a KISS capture log (at most 5000) as a table.\n"
    "  --format csv|json  table format, csv by default\n"
    "  --output FILE      write to FILE instead of standard output\n"
    "  --summary          print frame counts and missing frames instead of the table\n"
    "  --help             print this text\n"
    "  --version          print the version\n";

ParsedArguments ParseArguments(std::span<const std::string_view> arguments) {
  ParsedArguments parsed;
  ExportOptions& options = parsed.options;
  bool formatGiven = false;
  bool optionsEnded = false;
  std::optional<std::string> log;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument.size() > 1 && argument.starts_with('-')) {
      parsed.error = ParseOption(arguments, i, options, formatGiven);
    } else if (log) {
      parsed.error = "more than one LOG given";
    } else {
      log = std::string(argument);
    }
    if (!parsed.error.empty()) {
      return parsed;
    }
  }
  if (options.action == CommandAction::kHelp || options.action == CommandAction::kVersion) {
    return parsed;
  }
  if (options.action == CommandAction::kSummary && (formatGiven || options.output)) {
    parsed.error = "--summary takes no --format or --output";
  } else if (!log) {
    parsed.error = "no LOG given";
  } else {
    options.log = *log;
  }
  return parsed;
}

namespace {

void ReportWriteError(std::string_view target, std::string_view reason) {
  std::cerr << kProgram << ": cannot write " << target << ": " << reason << '\n';
}

// The reader's error already names the log and the reason.
void ReportReadError(const LoadSummary& summary) {
  std::cerr << kProgram << ": " << summary.error << '\n';
}

// The table goes to FILE or standard output through one large buffer.
int WriteTable(const ExportOptions& options, const FrameTable& table, const LoadSummary& summary) {
  const std::string target = options.output.value_or("standard output");
  int fd = STDOUT_FILENO;
  if (options.output) {
    fd = ::open(options.output->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      ReportWriteError(target, std::strerror(errno));
      return 1;
    }
  }
  FdStreamBuffer buffer(fd, options.output.has_value());
  std::ostream out(&buffer);
  const bool written = options.format == ExportFormat::kJson
                           ? WriteJson(out, options.log, table, summary)
                           : WriteCsv(out, table);
  if (!buffer.Close() || !written) {
    ReportWriteError(target, buffer.Error().empty() ? "write failed" : buffer.Error());
    return 1;
  }
  return 0;
}

// --help and --version: a text that did not reach standard output is a failure too.
int PrintText(std::string_view text) {
  FdStreamBuffer buffer(STDOUT_FILENO, false, 1 << 12);
  buffer.sputn(text.data(), static_cast<std::streamsize>(text.size()));
  if (!buffer.Close()) {
    ReportWriteError("standard output", buffer.Error());
    return 1;
  }
  return 0;
}

int PrintSummary(const ExportOptions& options, const FrameTable& table,
                 const LoadSummary& summary) {
  FdStreamBuffer buffer(STDOUT_FILENO, false, 1 << 12);
  std::ostream out(&buffer);
  WriteSummary(out, options.log, table, summary);
  out.flush();
  int status = 0;
  if (!summary.error.empty()) {
    ReportReadError(summary);
    status = 1;
  }
  if (!buffer.Close()) {
    ReportWriteError("standard output", buffer.Error());
    status = 1;
  }
  return status;
}

}  // namespace

int RunExportCommand(std::span<const std::string_view> arguments) {
  const ParsedArguments parsed = ParseArguments(arguments);
  if (!parsed.error.empty()) {
    std::cerr << kProgram << ": " << parsed.error << "\n\n" << kUsageText;
    return 2;
  }
  const ExportOptions& options = parsed.options;
  if (options.action == CommandAction::kHelp) {
    return PrintText(kUsageText);
  }
  if (options.action == CommandAction::kVersion) {
    return PrintText(std::string(kProgram) + ' ' + kVersionText + '\n');
  }
  // The table holds 5000 records with their texts: too large for the stack.
  const auto table = std::make_unique<FrameTable>();
  const LoadSummary summary = ReadKissLog(options.log, *table);
  if (options.action == CommandAction::kSummary) {
    return PrintSummary(options, *table, summary);
  }
  if (!summary.error.empty()) {
    ReportReadError(summary);
    return 1;
  }
  return WriteTable(options, *table, summary);
}

}  // namespace quilmar
