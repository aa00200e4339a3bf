// Information fields of the frames QUILMAR-1 sends during the demo pass: the two kinds of
// system housekeeping frame and the GPS, almanac, image, extended-housekeeping and test frames.
#pragma once

#include <cstdint>

#include "kiss_encoder.h"
#include "pass_model.h"

namespace quilmar::demo {

inline constexpr std::size_t kInformationLength = 134;

// What the spacecraft knows when it builds a frame.
struct Downlink {
  double t = 0;                   // seconds since the start of the pass
  std::int64_t clock = 0;         // on-board clock, seconds since 1 Jan 2000 00:00:00
  std::uint32_t uptime = 0;       // seconds since the last reset
  std::uint16_t frameNumber = 0;  // wraps at 65536
  std::uint8_t primaryCounter = 0;
  std::uint16_t secondaryCounter = 0;
  SpacecraftState state;
  Thermal thermal;
  // Running counters the housekeeping reports.
  int commandsReceived = 0;
  int packetsOut = 0;
  int gpsRecords = 0;
  int extendedRecords = 0;
  int gpsNoFix = 0;
  int images = 0;
  int imageBlock = 0;
  bool testPacketPending = false;
};

Bytes EpsComFrame(const Downlink& link, Prng& prng);
Bytes CdhsAdcsFrame(const Downlink& link, Prng& prng);
Bytes GpsFrame(const Downlink& link, Prng& prng);
Bytes AlmanacFrame(const Downlink& link, Prng& prng);
Bytes ImageFrame(const Downlink& link, Prng& prng);
Bytes ExtendedHousekeepingFrame(const Downlink& link, Prng& prng);
Bytes TestFrame(const Downlink& link);

// ADCS mode at pass time t: detumbling first, then sun pointing or eclipse mode.
int AdcsMode(double t, bool sunlit);
bool GpsFix(double t);

}  // namespace quilmar::demo
