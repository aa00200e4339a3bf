// The writers mode of the fuzzer; see writer_round_trip.h.
#include "writer_round_trip.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "strict_parsers.h"

namespace quilmar::fuzz {
namespace {

void Require(bool holds) {
  if (!holds) {
    std::abort();
  }
}

// Takes the input's bytes in order; zeros once they run out.
class ByteTaker {
 public:
  explicit ByteTaker(std::span<const std::uint8_t> input) : input(input) {}

  std::uint8_t Byte() { return at < input.size() ? input[at++] : 0; }

  std::string Text(std::size_t longest) {
    const std::size_t length = Byte() % (longest + 1);
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
      text.push_back(static_cast<char>(Byte()));
    }
    return text;
  }

  // A value from a short list of awkward ones, or any bit pattern.
  double Value() {
    static constexpr double kAwkward[] = {0.0,
                                          -0.0,
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::max(),
                                          std::numeric_limits<double>::denorm_min(),
                                          4.019608020782471,
                                          0.1,
                                          -1e-300,
                                          65535,
                                          1e21};
    const std::uint8_t pick = Byte();
    if (pick < std::size(kAwkward)) {
      return kAwkward[pick];
    }
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) {
      bits = bits << 8 | Byte();
    }
    return std::bit_cast<double>(bits);
  }

 private:
  std::span<const std::uint8_t> input;
  std::size_t at = 0;
};

// What a CSV text cell stands for, byte by byte: Latin-1 characters stand for themselves,
// control pictures and bracketed hex codes for one control byte each. No control character may
// appear itself.
std::string CsvCellBytes(const std::string& cell) {
  const std::optional<std::u32string> codes = DecodeUtf8(cell);
  Require(codes.has_value());
  std::string bytes;
  for (std::size_t i = 0; i < codes->size(); ++i) {
    const char32_t code = (*codes)[i];
    const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
    Require(!control);
    if (code <= 0xFF) {
      bytes.push_back(static_cast<char>(code));
    } else if (code >= 0x2400 && code <= 0x241F) {
      bytes.push_back(static_cast<char>(code - 0x2400));
    } else if (code == 0x2421) {
      bytes.push_back('\x7F');
    } else {
      Require(code == 0x27E8 && i + 3 < codes->size() && (*codes)[i + 3] == 0x27E9);
      const std::u32string hex = codes->substr(i + 1, 2);
      const std::string digits(hex.begin(), hex.end());
      Require(digits.find_first_not_of("0123456789ABCDEF") == std::string::npos);
      const long byte = std::strtol(digits.c_str(), nullptr, 16);
      Require(byte >= 0x80 && byte <= 0x9F);
      bytes.push_back(static_cast<char>(byte));
      i += 3;
    }
  }
  return bytes;
}

bool SameValue(double read, double written) {
  return std::isnan(written)
             ? std::isnan(read)
             : std::bit_cast<std::uint64_t>(read) == std::bit_cast<std::uint64_t>(written);
}

