// The status-bit windows' captions, layouts and bit words, and the rule that turns a status
// byte's binary text into explanation lines.
#include "ui/aux/status_bit_members.h"

namespace quilmar {

// Layout columns: client width and height; heading, value field (left, top, width, height);
// picture left and top; first explanation line left, top and width. The GPS window was
// designed flush with the client edge, the others with a 120-twip margin.
constexpr std::array<StatusBitMember, 6> kStatusBitMembers = {{
    StatusBitMember{
        "Form4",
        "System Status",
        "QUILMAR System Status",
        69,
        {5730, 3315, {120, 240, 3375, 375}, {120, 720, 2775, 405}, 4680, 240, 120, 1320, 5535},
        8,
        FieldRule::kNone,
        {{
            {"bit 7 [0]: There is NO VALID TIME information",
             "bit 7 [1]: ADCS has plausible TIME information"},
            {"bit 6 [0]: There is NO VALID orbit information",
             "bit 6 [1]: ADCS has CORRECT OLE information"},
            {"bit 5 [0]: no MODE SWITCH occured (normal operation)",
             "bit 5 [1]: after the next mode loop the mode is about to changed"},
            {"bit 4 [0]: no NEW OLE arrived (normal operation)",
             "bit 4 [1]: a new OLE has been arrived the ADCS"},
            {"bit 3 [0]: no NEW TIME arrived (normal operation)",
             "bit 3 [1]: a new system time has been arrived the ADCS"},
            {"bit 2 [0]: DEBUG MODE OFF (normal operation)",
             "bit 2 [1]: the verbose data output is enabled"},
            {"bit 1 [0]: the ADCS has computed to be on the DAYSIDE",
             "bit 1 [1]: the ADCS has computed to be on the NIGHTSIDE"},
            {"bit 0 [0]: the ADCS handles the SUN SENSORS as being OFF",
             "bit 0 [1]: the ADCS handles the SUN SENSORS as being ON"},
        }}},
    StatusBitMember{
        "Form5",
        "Resource Status",
        "QUILMAR Resource Status",
        70,
        {6465, 3195, {120, 120, 3495, 375}, {120, 600, 2775, 405}, 5400, 120, 120, 1200, 6255},
        8,
        FieldRule::kNone,
        {{
            {"bit 7 [0]: the FLASH is currently not powered",
             "bit 7 [1]: the FLASH is currently powered"},
            {"bit 6 [0]: the last SPI activity was a read access of the magnetometer XADC",
             "bit 6 [1]: the last SPI activity was a write access of the magnetometer XADC"},
            {"bit 5 [0]: the real time interrupt (RTI) is switched off",
             "bit 5 [1]: the real time interrupt (RTI) is enabled"},
            {"bit 4 [0]: the CPU is running on a bus clock of 8 MHz",
             "bit 4 [1]: the CPU is nominally running on a bus clock of 32 MHz"},
            {"bit 3 [0]: erasing the XHK memory was not successful",
             "bit 3 [1]: the XHK flash memory was last erased nominally"},
            {"bit 2 [0]: erasing the GPS memory was not successful",
             "bit 2 [1]: the GPS flash memory was last erased nominally"},
            {"bit 1 [0]: erasing the MAG memory was not successful",
             "bit 1 [1]: the MAG flash memory was last erased nominally"},
            {"bit 0 [0]: no temperature sensor is responding",
             "bit 0 [1]: at least one temperature sensor has responded"},
        }}},
    StatusBitMember{
        "Form7",
        "Magnetometer Status",
        "QUILMAR Magentometer Status",
        71,
        {6435, 2475, {120, 120, 4455, 375}, {120, 600, 2775, 405}, 5400, 120, 120, 1200, 6255},
        5,
        FieldRule::kMagnetometerField,
        {{
            {"bit 7 [0]: the magnetometer main supply is off",
             "bit 7 [1]: the magnetometer main 3V3 supply is on"},
            {"bit 6 [0]: the magnetometer XADC is off", "bit 6 [1]: the magnetometer XADC is on"},
            {"bit 5 [0]: the magnetometer reset supply is off; this is the case for most of the ti",
             "bit 5 [1]: the magnetometer reset supply is on"},
            {"bit 4 [0]: MAG PWR FAULT no fault",
             "bit 4 [1]: the magnetometer main 3V3 supply is faulty"},
            {nullptr, nullptr},
            {nullptr, nullptr},
            {nullptr, nullptr},
            {nullptr, nullptr},
        }}},
    StatusBitMember{
        "Form9",
        "Sunsensor Status",
        "QUILMAR Sunsensor Status",
        72,
        {6465, 3225, {120, 120, 3975, 375}, {120, 600, 2775, 405}, 5400, 120, 120, 1200, 6255},
        8,
        FieldRule::kNone,
        {{
            {"bit 7 [0]: All sensors are in low power mode",
             "bit 7 [1]: At least the master is running in normal mode"},
            {"bit 6 [0]: SUN PWR FAULT no fault",
             "bit 6 [1]: the master has detected overcurrent or overtemperature"},
            {"bit 5 [0]: The last received configuration byte equals the previous configuration",
             "bit 5 [1]: A configuration change has been detected"},
            {"bit 4 [0]: The sun is not in the FOV of any sensor, no sensor has won the voting",
             "bit 4 [1]: A valid sun vector is available"},
            {"bit 3 [0]: SA3 does not respond",
             "bit 3 [1]: SA3 responds; if SA3 is excluded by configuration, this bit is "
             "immaterial"},
            {"bit 2 [0]: SA2 does not respond",
             "bit 2 [1]: SA2 responds; if SA2 is excluded by configuration, this bit is "
             "immaterial"},
            {"bit 1 [0]: SA1 does not respond",
             "bit 1 [1]: SA1 responds; if SA1 is excluded by configuration, this bit is "
             "immaterial"},
            {"bit 0 [0]: SB does not respond",
             "bit 0 [1]: SB responds; if SB is excluded by configuration, this bit is immaterial"},
        }}},
    StatusBitMember{
        "Form8",
        "SunSensor Config",
        "QUILMAR Sunsensor Config",
        73,
        {6480, 3255, {120, 120, 4455, 375}, {120, 600, 2775, 405}, 5400, 120, 120, 1200, 6255},
        8,
        FieldRule::kNone,
        {{
            {"bit 7 [0]: ---", nullptr},
            {"bit 6 [0]: ---", nullptr},
            {"bit 5 [0]: ---", nullptr},
            {"bit 4 [0]: Exclude the MA from vector processing",
             "bit 4 [1]: Include the master in vector processing"},
            {"bit 3 [0]: Exclude SA3 from vector processing",
             "bit 3 [1]: Include SA3 in vector processing"},
            {"bit 2 [0]: Exclude SA2 from vector processing",
             "bit 2 [1]: Include SA2 in vector processing"},
            {"bit 1 [0]: Exclude SA1 from vector processing",
             "bit 1 [1]: Include SA1 in vector processing"},
            {"bit 0 [0]: Exclude SB from vector processing",
             "bit 0 [1]: Include SB in vector processing"},
        }}},
    StatusBitMember{
        "Form6",
        "Form6",
        "QUILMAR GPS Status",
        74,
        {6330, 3075, {0, 0, 3495, 375}, {0, 480, 2775, 405}, 5280, 0, 0, 1080, 6255},
        8,
        FieldRule::kNone,
        {{
            {"bit 7 [0]: GPS receiver is switched OFF", "bit 7 [1]: GPS receiver is switched ON"},
            {"bit 6 [0]: no fault", "bit 6 [1]: the lGPS 5V supply is fault"},
            {"bit 5 [0]: no fix", "bit 5 [1]: the GPS receiver currently has a navigation fix"},
            {"bit 4 [0]: no GPS CMDSTR error (normal operation)",
             "bit 4 [1]: both command strings (main and redundant) have been corrupted"},
            {"bit 3 [0]: no GPS CFGSTR Error (normal operation)",
             "bit 3 [1]: both config strings (main and redundant) have been corrupted"},
            {"bit 2 [0]: no GPS CONFIG Error (normal operation)",
             "bit 2 [1]: the configuration was aborted immaturely due to an error"},
            {"bit 1 [0]: no BOOT Message received since last entering the GPS mode",
             "bit 1 [1]: standard BOOT Message has been received"},
            {"bit 0 [0]: -", "bit 0 [1]: -"},
        }}},
}};

namespace {

bool IsDecimalDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool IsFieldLine(const StatusBitMember& member, int line) {
  return member.fieldRule == FieldRule::kMagnetometerField && line == member.lineCount - 1;
}

// The field's four characters are shown as received, so a damaged byte is visible as such.
std::optional<QString> FieldLineText(QStringView source, std::optional<QStringView> modeText) {
  if (source.size() < 8 || !modeText) {
    return std::nullopt;
  }
  const bool gpsMode = *modeText == QLatin1String(kGpsModeText);
  return QLatin1String(kFieldPrefix) + source.mid(4, 4).toString() +
         QLatin1String(gpsMode ? kFieldEndingGps : kFieldEndingMag);
}

}  // namespace

const StatusBitMember* StatusBitMemberForRow(int row) {
  for (const StatusBitMember& member : kStatusBitMembers) {
    if (member.row == row) {
      return &member;
    }
  }
  return nullptr;
}

QString CreatedLineText(const StatusBitMember& member, int line) {
  if (IsFieldLine(member, line)) {
    return QStringLiteral("bit 3-0");
  }
  return QStringLiteral("bit %1").arg(7 - line);
}

std::optional<QString> ExplainedLineText(const StatusBitMember& member, int line,
                                         QStringView source, std::optional<QStringView> modeText) {
  if (line < 0 || line >= member.lineCount) {
    return std::nullopt;
  }
  if (IsFieldLine(member, line)) {
    return FieldLineText(source, modeText);
  }
  const BitTexts& texts = member.bits[static_cast<std::size_t>(line)];
  if (texts.one == nullptr) {
    return QString::fromLatin1(texts.zero);
  }
  // Position line + 1 of the text holds bit 7 - line. Anything but a digit there is not
  // something the frame view writes; the line keeps its last explanation instead.
  if (line >= source.size() || !IsDecimalDigit(source[line])) {
    return std::nullopt;
  }
  return QString::fromLatin1(source[line] == QLatin1Char('0') ? texts.zero : texts.one);
}

}  // namespace quilmar
