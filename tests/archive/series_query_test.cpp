// A parameter's series by level of detail, on SQLite and PostgreSQL: random frames over days
// (NaN readings, frames without the section or without a time, other frame types) asked in
// random ranges and widths at every level, against a plain scan of the same frames; the hourly
// and per-minute overviews kept exact by imports and across re-timing; an archive without the
// per-minute overview given one on opening.
#include "archive/series_query.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>

#include "archive/archive.h"
#include "archive/archive_schema.h"
#include "archive/archive_time.h"
#include "archive/frame_identity.h"
#include "archive/source_import.h"
#include "archive/trend_overview.h"
#include "core/kiss_deframer.h"
#include "core/pass_gap.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

constexpr int kBatteryVolts = 18;  // EPS/TCS
constexpr int kQuartComp0 = 85;    // ADCS single precision: a reading may be NaN
constexpr std::int64_t kMinuteMs = 60'000, kHourMs = 3'600'000;
constexpr std::int64_t kStartMs = 1'780'000'000'000;  // June 2026
const double kNaN = std::nan("");

struct TestFrame {
  std::optional<std::int64_t> ms;  // none: a frame without a time
  char type = 'S';
  bool adcs = false;   // CDHS and ADCS carried, else EPS/TCS and COM
  double value = 0.0;  // of the carried section's parameter; may be NaN
  std::optional<double> Value(int row) const {
    return (row == kQuartComp0) == adcs ? std::optional(value) : std::nullopt;
  }
};

// Passes of a few minutes with frames seconds apart, some silences within them, over six days;
// values on a grid of quarters, so both engines give them back exactly.
std::vector<TestFrame> RandomFrames(std::mt19937_64& random) {
  std::vector<TestFrame> frames;
  std::int64_t ms = kStartMs;
  for (int pass = 0; pass < 40; ++pass) {
    ms += std::uniform_int_distribution<std::int64_t>(2 * kMinuteMs, 5 * kHourMs)(random);
    const int count = std::uniform_int_distribution<int>(1, 90)(random);
    for (int n = 0; n < count; ++n) {
      const bool silence = std::bernoulli_distribution(0.02)(random);
      ms += silence ? 11 * kMinuteMs : std::uniform_int_distribution<std::int64_t>(0, 9000)(random);
      TestFrame frame{ms};
      frame.adcs = std::bernoulli_distribution(0.5)(random);
      frame.value = std::uniform_int_distribution<int>(-400, 400)(random) / 4.0;
      if (frame.adcs && std::bernoulli_distribution(0.1)(random)) {
        frame.value = kNaN;
      }
      if (std::bernoulli_distribution(0.03)(random)) {
        frame.ms.reset();
      } else if (std::bernoulli_distribution(0.03)(random)) {
        frame.type = 'B';
      }
      frames.push_back(frame);
    }
  }
  return frames;
}

bool Insert(Archive& archive, const std::vector<TestFrame>& frames, std::size_t from,
            std::size_t to) {
  QSqlQuery insert(archive.Database());
  insert.prepare(
      QStringLiteral("INSERT INTO frame (id, digest, bytes, time_utc, time_ms, time_kind,"
                     " clock_estimated, frame_number, frame_type, %1, %2) VALUES (?, ?,"
                     " 'x', ?, ?, 'spacecraft', 0, 0, ?, ?, ?)")
          .arg(ParameterColumn(kBatteryVolts).c_str(), ParameterColumn(kQuartComp0).c_str()));
  for (std::size_t i = from; i < to; ++i) {
    const TestFrame& frame = frames[i];
    insert.addBindValue(static_cast<qint64>(i + 1));
    insert.addBindValue(QByteArray::number(static_cast<qint64>(i)));
    insert.addBindValue(frame.ms ? QVariant(UtcTextOfMs(*frame.ms))
                                 : QVariant(QMetaType::fromType<QString>()));
    insert.addBindValue(frame.ms ? QVariant(static_cast<qint64>(*frame.ms))
                                 : QVariant(QMetaType::fromType<qint64>()));
    insert.addBindValue(QString(QChar(frame.type)));
    for (const int row : {kBatteryVolts, kQuartComp0}) {
      const auto value = frame.Value(row);
      // A NaN reading as the importer keeps it: the text 'NaN', which SQLite keeps as text.
      insert.addBindValue(!value               ? QVariant(QMetaType::fromType<double>())
                          : std::isnan(*value) ? QVariant(QStringLiteral("NaN"))
                                               : QVariant(*value));
    }
    if (!insert.exec()) {
      return archive.Fail(insert);
    }
  }
  return true;
}

