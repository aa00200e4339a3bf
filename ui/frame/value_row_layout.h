// Where the 93 value rows stand: runs of consecutive rows in one column of one frame, in
// twips within the frame. Frames stand on their tab, measured from the tab control's top-left. A
// row shows button, name label, value box and unit label from left to right; rows of a run stand
// 240 twips apart.
#pragma once

#include <array>

namespace quilmar {

// The four frames (group boxes) that carry the value rows, one per housekeeping section.
enum class RowFrame { kEpsTcs, kCom, kCdhs, kAdcs };

struct FrameBox {
  RowFrame frame;
  const char* caption;  // "" for the untitled power and thermal frame
  int left, top, width, height;
};

inline constexpr std::array<FrameBox, 4> kFrameBoxes{{
    {RowFrame::kEpsTcs, "", 120, 600, 9495, 4815},
    {RowFrame::kCom, "COM HK", 120, 600, 6615, 2655},
    {RowFrame::kCdhs, "CDHS HK", 120, 3360, 6615, 2055},
    {RowFrame::kAdcs, "ADCS HK", 120, 600, 9495, 4815},
}};

inline constexpr int kRowPitch = 240;
inline constexpr int kButtonSize = 255;
inline constexpr int kNameWidth = 1455;
inline constexpr int kBoxHeight = 285;
inline constexpr int kLabelHeight = 255;
inline constexpr int kUnitWidth = 420;  // "km/s"; right-aligned units end under it

struct RowRun {
  RowFrame frame;
  int button, name, box, boxWidth, unit;  // column lefts and the value box width
  int firstRow, lastRow, top;             // top of the first row of the run
  int nameWidth = kNameWidth;
};

inline constexpr std::array<RowRun, 17> kRowRuns{{
    {RowFrame::kEpsTcs, 120, 480, 1920, 855, 2880, 0, 7, 360},
    {RowFrame::kEpsTcs, 120, 480, 1920, 855, 2880, 26, 32, 3000},
    {RowFrame::kEpsTcs, 3360, 3720, 5160, 615, 5880, 8, 17, 360},
    {RowFrame::kEpsTcs, 3360, 3720, 5160, 855, 5880, 23, 25, 3240},
    {RowFrame::kEpsTcs, 6480, 6840, 8280, 615, 9000, 18, 22, 360},
    {RowFrame::kEpsTcs, 6480, 6840, 8280, 615, 9000, 33, 36, 1800},
    {RowFrame::kEpsTcs, 6480, 6840, 8280, 855, 9000, 37, 37, 3240},
    {RowFrame::kCom, 120, 480, 1920, 855, 2640, 38, 44, 360},
    {RowFrame::kCom, 120, 480, 1920, 855, 2640, 45, 45, 2160},
    {RowFrame::kCom, 3360, 3720, 5160, 855, 6000, 46, 51, 360},
    {RowFrame::kCom, 3360, 3720, 5160, 855, 6000, 52, 53, 1920},
    {RowFrame::kCdhs, 120, 480, 1920, 855, 2640, 54, 59, 360},
    {RowFrame::kCdhs, 3360, 3720, 5160, 855, 6000, 60, 65, 360},
    {RowFrame::kAdcs, 120, 480, 1920, 855, 2640, 66, 74, 360},
    {RowFrame::kAdcs, 120, 480, 1920, 855, 2640, 75, 80, 2880},
    {RowFrame::kAdcs, 3720, 4080, 5520, 855, 6480, 81, 91, 360},
    {RowFrame::kAdcs, 3720, 4080, 5280, 1095, 6480, 92, 92, 3720, 1215},
}};

// The picture buttons that open the status-bit windows sit in the unit column of rows 69..74
// of the ADCS frame; their tops were set by hand and do not follow the row pitch.
struct PictureButtonPlace {
  const char* name;
  int top;
  int row;
  const char* toolTip;
};

inline constexpr int kPictureButtonLeft = 2880;
inline constexpr int kPictureButtonSize = 240;

inline constexpr std::array<PictureButtonPlace, 6> kPictureButtons{{
    {"Image2", 1080, 69, "System Status"},
    {"Image3", 1365, 70, "Resource Status"},
    {"Image5", 1590, 71, "Magnetometer Status"},
    {"Image6", 1820, 72, "Sun Sensor Status"},
    {"Image7", 2060, 73, "Sun Sensor Config"},
    {"Image4", 2320, 74, "GPS Status"},
}};

}  // namespace quilmar
