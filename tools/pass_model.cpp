// The pass model of the demo-log generator; see pass_model.h.
#include "pass_model.h"

#include <cmath>

namespace quilmar::demo {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;
constexpr double kEarthRadiusKm = 6371;
constexpr double kOrbitRadiusKm = 6900;
constexpr double kEarthMu = 398600.4418;         // km^3/s^2
constexpr double kEarthRotation = 7.2921159e-5;  // rad/s
constexpr double kInclination = 97.6 * kDegree;  // sun-synchronous
constexpr double kAscendingNode = 40 * kDegree;
constexpr double kStartArgument = 218 * kDegree;  // argument of latitude when the pass starts
constexpr double kStartSiderealAngle = 121 * kDegree;
constexpr double kTumbleRate = 0.9 * kDegree;                // rad/s about the tumble axis
constexpr Vec3 kTumbleAxis{0.48, 0.6, 0.64};                 // unit length
constexpr Quaternion kStartAttitude{0.62, 0.3, -0.52, 0.5};  // normalised when used
constexpr Vec3 kSun{0.41, -0.82, 0.4};                       // unit length, inertial frame
// Outward normals of solar sides 2..6 in the body frame.
constexpr std::array<Vec3, 5> kSideNormals{
    {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
// Seconds from 1 Jan 2000 00:00:00 to the J2000 base plus the ground software's one second.
constexpr std::int64_t kJ2000Offset = 11 * 3600 + 58 * 60 + 56 + 1;

double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
  return {
      a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
      a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

// The inertial vector v seen in the body frame of attitude q (body to inertial).
Vec3 ToBody(const Quaternion& q, const Vec3& v) {
  const Quaternion conjugate{q.w, -q.x, -q.y, -q.z};
  const Quaternion r = Multiply(Multiply(conjugate, {0, v.x, v.y, v.z}), q);
  return {r.x, r.y, r.z};
}

Quaternion Normalised(const Quaternion& q) {
  const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
  return {q.w / n, q.x / n, q.y / n, q.z / n};
}

// Cylindrical Earth shadow.
bool InShadow(const Vec3& position) {
  const double along = Dot(position, kSun);
  if (along > 0) {
    return false;
  }
  const Vec3 across{position.x - along * kSun.x, position.y - along * kSun.y,
                    position.z - along * kSun.z};
  return Dot(across, across) < kEarthRadiusKm * kEarthRadiusKm;
}

// First-order approach of value towards target with time constant tau.
void Approach(double& value, double target, double dt, double tau) {
  value += (target - value) * (dt / tau);
}

}  // namespace

std::uint64_t Prng::Next() {
  state += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Prng::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

int Prng::Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

double Prng::Jitter(double a) { return (Uniform() * 2 - 1) * a; }

double Sine(double x) {
  // Reduce to [-pi, pi], then a Taylor series: error below 1e-10 there.
  x -= std::floor(x / (2 * kPi) + 0.5) * (2 * kPi);
  double term = x;
  double sum = x;
  for (int n = 1; n <= 11; ++n) {
    term *= -x * x / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

double Cosine(double x) { return Sine(x + kPi / 2); }

CivilTime CivilFromSeconds(std::int64_t secondsSince2000) {
  const std::int64_t days = secondsSince2000 / 86400;
  const std::int64_t secondOfDay = secondsSince2000 % 86400;
  // Days-to-civil on the proleptic Gregorian calendar, eras of 400 years from 1 March 0000.
  const std::int64_t z = days + 730425;
  const std::int64_t era = z / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  CivilTime civil{};
  civil.year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  civil.month = month;
  civil.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  civil.hour = static_cast<int>(secondOfDay / 3600);
  civil.minute = static_cast<int>(secondOfDay / 60 % 60);
  civil.second = static_cast<int>(secondOfDay % 60);
  civil.weekday = static_cast<int>((days + 5) % 7) + 1;  // 1 Jan 2000 was a Saturday
  return civil;
}

// Days since 1 Jan 2000 of a civil date; the inverse of CivilFromSeconds's calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = y / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 730425;
}

// Days since 1 Jan 2000 of the nth Sunday of a month.
std::int64_t NthSunday(int year, int month, int nth) {
  const std::int64_t first = DaysFromCivil(year, month, 1);
  const int weekday = CivilFromSeconds(first * 86400).weekday;  // 7 = Sunday
  return first + (7 - weekday) % 7 + 7 * (nth - 1);
}

std::int64_t UtcFromPacificClock(std::int64_t clockSecondsSince2000) {
  constexpr std::int64_t kHour = 3600;
  const int year = CivilFromSeconds(clockSecondsSince2000).year;
  const std::int64_t daylightFrom = NthSunday(year, 3, 2) * 86400 + 3 * kHour;
  const std::int64_t daylightUntil = NthSunday(year, 11, 1) * 86400 + 2 * kHour;
  const bool daylight =
      clockSecondsSince2000 >= daylightFrom && clockSecondsSince2000 < daylightUntil;
  return clockSecondsSince2000 + (daylight ? 7 : 8) * kHour;
}

double J2000DayCount(std::int64_t utcSecondsSince2000) {
  return static_cast<double>(utcSecondsSince2000 - kJ2000Offset) / 86400;
}

SpacecraftState StateAt(double t) {
  SpacecraftState state;
  const double period =
      2 * kPi * std::sqrt(kOrbitRadiusKm * kOrbitRadiusKm * kOrbitRadiusKm / kEarthMu);
  const double u = kStartArgument + 2 * kPi * t / period;
  const Vec3 inertial{kOrbitRadiusKm * (Cosine(kAscendingNode) * Cosine(u) -
                                        Sine(kAscendingNode) * Sine(u) * Cosine(kInclination)),
                      kOrbitRadiusKm * (Sine(kAscendingNode) * Cosine(u) +
                                        Cosine(kAscendingNode) * Sine(u) * Cosine(kInclination)),
                      kOrbitRadiusKm * Sine(u) * Sine(kInclination)};
  const double theta = kStartSiderealAngle + kEarthRotation * t;
  state.positionKm = {Cosine(theta) * inertial.x + Sine(theta) * inertial.y,
                      -Sine(theta) * inertial.x + Cosine(theta) * inertial.y, inertial.z};
  state.sunlit = !InShadow(inertial);

  const double half = kTumbleRate * t / 2;
  const Quaternion tumble{Cosine(half), Sine(half) * kTumbleAxis.x, Sine(half) * kTumbleAxis.y,
                          Sine(half) * kTumbleAxis.z};
  state.attitude = Normalised(Multiply(kStartAttitude, tumble));
  const Vec3 sunInBody = ToBody(state.attitude, kSun);
  for (std::size_t side = 0; side < kSideNormals.size(); ++side) {
    const double incidence = Dot(sunInBody, kSideNormals[side]);
    state.sunOnSide[side] = state.sunlit && incidence > 0 ? incidence : 0;
  }
  return state;
}

void StepThermal(Thermal& thermal, const SpacecraftState& state, double dt) {
  // Panels warm in the sun and cool towards deep cold in shadow within minutes; the inside
  // of the spacecraft follows over hours, the battery most slowly.
  for (std::size_t i = 0; i < thermal.panel.size(); ++i) {
    const double target = state.sunlit ? -22 + 70 * state.sunOnSide[i] : -35;
    Approach(thermal.panel[i], target, dt, 420);
  }
  const double inside = state.sunlit ? 23 : 12;
  Approach(thermal.adcs, inside - 4, dt, 2400);
  for (double& sensor : thermal.sensor) {
    Approach(sensor, inside - 2, dt, 3000);
  }
  for (double& adc : thermal.adc) {
    Approach(adc, inside + 3, dt, 2000);
  }
  Approach(thermal.battery, inside - 8, dt, 6000);
  Approach(thermal.rtc, inside, dt, 3500);
  // Charging holds the cell near its float voltage; in shadow it runs down slowly.
  Approach(thermal.batteryVolts, state.sunlit ? 4.1 : 3.7, dt, state.sunlit ? 900 : 5000);
}

}  // namespace quilmar::demo