// The frame as the importer hands it to the overviews: the section's marker and its value.
FrameRecord Record(const TestFrame& frame) {
  FrameRecord record;
  record.frameType = frame.type;
  const SectionInfo& section = SectionInfoOf(frame.adcs ? Section::kAdcs : Section::kEpsTcs);
  record.values[section.firstRow] = section.markerValue;
  record.values[frame.adcs ? kQuartComp0 : kBatteryVolts] = frame.value;
  return record;
}

// The series by the rule series_query.h gives, from the frames themselves.
Series Scan(const std::vector<TestFrame>& frames, const SeriesRequest& request) {
  struct Bucket {
    std::int64_t first = INT64_MAX, last = INT64_MIN;
    double low = INFINITY, high = -INFINITY;
  };
  const std::int64_t span = request.toMs - request.fromMs + 1;
  Series series;
  series.level = kHourMs * request.columns <= span     ? SeriesLevel::kHour
                 : kMinuteMs * request.columns <= span ? SeriesLevel::kMinute
                                                       : SeriesLevel::kFrame;
  const std::int64_t width = series.level == SeriesLevel::kHour ? kHourMs : kMinuteMs;
  std::map<std::int64_t, Bucket> buckets;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const TestFrame& frame = frames[i];
    if (!frame.ms || frame.type != 'S') {
      continue;
    }
    Bucket& bucket = buckets[series.level == SeriesLevel::kFrame
                                 ? static_cast<std::int64_t>(i)
                                 : *frame.ms - ((*frame.ms % width) + width) % width];
    bucket.first = std::min(bucket.first, *frame.ms);
    bucket.last = std::max(bucket.last, *frame.ms);
    if (const auto value = frame.Value(request.parameterRow); value && !std::isnan(*value)) {
      bucket.low = std::min(bucket.low, *value);
      bucket.high = std::max(bucket.high, *value);
    }
  }
  std::map<std::int64_t, Bucket> columns;
  for (const auto& [key, bucket] : buckets) {
    if (bucket.low <= bucket.high && bucket.first >= request.fromMs &&
        bucket.first <= request.toMs) {
      Bucket& column = columns[(bucket.first - request.fromMs) * request.columns / span];
      column.first = std::min(column.first, bucket.first);
      column.last = std::max(column.last, bucket.last);
      column.low = std::min(column.low, bucket.low);
      column.high = std::max(column.high, bucket.high);
    }
  }
  std::int64_t latest = INT64_MIN;
  for (const auto& [index, column] : columns) {
    if (!series.points.empty() && column.first - latest > kPassGapSeconds * 1000LL) {
      const std::int64_t middle = latest + (column.first - latest) / 2;
      series.points.push_back({middle, kNaN, kNaN, middle});
    }
    latest = std::max(latest, column.last);
    series.points.push_back({column.first, column.low, column.high, column.last});
  }
  return series;
}

void ExpectSameSeries(const Series& read, const Series& expected) {
  EXPECT_EQ(SeriesLevelName(read.level), std::string(SeriesLevelName(expected.level)));
  ASSERT_EQ(read.points.size(), expected.points.size());
  for (std::size_t i = 0; i < read.points.size(); ++i) {
    SCOPED_TRACE(i);
    const SeriesPoint &a = read.points[i], &b = expected.points[i];
    EXPECT_EQ(a.timeMs, b.timeMs);
    EXPECT_EQ(a.lastMs, b.lastMs);
    EXPECT_TRUE(a.low == b.low || (std::isnan(a.low) && std::isnan(b.low)))
        << a.low << " " << b.low;
    EXPECT_TRUE(a.high == b.high || (std::isnan(a.high) && std::isnan(b.high)));
  }
}

