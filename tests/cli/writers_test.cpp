// The CSV and JSON writers on frame tables built in the test: column titles, cells of absent
// sections, quoting, non-finite values, the streamed missing-frames list and stream failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>
#include <sstream>
#include <vector>

#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// RFC 4180 reading: CRLF ends a row, quoted cells may hold commas and doubled quotes.
Rows ParseCsv(const std::string& text) {
  Rows rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      rows.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      rows.back().emplace_back();
    } else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.emplace_back(1);
      ++i;
    } else {
      rows.back().back() += c;
    }
  }
  rows.pop_back();  // after the last CRLF
  return rows;
}

// Marker rows hold their length byte, every other row of a carried section a non-zero value.
void Carry(FrameRecord& record, Section section) {
  const SectionInfo& info = SectionInfoOf(section);
  record.values[static_cast<std::size_t>(info.firstRow)] = info.markerValue;
  for (int row = info.firstRow + 1; row <= info.lastRow; ++row) {
    record.values[static_cast<std::size_t>(row)] = row + 0.25;
  }
}

std::string Csv(const FrameTable& table) {
  std::ostringstream out;
  EXPECT_TRUE(WriteCsv(out, table));
  return out.str();
}

std::string Json(const FrameTable& table, const LoadSummary& summary, std::string_view file) {
  std::ostringstream out;
  EXPECT_TRUE(WriteJson(out, file, table, summary));
  return out.str();
}

constexpr int kFixedColumns = 8;

TEST(CsvWriterTest, HeaderNamesEveryParameterByItsSectionAndUnit) {
  FrameTable table;
  const Rows rows = ParseCsv(Csv(table));
  ASSERT_EQ(rows.size(), 1u);
  const std::vector<std::string>& header = rows[0];
  ASSERT_EQ(header.size(), static_cast<std::size_t>(kFixedColumns + kParameterCount));
  const struct {
    std::size_t column;
    const char* title;
  } kTitles[] = {
      {0, "index"},
      {2, "frameTypeLetter"},
      {7, "comText"},
      {kFixedColumns + 0, "EPS/TCS Size of HK data"},
      {kFixedColumns + 18, "EPS/TCS Battery Volts [V]"},
      {kFixedColumns + 38, "COM Size of HK data"},
      {kFixedColumns + 48, "COM Packets IN"},
      {kFixedColumns + 61, "CDHS RTC Temp [C]"},
      {kFixedColumns + 85, "ADCS Quart Comp 0 [km/s]"},
      {kFixedColumns + 92, "ADCS Julian TE [days]"},
  };
  for (const auto& t : kTitles) {
    SCOPED_TRACE(t.title);
    EXPECT_EQ(header[t.column], t.title);
  }
  EXPECT_EQ(std::set<std::string>(header.begin(), header.end()).size(), header.size());
}

