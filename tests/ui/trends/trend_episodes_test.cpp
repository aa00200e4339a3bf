// The limit episodes the Trends window lists against the archive's events command
// (WriteEvents, what `quilmar-hk-archive events --from --to` writes) on an archive of two
// passes added from a SatNOGS download: the same episodes for ranges that cut a pass, span
// both or fall between them, each with the key of its first frame; a full list says so;
// the window's panel shows the episodes of the view it was zoomed to, and a click on one
// asks for its first frame as a click on the chart's point does.
#include "ui/trends/trend_episodes.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_events.h"
#include "archive/archive_passes.h"
#include "archive/source_import.h"
#include "core/export_format.h"
#include "limits/limits_file.h"
#include "limits/value_names.h"
#include "tests/support/kiss_builder.h"
#include "ui/trends/episodes_panel.h"
#include "ui/trends/trend_chart.h"
#include "ui/trends/trends_window.h"

namespace quilmar {
namespace {

const QDateTime kFirstPass(QDate(2026, 5, 1), QTime(10, 0), Qt::UTC);
const QDateTime kSecondPass = kFirstPass.addSecs(3600);
constexpr int kFramesPerPass = 40;
constexpr int kSeconds = 10;  // between frames

// Battery volts against a number and the EPS's own emergency threshold, with persistence;
// the power level by its states.
constexpr char kLimits[] = R"([eps_tcs_battery_volts]
red_low = "eps_tcs_limit_volt_em"
yellow_low = 3.5
yellow_high = 4.0
red_high = 4.3
persistence = 2

[eps_tcs_power_level]
red = ["EMERGENCY"]
yellow = ["POWERSAFE"]
)";

// Two passes of EPS/TCS frames ten seconds apart whose battery volts and power level wander
// in and out of their limits, as one station's SatNOGS download.
QString WriteDownload(const QString& folder) {
  QByteArray csv = "timestamp|frame\r\n";
  std::uint16_t number = 500;
  for (const QDateTime& start : {kFirstPass, kSecondPass}) {
    for (int i = 0; i < kFramesPerPass; ++i) {
      testing::Bytes info = testing::Information(++number, 'S');
      info[6] = 41;                                                        // EPS/TCS
      info[70] = 20;                                                       // COM
      info[27] = static_cast<std::uint8_t>(150 + (i * 37 + number) % 80);  // 2.9 .. 4.5 V
      info[44] = 178;                                                      // Limit Volt PSM
      info[45] = static_cast<std::uint8_t>(165 + i % 5);                   // Limit Volt EM
      constexpr std::uint8_t kPower[] = {0, 0, 1, 1, 2, 0, 2, 2, 1, 0, 0};
      info[10] = kPower[(i + number) % std::size(kPower)];
      const testing::Bytes kiss = testing::BuildFrame(info);
      const QByteArray ax25(reinterpret_cast<const char*>(kiss.data()) + 1,
                            static_cast<qsizetype>(kiss.size() - 1));
      csv +=
          start.addSecs(i * kSeconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() +
          "|" + ax25.toHex() + "\r\n";
    }
  }
  const QString path = folder + "/download.csv";
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(csv);
  return path;
}

// The events' lines (header left out) for a range.
std::vector<std::string> EventLines(Archive& archive, const LimitSet& limits,
                                    const ExportRange& range) {
  std::ostringstream out;
  EXPECT_TRUE(WriteEvents(archive, limits, range, ArchiveFormat::kCsv, out))
      << archive.Error().toStdString();
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

// An episode as the events' CSV line gives it (station names here need no quotes).
std::string LineOf(const LimitEpisode& episode) {
  std::string line = ValueName(episode.row) + ',' + DirectionText(episode.direction) + ',' +
                     LevelText(episode.worst) + ',' + episode.firstUtc + ',' + episode.lastUtc +
                     ',';
  AppendInteger(line, episode.frames);
  line += ',';
  if (episode.direction == LimitDirection::kState) {
    line += episode.worstText;
  } else {
    AppendNumber(line, episode.worstValue);
  }
  line += ',';
  for (std::size_t i = 0; i < episode.stations.size(); ++i) {
    line += (i == 0 ? "" : "; ") + episode.stations[i];
  }
  return line;
}

std::vector<std::string> LinesOf(const TrendEpisodes& read) {
  std::vector<std::string> lines;
  for (const TrendEpisode& episode : read.episodes) {
    lines.push_back(LineOf(episode.episode));
  }
  return lines;
}

// The key and time of the frame archived at an episode's first time, found on their own.
std::pair<std::int64_t, double> FrameAt(Archive& archive, const std::string& utc) {
  const QDateTime time = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODateWithMs);
  std::pair<std::int64_t, double> found{0, 0.0};
  EXPECT_TRUE(ReadFramesBetween(archive, time, time, [&](const ArchivedFrameRead& frame) {
    found = {frame.key, static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0};
    return true;
  }));
  return found;
}

class TrendEpisodesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    location.path = folder.filePath("episodes.sqlite");
    location.display = location.path;
    ASSERT_TRUE(archive.Open(location)) << archive.Error().toStdString();
    const ImportOutcome outcome = ImportFile(archive, WriteDownload(folder.path()), "XQ1AAA");
    ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
    ASSERT_EQ(outcome.newFrames, 2 * kFramesPerPass);
    LimitsLoad load = ParseLimits(kLimits, "test.toml");
    ASSERT_TRUE(load.limits) << load.error.Text();
    limits = *load.limits;
  }

