// The limits the window program starts with and reloads: --limits FILE, else the user's
// file, else the default file. A refused file is said, never fatal: at start the window runs
// with the default limits, and a reload keeps the limits it had.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "limits/limit_set.h"

namespace quilmar {

struct WindowLimitsLoad {
  LimitSet limits;
  // Empty when the file was taken; else what refused it and what the window uses instead,
  // for a message.
  QString problem;
  // One line for the status bar: "Limits: limits.toml" or "Limits: default (limits.toml
  // refused)".
  QString summary;
};

// At start: the limits of `given` (the --limits option), the user's file or the default file;
// a refused file gives the default limits and says so.
WindowLimitsLoad LoadWindowLimits(const std::optional<std::string>& given);

// Reload Limits: the file read again; a refused file keeps `current` and says so.
WindowLimitsLoad ReloadWindowLimits(const std::optional<std::string>& given,
                                    const LimitSet& current);

}  // namespace quilmar