// A value cell or JSON literal as the writers spell numbers.
double ReadNumber(const std::string& text) {
  if (text == "NaN") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (text == "Infinity" || text == "-Infinity") {
    return text[0] == '-' ? -std::numeric_limits<double>::infinity()
                          : std::numeric_limits<double>::infinity();
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  Require(!text.empty() && end == text.c_str() + text.size());
  return value;
}

void CheckCsv(const FrameTable& table, CsvText mode) {
  std::ostringstream out;
  Require(WriteCsv(out, table, mode));
  const std::optional<CsvRows> rows = ParseCsv(out.str());
  Require(rows && rows->size() == static_cast<std::size_t>(table.frameCount) + 1);
  for (int index = 1; index <= table.frameCount; ++index) {
    const FrameRecord& record = table.Record(index);
    const std::vector<std::string>& row = (*rows)[static_cast<std::size_t>(index)];
    Require(row.size() == 8 + kParameterCount);
    Require(row[0] == std::to_string(index) && row[1] == std::to_string(record.frameNumber));
    Require(CsvCellBytes(row[2]) == record.frameTypeLetter);
    Require(row[3] == std::to_string(record.primaryCounter));
    Require(row[4] == std::to_string(record.secondaryCounter));
    Require(CsvCellBytes(row[5]) == record.dateTime && CsvCellBytes(row[6]) == record.weekday);
    const std::string comText = CsvCellBytes(row[7]);
    // The formula guard may add one apostrophe in front; nothing else may change.
    Require(comText == record.comText ||
            (mode == CsvText::kGuardFormulas && comText == '\'' + record.comText));
    for (int r = 0; r < kParameterCount; ++r) {
      const std::string& cell = row[8 + static_cast<std::size_t>(r)];
      const ParameterInfo& info = kParameterCatalogue[static_cast<std::size_t>(r)];
      if (!record.HasSection(info.section)) {
        Require(cell.empty());
      } else {
        Require(SameValue(ReadNumber(cell), record.values[static_cast<std::size_t>(r)]));
      }
    }
  }
}

std::string JsonBytes(const JsonValue* value) {
  Require(value != nullptr && value->kind == JsonValue::Kind::kString);
  std::string bytes;
  for (const char32_t code : value->text) {
    Require(code <= 0xFF);  // every text is Latin-1
    bytes.push_back(static_cast<char>(code));
  }
  return bytes;
}

double JsonNumber(const JsonValue* value) {
  Require(value != nullptr);
  if (value->kind == JsonValue::Kind::kString) {
    const std::string text(value->text.begin(), value->text.end());
    Require(text == "NaN" || text == "Infinity" || text == "-Infinity");
    return ReadNumber(text);
  }
  Require(value->kind == JsonValue::Kind::kNumber);
  return ReadNumber(value->number);
}

void CheckJson(const FrameTable& table) {
  std::ostringstream out;
  Require(WriteJson(out, "fuzz.kss", table, LoadSummary{}));
  const std::optional<JsonValue> document = ParseJson(out.str());
  Require(document.has_value());
  Require(JsonNumber(document->Member("frameCount")) == table.frameCount);
  const JsonValue* frames = document->Member("frames");
  Require(frames != nullptr && frames->items.size() == static_cast<std::size_t>(table.frameCount));
  for (int index = 1; index <= table.frameCount; ++index) {
    const FrameRecord& record = table.Record(index);
    const JsonValue& frame = frames->items[static_cast<std::size_t>(index - 1)];
    Require(JsonNumber(frame.Member("index")) == index);
    Require(JsonNumber(frame.Member("frameNumber")) == record.frameNumber);
    Require(JsonNumber(frame.Member("frameType")) == record.frameType);
    Require(JsonNumber(frame.Member("primaryCounter")) == record.primaryCounter);
    Require(JsonNumber(frame.Member("secondaryCounter")) == record.secondaryCounter);
    Require(JsonBytes(frame.Member("frameTypeLetter")) == record.frameTypeLetter);
    Require(JsonBytes(frame.Member("dateTime")) == record.dateTime);
    Require(JsonBytes(frame.Member("weekday")) == record.weekday);
    Require(JsonBytes(frame.Member("comText")) == record.comText);
    Require(JsonBytes(frame.Member("hexDump")) == record.hexDump);
    const JsonValue* values = frame.Member("values");
    Require(values != nullptr && values->items.size() == record.values.size());
    for (std::size_t r = 0; r < record.values.size(); ++r) {
      Require(SameValue(JsonNumber(&values->items[r]), record.values[r]));
    }
  }
}

}  // namespace

void CheckWritersRoundTrip(std::span<const std::uint8_t> input) {
  // Kept across inputs: a table allocates its 5000 records once.
  static FrameTable table;
  ByteTaker take(input);
  const CsvText mode = take.Byte() % 2 == 0 ? CsvText::kGuardFormulas : CsvText::kRaw;
  table.frameCount = 1 + take.Byte() % 3;
  for (int index = 1; index <= table.frameCount; ++index) {
    FrameRecord& record = table.Record(index);
    record.Clear();
    record.frameNumber = take.Byte() << 8 | take.Byte();
    record.frameType = take.Byte();
    record.frameTypeLetter.assign(1, static_cast<char>(record.frameType));
    record.primaryCounter = take.Byte();
    record.secondaryCounter = take.Byte() << 8 | take.Byte();
    record.comText = take.Text(40);
    record.dateTime = take.Text(8);
    record.weekday = take.Text(4);
    record.hexDump = take.Text(8);
    // A few values, the marker rows among them, decide which sections the record carries.
    for (int n = take.Byte() % 8; n > 0; --n) {
      record.values[take.Byte() % kParameterCount] = take.Value();
    }
    for (const SectionInfo& section : kSections) {
      if (take.Byte() % 2 == 1) {
        record.values[static_cast<std::size_t>(section.firstRow)] = section.markerValue;
      }
    }
  }
  CheckCsv(table, mode);
  CheckJson(table);
}

}  // namespace quilmar::fuzz
