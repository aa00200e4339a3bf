// A simple physical model of QUILMAR-1 during one ground-station pass: a low polar orbit, a
// slow tumble, sunlight and Earth shadow, and the temperatures and battery that follow them.
// Everything is computed with plain IEEE arithmetic and the model's own sine, so the demo log
// comes out byte for byte the same on every machine.
#pragma once

#include <array>
#include <cstdint>

namespace quilmar::demo {

// splitmix64: small, fast and fully specified, unlike the standard distributions.
class Prng {
 public:
  explicit Prng(std::uint64_t seed) : state(seed) {}
  std::uint64_t Next();
  double Uniform();         // [0, 1)
  int Below(int n);         // 0..n-1
  double Jitter(double a);  // [-a, a)

 private:
  std::uint64_t state;
};

double Sine(double x);
double Cosine(double x);

struct Vec3 {
  double x = 0;
  double y = 0;
  double z = 0;
};

struct Quaternion {
  double w = 1;
  double x = 0;
  double y = 0;
  double z = 0;
};

// Calendar time; weekday 1 = Monday .. 7 = Sunday, as the on-board clock counts.
struct CivilTime {
  int year, month, day, hour, minute, second, weekday;
};
CivilTime CivilFromSeconds(std::int64_t secondsSince2000);
// The on-board clock keeps Pacific time; the UTC second a reading of it stands for, by the
// rules of America/Los_Angeles since 2007 as the decoder reads them: daylight time (UTC-7)
// from 03:00 on the second Sunday of March (the skipped hour counts as standard time) until
// 02:00 on the first Sunday of November (the repeated hour as daylight), else UTC-8.
std::int64_t UtcFromPacificClock(std::int64_t clockSecondsSince2000);
// Days since the J2000 base the ground software uses (1 Jan 2000 11:58:56 UTC, plus one
// second), from a UTC time.
double J2000DayCount(std::int64_t utcSecondsSince2000);

// Where the spacecraft is and how it lies, at t seconds after the start of the pass.
struct SpacecraftState {
  bool sunlit = true;
  Vec3 positionKm;  // Earth-fixed
  Quaternion attitude;
  std::array<double, 5> sunOnSide{};  // cosine of the sun on sides 2..6, 0 when shaded
};
SpacecraftState StateAt(double t);

// Temperatures in degrees C and the battery, stepped along the pass.
struct Thermal {
  std::array<double, 5> panel{-4, 12, 6, -9, -14};  // +X, +Y, -X, -Y, -Z
  double adcs = 17;
  std::array<double, 3> sensor{21, 19, 4};
  std::array<double, 3> adc{24, 23, 25};
  double battery = 14;
  double rtc = 22;
  double batteryVolts = 4.02;
};
void StepThermal(Thermal& thermal, const SpacecraftState& state, double dt);

}  // namespace quilmar::demo
