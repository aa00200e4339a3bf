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
        "INSERT INTO frame (digest, bytes, time_utc, time_kind, source_order, frame_number,"
        " frame_type, eps_tcs_battery_volts) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      insert.addBindValue(QByteArray(1, static_cast<char>(i)));
      insert.addBindValue(QByteArray("x"));
      insert.addBindValue(rows[i].time ? QVariant(QString::fromLatin1(rows[i].time))
                                       : QVariant(QMetaType::fromType<QString>()));
      insert.addBindValue(QString::fromLatin1(rows[i].kind));
      insert.addBindValue(i);
      insert.addBindValue(i);
      insert.addBindValue(QString::fromLatin1(rows[i].type));
      insert.addBindValue(rows[i].volts.isNull() ? QVariant(QMetaType::fromType<double>())
                                                 : rows[i].volts);
      ASSERT_TRUE(insert.exec()) << archive.Error().toStdString();
    }
  }

  Archive archive;
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

INSTANTIATE_TEST_SUITE_P(Engines, TrendQuery,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
