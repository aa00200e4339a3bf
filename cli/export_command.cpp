// The export command: argument parsing, reading the log, and writing the chosen output.
#include "export_command.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <memory>
#include <sstream>

#include "archive/satnogs_log.h"
#include "core/csv_writer.h"
#include "core/export_format.h"
#include "core/json_writer.h"
#include "core/version.h"
#include "fd_stream_buffer.h"
#include "limits/limits_file.h"
#include "limits/value_names.h"
#include "live/tnc_address.h"
#include "live_export.h"
#include "output_file.h"

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

std::optional<std::int64_t> PositiveNumber(std::string_view text) {
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number <= 0) {
    return std::nullopt;
  }
  return number;
}

// The options of live mode; false when the argument is none of them.
bool TakeLiveOption(std::span<const std::string_view> arguments, std::size_t& i,
                    ExportOptions& options, std::string& error) {
  std::optional<std::string_view> value;
  if (TakeValue(arguments, i, "--connect", value)) {
    error = value && !value->empty() ? "" : "--connect needs an address";
    options.connect = std::string(value.value_or(""));
  } else if (TakeValue(arguments, i, "--record", value)) {
    error = value && !value->empty() ? "" : "--record needs a file name";
    options.record = std::string(value.value_or(""));
  } else if (TakeValue(arguments, i, "--baud", value)) {
    const std::int64_t baud = value ? PositiveNumber(*value).value_or(0) : 0;
    error = baud > 0 && baud <= kFastestBaudRate ? "" : "--baud needs a positive number";
    options.baud = static_cast<int>(std::min<std::int64_t>(baud, kFastestBaudRate));
  } else if (arguments[i] == "--archive") {
    // The URL may be left out: the default archive then.
    const bool url = i + 1 < arguments.size() && !arguments[i + 1].starts_with("-");
    options.archive = url ? std::string(arguments[++i]) : std::string();
  } else if (TakeValue(arguments, i, "--station", value)) {
    error = value && !value->empty() ? "" : "--station needs a callsign";
    options.station = std::string(value.value_or(""));
  } else if (TakeValue(arguments, i, "--frames", value)) {
    options.frames = value ? PositiveNumber(*value) : std::nullopt;
    error = options.frames ? "" : "--frames needs a positive number";
  } else {
    return false;
  }
  return true;
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
  } else if (argument == "--raw-text") {
    options.rawText = true;
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
  } else if (TakeValue(arguments, i, "--limits", value)) {
    if (!value || value->empty()) {
      return "--limits needs a file name";
    }
    options.limits = std::string(*value);
  } else if (std::string error; TakeLiveOption(arguments, i, options, error)) {
    return error;
  } else {
    return "unknown option '" + std::string(argument) + "'";
  }
  return {};
}

}  // namespace

