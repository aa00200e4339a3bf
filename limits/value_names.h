// The names a limits file uses for the 93 values, and the texts the window shows for the
// values that are status words ("EMERGENCY", "TX ON"), by which a file lists states.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quilmar {

// The value's column name in the archive: section and name in lower case, "+" and "-" in
// front of an axis spelled plus_ and minus_, other runs of punctuation "_"
// ("eps_tcs_battery_volts", "adcs_plus_x_panel_temp").
std::string ValueName(int row);

// The catalogue row of a value name; nothing for a name no value has.
std::optional<int> RowOfValueName(std::string_view name);

// True when the window shows the row as a status word (mode, power level, yes/no ...).
bool ShowsStateWords(int row);

// The text the window shows for the value of a status-word row: its word, or the integer
// text of a value the word table does not list; nothing when no text can be formed (NaN).
std::optional<std::string> ShownStateText(int row, double value);

// True when `text` can be shown for the row: one of its words or an integer text 0..255.
bool IsStateTextOf(int row, std::string_view text);

}  // namespace quilmar
