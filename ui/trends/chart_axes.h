// Tick marks and labels of the Trends chart's axes. The UTC time axis adapts its step and
// labels to the range shown: seconds or minutes within a pass, hours within a day (the date
// where it changes), days within a month, calendar months over a year, years beyond. The
// value axes take round steps of 1, 2 or 5 times a power of ten. Qt Core only.
#pragma once

#include <QString>
#include <vector>

namespace quilmar {

struct AxisTick {
  double position = 0.0;  // seconds since the Unix epoch (time axis) or a value
  QString label;
};

// Ticks inside [from, to] drawn over widthPixels, at least minSpacing pixels apart.
std::vector<AxisTick> TimeAxisTicks(double from, double to, int widthPixels, int minSpacing = 110);

// Round ticks inside [low, high] for an axis of heightPixels, at least minSpacing apart.
std::vector<AxisTick> ValueAxisTicks(double low, double high, int heightPixels,
                                     int minSpacing = 40);

// The UTC time as the hover and labels show it: "2026-07-15 19:00:20 UTC".
QString UtcLabel(double utcSeconds);

}  // namespace quilmar