const char kUsageText[] =
    "Usage: quilmar-hk-export [--format csv|json] [--output FILE] [--raw-text] [--limits FILE]\n"
    "                         LOG\n"
    "       quilmar-hk-export --summary LOG\n"
    "       quilmar-hk-export --connect ADDRESS [--baud N] [--format csv|json] [--output FILE]\n"
    "                         [--raw-text] [--record FILE] [--frames N]\n"
    "                         [--archive [URL]] [--station CALL]\n"
    "       quilmar-hk-export --help | --version\n"
    "\n"
    "Writes the QUILMAR-1 frames stored from a KISS capture log (at most 5000) as a table.\n"
    "  --format csv|json  table format, csv by default\n"
    "  --output FILE      write to FILE instead of standard output; FILE is replaced only\n"
    "                     once the whole table is written\n"
    "  --raw-text         write CSV beacon texts starting with = + - @ tab or CR (also after\n"
    "                     blanks, controls or no-break spaces) as they are, without the '\n"
    "                     that keeps spreadsheets from running them\n"
    "  --limits FILE      add a limits column (a member in JSON) naming each value beyond\n"
    "                     its limits in FILE, as \"eps_tcs_battery_volts red low\"\n"
    "  --summary          print frame counts and missing frames instead of the table\n"
    "  --help             print this text\n"
    "  --version          print the version\n"
    "\n"
    "Live mode: writes each QUILMAR-1 frame a TNC hands over as it arrives (CSV rows, or JSON\n"
    "Lines with --format json, one frame object per line), until interrupted (SIGINT, SIGTERM);\n"
    "--output FILE is then written row by row.\n"
    "  --connect ADDRESS  KISS over TCP at HOST:PORT (e.g. localhost:8001, [::1]:8001), or a\n"
    "                     serial TNC at a device path (/dev/ttyUSB0, a pseudo-terminal)\n"
    "  --baud N           serial speed, 9600 by default\n"
    "  --record FILE      append every received byte to FILE, a KISS log for later export\n"
    "  --frames N         stop after N stored frames\n"
    "  --archive [URL]    add each frame to the mission archive as well (see\n"
    "                     quilmar-hk-archive), the default one when URL is left out\n"
    "  --station CALL     the receiving station's callsign in the archive\n"
    "A lost or refused connection is retried after 1, 2, 4 ... 30 s; each change is reported\n"
    "on standard error.\n";

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
  const bool live = !options.connect.empty();
  if (!live &&
      (options.baud || options.record || options.frames || options.archive || options.station)) {
    parsed.error = "--baud, --record, --frames, --archive and --station need --connect";
  } else if (live && (log || options.action == CommandAction::kSummary)) {
    parsed.error = "--connect reads from a TNC: no LOG and no --summary";
  } else if (live && options.limits) {
    parsed.error = "--limits applies to a LOG's table, not yet to --connect";
  } else if (live) {
    return parsed;
  } else if (options.action == CommandAction::kSummary &&
             (formatGiven || options.output || options.rawText || options.limits)) {
    parsed.error = "--summary takes no --format, --output, --raw-text or --limits";
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

int UsageError(std::string_view error) {
  std::cerr << kProgram << ": " << error << "\n\n" << kUsageText;
  return 2;
}

// Checked before the log is read: the table would replace the log it came from.
std::string CheckOutput(const ExportOptions& options) {
  if (options.output && IsSameFile(*options.output, options.log)) {
    return "--output " + *options.output + " is the log itself; it would be overwritten";
  }
  return {};
}

// Each frame's values beyond their limits, "eps_tcs_battery_volts red low", in catalogue
// order; persistence holds over the log's frames in file order.
std::vector<std::vector<std::string>> FrameLimits(const LimitSet& limits, const FrameTable& table) {
  std::vector<std::vector<std::string>> frames(static_cast<std::size_t>(table.frameCount));
  LimitPersistence persistence;
  for (int index = 1; index <= table.frameCount; ++index) {
    const FrameRecord& record = table.Record(index);
    for (const ValueLimits& value : limits.Values()) {
      if (!record.HasSection(kParameterCatalogue[static_cast<std::size_t>(value.row)].section)) {
        continue;
      }
      const LimitCheck state = persistence.Step(value.row, limits.Check(value.row, record));
      if (!state.Normal()) {
        frames[static_cast<std::size_t>(index - 1)].push_back(ValueName(value.row) + ' ' +
                                                              LevelText(state.level) + ' ' +
                                                              DirectionText(state.direction));
      }
    }
  }
  return frames;
}

// The CSV table with the limits column last: "name level direction; ...", empty when every
// value is within its limits.
bool WriteCsvWithLimits(std::ostream& out, const FrameTable& table, CsvText comText,
                        const std::vector<std::vector<std::string>>& frameLimits) {
  std::string row;
  AppendCsvHeader(row);
  row.resize(row.size() - 2);  // the header's CRLF: the limits column follows
  row += ",limits\r\n";
  out.write(row.data(), static_cast<std::streamsize>(row.size()));
  for (int index = 1; index <= table.frameCount && out; ++index) {
    row.clear();
    AppendCsvRow(row, index, table.Record(index), comText);
    row.resize(row.size() - 2);
    row += ',';
    std::string cell;
    for (const std::string& state : frameLimits[static_cast<std::size_t>(index - 1)]) {
      cell += (cell.empty() ? "" : "; ") + state;
    }
    AppendCsvCell(row, cell);
    row += "\r\n";
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  out.flush();
  return static_cast<bool>(out);
}

// The JSON table with a "limits" member closing each frame object: the table as WriteJson
// writes it (5000 frames at most), each frame's object found by its own text.
bool WriteJsonWithLimits(std::ostream& out, const ExportOptions& options, const FrameTable& table,
                         const LoadSummary& summary,
                         const std::vector<std::vector<std::string>>& frameLimits) {
  std::ostringstream whole;
  WriteJson(whole, options.log, table, summary);
  const std::string text = whole.str();
  std::string result;
  result.reserve(text.size() + static_cast<std::size_t>(table.frameCount) * 32);
  std::size_t done = 0;
  for (int index = 1; index <= table.frameCount; ++index) {
    std::string frame;
    AppendJsonFrame(frame, index, table.Record(index));
    const std::size_t at = text.find(frame, done);
    if (at == std::string::npos) {
      return false;
    }
    const std::size_t end = at + frame.size() - 1;  // the object's closing brace
    result.append(text, done, end - done);
    result += ", \"limits\": [";
    const auto& states = frameLimits[static_cast<std::size_t>(index - 1)];
    for (std::size_t i = 0; i < states.size(); ++i) {
      result += i == 0 ? "" : ", ";
      AppendJsonString(result, states[i]);
    }
    result += ']';
    done = end;
  }
  result.append(text, done, std::string::npos);
  out.write(result.data(), static_cast<std::streamsize>(result.size()));
  out.flush();
  return static_cast<bool>(out);
}

int WriteTable(const ExportOptions& options, const FrameTable& table, const LoadSummary& summary,
               const std::optional<LimitSet>& limits) {
  const CsvText comText = options.rawText ? CsvText::kRaw : CsvText::kGuardFormulas;
  const auto frameLimits =
      limits ? FrameLimits(*limits, table) : std::vector<std::vector<std::string>>();
  const TableWriter write = [&](std::ostream& out) {
    if (limits) {
      return options.format == ExportFormat::kJson
                 ? WriteJsonWithLimits(out, options, table, summary, frameLimits)
                 : WriteCsvWithLimits(out, table, comText, frameLimits);
    }
    return options.format == ExportFormat::kJson ? WriteJson(out, options.log, table, summary)
                                                 : WriteCsv(out, table, comText);
  };
  std::string error;
  const bool written = options.output ? WriteFileReplacing(*options.output, write, error)
                                      : WriteToStandardOutput(write, error);
  if (!written) {
    ReportWriteError(options.output.value_or("standard output"), error);
    return 1;
  }
  return 0;
}

// Frames the table cannot show, said on standard error so that a CSV user learns of them too.
void ReportFramesLeftOut(const ExportOptions& options, const LoadSummary& summary) {
  if (summary.framesSkipped > 0) {
    std::cerr << kProgram << ": " << options.log << ": " << summary.framesSkipped
              << (summary.framesSkipped == 1 ? " frame" : " frames") << " beyond the first "
              << kFrameTableCapacity << " skipped\n";
  }
  if (summary.endedInsideFrame) {
    std::cerr << kProgram << ": " << options.log
              << ": last frame cut off by the end of the file, dropped\n";
  }
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
    return UsageError(parsed.error);
  }
  const ExportOptions& options = parsed.options;
  if (options.action == CommandAction::kHelp) {
    return PrintText(kUsageText);
  }
  if (options.action == CommandAction::kVersion) {
    return PrintText(std::string(kProgram) + ' ' + kVersionText + '\n');
  }
  if (!options.connect.empty()) {
    return RunLiveExport(options);
  }
  if (const std::string error = CheckOutput(options); !error.empty()) {
    return UsageError(error);
  }
  // A bad limits file is refused before the log is read.
  std::optional<LimitSet> limits;
  if (options.limits) {
    LimitsLoad load = LoadLimitsFile(*options.limits);
    if (!load.limits) {
      std::cerr << kProgram << ": limits file refused: " << load.error.Text() << '\n';
      return 2;
    }
    limits = std::move(load.limits);
  }
  // The table holds 5000 records with their texts: too large for the stack.
  const auto table = std::make_unique<FrameTable>();
  // A SatNOGS download is read as the log of its frames, in the order they were heard.
  QStringList warnings;
  const std::unique_ptr<ByteSource> source =
      OpenLogOrDownload(QString::fromLocal8Bit(options.log.c_str()), warnings);
  for (const QString& warning : warnings) {
    std::cerr << kProgram << ": " << options.log << ": " << warning.toStdString() << '\n';
  }
  const LoadSummary summary = ReadKissLog(*source, *table);
  if (options.action == CommandAction::kSummary) {
    return PrintSummary(options, *table, summary);
  }
  if (!summary.error.empty()) {
    ReportReadError(summary);
    return 1;
  }
  const int status = WriteTable(options, *table, summary, limits);
  ReportFramesLeftOut(options, summary);
  return status;
}

}  // namespace quilmar
