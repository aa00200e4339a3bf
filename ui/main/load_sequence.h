// What the window tells the user after a load: the status-bar line and the reason a log could
// not be read. The load sequence itself is MainWindow::LoadKissLog (load_sequence.cpp).
#pragma once

#include <QString>

#include "core/kiss_reader.h"

namespace quilmar {

// One line for the status bar: frames stored, missing, skipped beyond the table's 5000,
// rejected by the address check, and whether the load was cancelled or cut short.
QString LoadReport(const LoadSummary& summary, std::int64_t missingCount);

// The message shown when a log could not be opened or read to its end: the reason, naming
// the path once.
QString LoadErrorText(const QString& path, const std::string& error);

}  // namespace quilmar
