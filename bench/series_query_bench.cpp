// series-query-bench ARCHIVE [RUNS [COLUMNS [ROW]]]: times the series query on an archive for
// the ranges a chart asks most: the whole archive, the last month, the last day and the last
// pass, each in COLUMNS columns (default 1000) of catalogue row ROW (default 18, Battery Volts).
// Prints per range the level read, the rows of that level in the range, the points answered,
// the first run's time and the median of RUNS runs (default 11) after it.
#include <QCoreApplication>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "archive/archive.h"
#include "archive/series_query.h"
#include "archive/trend_overview.h"
#include "archive/trend_query.h"

namespace quilmar {
namespace {

constexpr std::int64_t kDayMs = 86'400'000;

struct Range {
  const char* name;
  std::int64_t fromMs;
  std::int64_t toMs;
};

// The rows of the level a request reads that lie in its range.
std::int64_t RowsRead(Archive& archive, const SeriesRequest& request, SeriesLevel level) {
  QSqlQuery count(archive.Database());
  if (level == SeriesLevel::kFrame) {
    count.prepare(
        "SELECT count(*) FROM frame WHERE frame_type = 'S' AND time_ms >= ? AND time_ms <= ?");
    count.addBindValue(static_cast<qint64>(request.fromMs));
  } else {
    const TrendLevelTable& table =
        level == SeriesLevel::kHour ? kTrendHourTable : kTrendMinuteTable;
    count.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 > ? AND %2 <= ?")
                      .arg(table.table, table.startColumn));
    count.addBindValue(static_cast<qint64>(request.fromMs - table.bucketMs));
  }
  count.addBindValue(static_cast<qint64>(request.toMs));
  return count.exec() && count.next() ? count.value(0).toLongLong() : -1;
}

double Milliseconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

bool Measure(Archive& archive, const Range& range, int runs, int columns, int row) {
  const SeriesRequest request{row, range.fromMs, range.toMs, columns};
  std::vector<double> times;
  std::size_t points = 0;
  SeriesLevel level = SeriesLevel::kFrame;
  for (int run = 0; run <= runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const std::optional<Series> series = ReadSeries(archive, request);
    times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    if (!series) {
      std::fprintf(stderr, "series-query-bench: %s\n", qPrintable(archive.Error()));
      return false;
    }
    points = series->points.size();
    level = series->level;
  }
  const double first = times.front();
  times.erase(times.begin());
  std::sort(times.begin(), times.end());
  std::printf("%-14s level %-6s rows %7lld  points %5zu  first %7.2f ms  median %7.2f ms of %d\n",
              range.name, SeriesLevelName(level),
              static_cast<long long>(RowsRead(archive, request, level)), points, first,
              times[times.size() / 2], runs);
  return true;
}

std::optional<Range> LastPass(Archive& archive) {
  QSqlQuery query(archive.Database());
  if (!query.exec("SELECT start_ms, end_ms FROM pass ORDER BY start_ms DESC LIMIT 1") ||
      !query.next()) {
    return std::nullopt;
  }
  return Range{"last pass", query.value(0).toLongLong(), query.value(1).toLongLong()};
}

int Run(const QString& url, int runs, int columns, int row) {
  QString error;
  const std::optional<ArchiveLocation> location = ParseArchiveLocation(url, error);
  Archive archive;
  if (!location || !archive.Open(*location, true)) {
    std::fprintf(stderr, "series-query-bench: %s\n",
                 qPrintable(location ? archive.Error() : error));
    return 1;
  }
  const std::optional<TrendRange> span = HousekeepingTimeSpan(archive);
  const std::optional<Range> pass = LastPass(archive);
  if (!span || !pass) {
    std::fprintf(stderr, "series-query-bench: no timed frames or passes\n");
    return 1;
  }
  const std::int64_t newest = span->toUtc * 1000 + 999;
  const Range ranges[] = {{"whole archive", span->fromUtc * 1000, newest},
                          {"last month", newest - 30 * kDayMs + 1, newest},
                          {"last day", newest - kDayMs + 1, newest},
                          *pass};
  for (const Range& range : ranges) {
    if (!Measure(archive, range, runs, columns, row)) {
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace quilmar

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc < 2 || argc > 5) {
    std::fprintf(stderr, "Usage: series-query-bench ARCHIVE [RUNS [COLUMNS [ROW]]]\n");
    return 2;
  }
  return quilmar::Run(QString::fromLocal8Bit(argv[1]), argc > 2 ? std::atoi(argv[2]) : 11,
                      argc > 3 ? std::atoi(argv[3]) : 1000, argc > 4 ? std::atoi(argv[4]) : 18);
}
