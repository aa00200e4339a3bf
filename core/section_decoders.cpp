// The four housekeeping section decoders and the record filler; see section_decoders.h.
// Each section is a table of (row, position, encoding) read straight off the frame layout.
#include "section_decoders.h"

#include <span>
#include <string_view>

#include "conversions.h"

namespace quilmar {
namespace {

constexpr int kTypePosition = 19;
constexpr std::uint8_t kHousekeepingType = 'S';
// Sections sit at information bytes 6 and 70, whatever the length of the first one.
constexpr int kFirstPlace = kInformationFieldStart + 6;
constexpr int kSecondPlace = kInformationFieldStart + 70;

enum class Encoding {
  kRaw,          // the byte 0..255
  kBeaconTimer,  // 4 bytes little-endian as signed 32-bit; 0 when it would be negative
  kVolts,        // VoltsFromByte
  kMilliamps,    // MilliampsFromByte
  kSignedByte,   // SignedByte (temperatures, heater limits)
  kLe16,         // 2 bytes little-endian
  kBe16,         // 2 bytes big-endian
  kPanelTemp,    // SignedWord of 2 bytes big-endian, halved: steps of 0.5 degrees
  kBe32,         // 4 bytes big-endian, unsigned
  kFloat,        // IEEE single, most significant byte first
  kJulianTe,     // kFloat + 2500 days, summed in double precision
};

struct FieldLayout {
  int row;
  int position;
  Encoding encoding;
};

using enum Encoding;

constexpr FieldLayout kEpsTcsLayout[] = {
    {0, 23, kRaw},         {1, 24, kRaw},         {2, 25, kRaw},         {3, 26, kRaw},
    {4, 27, kRaw},         {5, 28, kRaw},         {6, 29, kRaw},         {7, 30, kBeaconTimer},
    {8, 34, kVolts},       {9, 35, kMilliamps},   {10, 36, kVolts},      {11, 37, kMilliamps},
    {12, 38, kVolts},      {13, 39, kMilliamps},  {14, 40, kVolts},      {15, 41, kMilliamps},
    {16, 42, kVolts},      {17, 43, kMilliamps},  {18, 44, kVolts},      {19, 45, kMilliamps},
    {20, 46, kMilliamps},  {21, 47, kMilliamps},  {22, 48, kMilliamps},  {23, 49, kRaw},
    {24, 50, kRaw},        {25, 51, kMilliamps},  {26, 52, kSignedByte}, {27, 53, kSignedByte},
    {28, 54, kSignedByte}, {29, 55, kSignedByte}, {30, 56, kSignedByte}, {31, 57, kSignedByte},
    {32, 58, kSignedByte}, {33, 59, kSignedByte}, {34, 60, kSignedByte}, {35, 61, kVolts},
    {36, 62, kVolts},      {37, 63, kRaw},
};

constexpr FieldLayout kComLayout[] = {
    {38, 87, kRaw},   {39, 88, kRaw},   {40, 89, kRaw},  {41, 90, kRaw},
    {42, 91, kRaw},   {43, 92, kRaw},   {44, 93, kRaw},  {45, 94, kRaw},
    {46, 95, kRaw},   {47, 96, kRaw},   {48, 97, kLe16}, {49, 99, kLe16},
    {50, 101, kLe16}, {51, 103, kLe16}, {52, 105, kRaw}, {53, 106, kRaw},
};

// Rows 54..60; the clock bytes 31..37 follow "HK Time" and become dateTime and weekday.
constexpr FieldLayout kCdhsLayoutBeforeClock[] = {
    {54, 23, kRaw}, {55, 24, kRaw}, {56, 25, kRaw},  {57, 26, kRaw},
    {58, 27, kRaw}, {59, 28, kRaw}, {60, 29, kBe16},
};

constexpr FieldLayout kCdhsLayoutAfterClock[] = {
    {61, 38, kSignedByte}, {62, 39, kBe16}, {63, 41, kBe16}, {64, 43, kBe16}, {65, 45, kRaw},
};

constexpr FieldLayout kAdcsLayout[] = {
    {66, 87, kRaw},        {67, 88, kRaw},        {68, 89, kRaw},        {69, 90, kRaw},
    {70, 91, kRaw},        {71, 92, kRaw},        {72, 93, kRaw},        {73, 94, kRaw},
    {74, 95, kRaw},        {75, 96, kPanelTemp},  {76, 98, kPanelTemp},  {77, 100, kPanelTemp},
    {78, 102, kPanelTemp}, {79, 104, kPanelTemp}, {80, 106, kPanelTemp}, {81, 108, kBe32},
    {82, 112, kBe32},      {83, 116, kRaw},       {84, 117, kBe16},      {85, 119, kFloat},
    {86, 123, kFloat},     {87, 127, kFloat},     {88, 131, kFloat},     {89, 135, kFloat},
    {90, 139, kFloat},     {91, 143, kFloat},     {92, 147, kJulianTe},
};

constexpr int kComTextPosition = 107;
constexpr std::size_t kComTextLength = 33;

constexpr std::string_view kWeekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                          "Friday", "Saturday", "Sunday"};

// Clock byte positions of the CDHS section.
constexpr int kSeconds = 31, kMinutes = 32, kHours = 33, kWeekday = 34, kDay = 35, kMonth = 36,
              kYear = 37;

double Decode(const FrameBuffer& f, int p, Encoding encoding) {
  const auto at = [&f](int position) { return static_cast<std::uint32_t>(f[position]); };
  switch (encoding) {
    case kRaw:
      return at(p);
    case kBeaconTimer:
      // A top byte of 0x80 or more does not fit a signed 32-bit count: the row stays 0.
      return at(p + 3) >= 0x80 ? 0.0
                               : double(at(p + 3) << 24 | at(p + 2) << 16 | at(p + 1) << 8 | at(p));
    case kVolts:
      return VoltsFromByte(f[p]);
    case kMilliamps:
      return MilliampsFromByte(f[p]);
    case kSignedByte:
      return SignedByte(f[p]);
    case kLe16:
      return at(p + 1) * 256 + at(p);
    case kBe16:
      return at(p) * 256 + at(p + 1);
    case kPanelTemp:
      return SignedWord(static_cast<float>(at(p) * 256 + at(p + 1))) / 2.0f;
    case kBe32:
      return at(p) << 24 | at(p + 1) << 16 | at(p + 2) << 8 | at(p + 3);
    case kFloat:
      return FloatFromFrame(f, p);
    case kJulianTe:
      return static_cast<double>(FloatFromFrame(f, p)) + 2500.0;
  }
  return 0.0;
}

void DecodeFields(const FrameBuffer& frame, std::span<const FieldLayout> layout,
                  FrameRecord& record) {
  for (const FieldLayout& field : layout) {
    record.values[static_cast<std::size_t>(field.row)] =
        Decode(frame, field.position, field.encoding);
  }
}

bool Recognised(const FrameBuffer& frame, int place, Section section) {
  return frame[kTypePosition] == kHousekeepingType &&
         frame[place] == SectionInfoOf(section).markerValue;
}

// Decimal digits, at least minDigits of them with leading zeros.
void AppendDecimal(std::string& text, int value, int minDigits) {
  char digits[8];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count < minDigits) {
    digits[count++] = '0';
  }
  while (count > 0) {
    text.push_back(digits[--count]);
  }
}

