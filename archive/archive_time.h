// Time in the archive. The time base is the spacecraft clock (the CDHS section's real-time
// clock, kept in Pacific time); a frame without it takes its reception time, or else the
// clock of the nearest frame of the same source. Times are stored as UTC text
// "YYYY-MM-DDTHH:MM:SSZ", which sorts in time order and which SQLite and PostgreSQL both read.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quilmar {

// Where a frame's time came from, as stored in the time_kind column.
inline constexpr char kTimeFromSpacecraft[] = "spacecraft";
inline constexpr char kTimeFromReception[] = "reception";
inline constexpr char kTimeEstimated[] = "estimated";

// The spacecraft clock text "dd.MM.yyyy hh:mm:ss" read as Pacific time by the zone rules and
// turned into UTC; nullopt when it names no real date and time. In the hour the clocks go
// back the earlier (daylight) reading is taken; a time the change skipped is read at the
// standard offset, as a clock not yet put forward would mean it.
std::optional<QDateTime> SpacecraftClockToUtc(std::string_view dateTime);
// The same as Unix milliseconds, without a QDateTime: an import reads one for every frame.
std::optional<std::int64_t> SpacecraftClockToUtcMs(std::string_view dateTime);

// The stored text of a time given as Unix milliseconds (whole seconds, as UtcText), made
// without a QDateTime: an import writes one or two for every frame.
QString UtcTextOfMs(std::int64_t ms);

// The stored text of a UTC time, and back.
QString UtcText(const QDateTime& utc);
std::optional<QDateTime> ParseUtcText(const QString& text);

// A time column as read back: ISO text on SQLite, a timestamp (timestamptz) on PostgreSQL.
// nullopt for NULL or anything that is no time.
std::optional<QDateTime> StoredTime(const QVariant& value);
// The same as "YYYY-MM-DDTHH:MM:SSZ"; empty for NULL.
QString StoredTimeText(const QVariant& value);

// A time the user typed for --from/--to: ISO 8601 date or date and time, UTC unless it
// names an offset ("2026-12-07", "2026-12-07 21:45", "2026-12-07T21:45:00+01:00").
std::optional<QDateTime> ParseUserTime(const QString& text);

}  // namespace quilmar
