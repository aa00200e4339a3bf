// The six status-bit windows of the ADCS section as data: for each status byte its window
// name, captions, the value row it follows, its layout in twips and the words for each bit.
#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace quilmar {

// Rows of the value boxes the windows follow.
inline constexpr int kFirstStatusRow = 69;
inline constexpr int kLastStatusRow = 74;
inline constexpr int kAdcsModeRow = 67;  // "act ADCS mode", read by the magnetometer window

struct TwipBox {
  int left;
  int top;
  int width;
  int height;
};

struct StatusWindowLayout {
  int clientWidth;
  int clientHeight;
  TwipBox heading;
  TwipBox valueField;
  int pictureLeft;
  int pictureTop;
  int lineLeft;
  int lineTop;
  int lineWidth;
};

inline constexpr int kPictureTwips = 960;  // the 64 x 64 information symbol
inline constexpr int kLineHeightTwips = 255;
inline constexpr int kLinePitchTwips = 240;  // lines overlap by 15 twips, as designed

// One bit's two explanations. A bit without a "[1]" text is reserved: its line always reads
// the "[0]" text, whatever the status byte holds.
struct BitTexts {
  const char* zero;
  const char* one;
};

// The magnetometer packs a 4-bit field into bits 3..0, shown raw on one line whose ending
// depends on whether the ADCS is in GPS mode.
enum class FieldRule { kNone, kMagnetometerField };

struct StatusBitMember {
  const char* formName;
  const char* title;
  const char* heading;
  int row;
  StatusWindowLayout layout;
  int lineCount;
  FieldRule fieldRule;
  std::array<BitTexts, 8> bits;  // index 0 is bit 7, as the lines run top to bottom
};

inline constexpr char kFieldPrefix[] = "bit 3-0 [";
inline constexpr char kFieldEndingGps[] = "]  VISIBLE SAT [GPS]";
inline constexpr char kFieldEndingMag[] = "]  MAG FIELD ERRORS";
inline constexpr char kGpsModeText[] = "GPS";

// Ordered by row, 69 to 74.
extern const std::array<StatusBitMember, 6> kStatusBitMembers;

// The member that follows the given row, or nullptr outside 69..74.
const StatusBitMember* StatusBitMemberForRow(int row);

// Caption of a line before the first refresh: "bit 7" .. "bit 0", the field line "bit 3-0".
QString CreatedLineText(const StatusBitMember& member, int line);

// The text of explanation line `line` for the given value box text, or nothing when that
// line keeps what it shows (no character at its position, or one that is not a digit).
// `modeText` is the ADCS mode box text, read only by the magnetometer field line, which keeps
// what it shows when there is no mode box to read.
std::optional<QString> ExplainedLineText(const StatusBitMember& member, int line,
                                         QStringView source, std::optional<QStringView> modeText);

}  // namespace quilmar