// "DD.MM.YYYY hh:mm:ss" written into the record's own text: formatting it through a
// temporary string cost a heap allocation and a printf per frame, a sixth of a load.
void WriteClockText(const FrameBuffer& f, std::string& text) {
  // The spacecraft sends the year within the century; 2000..2099 for 0..99.
  const int year = f[kYear] < 100 ? 2000 + f[kYear] : 1900 + f[kYear];
  text.clear();
  AppendDecimal(text, f[kDay], 2);
  text.push_back('.');
  AppendDecimal(text, f[kMonth], 2);
  text.push_back('.');
  AppendDecimal(text, year, 1);
  text.push_back(' ');
  AppendDecimal(text, f[kHours], 2);
  text.push_back(':');
  AppendDecimal(text, f[kMinutes], 2);
  text.push_back(':');
  AppendDecimal(text, f[kSeconds], 2);
}

std::string_view WeekdayText(std::uint8_t day) {
  return day >= 1 && day <= 7 ? kWeekdays[day - 1] : "???";
}

void WriteHexDump(const FrameBuffer& frame, std::string& hexDump) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  hexDump.resize(static_cast<std::size_t>(kInformationFieldLength) * 3);
  for (int k = 0; k < kInformationFieldLength; ++k) {
    const std::uint8_t b = frame[kInformationFieldStart + k];
    const auto at = static_cast<std::size_t>(k) * 3;
    hexDump[at] = kDigits[b >> 4];
    hexDump[at + 1] = kDigits[b & 0x0F];
    hexDump[at + 2] = ' ';
  }
}

}  // namespace

void DecodeEpsTcsSection(const FrameBuffer& frame, FrameRecord& record) {
  if (Recognised(frame, kFirstPlace, Section::kEpsTcs)) {
    DecodeFields(frame, kEpsTcsLayout, record);
  }
}

void DecodeComSection(const FrameBuffer& frame, FrameRecord& record) {
  if (Recognised(frame, kSecondPlace, Section::kCom)) {
    DecodeFields(frame, kComLayout, record);
    // Raw bytes, zero bytes included: the beacon text is always 33 characters.
    record.comText.assign(reinterpret_cast<const char*>(&frame[kComTextPosition]), kComTextLength);
  }
}

void DecodeCdhsSection(const FrameBuffer& frame, FrameRecord& record) {
  if (Recognised(frame, kFirstPlace, Section::kCdhs)) {
    DecodeFields(frame, kCdhsLayoutBeforeClock, record);
    record.weekday = WeekdayText(frame[kWeekday]);
    WriteClockText(frame, record.dateTime);
    DecodeFields(frame, kCdhsLayoutAfterClock, record);
  }
}

void DecodeAdcsSection(const FrameBuffer& frame, FrameRecord& record) {
  if (Recognised(frame, kSecondPlace, Section::kAdcs)) {
    DecodeFields(frame, kAdcsLayout, record);
  }
}

void WriteSpacecraftClock(const FrameBuffer& frame, std::string& dateTime) {
  if (Recognised(frame, kFirstPlace, Section::kCdhs)) {
    WriteClockText(frame, dateTime);
  } else {
    dateTime.clear();
  }
}

void FillFrameValues(const FrameBuffer& frame, FrameRecord& record) {
  constexpr int kInfo = kInformationFieldStart;
  record.frameNumber = frame[kInfo] * 256 + frame[kInfo + 1];
  record.frameType = frame[kInfo + 2];
  record.primaryCounter = frame[kInfo + 3];
  record.secondaryCounter = frame[kInfo + 4] * 256 + frame[kInfo + 5];
  record.frameTypeLetter.assign(1, static_cast<char>(frame[kInfo + 2]));
  DecodeEpsTcsSection(frame, record);
  DecodeComSection(frame, record);
  DecodeCdhsSection(frame, record);
  DecodeAdcsSection(frame, record);
}

void FillFrameRecord(const FrameBuffer& frame, FrameRecord& record) {
  FillFrameValues(frame, record);
  WriteHexDump(frame, record.hexDump);
}

}  // namespace quilmar
