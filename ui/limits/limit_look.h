// How a value beyond its limits looks wherever the window shows it: a colour for yellow and
// red, and a mark that does not rely on colour (the direction, or "!" for a state or NaN).
#pragma once

#include <QColor>
#include <QString>

#include "limits/limit_set.h"

namespace quilmar {

// Stronger than the light yellow of the charted parameter's box and the light red of a poor
// System Status, so a limit never reads as either.
inline const QColor kLimitYellow(255, 208, 0);
inline const QColor kLimitRed(255, 80, 80);

// The colour of a level; invalid for normal.
inline QColor LimitColour(LimitLevel level) {
  switch (level) {
    case LimitLevel::kYellow:
      return kLimitYellow;
    case LimitLevel::kRed:
      return kLimitRed;
    case LimitLevel::kNormal:
      break;
  }
  return {};
}

// The level of a value box, as an int property on the box, for the windows that follow it.
inline constexpr char kLimitLevelProperty[] = "quilmarLimitLevel";
// Its mark ("▲", "▼", "!"), as a string property.
inline constexpr char kLimitMarkProperty[] = "quilmarLimitMark";

// "▲" above a high bound, "▼" below a low one, "!" for a listed state or a NaN reading;
// empty when normal.
inline QString LimitMarkText(LimitLevel level, LimitDirection direction) {
  if (level == LimitLevel::kNormal) {
    return {};
  }
  switch (direction) {
    case LimitDirection::kHigh:
      return QStringLiteral("\u25B2");
    case LimitDirection::kLow:
      return QStringLiteral("\u25BC");
    case LimitDirection::kState:
    case LimitDirection::kNone:
      break;
  }
  return QStringLiteral("!");
}

}  // namespace quilmar
