// The spacecraft clock (Pacific time) to UTC by the zone rules, across both daylight-saving
// changes of 2026 (8 March, 1 November), and user times for --from/--to.
#include "archive/archive_time.h"

#include <gtest/gtest.h>

#include <QTimeZone>

namespace quilmar {
namespace {

TEST(ArchiveTime, SpacecraftClockBecomesUtcByTheZoneRules) {
  const struct {
    const char* clock;
    const char* utc;  // empty: not a time
  } cases[] = {
      {"15.01.2026 12:00:00", "2026-01-15T20:00:00Z"},  // PST, UTC-8
      {"15.07.2026 12:00:00", "2026-07-15T19:00:00Z"},  // PDT, UTC-7
      {"08.03.2026 01:59:59", "2026-03-08T09:59:59Z"},  // last second of PST
      {"08.03.2026 02:30:00", "2026-03-08T10:30:00Z"},  // skipped hour: read as PST
      {"08.03.2026 03:00:00", "2026-03-08T10:00:00Z"},  // first second of PDT
      {"01.11.2026 00:59:59", "2026-11-01T07:59:59Z"},
      {"01.11.2026 01:30:00", "2026-11-01T08:30:00Z"},  // the repeated hour: PDT first
      {"01.11.2026 02:00:00", "2026-11-01T10:00:00Z"},  // PST again
      {"31.02.2026 12:00:00", ""},
      {"07.13.2026 12:00:00", ""},
      {"07.03.2026 24:00:00", ""},
      {"07.03.2026 12:00", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.clock);
    const auto utc = SpacecraftClockToUtc(c.clock);
    EXPECT_EQ(utc ? UtcText(*utc).toStdString() : std::string(), c.utc);
  }
}

// An import reads the clocks of a pass one after another, minute by minute through the
// changes: each reading must come out as if it were the only one read, whatever came before
// (the hour just read, or the same wall hour of another day).
TEST(ArchiveTime, SuccessiveClocksKeepTheirOwnOffsets) {
  const QTimeZone pacific("America/Los_Angeles");
  const auto expected = [&](const QDateTime& wall) {
    for (const int offset : {-7 * 3600, -8 * 3600}) {
      if (pacific.offsetFromUtc(wall.addSecs(-offset)) == offset) {
        return wall.addSecs(-offset).toMSecsSinceEpoch();
      }
    }
    return wall.addSecs(8 * 3600).toMSecsSinceEpoch();
  };
  for (const QDate day : {QDate(2026, 3, 8), QDate(2026, 11, 1), QDate(1945, 9, 30),
                          QDate(2026, 3, 9), QDate(2026, 3, 8), QDate(2026, 10, 31)}) {
    for (int minute = 0; minute < 24 * 60; minute += 7) {
      const QDateTime wall(day, QTime(minute / 60, minute % 60, minute % 59), Qt::UTC);
      const std::string clock = wall.toString("dd.MM.yyyy hh:mm:ss").toStdString();
      SCOPED_TRACE(clock);
      EXPECT_EQ(SpacecraftClockToUtcMs(clock), expected(wall));
    }
  }
}

TEST(ArchiveTime, UserTimesAreUtcUnlessTheyNameAnOffset) {
  const struct {
    const char* text;
    const char* utc;
  } cases[] = {
      {"2026-12-07", "2026-12-07T00:00:00Z"},
      {"2026-12-07 21:45", "2026-12-07T21:45:00Z"},
      {"2026-12-07T21:45:10Z", "2026-12-07T21:45:10Z"},
      {"2026-12-07T21:45:10+01:00", "2026-12-07T20:45:10Z"},
      {"yesterday", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto utc = ParseUserTime(c.text);
    EXPECT_EQ(utc ? UtcText(*utc).toStdString() : std::string(), c.utc);
  }
}

// The quick text of Unix milliseconds against Qt's: fractions dropped toward the past, leap
// days, the turn of years and centuries, times before 1970.
TEST(ArchiveTime, MillisecondTextIsQtsText) {
  for (const qint64 ms : {qint64{0}, qint64{999}, qint64{-1}, qint64{-1001}, qint64{951782400000},
                          qint64{951868799999}, qint64{1781278867123}, qint64{4102444799999},
                          qint64{-2208988800000}, qint64{1798761599500}}) {
    SCOPED_TRACE(ms);
    const qint64 wholeSeconds = ms - ((ms % 1000) + 1000) % 1000;
    EXPECT_EQ(UtcTextOfMs(ms),
              UtcText(QDateTime::fromMSecsSinceEpoch(wholeSeconds, Qt::UTC)));
  }
}

}  // namespace
}  // namespace quilmar
