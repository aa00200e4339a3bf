// The export command's live mode: frames from a TNC (KISS over TCP or a serial port) written
// as CSV rows or JSON Lines as they arrive, every received byte optionally recorded to a KISS
// log. Keeps no table, so memory stays flat however long it runs.
#pragma once

#include "export_command.h"

namespace quilmar {

// Runs until SIGINT or SIGTERM, or until options.frames frames were stored; returns the exit
// status (0 done, 1 output or recording failure, 2 a bad address).
int RunLiveExport(const ExportOptions& options);

}  // namespace quilmar
