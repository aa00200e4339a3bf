// Byte layouts of the demo pass's frames; see demo_frames.h. Offsets are information-field
// bytes: the header takes bytes 0..5, a housekeeping frame's first section starts at byte 6
// and its second at byte 70.
#include "demo_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace quilmar::demo {
namespace {

constexpr std::size_t kFirstSection = 6;
constexpr std::size_t kSecondSection = 70;
constexpr std::size_t kBeaconText = 90;  // the 33 beacon characters follow the COM section
constexpr std::size_t kBeaconLength = 33;

int Clamp(long value, int low, int high) {
  return static_cast<int>(std::clamp<long>(value, low, high));
}

// The EPS reads its converters with 8 bits over 0..5 V and 0..1600 mA.
int VoltsByte(double volts) { return Clamp(std::lround(volts * 255 / 5), 0, 255); }
int MilliampsByte(double mA) { return Clamp(std::lround(mA * 255 / 1600), 0, 255); }
int CelsiusByte(double celsius) { return Clamp(std::lround(celsius), -127, 127) & 0xFF; }
// Panel temperatures in half degrees, two's complement over 16 bits.
std::uint32_t HalfDegrees(double celsius) {
  return static_cast<std::uint32_t>(Clamp(std::lround(celsius * 2), -32767, 32767)) & 0xFFFF;
}

Bytes Header(const Downlink& link, char type) {
  Bytes info(kInformationLength, 0);
  FieldWriter field(info);
  field.BigEndian16(0, link.frameNumber);
  field.Byte(2, type);
  field.Byte(3, link.primaryCounter);
  field.BigEndian16(4, link.secondaryCounter);
  return info;
}

// "XQ0SAT QUILMAR-1 4.05V +14°C" (the degree sign in Latin-1), blank padded, CR LF.
std::string BeaconText(const Thermal& thermal) {
  char text[64];
  std::snprintf(text, sizeof text,
                "XQ0SAT QUILMAR-1 %.2fV %+d\xB0"
                "C",
                thermal.batteryVolts, static_cast<int>(std::lround(thermal.battery)));
  std::string beacon = text;
  beacon.resize(kBeaconLength - 2, ' ');
  return beacon + "\r\n";
}

void WriteEpsTcs(FieldWriter& field, const Downlink& link, Prng& prng) {
  const std::size_t s = kFirstSection;
  const SpacecraftState& state = link.state;
  const Thermal& thermal = link.thermal;
  field.Byte(s, 41);
  field.Byte(s + 1, 1);                                       // mode: nominal
  field.Byte(s + 3, 3);                                       // reset counter
  field.Byte(s + 4, state.sunlit ? 3 : 2);                    // power level
  field.Byte(s + 6, 0);                                       // emergency count
  field.LittleEndian32(s + 7, 1'204'811 + link.uptime / 10);  // beacon timer
  double solar = 0;
  for (std::size_t side = 0; side < state.sunOnSide.size(); ++side) {
    const double lit = state.sunOnSide[side];
    const double volts = !state.sunlit ? 0.04 : (lit > 0.02 ? 4.25 + 0.55 * lit : 0.35);
    const double mA = std::max(0.0, 315 * lit + (lit > 0 ? prng.Jitter(4) : 0));
    solar += mA;
    field.Byte(s + 11 + 2 * side, VoltsByte(volts + prng.Jitter(0.02)));
    field.Byte(s + 12 + 2 * side, MilliampsByte(mA));
  }
  const double load = 205 + prng.Jitter(6);
  field.Byte(s + 21, VoltsByte(thermal.batteryVolts));
  field.Byte(s + 22, MilliampsByte(std::fabs(solar - load)));
  field.Byte(s + 23, MilliampsByte(82 + prng.Jitter(3)));            // 3.3 V line
  field.Byte(s + 24, MilliampsByte(link.packetsOut % 2 ? 46 : 31));  // 5 V line, transmitter
  field.Byte(s + 25, MilliampsByte(load - 113));                     // unregulated line
  field.Byte(s + 26, 0);                                             // heater off
  field.Byte(s + 27, 12);                                            // heater counter
  field.Byte(s + 28, MilliampsByte(0));
  for (std::size_t i = 0; i < 3; ++i) {
    field.Byte(s + 29 + i, CelsiusByte(thermal.sensor[i]));
    field.Byte(s + 33 + i, CelsiusByte(thermal.adc[i]));
  }
  field.Byte(s + 32, CelsiusByte(thermal.battery));
  field.Byte(s + 36, CelsiusByte(-2));  // heater on below
  field.Byte(s + 37, CelsiusByte(3));   // heater off above
  field.Byte(s + 38, VoltsByte(3.55));  // power-save limit
  field.Byte(s + 39, VoltsByte(3.3));   // emergency limit
  field.Byte(s + 40, 1);                // antennas deployed
}

void WriteCom(FieldWriter& field, const Downlink& link) {
  const std::size_t s = kSecondSection;
  field.Byte(s, 20);
  field.Byte(s + 1, 1);  // mode
  field.Byte(s + 3, 2);  // reset counter
  field.Byte(s + 4, 1);  // sendstatus
  field.Byte(s + 5, 1);  // enabled
  field.Byte(s + 6, 1);  // sending enabled
  field.Byte(s + 7, 1);  // baudrate code: 1200 bd
  field.Byte(s + 8, 1);  // beacon available
  field.Byte(s + 9, link.commandsReceived > 0 ? 1 : 0);
  field.LittleEndian16(s + 10, 318 + link.commandsReceived);
  field.LittleEndian16(s + 12, 48'290 + link.packetsOut);
  field.LittleEndian16(s + 14, 3);
  field.LittleEndian16(s + 16, 0);
  field.Byte(s + 18, 0);
  field.Byte(s + 19, link.testPacketPending ? 1 : 0);
  field.Text(kBeaconText, BeaconText(link.thermal));
}

void WriteCdhs(FieldWriter& field, const Downlink& link) {
  const std::size_t s = kFirstSection;
  const CivilTime clock = CivilFromSeconds(link.clock);
  field.Byte(s, 23);
  field.Byte(s + 1, 1);  // mode
  field.Byte(s + 3, 4);  // reset counter
  field.Byte(s + 4, link.state.sunlit ? 3 : 2);
  field.BigEndian16(s + 6, (link.uptime / 4) & 0xFFFF);  // HK time
  field.Byte(s + 8, clock.second);
  field.Byte(s + 9, clock.minute);
  field.Byte(s + 10, clock.hour);
  field.Byte(s + 11, clock.weekday);
  field.Byte(s + 12, clock.day);
  field.Byte(s + 13, clock.month);
  field.Byte(s + 14, clock.year % 100);
  field.Byte(s + 15, CelsiusByte(link.thermal.rtc));
  field.BigEndian16(s + 16, 0x1200 + 2 * static_cast<std::uint32_t>(link.uptime / 60));
  field.BigEndian16(s + 18, 0x3400 + 8 * static_cast<std::uint32_t>(link.extendedRecords));
  field.BigEndian16(s + 20, 0x5600 + 16 * static_cast<std::uint32_t>(link.gpsRecords));
  field.Byte(s + 22, 17 + link.images);
}

void WriteAdcs(FieldWriter& field, const Downlink& link, Prng& prng) {
  const std::size_t s = kSecondSection;
  const SpacecraftState& state = link.state;
  const bool fix = GpsFix(link.t);
  int sunSensors = 0;
  for (std::size_t side = 0; side < state.sunOnSide.size(); ++side) {
    sunSensors |= state.sunOnSide[side] > 0.1 ? 1 << side : 0;
  }
  field.Byte(s, 64);
  field.Byte(s + 1, AdcsMode(link.t, state.sunlit));
  field.Byte(s + 2, AdcsMode(link.t + 30, StateAt(link.t + 30).sunlit));
  field.Byte(s + 3, 186 + (state.sunlit ? 8 : 0) + (fix ? 4 : 0) + prng.Below(2));
  field.Byte(s + 4, 0x3F);                   // resources
  field.Byte(s + 5, prng.Below(9) ? 7 : 5);  // magnetometer status
  field.Byte(s + 6, sunSensors);
  field.Byte(s + 7, 0x1F);  // sun sensors configured
  field.Byte(s + 8, fix ? 0x83 : 0x01);
  for (std::size_t i = 0; i < link.thermal.panel.size(); ++i) {
    field.BigEndian16(s + 9 + 2 * i, HalfDegrees(link.thermal.panel[i]));
  }
  field.BigEndian16(s + 19, HalfDegrees(link.thermal.adcs));
  field.BigEndian32(s + 21, 0x163600 + 0x40 * static_cast<std::uint32_t>(link.gpsRecords));
  field.BigEndian32(s + 25, 0x1B0000 + 0x20 * static_cast<std::uint32_t>(link.extendedRecords));
  field.Byte(s + 29, link.gpsNoFix & 0xFF);
  field.BigEndian16(s + 30, (link.uptime / 2) & 0xFFFF);  // control loop runs at 0.5 Hz
  const Quaternion& q = state.attitude;
  const double components[] = {q.w, q.x, q.y, q.z};
  for (std::size_t i = 0; i < 4; ++i) {
    field.Float(s + 32 + 4 * i, static_cast<float>(components[i]));
  }
  field.Float(s + 48, static_cast<float>(state.positionKm.x));
  field.Float(s + 52, static_cast<float>(state.positionKm.y));
  field.Float(s + 56, static_cast<float>(state.positionKm.z));
  // The ground software adds 2500 days back when it decodes.
  // The attitude solution's epoch is a UTC day count, whatever zone the clock keeps.
  field.Float(s + 60, static_cast<float>(J2000DayCount(UtcFromPacificClock(link.clock)) - 2500));
}

}  // namespace

int AdcsMode(double t, bool sunlit) {
  if (t < 75) {
    return 2;  // detumbling after the previous eclipse exit
  }
  return sunlit ? 4 : 6;
}

bool GpsFix(double t) { return t > 40 && t < 560; }

Bytes EpsComFrame(const Downlink& link, Prng& prng) {
  Bytes info = Header(link, 'S');
  FieldWriter field(info);
  WriteEpsTcs(field, link, prng);
  WriteCom(field, link);
  return info;
}

Bytes CdhsAdcsFrame(const Downlink& link, Prng& prng) {
  Bytes info = Header(link, 'S');
  FieldWriter field(info);
  WriteCdhs(field, link);
  WriteAdcs(field, link, prng);
  return info;
}

Bytes GpsFrame(const Downlink& link, Prng& prng) {
  // GPS time runs 630720000 s (7300 days) ahead of 1 Jan 2000 UTC plus 18 leap seconds.
  const std::int64_t gps = UtcFromPacificClock(link.clock) + 630'720'000 + 18;
  Bytes info = Header(link, 'G');
  FieldWriter field(info);
  field.BigEndian16(6, static_cast<std::uint32_t>(gps / 604'800));
  field.BigEndian32(8, static_cast<std::uint32_t>(gps % 604'800));
  field.Byte(12, GpsFix(link.t) ? 7 + prng.Below(3) : 2);  // satellites in view
  const SpacecraftState later = StateAt(link.t + 1);
  const Vec3& now = link.state.positionKm;
  const double position[] = {now.x, now.y, now.z};
  const double velocity[] = {later.positionKm.x - now.x, later.positionKm.y - now.y,
                             later.positionKm.z - now.z};
  for (std::size_t i = 0; i < 3; ++i) {
    field.Float(13 + 4 * i, static_cast<float>(position[i] * 1000 + prng.Jitter(15)));
    field.Float(25 + 4 * i, static_cast<float>(velocity[i] * 1000 + prng.Jitter(0.3)));
  }
  return info;
}

Bytes AlmanacFrame(const Downlink& link, Prng& prng) {
  Bytes info = Header(link, 'M');
  FieldWriter field(info);
  // Four almanac entries: PRN, health, eccentricity, inclination offset, square root of the
  // semi-major axis, mean anomaly.
  for (std::size_t entry = 0; entry < 4; ++entry) {
    const std::size_t at = 6 + entry * 18;
    field.Byte(at, 1 + (link.primaryCounter * 4 + static_cast<int>(entry)) % 32);
    field.Byte(at + 1, 0);
    field.Float(at + 2, static_cast<float>(0.002 + prng.Uniform() * 0.02));
    field.Float(at + 6, static_cast<float>(prng.Jitter(0.05)));
    field.Float(at + 10, static_cast<float>(5153.6 + prng.Jitter(0.2)));
    field.Float(at + 14, static_cast<float>(prng.Jitter(3.14159)));
  }
  return info;
}

Bytes ImageFrame(const Downlink& link, Prng& prng) {
  Bytes info = Header(link, 'I');
  for (std::size_t i = 6; i < info.size(); ++i) {
    info[i] = static_cast<std::uint8_t>(prng.Below(256));
  }
  FieldWriter field(info);
  if (link.imageBlock == 0) {
    // A JPEG starts with its quantisation table (FF DB) and frame header (FF C0), bytes the
    // KISS framing has to escape.
    constexpr std::uint8_t kStart[] = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    for (std::size_t i = 0; i < sizeof kStart; ++i) {
      field.Byte(6 + i, kStart[i]);
    }
    constexpr std::uint8_t kFrameHeader[] = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x78, 0x00, 0xA0};
    for (std::size_t i = 0; i < sizeof kFrameHeader; ++i) {
      field.Byte(6 + 7 + 64 + i, kFrameHeader[i]);
    }
  }
  return info;
}

Bytes ExtendedHousekeepingFrame(const Downlink& link, Prng& prng) {
  Bytes info = Header(link, 'A');
  FieldWriter field(info);
  // Magnetometer field in nT and gyro rates in 0.01 deg/s, eight samples of six words.
  for (std::size_t sample = 0; sample < 8; ++sample) {
    const double phase = link.t + 2 * static_cast<double>(sample);
    const double field3[] = {21'000 * Cosine(phase / 900), -8'000 + prng.Jitter(200),
                             -35'000 * Sine(phase / 900)};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const auto nT = static_cast<std::int32_t>(std::lround(field3[axis] / 2));
      field.BigEndian16(6 + sample * 12 + axis * 2, static_cast<std::uint32_t>(nT) & 0xFFFF);
      const auto rate = static_cast<std::int32_t>(std::lround(50 + prng.Jitter(8)));
      field.BigEndian16(12 + sample * 12 + axis * 2, static_cast<std::uint32_t>(rate) & 0xFFFF);
    }
  }
  return info;
}

Bytes TestFrame(const Downlink& link) {
  Bytes info = Header(link, 'T');
  FieldWriter field(info);
  field.Text(6, "TEST PACKET 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ de XQ0SAT");
  return info;
}

}  // namespace quilmar::demo
