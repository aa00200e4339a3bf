// Axis ticks of the Trends chart; see chart_axes.h.
#include "chart_axes.h"

#include <QDateTime>
#include <array>
#include <cmath>

namespace quilmar {
namespace {

constexpr double kDay = 86400.0;
// Steps with a fixed length in seconds, from a second to two weeks.
constexpr std::array<double, 22> kFixedSteps{
    1,    2,    5,    10,    15,    30,    60,   120,      300,      600,      900,
    1800, 3600, 7200, 10800, 21600, 43200, kDay, 2 * kDay, 4 * kDay, 7 * kDay, 14 * kDay};
// Calendar steps in months; the shortest month decides whether labels fit.
constexpr std::array<int, 7> kMonthSteps{1, 2, 3, 6, 12, 24, 60};
constexpr double kShortestMonth = 28 * kDay;

QDateTime Utc(double seconds) {
  return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::floor(seconds)), Qt::UTC);
}

std::vector<AxisTick> FixedTicks(double from, double to, double step) {
  std::vector<AxisTick> ticks;
  QDate previousDate;
  for (double t = std::ceil(from / step) * step; t <= to; t += step) {
    const QDateTime time = Utc(t);
    QString format = step < 60 ? "HH:mm:ss" : "HH:mm";
    if (step >= kDay) {
      format = "yyyy-MM-dd";
    } else if (time.date() != previousDate) {
      format = "yyyy-MM-dd " + format;  // the date where it changes
    }
    previousDate = time.date();
    ticks.push_back({t, time.toString(format)});
  }
  return ticks;
}

std::vector<AxisTick> MonthTicks(double from, double to, int months) {
  std::vector<AxisTick> ticks;
  const QDate first = Utc(from).date();
  // The first month start at or after from that is a whole number of steps into a year.
  int index = first.year() * 12 + first.month() - 1;
  if (QDateTime(QDate(first.year(), first.month(), 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch() <
      from) {
    ++index;
  }
  index = (index + months - 1) / months * months;
  for (;; index += months) {
    const QDateTime start(QDate(index / 12, index % 12 + 1, 1), QTime(0, 0), Qt::UTC);
    const double t = static_cast<double>(start.toSecsSinceEpoch());
    if (t > to) {
      break;
    }
    ticks.push_back({t, start.toString(months >= 12 ? "yyyy" : "MMM yyyy")});
  }
  return ticks;
}

}  // namespace

std::vector<AxisTick> TimeAxisTicks(double from, double to, int widthPixels, int minSpacing) {
  if (!(to > from) || widthPixels <= 0) {
    return {};
  }
  const double secondsPerPixel = (to - from) / widthPixels;
  const double wanted = secondsPerPixel * std::max(minSpacing, 1);
  for (const double step : kFixedSteps) {
    if (step >= wanted) {
      return FixedTicks(from, to, step);
    }
  }
  for (const int months : kMonthSteps) {
    if (months * kShortestMonth >= wanted) {
      return MonthTicks(from, to, months);
    }
  }
  const int years = static_cast<int>(std::ceil(wanted / (365 * kDay) / 10)) * 10;
  return MonthTicks(from, to, years * 12);
}

std::vector<AxisTick> ValueAxisTicks(double low, double high, int heightPixels, int minSpacing) {
  std::vector<AxisTick> ticks;
  if (!(high > low) || heightPixels <= 0) {
    return ticks;
  }
  const double wanted = (high - low) * std::max(minSpacing, 1) / heightPixels;
  const double power = std::pow(10.0, std::floor(std::log10(wanted)));
  double step = 10 * power;
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= wanted) {
      step = factor * power;
      break;
    }
  }
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step))));
  for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step) {
    const double shown = std::fabs(v) < step * 1e-9 ? 0.0 : v;
    ticks.push_back({shown, QString::number(shown, 'f', decimals)});
  }
  return ticks;
}

QString UtcLabel(double utcSeconds) {
  return Utc(utcSeconds).toString("yyyy-MM-dd HH:mm:ss") + " UTC";
}

}  // namespace quilmar
