// Number and text formatting of the exports: shortest round-trip numbers, Latin-1 frame texts
// as UTF-8, JSON escaping and CSV cells.
#include "core/export_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quilmar {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Number(double value) {
  std::string text;
  AppendNumber(text, value);
  return text;
}

TEST(ExportNumberTest, WritesShortestTextWithPoint) {
  const struct {
    double value;
    const char* text;
  } kCases[] = {
      {0, "0"},
      {-0.0, "-0"},
      {41, "41"},
      {-16383.5, "-16383.5"},
      {0.1, "0.1"},
      // A value decoded in single precision keeps all the digits of its double.
      {static_cast<double>(5.0f / 255.0f), "0.019607843831181526"},
      {9658.904296875, "9658.904296875"},
      {4294967295.0, "4294967295"},
      {1e21, "1e+21"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {kInf, "Infinity"},
      {-kInf, "-Infinity"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Number(c.value), c.text);
  }
}

TEST(ExportNumberTest, EveryFiniteFloatPatternReadsBackExactly) {
  // Quaternions and positions arrive as arbitrary float bit patterns.
  std::uint32_t bits = 0x12345678;
  for (int i = 0; i < 20000; ++i) {
    bits = bits * 1664525u + 1013904223u;
    const double value = std::bit_cast<float>(bits);
    if (!std::isfinite(value)) {
      continue;
    }
    const std::string text = Number(value);
    SCOPED_TRACE(text);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)),
              std::bit_cast<std::uint64_t>(value));
    ASSERT_EQ(text.find(','), std::string::npos);
  }
}

struct TextCase {
  const char* name;
  std::string latin1;
  std::string json;
  std::string csv;
};

class ExportTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ExportTextTest, JsonString) {
  std::string text;
  AppendJsonString(text, GetParam().latin1);
  EXPECT_EQ(text, GetParam().json);
}

TEST_P(ExportTextTest, CsvCell) {
  std::string text;
  AppendCsvCell(text, GetParam().latin1);
  EXPECT_EQ(text, GetParam().csv);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExportTextTest,
    ::testing::Values(
        TextCase{"Plain", "XQ0SAT 4.05V", "\"XQ0SAT 4.05V\"", "XQ0SAT 4.05V"},
        TextCase{"Empty", "", "\"\"", ""},
        TextCase{"Quote", "say \"hi\"", "\"say \\\"hi\\\"\"", "\"say \"\"hi\"\"\""},
        TextCase{"Backslash", "a\\b", "\"a\\\\b\"", "a\\b"},
        TextCase{"Comma", "4.05V, ok", "\"4.05V, ok\"", "\"4.05V, ok\""},
        TextCase{"CrLf", "end\r\n", "\"end\\u000d\\u000a\"", "end\u240D\u240A"},
        TextCase{"ZeroBytes", std::string("a\0\0b", 4), "\"a\\u0000\\u0000b\"", "a\u2400\u2400b"},
        TextCase{"UnitSeparator", "\x1F", "\"\\u001f\"", "\u241F"},
        TextCase{"Delete", "\x7F", "\"\\u007f\"", "\u2421"},
        // C1 controls, which terminals obey, have no pictures: their code between brackets
        // no Latin-1 byte can produce. In JSON they are escaped like the others.
        TextCase{"NextLine", "\x85", "\"\\u0085\"",
                 "\u27E8"
                 "85\u27E9"},
        TextCase{"C1Bounds", "\x7E\x80\x9F\xA0", "\"~\\u0080\\u009f\u00A0\"",
                 "~\u27E8"
                 "80\u27E9\u27E8"
                 "9F\u27E9\u00A0"},
        TextCase{"ControlSequence",
                 "\x9B"
                 "2K\x9B"
                 "A",
                 "\"\\u009b2K\\u009bA\"",
                 "\u27E8"
                 "9B\u27E9"
                 "2K\u27E8"
                 "9B\u27E9"
                 "A"},
        TextCase{"DegreeSign",
                 "+14\xB0"
                 "C",
                 "\"+14\u00B0C\"", "+14\u00B0C"},
        TextCase{"HighBytes", "\xA0\xE9\xFF", "\"\u00A0\u00E9\u00FF\"", "\u00A0\u00E9\u00FF"},
        TextCase{"QuoteAndControl", "\"\t\"", "\"\\\"\\u0009\\\"\"", "\"\"\"\u2409\"\"\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quilmar