TEST(CsvWriterTest, LeavesTheCellsOfSectionsTheFrameDidNotCarryEmpty) {
  const struct {
    const char* name;
    std::vector<Section> carried;
  } kCases[] = {
      {"EPS/TCS with COM", {Section::kEpsTcs, Section::kCom}},
      {"CDHS with ADCS", {Section::kCdhs, Section::kAdcs}},
      {"EPS/TCS with ADCS", {Section::kEpsTcs, Section::kAdcs}},
      {"no section (a G frame)", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    FrameTable table;
    table.frameCount = 1;
    FrameRecord& record = table.Record(1);
    for (Section section : c.carried) {
      Carry(record, section);
    }
    // A zero inside a carried section is a value, not an absent one.
    if (!c.carried.empty()) {
      record.values[static_cast<std::size_t>(SectionInfoOf(c.carried[0]).lastRow)] = 0;
    }
    const Rows rows = ParseCsv(Csv(table));
    ASSERT_EQ(rows.size(), 2u);
    for (int row = 0; row < kParameterCount; ++row) {
      const Section section = kParameterCatalogue[static_cast<std::size_t>(row)].section;
      const bool carried = std::count(c.carried.begin(), c.carried.end(), section) > 0;
      const std::string& cell = rows[1][static_cast<std::size_t>(kFixedColumns + row)];
      EXPECT_EQ(cell.empty(), !carried) << "row " << row;
    }
  }
}

TEST(CsvWriterTest, WritesCurrentRecordsWithQuotedAndVisibleTexts) {
  FrameTable table;
  table.frameCount = 2;
  FrameRecord& first = table.Record(1);
  first.frameNumber = 65535;
  first.frameTypeLetter = ",";
  first.primaryCounter = 7;
  first.secondaryCounter = 1873;
  Carry(first, Section::kEpsTcs);
  Carry(first, Section::kCom);
  first.values[18] = std::numeric_limits<double>::quiet_NaN();
  first.values[19] = -std::numeric_limits<double>::infinity();
  first.comText = std::string("say \"73\", bye\r\n\0", 16);
  FrameRecord& second = table.Record(2);
  second.frameTypeLetter = "S";
  second.dateTime = "12.06.2026 09:41:07";
  second.weekday = "Friday";
  table.Record(3).frameTypeLetter = "stale";  // beyond frameCount: not current

  const std::string text = Csv(table);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);
  const Rows rows = ParseCsv(text);
  ASSERT_EQ(rows.size(), 3u);
  const std::vector<std::string> kFirst{"1",    "65535", ",", "7",
                                        "1873", "",      "",  "say \"73\", bye\u240D\u240A\u2400"};
  EXPECT_EQ(std::vector<std::string>(rows[1].begin(), rows[1].begin() + kFixedColumns), kFirst);
  EXPECT_EQ(rows[1][kFixedColumns + 0], "41");
  EXPECT_EQ(rows[1][kFixedColumns + 1], "1.25");
  EXPECT_EQ(rows[1][kFixedColumns + 18], "NaN");
  EXPECT_EQ(rows[1][kFixedColumns + 19], "-Infinity");
  EXPECT_EQ(rows[2][5], "12.06.2026 09:41:07");
  EXPECT_EQ(rows[2][6], "Friday");
}

TEST(CsvWriterTest, GuardsBeaconTextsThatSpreadsheetsWouldRunAsFormulas) {
  const struct {
    std::string comText;
    std::string guarded;  // the cell by default
    std::string raw;      // the cell with CsvText::kRaw
  } kCases[] = {
      {"=HYPERLINK(\"http://x\",\"73\")", "'=HYPERLINK(\"http://x\",\"73\")",
       "=HYPERLINK(\"http://x\",\"73\")"},
      {"+1+1", "'+1+1", "+1+1"},
      {"-2", "'-2", "-2"},
      {"@SUM(A1)", "'@SUM(A1)", "@SUM(A1)"},
      {"\t=1", "'\u2409=1", "\u2409=1"},
      {"\r\n", "'\u240D\u240A", "\u240D\u240A"},
      {"XQ0SAT =1-2", "XQ0SAT =1-2", "XQ0SAT =1-2"},
      // Behind blanks, zero bytes, line feeds and no-break spaces a formula still runs.
      {std::string("\0=1", 3), "'\u2400=1", "\u2400=1"},
      {"  -2", "'  -2", "  -2"},
      {"\n@A1", "'\u240A@A1", "\u240A@A1"},
      {" \xA0\xA0+1", "' \u00A0\u00A0+1", " \u00A0\u00A0+1"},
      {"\x9B=1",
       "'\u27E8"
       "9B\u27E9=1",
       "\u27E8"
       "9B\u27E9=1"},
      {"   ", "   ", "   "},
      {" 73 =1", " 73 =1", " 73 =1"},
      {"'=1", "'=1", "'=1"},
      {"", "", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.comText);
    FrameTable table;
    table.frameCount = 1;
    table.Record(1).comText = c.comText;
    EXPECT_EQ(ParseCsv(Csv(table))[1][7], c.guarded);
    std::ostringstream raw;
    ASSERT_TRUE(WriteCsv(raw, table, CsvText::kRaw));
    EXPECT_EQ(ParseCsv(raw.str())[1][7], c.raw);
  }
}

