// The 93 housekeeping parameters of QUILMAR-1 and the four sections of a housekeeping frame.
// A parameter's row number is its identity everywhere: it indexes FrameRecord::values, the
// value boxes of the frame view, the graph's parameter choice and the hex dump highlight.
#pragma once

#include <array>
#include <string_view>

namespace quilmar {

enum class Section { kEpsTcs, kCom, kCdhs, kAdcs };

struct ParameterInfo {
  std::string_view name;
  std::string_view unit;  // empty for counters, flags and raw bytes
  Section section;
};

inline constexpr int kParameterCount = 93;

// Names and units are the spacecraft team's own, odd spellings included.
inline constexpr std::array<ParameterInfo, kParameterCount> kParameterCatalogue{{
    /* 0*/ {"Size of HK data", "", Section::kEpsTcs},
    /* 1*/ {"Mode", "", Section::kEpsTcs},
    /* 2*/ {"Softstart", "", Section::kEpsTcs},
    /* 3*/ {"Reset Counter", "", Section::kEpsTcs},
    /* 4*/ {"Power Level", "", Section::kEpsTcs},
    /* 5*/ {"Powersafe Count", "", Section::kEpsTcs},
    /* 6*/ {"Emercency Count", "", Section::kEpsTcs},
    /* 7*/ {"Beacon Timer", "", Section::kEpsTcs},
    /* 8*/ {"Solar Side 2 Volts", "V", Section::kEpsTcs},
    /* 9*/ {"Solar Side 2 Curr", "mA", Section::kEpsTcs},
    /*10*/ {"Solar Side 3 Volts", "V", Section::kEpsTcs},
    /*11*/ {"Solar Side 3 Curr", "mA", Section::kEpsTcs},
    /*12*/ {"Solar Side 4 Volts", "V", Section::kEpsTcs},
    /*13*/ {"Solar Side 4 Curr", "mA", Section::kEpsTcs},
    /*14*/ {"Solar Side 5 Volts", "V", Section::kEpsTcs},
    /*15*/ {"Solar Side 5 Curr", "mA", Section::kEpsTcs},
    /*16*/ {"Solar Side 6 Volts", "V", Section::kEpsTcs},
    /*17*/ {"Solar Side 6 Curr", "mA", Section::kEpsTcs},
    /*18*/ {"Battery Volts", "V", Section::kEpsTcs},
    /*19*/ {"Battery Curr", "mA", Section::kEpsTcs},
    /*20*/ {"3.3V line Curr", "mA", Section::kEpsTcs},
    /*21*/ {"5V line Curr", "mA", Section::kEpsTcs},
    /*22*/ {"Unreg line Curr", "mA", Section::kEpsTcs},
    /*23*/ {"Heater", "", Section::kEpsTcs},
    /*24*/ {"Heater Counter", "", Section::kEpsTcs},
    /*25*/ {"Heater Curr", "mA", Section::kEpsTcs},
    /*26*/ {"Temp Sensor 1", "C", Section::kEpsTcs},
    /*27*/ {"Temp Sensor 2", "C", Section::kEpsTcs},
    /*28*/ {"Temp Sensor 3", "C", Section::kEpsTcs},
    /*29*/ {"Temp Battery", "C", Section::kEpsTcs},
    /*30*/ {"Temp ADC 1", "C", Section::kEpsTcs},
    /*31*/ {"Temp ADC 2", "C", Section::kEpsTcs},
    /*32*/ {"Temp ADC 3", "C", Section::kEpsTcs},
    /*33*/ {"Limit Heater ON", "C", Section::kEpsTcs},
    /*34*/ {"Limit Heater OFF", "C", Section::kEpsTcs},
    /*35*/ {"Limit Volt PSM", "V", Section::kEpsTcs},
    /*36*/ {"Limit Volt EM", "V", Section::kEpsTcs},
    /*37*/ {"Deployment", "", Section::kEpsTcs},
    /*38*/ {"Size of HK data", "", Section::kCom},
    /*39*/ {"Mode", "", Section::kCom},
    /*40*/ {"Softstart", "", Section::kCom},
    /*41*/ {"Reset Counter", "", Section::kCom},
    /*42*/ {"Sendstatus", "", Section::kCom},
    /*43*/ {"Enabled", "", Section::kCom},
    /*44*/ {"Sending enabled", "", Section::kCom},
    /*45*/ {"Baudrate", "", Section::kCom},
    /*46*/ {"Beacon available", "", Section::kCom},
    /*47*/ {"GS Command recv", "", Section::kCom},
    /*48*/ {"Packets IN", "", Section::kCom},
    /*49*/ {"Packet OUT", "", Section::kCom},
    /*50*/ {"Resend_act", "", Section::kCom},
    /*51*/ {"Resend_stop", "", Section::kCom},
    /*52*/ {"Send Testbeacon", "", Section::kCom},
    /*53*/ {"Send Testpacket", "", Section::kCom},
    /*54*/ {"Size of HK data", "", Section::kCdhs},
    /*55*/ {"Mode", "", Section::kCdhs},
    /*56*/ {"Softstart", "", Section::kCdhs},
    /*57*/ {"Reset Counter", "", Section::kCdhs},
    /*58*/ {"Powerlevel", "", Section::kCdhs},
    /*59*/ {"PowerSafe Counter", "", Section::kCdhs},
    /*60*/ {"HK Time", "", Section::kCdhs},
    /*61*/ {"RTC Temp", "C", Section::kCdhs},
    /*62*/ {"Sys Info Pointer", "", Section::kCdhs},
    /*63*/ {"ADCS Data Pointer", "", Section::kCdhs},
    /*64*/ {"GPS Data Pointer", "", Section::kCdhs},
    /*65*/ {"Image Counter", "", Section::kCdhs},
    /*66*/ {"Size of HK data", "", Section::kAdcs},
    /*67*/ {"act ADCS mode", "", Section::kAdcs},
    /*68*/ {"next ADCS mode", "", Section::kAdcs},
    /*69*/ {"System Status", "", Section::kAdcs},
    /*70*/ {"Resources", "", Section::kAdcs},
    /*71*/ {"Magnetom Stat", "", Section::kAdcs},
    /*72*/ {"Sun Sens Stat", "", Section::kAdcs},
    /*73*/ {"Sun Sens Conf", "", Section::kAdcs},
    /*74*/ {"GPS Status", "", Section::kAdcs},
    /*75*/ {"+X Panel Temp", "C", Section::kAdcs},
    /*76*/ {"+Y Panel Temp", "C", Section::kAdcs},
    /*77*/ {"-X Panel Temp", "C", Section::kAdcs},
    /*78*/ {"-Y Panel Temp", "C", Section::kAdcs},
    /*79*/ {"-Z Panel Temp", "C", Section::kAdcs},
    /*80*/ {"ADCS Temp", "C", Section::kAdcs},
    /*81*/ {"GPS Mem Pointer", "", Section::kAdcs},
    /*82*/ {"XHK Mem Pointer", "", Section::kAdcs},
    /*83*/ {"GPS NOFIX Count", "", Section::kAdcs},
    /*84*/ {"Mode Loop Count", "", Section::kAdcs},
    /*85*/ {"Quart Comp 0", "km/s", Section::kAdcs},
    /*86*/ {"Quart Comp 1", "km/s", Section::kAdcs},
    /*87*/ {"Quart Comp 2", "km/s", Section::kAdcs},
    /*88*/ {"Quart Comp 3", "km/s", Section::kAdcs},
    /*89*/ {"FIX CAR Pos X", "km", Section::kAdcs},
    /*90*/ {"FIX CAR Pos Y", "km", Section::kAdcs},
    /*91*/ {"FIX CAR POS Z", "km", Section::kAdcs},
    /*92*/ {"Julian TE", "days", Section::kAdcs},
}};

// A section starts with its length byte ("Size of HK data"), which doubles as the marker
// that the section was present: the marker row is 0 when the frame did not carry it.
struct SectionInfo {
  Section section;
  std::string_view name;
  int firstRow;  // the marker row
  int lastRow;
  int markerValue;  // the length byte a frame carries when the section is present
};

inline constexpr std::array<SectionInfo, 4> kSections{{
    {Section::kEpsTcs, "EPS/TCS", 0, 37, 41},
    {Section::kCom, "COM", 38, 53, 20},
    {Section::kCdhs, "CDHS", 54, 65, 23},
    {Section::kAdcs, "ADCS", 66, 92, 64},
}};

constexpr const SectionInfo& SectionInfoOf(Section section) {
  return kSections[static_cast<int>(section)];
}

constexpr const SectionInfo& SectionOfRow(int row) {
  return SectionInfoOf(kParameterCatalogue[row].section);
}

}  // namespace quilmar
