// The archive's tables, the same on SQLite and PostgreSQL:
//   archive_meta  key/value rows: schema_version, and next_order, where the next source's
//                 frames start in the order that breaks ties between frames of one time
//   source        one row per imported file (with its content digest) or live session
//   frame         each distinct AX.25 frame once: its bytes, its UTC time and where that time
//                 came from, and the 93 decoded values under readable column names (NULL
//                 where the frame did not carry the value's section)
//   reception     who received which frame, when, and where in the source it stood (no
//                 foreign keys since version 3: checking them row by row was half of a
//                 PostgreSQL import, and only the importer writes receptions, in the
//                 transaction of their frames and source; SQLite never enforced them)
//   parameter     each value column's section, name and unit
//   housekeeping  a view of the housekeeping ("S") frames' times and values
//   trend_hour    per clock hour, the first and last housekeeping time and each value's
//                 lowest and highest (added in version 2; see trend_overview.h)
#pragma once

#include <QString>
#include <string>

#include "core/parameter_catalogue.h"

namespace quilmar {

inline constexpr int kSchemaVersion = 3;

// The column of catalogue row `row` in the frame table: section and name in lower case,
// "+" and "-" in front of an axis spelled plus_ and minus_, other runs of punctuation "_"
// ("eps_tcs_battery_volts", "adcs_plus_x_panel_temp").
std::string ParameterColumn(int row);

class Archive;

// Creates the tables of an empty archive, upgrades an older one, and refuses (false, with
// the reason in error) one written by a newer program, which it leaves untouched.
bool PrepareSchema(Archive& archive, QString& error);

}  // namespace quilmar
