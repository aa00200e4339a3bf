// The two-line settings file that remembers where the main window stood: its top and left
// edge in twips, each line ended by CR LF. Read at start-up, written at shutdown.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>
#include <string_view>

namespace quilmar {

inline constexpr char kSettingsFileName[] = "quilmar_hkc.ini";

struct WindowPositionTwips {
  double top = 0;
  double left = 0;
};

// The number value of a settings line: blanks/tabs/LF ignored, longest leading decimal number
// with '.', sign, exponent ("1.5E3" -> 1500); otherwise 0.
double SettingsNumberValue(std::string_view line);

// Reads the two lines (CR or CR LF ends a line; missing file/line -> 0); negative values
// become 0.
WindowPositionTwips ReadSettingsFile(const QString& path);

// " 600 \r\n 1200 \r\n": blank before non-negative, "-" for negative, one blank after; whole
// numbers without point; fractions up to 7 significant digits with the regional decimal
// separator.
QByteArray FormatSettingsFile(const WindowPositionTwips& position);

// Replaces the file atomically (QSaveFile); false with a reason in *error when it cannot be
// written.
bool WriteSettingsFile(const QString& path, const WindowPositionTwips& position, QString* error);

// A twip coordinate of the settings file as window pixels (15 twips each, rounded); empty
// when it lies beyond any coordinate a window can take, so that edge is left as it is.
std::optional<int> WindowPixelsFromTwips(double twips);

// A window position in pixels moved onto the primary screen's available area when it would
// be off every screen.
QPoint KeepOnScreen(QPoint topLeft, QSize frameSize);

}  // namespace quilmar