// Every row of both overviews as text (all columns, or the times and these values), by table.
std::map<std::string, std::vector<std::string>> Overviews(Archive& archive,
                                                          const std::vector<int>& rows = {}) {
  std::map<std::string, std::vector<std::string>> tables;
  for (const TrendLevelTable& level : {kTrendHourTable, kTrendMinuteTable}) {
    QString columns = rows.empty()
                          ? "*"
                          : QString(level.startColumn) + ", first_utc, last_utc, first_ms, last_ms";
    for (const int row : rows) {
      columns += ", " + TrendLowColumn(row) + ", " + TrendHighColumn(row);
    }
    QSqlQuery query(archive.Database());
    EXPECT_TRUE(query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                               .arg(columns, level.table, level.startColumn)));
    while (query.next()) {
      QStringList row;
      for (int column = 0; column < query.record().count(); ++column) {
        row << (query.value(column).isNull() ? "NULL" : query.value(column).toString());
      }
      tables[level.table].push_back(row.join('|').toStdString());
    }
  }
  return tables;
}

class SeriesQuery : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(archive.Open(testing::FreshArchive(GetParam()))) << archive.Error().toStdString();
  }
  Archive archive;
};

// Frames written in random batches, each merged into the overviews as an import of new frames
// does (or summed up again from the frames, as a batch of partly known frames), then asked.
TEST_P(SeriesQuery, AgreesWithAScanOfTheFramesAtEveryLevel) {
  std::mt19937_64 random(20261208);
  const std::vector<TestFrame> frames = RandomFrames(random);
  ASSERT_TRUE(archive.BeginWrite());
  TrendHourAccumulator overviews(archive);
  // Batches in random order, their frames too, as logs of several stations arrive.
  std::vector<std::pair<std::size_t, std::size_t>> batches;
  for (std::size_t from = 0; from < frames.size(); from = batches.back().second) {
    batches.emplace_back(
        from,
        std::min(frames.size(), from + std::uniform_int_distribution<std::size_t>(1, 400)(random)));
  }
  std::shuffle(batches.begin(), batches.end(), random);
  for (const auto& [from, to] : batches) {
    ASSERT_TRUE(Insert(archive, frames, from, to)) << archive.Error().toStdString();
    std::vector<std::size_t> order(to - from);
    std::iota(order.begin(), order.end(), from);
    std::shuffle(order.begin(), order.end(), random);
    for (const std::size_t i : order) {
      if (frames[i].ms) {
        overviews.Add(*frames[i].ms, Record(frames[i]));
      }
    }
    ASSERT_TRUE(std::bernoulli_distribution(0.7)(random) ? overviews.MergeIn()
                                                         : overviews.RecomputeIn())
        << archive.Error().toStdString();
    overviews.Clear();
  }
  ASSERT_TRUE(archive.Commit());
  const std::int64_t first = kStartMs,
                     last = frames.back().ms.value_or(kStartMs + 6 * 24 * kHourMs);
  std::map<SeriesLevel, int> levels;
  for (int request = 0; request < 150; ++request) {
    SeriesRequest asked;
    asked.parameterRow = request % 2 ? kBatteryVolts : kQuartComp0;
    asked.columns = std::uniform_int_distribution<int>(1, 1200)(random);
    // Widths of a column from a tenth of a second to a day, evenly over their logarithm.
    const double columnMs = std::exp(
        std::uniform_real_distribution<double>(std::log(100.0), std::log(86'400'000.0))(random));
    const auto span = static_cast<std::int64_t>(columnMs * asked.columns);
    asked.fromMs = std::uniform_int_distribution<std::int64_t>(first - span / 2, last)(random);
    // Some ranges begin and end right on a frame's time.
    if (request % 5 == 0) {
      const TestFrame& at =
          frames[std::uniform_int_distribution<std::size_t>(0, frames.size() - 1)(random)];
      asked.fromMs = at.ms.value_or(asked.fromMs);
    }
    asked.toMs = asked.fromMs + span;
    if (request % 7 == 0) {
      asked.toMs =
          std::max(asked.fromMs,
                   frames[std::uniform_int_distribution<std::size_t>(0, frames.size() - 1)(random)]
                       .ms.value_or(asked.toMs));
    }
    SCOPED_TRACE(::testing::Message() << "row " << asked.parameterRow << " from " << asked.fromMs
                                      << " to " << asked.toMs << " in " << asked.columns);
    const std::optional<Series> read = ReadSeries(archive, asked);
    ASSERT_TRUE(read) << archive.Error().toStdString();
    const Series expected = Scan(frames, asked);
    EXPECT_EQ(SeriesLevelFor(asked), expected.level);
    ExpectSameSeries(*read, expected);
    if (!expected.points.empty()) {
      ++levels[expected.level];
    }
  }
  for (const SeriesLevel level : {SeriesLevel::kHour, SeriesLevel::kMinute, SeriesLevel::kFrame}) {
    EXPECT_GE(levels[level], 10) << SeriesLevelName(level);
  }
  // What the batches merged is what the frames give when summed up at once.
  // (The batches' records carry the sections' markers, which the frames written here lack.)
  const auto merged = Overviews(archive, {kBatteryVolts, kQuartComp0});
  ASSERT_FALSE(merged.at("trend_minute").empty());
  ASSERT_TRUE(RebuildTrendOverviews(archive)) << archive.Error().toStdString();
  EXPECT_EQ(Overviews(archive, {kBatteryVolts, kQuartComp0}), merged);
}

