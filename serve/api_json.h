// The JSON of the web API: times as ISO 8601 UTC with milliseconds, a frame's values with
// their limits state, passes and the parameter list. Built from what the archive read; no
// database access here.
#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <optional>

#include "archive/archive_passes.h"
#include "limits/limit_set.h"
#include "serve/archive_reader.h"

namespace quilmar {

// "2026-03-05T14:02:11.250Z".
QString IsoTimeOfMs(std::int64_t ms);

// A time given in a query ("2026-03-05", "2026-03-05T14:02:11Z", "...11.250Z", an offset):
// UTC unless it names an offset; nullopt for anything else.
std::optional<QDateTime> ParseQueryTime(const QString& text);

// The text a value is shown with: a status word's text ("EMERGENCY", "TX ON"), an integer for
// a counter, else at most three decimals without trailing zeros ("4.039", "-12.5"); "NaN",
// "Infinity" and "-Infinity" for non-finite readings.
QString ValueText(int row, double value);

// {"column": {"value", "unit", "name", "text", "state", "direction", "bound"}, ...} for the
// rows of the section in the record, judged by the limits (persistence is not applied: one
// frame alone).
QJsonObject SectionValuesJson(const FrameRecord& record, Section section, const LimitSet& limits);

// The values of every section the frame carried, as above, in one object.
QJsonObject FrameValuesJson(const FrameRecord& record, const LimitSet& limits);

// {"id", "start", "end", "frames", "missing", "missing_ranges", "stations", "clock_offset_s"}.
QJsonObject PassJson(const ArchivedPass& pass);

// [{"column", "name", "unit", "section", "row"}, ...] in catalogue order.
QJsonArray ParametersJson();

// The frame's own fields for /api/frame: key, time, time_kind, frame_number, frame_type, hex.
QJsonObject FrameJson(const StoredFrame& frame);

}  // namespace quilmar