// Station names and other received UTF-8 text: the same guard, also past the invisible
// characters only Unicode has; a byte of no UTF-8 sequence counts as its Latin-1 character.
TEST(CsvWriterTest, GuardsUtf8TextBehindInvisibleCharacters) {
  const struct {
    std::string text;
    bool runs;
  } kCases[] = {
      {"=1", true},
      {"\t", true},
      {"\u00AD=1", true},         // soft hyphen
      {"\u200B=1", true},         // zero-width space
      {"\u200E+1", true},         // left-to-right mark
      {"\u200F-1", true},         // right-to-left mark
      {"\u2060\u2061@A1", true},  // word joiner, function application
      {"\u202E=1", true},         // right-to-left override
      {"\u3000=1", true},         // ideographic space
      {"\uFEFF=1", true},         // byte-order mark
      {" \u00A0\u2007=1", true},
      {"\xA0=1", true},   // a lone byte: the no-break space of Latin-1
      {"\xE2=1", false},  // a lone byte: a letter of Latin-1
      {"\u00E9=1", false},
      {"\u2010=1", false},  // a visible hyphen
      {"XQ0GND", false},
      {"A=B", false},
      {"\u200B", false},
      {"", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    EXPECT_EQ(RunsAsFormulaUtf8(c.text), c.runs);
  }
}

TEST(JsonWriterTest, WritesSummaryAndFramesWithEscapedTextsAndNonFiniteValues) {
  FrameTable table;
  table.frameCount = 1;
  FrameRecord& record = table.Record(1);
  record.frameNumber = 12;
  record.frameType = 0xB0;
  record.frameTypeLetter = "\xB0";
  record.hexDump = "00 2A ";
  record.comText = std::string("a\"\\\0", 4);
  record.values[0] = 41;
  record.values[1] = std::numeric_limits<double>::infinity();
  record.values[2] = std::numeric_limits<double>::quiet_NaN();
  record.values[4] = -0.0;
  record.values[92] = 9658.904296875;
  LoadSummary summary;
  summary.framesSkipped = 3;
  summary.missingFrames.AddStep(5, 9);

  const std::string json = Json(table, summary, "logs/pass \"1\".kss");
  const char* kExpected[] = {
      "\"file\": \"logs/pass \\\"1\\\".kss\"",
      "\"frameCount\": 1,",
      "\"framesSkipped\": 3,",
      "\"missingFrameCount\": 3,",
      "\"missingFrames\": [\n    8, 7, 6\n  ],",
      "{\"index\": 1, \"frameNumber\": 12, \"frameType\": 176, \"frameTypeLetter\": \"\u00B0\"",
      "\"comText\": \"a\\\"\\\\\\u0000\"",
      "\"hexDump\": \"00 2A \"",
      "\"values\": [41, \"Infinity\", \"NaN\", 0, -0.0, 0,",
      ", 9658.904296875]}\n  ]\n}\n",
  };
  for (const char* expected : kExpected) {
    SCOPED_TRACE(expected);
    EXPECT_NE(json.find(expected), std::string::npos) << json;
  }
}

TEST(JsonWriterTest, KeepsTheFileNameAsGiven) {
  const struct {
    const char* name;
    std::string file;
    std::string json;
  } kCases[] = {
      {"UTF-8 name", "p\u00E4sse/\u00B0 \U0001F6F0.kss", "\"p\u00E4sse/\u00B0 \U0001F6F0.kss\""},
      {"quote and line feed", "a\"b\n.kss", "\"a\\\"b\\u000a.kss\""},
      {"C1 control in UTF-8", "\u0085.kss", "\"\\u0085.kss\""},
      // Bytes outside well-formed UTF-8 (a Latin-1 name, an overlong form, a surrogate, a cut
      // sequence) are taken as Latin-1, so the document stays valid UTF-8.
      {"Latin-1 name", "p\xE4sse.kss", "\"p\u00E4sse.kss\""},
      {"overlong slash", "\xC0\xAF", "\"\u00C0\u00AF\""},
      {"surrogate", "\xED\xA0\x80", "\"\u00ED\u00A0\\u0080\""},
      {"cut sequence", "x\xE2\x82", "\"x\u00E2\\u0082\""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string json = Json(FrameTable{}, LoadSummary{}, c.file);
    EXPECT_TRUE(json.starts_with("{\n  \"file\": " + c.json + ",\n")) << json;
  }
}

TEST(JsonWriterTest, StreamsHundredsOfThousandsOfMissingFramesInListOrder) {
  FrameTable table;
  LoadSummary summary;
  // Frame numbers 0, 65535, 0, 65535: two gaps of 65534 numbers, each listed downwards.
  summary.missingFrames.AddStep(0, 65535);
  summary.missingFrames.AddStep(65535, 0);
  summary.missingFrames.AddStep(0, 65535);
  const std::string json = Json(table, summary, "x.kss");
  EXPECT_NE(json.find("\"missingFrameCount\": 131068,"), std::string::npos);
  const std::size_t open = json.find("\"missingFrames\": [");
  const std::size_t close = json.find(']', open);
  ASSERT_NE(close, std::string::npos);
  std::string list = json.substr(open, close - open);
  std::erase_if(list, [](char c) { return c == ' ' || c == '\n'; });
  EXPECT_EQ(std::count(list.begin(), list.end(), ','), 131068 - 1);
  EXPECT_TRUE(list.starts_with("\"missingFrames\":[65534,65533,"));
  EXPECT_NE(list.find(",2,1,65534,65533,"), std::string::npos);
  EXPECT_TRUE(list.ends_with(",3,2,1"));
  EXPECT_NE(json.find("\"frames\": []\n}\n"), std::string::npos);
}

// A full table from a log: 5000 short frames (the information field's header alone), then
// beyond the table a frame sharing its opening FEND, noise, a frame after it, another station's
// frame and a frame cut off by the end. The later frames are only counted, never stored.
TEST(WritersTest, FullTableFromALogWithFramesBeyondIt) {
  using testing::Bytes;
  std::vector<Bytes> frames;
  for (int i = 0; i < kFrameTableCapacity; ++i) {
    frames.push_back(
        testing::BuildFrame(testing::Information(static_cast<std::uint16_t>(i), 'A', 0, 0, 6)));
  }
  Bytes log = testing::KissLog(frames);
  const Bytes later = testing::BuildFrame(testing::Information(9, 'S'));
  log.insert(log.end(), later.begin(), later.end());
  log.insert(log.end(), {testing::kFend, 0x12, 0x34, testing::kFesc, 0x56});
  const Bytes wrapped = testing::KissWrap(later);
  log.insert(log.end(), wrapped.begin(), wrapped.end());
  testing::FrameAddresses other;
  other.source = "XQ0ABC";
  const Bytes foreign = testing::KissWrap(testing::BuildFrame(testing::Information(9, 'S'), other));
  log.insert(log.end(), foreign.begin(), foreign.end());
  log.insert(log.end(), wrapped.begin(), wrapped.end() - 1);

  static FrameTable table;
  const auto source = MemorySource(log);
  const LoadSummary summary = ReadKissLog(*source, table);
  EXPECT_EQ(summary.framesStored, kFrameTableCapacity);
  EXPECT_EQ(summary.framesSkipped, 2);
  EXPECT_EQ(summary.framesRejected, 2);  // the noise and the other station
  EXPECT_TRUE(summary.endedInsideFrame);
  EXPECT_EQ(table.Record(kFrameTableCapacity).frameNumber, kFrameTableCapacity - 1);

  const Rows rows = ParseCsv(Csv(table));
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kFrameTableCapacity) + 1);
  EXPECT_EQ(rows.back()[1], std::to_string(kFrameTableCapacity - 1));
  const std::string json = Json(table, summary, "full.kss");
  EXPECT_NE(json.find("\"frameCount\": 5000,\n  \"framesSkipped\": 2,"), std::string::npos);
}

// A stream buffer that refuses every byte, like a full disk.
class FullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST(WritersTest, ReportAFailedStream) {
  FrameTable table;
  table.frameCount = 3;
  FullBuffer full;
  std::ostream out(&full);
  EXPECT_FALSE(WriteCsv(out, table));
  std::ostream out2(&full);
  EXPECT_FALSE(WriteJson(out2, "x.kss", table, LoadSummary{}));
}

}  // namespace
}  // namespace quilmar
