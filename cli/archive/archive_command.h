// The archive command: its arguments and its four actions (add, export, passes, summary).
#pragma once

#include <QStringList>

namespace quilmar {

// Runs the whole command; returns the exit status (0 done, 1 file or archive problem,
// 2 usage).
int RunArchiveCommand(const QStringList& arguments);

}  // namespace quilmar
