// Value names and status words; see value_names.h.
#include "value_names.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

#include "core/parameter_catalogue.h"

namespace quilmar {
namespace {

void AppendWords(std::string& name, std::string_view text) {
  bool gap = !name.empty();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool axisSign = (c == '+' || c == '-') && i + 1 < text.size() &&
                          std::isalpha(static_cast<unsigned char>(text[i + 1]));
    if (axisSign) {
      name += gap ? "_" : "";
      name += c == '+' ? "plus" : "minus";
      gap = true;
    } else if (std::isalnum(static_cast<unsigned char>(c))) {
      if (gap) {
        name += '_';
        gap = false;
      }
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      gap = true;
    }
  }
}

// The status words as the window's value boxes show them, compared for exact equality.
struct StateWord {
  double value;
  std::string_view word;
};

constexpr std::array<StateWord, 3> kModeWords{{{255, "BOOT"}, {1, "TEST"}, {0, "NOMINAL"}}};
constexpr std::array<StateWord, 2> kYesNoWords{{{1, "YES"}, {0, "NO"}}};
constexpr std::array<StateWord, 5> kPowerWords{
    {{3, "CHARGE"}, {2, "EMERGENCY"}, {1, "POWERSAFE"}, {0, "NOMINAL"}, {255, "BOOT"}}};
constexpr std::array<StateWord, 3> kSendStatusWords{{{2, "CW"}, {1, "FM"}, {0, "IDLE"}}};
constexpr std::array<StateWord, 2> kReceiverWords{{{1, "RX ON"}, {0, "TRX OFF"}}};
constexpr std::array<StateWord, 2> kTransmitterWords{{{1, "TX ON"}, {0, "TX OFF"}}};
constexpr std::array<StateWord, 3> kBaudRateWords{
    {{3, "4k8 MSK"}, {2, "2k4 MSK"}, {1, "1k2 AFSK"}}};
// clang-format off
constexpr std::array<StateWord, 10> kAdcsModeWords{{
    {0, "???"}, {1, "SAFE"}, {2, "DETUMB"}, {3, "SENSE"}, {4, "CONTROL"},
    {5, "RESET"}, {6, "GPS"}, {7, "GPS GND"}, {8, "CALIB"}, {9, "SUN TEST"}}};
// clang-format on

struct RowWords {
  int row;
  std::span<const StateWord> words;
};

// The rows the frame view shows as words (the COM section's softstart, row 40, is a count).
// clang-format off
const std::array<RowWords, 18> kRowWords{{
    {1, kModeWords},        {2, kYesNoWords},       {4, kPowerWords},
    {23, kYesNoWords},      {37, kYesNoWords},      {39, kModeWords},
    {42, kSendStatusWords}, {43, kReceiverWords},   {44, kTransmitterWords},
    {45, kBaudRateWords},   {47, kYesNoWords},      {52, kYesNoWords},
    {53, kYesNoWords},      {55, kModeWords},       {56, kYesNoWords},
    {58, kPowerWords},      {67, kAdcsModeWords},   {68, kAdcsModeWords},
}};
// clang-format on

std::optional<std::span<const StateWord>> WordsOf(int row) {
  for (const RowWords& entry : kRowWords) {
    if (entry.row == row) {
      return entry.words;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string ValueName(int row) {
  const ParameterInfo& info = kParameterCatalogue[static_cast<std::size_t>(row)];
  std::string name;
  AppendWords(name, SectionInfoOf(info.section).name);
  AppendWords(name, info.name);
  return name;
}

std::optional<int> RowOfValueName(std::string_view name) {
  for (int row = 0; row < kParameterCount; ++row) {
    if (ValueName(row) == name) {
      return row;
    }
  }
  return std::nullopt;
}

bool ShowsStateWords(int row) { return WordsOf(row).has_value(); }

std::optional<std::string> ShownStateText(int row, double value) {
  if (const auto words = WordsOf(row)) {
    for (const StateWord& entry : *words) {
      if (entry.value == value) {
        return std::string(entry.word);
      }
    }
  }
  // As the window's integer text: rounded half to even, within the signed 32-bit range.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
        rounded <= std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  return std::to_string(static_cast<std::int32_t>(rounded));
}

bool IsStateTextOf(int row, std::string_view text) {
  const auto words = WordsOf(row);
  if (!words) {
    return false;
  }
  for (const StateWord& entry : *words) {
    if (entry.word == text) {
      return true;
    }
  }
  int number = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() && number >= 0 && number <= 255 &&
         std::to_string(number) == text;
}

}  // namespace quilmar
