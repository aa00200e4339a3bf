// Frame types of the memory dump strip: each type letter's colour, its legend caption and
// where its legend entry sits in the window (twips).
#pragma once

#include <QColor>
#include <array>
#include <string_view>

namespace quilmar {

struct FrameTypeLegend {
  const char* letter;  // nullptr for the catch-all "unknown" entry
  const char* caption;
  int red;
  int green;
  int blue;
  int boxLeft;
  int top;
  int captionLeft;
  int captionWidth;

  QColor colour() const { return QColor(red, green, blue); }
};

inline constexpr int kLegendBoxWidthTwips = 495;
inline constexpr int kLegendBoxHeightTwips = 135;
inline constexpr int kLegendCaptionHeightTwips = 255;

// Tested in this order, exact and case-sensitive; the last entry takes everything else.
inline constexpr std::array<FrameTypeLegend, 6> kFrameTypeLegend = {{
    {"A", "ADCS XHK Data", 0, 128, 0, 120, 2640, 720, 1215},
    {"S", "System Housekeeping", 0, 0, 192, 2520, 2640, 3120, 1695},
    {"I", "Image Data", 0, 192, 192, 4920, 2640, 5520, 1215},
    {"M", "GPS Almanach", 255, 128, 0, 120, 2880, 720, 1215},
    {"G", "GPS Data", 192, 0, 192, 2520, 2880, 3120, 1215},
    {nullptr, "unknown", 255, 224, 192, 4920, 2880, 5520, 1215},
}};

// The legend entry of a frame's type letter (one raw byte as text).
constexpr const FrameTypeLegend& LegendFor(std::string_view letter) {
  for (const FrameTypeLegend& entry : kFrameTypeLegend) {
    if (entry.letter == nullptr || letter == entry.letter) {
      return entry;
    }
  }
  return kFrameTypeLegend.back();
}

}  // namespace quilmar
