// The export command: its arguments, the table export (CSV or JSON) and the short summary.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "core/frame_table.h"
#include "core/kiss_reader.h"

namespace quilmar {

enum class ExportFormat { kCsv, kJson };
enum class CommandAction { kExport, kSummary, kHelp, kVersion };

struct ExportOptions {
  CommandAction action = CommandAction::kExport;
  ExportFormat format = ExportFormat::kCsv;
  std::optional<std::string> output;  // standard output when empty
  bool rawText = false;               // CSV beacon texts unguarded against formulas
  // --limits FILE: a column (CSV) or member (JSON) naming each value beyond its limits.
  std::optional<std::string> limits;
  std::string log;
  // Live mode: the TNC's address, and what --baud, --record and --frames gave.
  std::string connect;
  std::optional<int> baud;
  std::optional<std::string> record;
  std::optional<std::int64_t> frames;
  // --archive [URL]: each frame also goes to the mission archive (empty: the default one),
  // received by --station.
  std::optional<std::string> archive;
  std::optional<std::string> station;
};

// The options, or the reason the command line is not usable.
struct ParsedArguments {
  ExportOptions options;
  std::string error;
};

ParsedArguments ParseArguments(std::span<const std::string_view> arguments);

extern const char kUsageText[];

// Files, stored, skipped, rejected and missing frames, frames by type, and the error if any.
void WriteSummary(std::ostream& out, std::string_view file, const FrameTable& table,
                  const LoadSummary& summary);

// Runs the whole command; returns the exit status (0 done, 1 file problem, 2 usage).
int RunExportCommand(std::span<const std::string_view> arguments);

}  // namespace quilmar