  // A time of the first pass's frame i (of the second pass from kFramesPerPass on), seconds.
  static double TimeOf(int i) {
    const QDateTime start = i < kFramesPerPass ? kFirstPass : kSecondPass;
    return static_cast<double>(start.toSecsSinceEpoch() + (i % kFramesPerPass) * kSeconds);
  }

  QTemporaryDir folder;
  ArchiveLocation location;
  Archive archive;
  LimitSet limits;
};

TEST_F(TrendEpisodesTest, AreTheArchivesEventsForTheRangeWithTheirFirstFrames) {
  // A view's ends in seconds, and the --from and --to of the events command that takes in the
  // same frames.
  struct Case {
    const char* name;
    double from;
    double to;
    double eventsFrom;
    double eventsTo;
  };
  const double last = TimeOf(2 * kFramesPerPass - 1);
  const double between = TimeOf(kFramesPerPass - 1) + 600;
  const Case cases[] = {
      {"the whole archive", TimeOf(0) - 60.5, last + 60.5, TimeOf(0) - 60, last + 60},
      {"a pass cut on frames at both ends", TimeOf(7), TimeOf(23), TimeOf(7), TimeOf(23)},
      {"a pass cut a moment after a frame and before one", TimeOf(7) + 0.0005, TimeOf(23) - 0.0005,
       TimeOf(7) + 1, TimeOf(23) - 1},
      {"a pass cut a moment before a frame and after one", TimeOf(7) - 0.4, TimeOf(23) + 0.7,
       TimeOf(7), TimeOf(23)},
      {"from one pass into the next", TimeOf(31), TimeOf(kFramesPerPass + 12), TimeOf(31),
       TimeOf(kFramesPerPass + 12)},
      {"between the passes", between, between + 60, between, between + 60},
  };
  const auto utc = [](double seconds) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> expected =
        EventLines(archive, limits, {utc(c.eventsFrom), utc(c.eventsTo)});
    TrendEpisodes read;
    const std::atomic<bool> cancelled{false};
    ASSERT_TRUE(ReadTrendEpisodes(archive, limits, EpisodeRangeOf(c.from, c.to),
                                  kMostEpisodesListed, read, cancelled))
        << archive.Error().toStdString();
    EXPECT_EQ(LinesOf(read), expected);
    EXPECT_FALSE(read.more);
    EXPECT_EQ(expected.empty(), std::string(c.name) == "between the passes");
    for (const TrendEpisode& episode : read.episodes) {
      SCOPED_TRACE(episode.episode.firstUtc);
      const auto [key, time] = FrameAt(archive, episode.episode.firstUtc);
      EXPECT_EQ(episode.firstKey, key);
      EXPECT_EQ(episode.firstTime, time);
    }
  }
}

