// One parameter's trend from a small archive on SQLite and PostgreSQL: time order, range
// bounds, frames without the value or without a time, other frame types, and the time text
// read back.
#include "archive/trend_query.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>
#include <vector>

#include "archive/archive.h"
#include "test_archives.h"

namespace quilmar {
namespace {

constexpr int kBatteryVolts = 18;  // catalogue row of eps_tcs_battery_volts

struct Row {
  const char* time;  // nullptr: a frame without time
  const char* kind;
  const char* type;
  QVariant volts;  // null: the frame did not carry EPS/TCS
};

std::int64_t Seconds(const char* text) {
  return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toSecsSinceEpoch();
}

class TrendQuery : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(archive.Open(testing::FreshArchive(GetParam()))) << archive.Error().toStdString();
    // Stored out of time order, as frames of several stations and passes arrive.
    const std::vector<Row> rows = {
        {"2026-07-15T19:00:20Z", "spacecraft", "S", 7.2},
        {"2026-07-15T19:00:00Z", "estimated", "S", 7.0},
        {"2026-07-15T19:00:10Z", "spacecraft", "S", QVariant()},
        {"2026-07-15T19:00:30Z", "reception", "S", 7.3},
        {"2026-07-15T19:00:25Z", "spacecraft", "B", 99.0},
        {nullptr, "spacecraft", "S", 98.0},
        {"2026-07-16T03:00:00Z", "spacecraft", "S", 6.9},
        {"2026-07-14T23:59:59Z", "spacecraft", "S", 7.1},
    };
    QSqlQuery insert(archive.Database());
    insert.prepare(
        "INSERT INTO frame (id, digest, bytes, time_utc, time_kind, clock_estimated, frame_number,"
        " frame_type, eps_tcs_battery_volts) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      insert.addBindValue(100 + i);
      insert.addBindValue(QByteArray(1, static_cast<char>(i)));
      insert.addBindValue(QByteArray("x"));
      insert.addBindValue(rows[i].time ? QVariant(QString::fromLatin1(rows[i].time))
                                       : QVariant(QMetaType::fromType<QString>()));
      insert.addBindValue(QString::fromLatin1(rows[i].kind));
      insert.addBindValue(0);
      insert.addBindValue(i);
      insert.addBindValue(QString::fromLatin1(rows[i].type));
      insert.addBindValue(rows[i].volts.isNull() ? QVariant(QMetaType::fromType<double>())
                                                 : rows[i].volts);
      ASSERT_TRUE(insert.exec()) << archive.Error().toStdString();
    }
    // The keys the engine gave, by row (the frame number is the row's index).
    QSqlQuery ids(archive.Database());
    ASSERT_TRUE(ids.exec("SELECT id, frame_number FROM frame ORDER BY frame_number"));
    while (ids.next()) {
      keys.push_back(ids.value(0).toLongLong());
    }
    ASSERT_EQ(keys.size(), rows.size());
  }

  Archive archive;
  std::vector<std::int64_t> keys;  // per row above
};

TEST_P(TrendQuery, ReadsTheParameterInTimeOrderWithinTheRange) {
  struct Case {
    const char* from;
    const char* to;
    std::vector<const char*> times;
    std::vector<double> volts;
    std::vector<TrendTimeKind> kinds;
  };
  using enum TrendTimeKind;
  const Case cases[] = {
      {"2026-07-14T00:00:00Z",
       "2026-07-17T00:00:00Z",
       {"2026-07-14T23:59:59Z", "2026-07-15T19:00:00Z", "2026-07-15T19:00:20Z",
        "2026-07-15T19:00:30Z", "2026-07-16T03:00:00Z"},
       {7.1, 7.0, 7.2, 7.3, 6.9},
       {kSpacecraft, kEstimated, kSpacecraft, kReception, kSpacecraft}},
      // Both ends are inclusive, to the second.
      {"2026-07-15T19:00:00Z",
       "2026-07-15T19:00:30Z",
       {"2026-07-15T19:00:00Z", "2026-07-15T19:00:20Z", "2026-07-15T19:00:30Z"},
       {7.0, 7.2, 7.3},
       {kEstimated, kSpacecraft, kReception}},
      {"2026-07-15T19:00:01Z",
       "2026-07-15T19:00:29Z",
       {"2026-07-15T19:00:20Z"},
       {7.2},
       {kSpacecraft}},
      {"2026-07-17T00:00:00Z", "2026-07-18T00:00:00Z", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " to " + c.to);
    std::vector<std::int64_t> times;
    std::vector<double> volts;
    std::vector<TrendTimeKind> kinds;
    ASSERT_TRUE(ReadTrend(archive, kBatteryVolts, {Seconds(c.from), Seconds(c.to)},
                          [&](const TrendSample& sample) {
                            times.push_back(sample.utcSeconds);
                            volts.push_back(sample.value);
                            kinds.push_back(sample.kind);
                            return true;
                          }))
        << archive.Error().toStdString();
    std::vector<std::int64_t> expectedTimes;
    for (const char* time : c.times) {
      expectedTimes.push_back(Seconds(time));
    }
    EXPECT_EQ(times, expectedTimes);
    EXPECT_EQ(volts, c.volts);
    EXPECT_EQ(kinds, c.kinds);
  }
  EXPECT_FALSE(ReadTrend(archive, 93, {0, Seconds("2030-01-01T00:00:00Z")},
                         [](const TrendSample&) { return true; }));
}