// The rule of series_query.h at its edges: a column's last millisecond, the range's last
// millisecond, a silence of exactly the pass gap and one a millisecond longer, a minute whose
// first frame lies before the range, and one that reaches beyond it.
TEST_P(SeriesQuery, PlacesEachBucketByItsFirstFrame) {
  constexpr std::int64_t t0 = 1'779'998'400'000;  // a whole hour
  constexpr std::int64_t gap = kPassGapSeconds * 1000LL, m = t0 + 2 * kHourMs;
  const std::vector<std::pair<std::int64_t, double>> timed = {
      {t0 + 999, 1},        {t0 + 1000, 2},           {t0 + 1999, 3},
      {t0 + 1999 + gap, 4}, {t0 + 2000 + 2 * gap, 5}, {m - 30'000, 10},
      {m + 10, 11},         {m + 50'000, 12}};
  std::vector<TestFrame> frames;
  for (const auto& [ms, volts] : timed) {
    frames.push_back({ms, 'S', false, volts});
  }
  ASSERT_TRUE(Insert(archive, frames, 0, frames.size()) && RebuildTrendOverviews(archive))
      << archive.Error().toStdString();
  const double nan = kNaN;
  struct Case {
    const char* name;
    SeriesRequest request;
    std::vector<SeriesPoint> points;
  };
  const Case cases[] = {
      {"two columns of a second",
       {kBatteryVolts, t0, t0 + 1999, 2},
       {{t0 + 999, 1, 1, t0 + 999}, {t0 + 1000, 2, 3, t0 + 1999}}},
      {"a gap only after more than the pass gap",
       {kBatteryVolts, t0, t0 + 2000 + 2 * gap, 1000},
       {{t0 + 999, 1, 2, t0 + 1000},
        {t0 + 1999, 3, 3, t0 + 1999},
        {t0 + 1999 + gap, 4, 4, t0 + 1999 + gap},
        {t0 + 1999 + gap + (gap + 1) / 2, nan, nan, t0 + 1999 + gap + (gap + 1) / 2},
        {t0 + 2000 + 2 * gap, 5, 5, t0 + 2000 + 2 * gap}}},
      {"minutes by their first frame",
       {kBatteryVolts, m - 20'000, m + 40'000, 1},
       {{m + 10, 11, 12, m + 50'000}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<Series> read = ReadSeries(archive, c.request);
    ASSERT_TRUE(read) << archive.Error().toStdString();
    ExpectSameSeries(*read, {SeriesLevelFor(c.request), c.points});
  }
}

// A bucket is as wide as a column at most: the level changes where a column reaches a minute or
// an hour; requests that ask nothing sensible are refused.
TEST_P(SeriesQuery, ChoosesTheLevelByTheColumnWidthAndRefusesEmptyRequests) {
  struct Case {
    std::int64_t fromMs, toMs;
    int columns;
    std::optional<SeriesLevel> level;  // none: refused
  };
  const Case cases[] = {
      {0, kHourMs * 100 - 1, 100, SeriesLevel::kHour},
      {0, kHourMs * 100 - 2, 100, SeriesLevel::kMinute},
      {0, kMinuteMs * 7 - 1, 7, SeriesLevel::kMinute},
      {0, kMinuteMs * 7 - 2, 7, SeriesLevel::kFrame},
      {5, 5, 1, SeriesLevel::kFrame},
      {5, 4, 1, std::nullopt},
      {0, kHourMs, 0, std::nullopt},
      {INT64_MIN, INT64_MAX, 1, std::nullopt},
      {INT64_MIN + 1, INT64_MIN + 1 + kHourMs * 10, 10, std::nullopt},
      {-(std::int64_t{1} << 47), (std::int64_t{1} << 47) - 1, 1, SeriesLevel::kHour},
      {0, std::int64_t{1} << 52, 1 << 10, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.fromMs << " to " << c.toMs << " in " << c.columns);
    const std::optional<Series> read =
        ReadSeries(archive, {kBatteryVolts, c.fromMs, c.toMs, c.columns});
    ASSERT_EQ(read.has_value(), c.level.has_value()) << archive.Error().toStdString();
    if (c.level) {
      EXPECT_EQ(read->level, *c.level);
      EXPECT_TRUE(read->points.empty());
    }
  }
  for (const int row : {-1, kParameterCount}) {
    EXPECT_FALSE(ReadSeries(archive, {row, 0, kHourMs, 10}).has_value());
  }
}

// The demo pass's frames as the spacecraft sent them, and each one's clock (the last reading
// for a frame without one).
struct DemoFrame {
  QByteArray ax25;
  QDateTime clock;
};

std::vector<DemoFrame> DemoPass() {
  QFile log(QStringLiteral(QUILMAR_SAMPLES_DIR "/demo.kss"));
  EXPECT_TRUE(log.open(QIODevice::ReadOnly));
  const QByteArray bytes = log.readAll();
  std::vector<DemoFrame> frames;
  QDateTime clock;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    FrameRecord record;
    FillFrameRecord(frame, record);
    clock = SpacecraftClockToUtc(record.dateTime).value_or(clock);
    frames.push_back({ArchivedFrameBytes(frame), clock});
    return true;
  });
  deframer.Feed({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 static_cast<std::size_t>(bytes.size())});
  return frames;
}

// The demo pass as a KISS log in the test folder.
QString WriteDemoLog(const QString& name, const std::vector<DemoFrame>& demo) {
  std::vector<testing::Bytes> kiss;
  for (const DemoFrame& frame : demo) {
    testing::Bytes bytes{0x00};
    bytes.insert(bytes.end(), frame.ax25.begin(), frame.ax25.end());
    kiss.push_back(bytes);
  }
  const QString path = testing::TestFolder() + "/" + name;
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const testing::Bytes>(kiss)));
  return path;
}

// Every frame of the archive as the scan reads it.
std::vector<TestFrame> ArchivedFrames(Archive& archive, int row) {
  QSqlQuery query(archive.Database());
  EXPECT_TRUE(query.exec(QStringLiteral("SELECT time_ms, frame_type, %1 FROM frame ORDER BY id")
                             .arg(ParameterColumn(row).c_str())));
  std::vector<TestFrame> frames;
  while (query.next()) {
    TestFrame frame;
    if (!query.value(0).isNull()) {
      frame.ms = query.value(0).toLongLong();
    }
    frame.type = query.value(1).toString().at(0).toLatin1();
    // The scan takes the value as the ADCS parameter's: present or not, NaN or a number.
    frame.adcs = !query.value(2).isNull();
    frame.value = query.value(2).toString() == "NaN" ? kNaN : query.value(2).toDouble();  // SQLite
    frames.push_back(frame);
  }
  return frames;
}

// A SatNOGS download of a third of the pass, heard 5 h 30 min after the clock readings, moves
// the whole pass onto ground time: the hours and minutes it left are empty again, those it
// entered hold it, as if its frames had come with those times.
TEST_P(SeriesQuery, OverviewsFollowTheFramesARetimingMoves) {
  const std::vector<DemoFrame> demo = DemoPass();
  ASSERT_GT(demo.size(), 200u);
  QByteArray csv;
  for (std::size_t i = 0; i < demo.size(); i += 3) {
    if (demo[i].clock.isValid()) {
      csv += demo[i].clock.addSecs(5 * 3600 + 1800).toString("yyyy-MM-dd HH:mm:ss").toLatin1() +
             "|" + demo[i].ax25.toHex() + "\n";
    }
  }
  const QString log = WriteDemoLog("retimed.kss", demo),
                download = testing::TestFolder() + "/retimed.csv";
  QFile file(download);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(csv);
  file.close();
  for (const QString& path : {log, download}) {
    SCOPED_TRACE(path.toStdString());
    const ImportOutcome outcome = ImportFile(archive, path, "XQ0GND");
    ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
    const auto kept = Overviews(archive);
    ASSERT_FALSE(kept.at("trend_minute").empty());
    ASSERT_TRUE(RebuildTrendOverviews(archive)) << archive.Error().toStdString();
    EXPECT_EQ(kept, Overviews(archive));
    const std::vector<TestFrame> frames = ArchivedFrames(archive, kQuartComp0);
    const std::int64_t pass = demo.front().clock.toMSecsSinceEpoch();
    // By minutes, by hours, and by frames.
    for (const SeriesRequest& request :
         {SeriesRequest{kQuartComp0, pass - 2 * kHourMs, pass + 8 * kHourMs, 300},
          SeriesRequest{kQuartComp0, pass - 2 * kHourMs, pass + 8 * kHourMs, 5},
          SeriesRequest{kQuartComp0, pass - kHourMs, pass + 7 * kHourMs, 2000}}) {
      const std::optional<Series> read = ReadSeries(archive, request);
      ASSERT_TRUE(read) << archive.Error().toStdString();
      ExpectSameSeries(*read, Scan(frames, request));
    }
  }
}

// An archive of version 4 has no per-minute overview and hours without their milliseconds:
// opened, it gets both from its frames, and its frames are left as they are.
TEST_P(SeriesQuery, ArchiveWithoutMinuteOverviewGetsItOnOpening) {
  const std::vector<DemoFrame> demo = DemoPass();
  const QString log = WriteDemoLog("version4.kss", demo);
  ASSERT_TRUE(ImportFile(archive, log, "XQ0GND").ok);
  const auto before = Overviews(archive);
  for (const char* statement :
       {"DROP TABLE trend_minute", "DROP INDEX trend_hour_start",
        "ALTER TABLE trend_hour DROP COLUMN hour_ms",
        "ALTER TABLE trend_hour DROP COLUMN first_ms", "ALTER TABLE trend_hour DROP COLUMN last_ms",
        "UPDATE frame SET time_kind = 'left alone'",
        "UPDATE archive_meta SET value = '4' WHERE key = 'schema_version'"}) {
    ASSERT_TRUE(archive.Execute(statement)) << archive.Error().toStdString();
  }
  const ArchiveLocation location = archive.Location();
  archive.Close();
  ASSERT_TRUE(archive.Open(location)) << archive.Error().toStdString();
  EXPECT_EQ(Overviews(archive), before);
  QSqlQuery query(archive.Database());
  ASSERT_TRUE(query.exec("SELECT (SELECT value FROM archive_meta WHERE key = 'schema_version'),"
                         " (SELECT count(*) FROM frame WHERE time_kind <> 'left alone')") &&
              query.next());
  EXPECT_EQ(query.value(0).toInt(), kSchemaVersion);
  EXPECT_EQ(query.value(1).toInt(), 0);
  // The hours are found by their start again: the index came back with the column.
  EXPECT_FALSE(archive.Execute("CREATE INDEX trend_hour_start ON trend_hour (hour_ms)"));
}

INSTANTIATE_TEST_SUITE_P(Engines, SeriesQuery,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "SQLite" : "PostgreSQL";
                         });

}  // namespace
}  // namespace quilmar
