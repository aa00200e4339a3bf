// The limits file: TOML, one table per value keyed by the value's name (value_names.h):
//
//   [eps_tcs_battery_volts]
//   red_low = "eps_tcs_limit_volt_em"   # a bound may name another value of the same section
//   yellow_low = "eps_tcs_limit_volt_psm"
//   yellow_high = 4.2
//   persistence = 2                     # frames in a row before the state changes
//
//   [eps_tcs_power_level]
//   red = ["EMERGENCY"]                 # states by the text the window shows
//   yellow = ["POWERSAFE"]
//
// A file is taken whole or refused with the place of its first fault: a TOML syntax error, an
// unknown value name or key, a bound naming a value of another section, red inside yellow.
// The program ships a default file; the user's own file replaces it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "limit_set.h"

namespace quilmar {

struct LimitsError {
  std::string file;
  int line = 0;  // 0: the file could not be read at all
  int column = 0;
  std::string message;
  // "file:line:column: message"
  std::string Text() const;
};

struct LimitsLoad {
  std::optional<LimitSet> limits;
  LimitsError error;  // when limits is empty
};

// Reads limits from a file's text; `file` names it in the limits' origin and in errors.
LimitsLoad ParseLimits(std::string_view text, const std::string& file);
LimitsLoad LoadLimitsFile(const std::string& path);

// The default file shipped with the program, built in.
std::string_view DefaultLimitsText();
inline constexpr char kDefaultLimitsName[] = "default limits.toml";
LimitsLoad LoadDefaultLimits();

// The user's file: $XDG_CONFIG_HOME/quilmar-hk/limits.toml, or ~/.config/quilmar-hk/... .
std::string UserLimitsPath();

// The limits a command works with: the file given (--limits FILE), else the user's file when
// there is one, else the default file.
LimitsLoad LoadLimits(const std::optional<std::string>& given);

}  // namespace quilmar
