// The archive's tables, the same on SQLite and PostgreSQL:
//   archive_meta  key/value rows: schema_version
//   source        one row per imported file (with its content digest) or live session
//   frame         each distinct AX.25 frame once, unique by the digest of its bytes (the AX.25
//                 frame without KISS framing and FCS, see frame_identity.h): its time on the
//                 axis and its kind, the two clocks that time is derived from (the spacecraft
//                 clock or its estimate, the earliest reception), and the 93 decoded values
//                 under readable column names (NULL where the frame did not carry the value's
//                 section; a NaN reading is NaN, stored as the text 'NaN' on SQLite, which
//                 keeps no NaN numbers)
//   reception     who received which frame (by its key), when, with the SatNOGS station and
//                 observation, and where in the source it stood (no foreign keys: only the
//                 importer writes receptions, in the transaction of their frames and source)
//   pass          the passes as the frames' times give them (see pass_timing.h), kept by
//                 every import in its transaction
//   parameter     each value column's section, name and unit
//   housekeeping  a view of the housekeeping ("S") frames: key, time, kind, pass, stations,
//                 values
//   trend_hour    per clock hour, the first and last housekeeping time and each value's
//                 lowest and highest (see trend_overview.h)
//   trend_minute  the same per UTC minute
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

#include "core/parameter_catalogue.h"

namespace quilmar {

inline constexpr int kSchemaVersion = 6;

// The frame's identity as the index that keeps each frame once holds it: a time that rises
// with the mission where the frame has one, and the first eight bytes of its digest. The time
// is the frame's own spacecraft clock (Unix ms); for a frame without one (whose clock_ms is an
// estimate that later sources may lower) the EPS/TCS beacon timer, which counts up on board,
// below every clock (minus 2^32); -1 for a frame with neither. All of it comes from the frame's
// bytes, so the same frame always gives the same identity; a look-up also compares the whole
// digest. `table`: the frame table's name or alias in a query that joins it, empty for none.
inline constexpr int kBeaconTimerRow = 7;
inline constexpr std::int64_t kBeaconTimerBase = -4294967296;
inline constexpr std::int64_t kNoIdentityTime = -1;
std::string FrameIdentity(const std::string& table = {});

// The column of catalogue row `row` in the frame table: section and name in lower case,
// "+" and "-" in front of an axis spelled plus_ and minus_, other runs of punctuation "_"
// ("eps_tcs_battery_volts", "adcs_plus_x_panel_temp").
std::string ParameterColumn(int row);

class Archive;

// The frame, reception and pass tables with their indexes, and the housekeeping view.
QStringList FrameTableStatements(bool postgresql);
QString HousekeepingViewStatement(bool postgresql);

// Creates the tables of an empty archive, upgrades an older one, and refuses (false, with
// the reason in error) one written by a newer program, which it leaves untouched.
bool PrepareSchema(Archive& archive, QString& error);

}  // namespace quilmar