TEST_P(TrendQuery, TimeSpanAndTimeTextAgreeWithQt) {
  const auto span = HousekeepingTimeSpan(archive);
  ASSERT_TRUE(span.has_value());
  EXPECT_EQ(span->fromUtc, Seconds("2026-07-14T23:59:59Z"));
  EXPECT_EQ(span->toUtc, Seconds("2026-07-16T03:00:00Z"));
  for (const char* text : {"1970-01-01T00:00:00Z", "2024-02-29T23:59:59Z", "2026-12-31T12:00:00Z",
                           "2099-03-01T00:00:01Z"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(UtcTextSeconds(QString::fromLatin1(text)), Seconds(text));
  }
  for (const char* text : {"2026-13-01T00:00:00Z", "2026-02-29T00:00:00Z", "2026-07-15 19:00:00Z",
                           "2026-07-15T24:00:00Z", "2026-07-15T19:00:00", "2026-07-1xT19:00:00Z"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(UtcTextSeconds(QString::fromLatin1(text)).has_value());
  }
}

// Every value names its frame by key, and the frames archived after a key are those with a
// larger one: the frame the window read last is never read again at its next look.
TEST_P(TrendQuery, ValuesNameTheirFrameAndAddedFramesBeginAfterTheKey) {
  std::vector<std::int64_t> read;
  ASSERT_TRUE(ReadTrend(archive, kBatteryVolts, {0, Seconds("2030-01-01T00:00:00Z")},
                        [&](const TrendSample& sample) {
                          read.push_back(sample.key);
                          return true;
                        }));
  EXPECT_EQ(read, (std::vector<std::int64_t>{keys[7], keys[1], keys[0], keys[3], keys[6]}));

  struct Case {
    const char* name;
    std::int64_t afterKey;
    std::vector<std::int64_t> expected;
  };
  const Case cases[] = {
      {"from the start", 0, {keys[7], keys[1], keys[0], keys[3], keys[6]}},
      {"after a frame with the value", keys[3], {keys[7], keys[6]}},
      {"after the newest frame", keys[7], {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    read.clear();
    ASSERT_TRUE(ReadTrendAdded(archive, kBatteryVolts, c.afterKey, [&](const TrendSample& sample) {
      read.push_back(sample.key);
      return true;
    }));
    EXPECT_EQ(read, c.expected);
  }
  EXPECT_EQ(NewestFrameKey(archive), keys[7]);
}

// The frame behind an hour's extreme: the lowest or highest housekeeping value in the range,
// never another frame type's, and nothing for a range without the value.
TEST_P(TrendQuery, FindsTheFrameOfAnExtreme) {
  struct Case {
    const char* from;
    const char* to;
    bool highest;
    int row;  // -1: none
  };
  const Case cases[] = {
      {"2026-07-15T19:00:00Z", "2026-07-15T19:59:59Z", false, 1},
      {"2026-07-15T19:00:00Z", "2026-07-15T19:59:59Z", true, 3},
      {"2026-07-14T00:00:00Z", "2026-07-17T00:00:00Z", false, 6},
      {"2026-07-15T19:00:21Z", "2026-07-15T19:00:29Z", true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + (c.highest ? " highest" : " lowest"));
    const std::optional<TrendFrame> frame =
        FrameOfExtreme(archive, kBatteryVolts, {Seconds(c.from), Seconds(c.to)}, c.highest);
    ASSERT_EQ(frame.has_value(), c.row >= 0) << archive.Error().toStdString();
    if (frame) {
      EXPECT_EQ(frame->key, keys[static_cast<std::size_t>(c.row)]);
    }
  }
  EXPECT_TRUE(archive.Error().isEmpty()) << archive.Error().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, TrendQuery,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
