// The Trends chart's UTC time axis: its step and labels adapt to the range shown, ticks sit
// on calendar boundaries (midnight, the first of a month) and labels never crowd each other.
#include "ui/trends/chart_axes.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace quilmar {
namespace {

double At(const char* utc) {
  return static_cast<double>(
      QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODate).toSecsSinceEpoch());
}

TEST(TimeAxis, StepsAndLabelsFollowTheRange) {
  struct Case {
    const char* from;
    const char* to;
    int width;
    const char* firstTick;
    std::vector<std::string> firstLabels;
  };
  const Case cases[] = {
      // Within a pass: seconds.
      {"2026-07-15T19:00:07Z",
       "2026-07-15T19:02:00Z",
       800,
       "2026-07-15T19:00:30Z",
       {"2026-07-15 19:00:30", "19:01:00", "19:01:30"}},
      // Hours of a day, the date where it changes.
      {"2026-07-15T17:20:00Z",
       "2026-07-16T05:00:00Z",
       800,
       "2026-07-15T18:00:00Z",
       {"2026-07-15 18:00", "20:00", "22:00", "2026-07-16 00:00", "02:00"}},
      // Days across the end of a month.
      {"2026-01-29T12:00:00Z",
       "2026-02-03T00:00:00Z",
       800,
       "2026-01-30T00:00:00Z",
       {"2026-01-30", "2026-01-31", "2026-02-01", "2026-02-02"}},
      // Months over a year: the first of each month, whatever its length.
      {"2026-01-01T08:05:00Z",
       "2026-12-31T21:00:00Z",
       1500,
       "2026-02-01T00:00:00Z",
       {"Feb 2026", "Mar 2026", "Apr 2026", "May 2026"}},
      {"2025-11-20T00:00:00Z",
       "2029-03-01T00:00:00Z",
       500,
       "2026-01-01T00:00:00Z",
       {"2026", "2027", "2028", "2029"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " to " + c.to);
    const double from = At(c.from), to = At(c.to);
    const std::vector<AxisTick> ticks = TimeAxisTicks(from, to, c.width);
    ASSERT_GE(ticks.size(), c.firstLabels.size());
    EXPECT_EQ(ticks.front().position, At(c.firstTick));
    for (std::size_t i = 0; i < c.firstLabels.size(); ++i) {
      EXPECT_EQ(ticks[i].label.toStdString(), c.firstLabels[i]) << "tick " << i;
    }
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_GE(ticks[i].position, from);
      EXPECT_LE(ticks[i].position, to);
      if (i > 0) {
        EXPECT_GE((ticks[i].position - ticks[i - 1].position) / (to - from) * c.width, 110.0)
            << "labels " << i - 1 << " and " << i << " crowd";
      }
    }
  }
}

}  // namespace
}  // namespace quilmar
