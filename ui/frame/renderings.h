// Number-to-text renderings of the frame view's value boxes and derived fields. Each returns
// the whole text of its control, or nothing when the value cannot be represented; the frame
// view then empties the control rather than leave the previous frame's text standing.
// Decimal separators and the date come from QLocale(), the default locale, so a value box is
// written and read back with the same separator.
#pragma once

#include <QString>
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "core/parameter_catalogue.h"

namespace quilmar {

// Rounded half to even, plain decimal digits; nothing outside the signed 32-bit range.
std::optional<QString> IntegerText(double value);
// Rounded half away from zero to one decimal, "0.0" pattern with the regional separator.
// Non-finite values read "NaN", "Infinity" and "-Infinity".
QString OneDecimalText(double value);
// Up to 15 significant digits without trailing zeros; exponent form ("1E-05", "1.5E+15") below
// 0.0001 and from 1E15 on. Non-finite values as in OneDecimalText.
QString FullText(double value);
// Eight characters '0'/'1', bit 7 first, of the value rounded half to even; nothing outside
// 0..255.
std::optional<QString> BitText(double value);
// Upper-case hexadecimal without prefix of the value rounded half to even. Memory pointers are
// unsigned 32-bit (0..FFFFFFFF); negative values down to -2^31 give their two's complement.
std::optional<QString> HexText(double value);
// (pointer - start) / 3072 rounded half to even, with "%": how full a spacecraft memory area
// that starts at `start` is. Nothing when the quotient leaves the signed 16-bit range, where
// a garbled pointer would show a fill of thousands of percent.
std::optional<QString> MemoryFillText(double pointer, double start);
// A J2000 day count as a UTC instant: 01.01.2000 11:58:56 + floor(days) days + (1 s + the day
// fraction in seconds, rounded half to even). Regional short date, blank, regional time with
// seconds (left out at exactly midnight), " UTC". Nothing when no date can be formed or its
// year lies outside 1..9999.
std::optional<QString> J2000DateText(double days);

// Start addresses of the GPS and extended housekeeping memory areas (163600 and 1B0000 hex).
inline constexpr double kGpsMemoryStart = 1455616;
inline constexpr double kXhkMemoryStart = 1769472;

// Status words of a status byte, compared for exact equality.
struct WordEntry {
  double value;
  std::string_view word;
};

inline constexpr std::array<WordEntry, 3> kModeWords{{{255, "BOOT"}, {1, "TEST"}, {0, "NOMINAL"}}};
inline constexpr std::array<WordEntry, 2> kYesNoWords{{{1, "YES"}, {0, "NO"}}};
inline constexpr std::array<WordEntry, 5> kPowerWords{
    {{3, "CHARGE"}, {2, "EMERGENCY"}, {1, "POWERSAFE"}, {0, "NOMINAL"}, {255, "BOOT"}}};
inline constexpr std::array<WordEntry, 3> kSendStatusWords{{{2, "CW"}, {1, "FM"}, {0, "IDLE"}}};
inline constexpr std::array<WordEntry, 2> kReceiverWords{{{1, "RX ON"}, {0, "TRX OFF"}}};
inline constexpr std::array<WordEntry, 2> kTransmitterWords{{{1, "TX ON"}, {0, "TX OFF"}}};
inline constexpr std::array<WordEntry, 3> kBaudRateWords{
    {{3, "4k8 MSK"}, {2, "2k4 MSK"}, {1, "1k2 AFSK"}}};
// clang-format off
inline constexpr std::array<WordEntry, 10> kAdcsModeWords{{
    {0, "???"}, {1, "SAFE"}, {2, "DETUMB"}, {3, "SENSE"}, {4, "CONTROL"},
    {5, "RESET"}, {6, "GPS"}, {7, "GPS GND"}, {8, "CALIB"}, {9, "SUN TEST"}}};
// clang-format on

// The table's word for the value; a value the table does not list shows its integer text.
std::optional<QString> WordText(std::span<const WordEntry> words, double value);

enum class Rendering {
  kInteger,
  kOneDecimal,
  kFull,
  kBits,
  kHex,
  kMode,
  kYesNo,
  kPower,
  kSendStatus,
  kReceiver,
  kTransmitter,
  kBaudRate,
  kAdcsMode,
};

// How value row 0..92 is shown (the COM section's softstart, row 40, is a plain count).
Rendering RowRendering(int row);

// The text of a value box: the value rendered as its row is; nothing empties the box.
std::optional<QString> RenderValue(Rendering rendering, double value);

}  // namespace quilmar
