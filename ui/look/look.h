// Colours and fonts shared by the windows, and the helper that gives a control a colour.
// Colours are given as red, green, blue.
#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

namespace quilmar {

inline const QColor kLightGrey(224, 224, 224);    // value boxes, header boxes, hex dump
inline const QColor kLightGreen(192, 255, 192);   // System Status above 190
inline const QColor kLightRed(255, 192, 192);     // System Status 190 or less
inline const QColor kLightYellow(255, 255, 192);  // the charted parameter's value box
inline const QColor kDarkBlue(0, 0, 192);         // frame description, status headings
inline const QColor kCaptionGrey(128, 128, 128);  // captions under the header boxes

// Sets one colour role of a widget's palette and keeps the others. A widget that has the
// colour already is left alone: setting a palette repaints the widget and its children.
inline void SetPaletteColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  const bool same = palette.isBrushSet(QPalette::Active, role) &&
                    palette.color(QPalette::Active, role) == colour &&
                    palette.color(QPalette::Inactive, role) == colour &&
                    palette.color(QPalette::Disabled, role) == colour;
  if (same) {
    return;
  }
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

// The designs use MS Sans Serif, Arial and Courier New; Liberation Sans and Liberation Mono
// are their metric twins on Linux, so texts fit the boxes they were designed for.
inline QFont SansFont(double pointSize, bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

inline QFont MonoFont(double pointSize, bool bold = false) {
  QFont font(QStringLiteral("Liberation Mono"));
  font.setStyleHint(QFont::Monospace);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

// The default dialog font of every window.
inline QFont DialogFont() { return SansFont(8.25); }

}  // namespace quilmar