// A list of `most` episodes stops there and says the range holds more; one of exactly as many
// as the range holds is whole.
TEST_F(TrendEpisodesTest, AFullListSaysTheRangeHoldsMore) {
  const ExportRange range = EpisodeRangeOf(TimeOf(0), TimeOf(2 * kFramesPerPass - 1));
  const std::vector<std::string> all = EventLines(archive, limits, range);
  ASSERT_GT(all.size(), 6u);
  struct Case {
    std::size_t most;
    bool more;
  };
  for (const Case c : {Case{3, true}, Case{all.size() - 1, true}, Case{all.size(), false}}) {
    SCOPED_TRACE(c.most);
    TrendEpisodes read;
    const std::atomic<bool> cancelled{false};
    ASSERT_TRUE(ReadTrendEpisodes(archive, limits, range, c.most, read, cancelled));
    EXPECT_EQ(read.more, c.more);
    EXPECT_EQ(LinesOf(read), std::vector<std::string>(all.begin(), all.begin() + c.most));
  }
}

// The panel under the chart lists the episodes of the view once a zoom has come to rest, and
// a click on one asks for its first frame, as a click on a frame's point does.
TEST_F(TrendEpisodesTest, TheWindowListsTheViewsEpisodesAndAClickOpensTheFirstFrame) {
  TrendsWindow window(location);
  window.SetLimits(limits);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EpisodesPanel* panel = window.Episodes();
  const auto listed = [&] {
    return window.PendingReads() == 0 && !panel->SummaryText().isEmpty() &&
           !panel->SummaryText().startsWith(QLatin1String("Reading"));
  };
  ASSERT_TRUE(QTest::qWaitFor(listed, 20000));
  // A zoom to part of the first pass and on into the second.
  const double from = TimeOf(12), to = TimeOf(kFramesPerPass + 20);
  window.Chart()->SetView(from, to);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return listed() && !panel->Shown().episodes.empty() &&
               panel->Shown().episodes.front().episode.firstUtc >= "2026-05-01T10:02:00";
      },
      20000))
      << panel->SummaryText().toStdString();
  const std::vector<std::string> expected = EventLines(archive, limits, EpisodeRangeOf(from, to));
  EXPECT_EQ(LinesOf(panel->Shown()), expected);
  QTreeWidget* list = panel->List();
  ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(expected.size()));
  EXPECT_TRUE(panel->SummaryText().startsWith(QString::number(expected.size())))
      << panel->SummaryText().toStdString();

  QSignalSpy clicked(window.Chart(), &TrendChart::pointClicked);
  for (const int row : {0, list->topLevelItemCount() - 1}) {
    SCOPED_TRACE(row);
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    const QRect place = list->visualItemRect(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
    ASSERT_EQ(clicked.count(), 1);
    const auto point = clicked.takeFirst().at(0).value<TrendPointRef>();
    const LimitEpisode& episode = panel->Shown().episodes[static_cast<std::size_t>(row)].episode;
    const auto [key, time] = FrameAt(archive, episode.firstUtc);
    EXPECT_EQ(item->text(EpisodesPanel::kFirstUtc).toStdString(), episode.firstUtc);
    EXPECT_EQ(point.key, key);
    EXPECT_EQ(point.time, time);
    EXPECT_EQ(point.parameterRow, episode.row);
  }
}

}  // namespace
}  // namespace quilmar
