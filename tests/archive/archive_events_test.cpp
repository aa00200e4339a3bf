// The archive's events against an independent model: random passes of housekeeping frames
// (battery volts against the frame's own thresholds, battery temperature, power level states,
// a quaternion component that may read NaN), heard by one or two stations and added as their
// SatNOGS downloads, with random bounds and persistence. The episodes WriteEvents lists must
// be those a plain loop over the archive's export finds, on both engines, with and without
// a time range. Also: limits' value names are the archive's column names.
#include "archive/archive_events.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "archive/archive.h"
#include "archive/archive_schema.h"
#include "archive/source_import.h"
#include "limits/limits_file.h"
#include "limits/value_names.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

TEST(LimitsValueNames, AreTheArchivesColumnNames) {
  for (int row = 0; row < kParameterCount; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(ValueName(row), ParameterColumn(row));
    EXPECT_EQ(RowOfValueName(ParameterColumn(row)), row);
  }
}

constexpr int kBattery = 18;     // eps_tcs_battery_volts, information byte 27
constexpr int kPsm = 35;         // eps_tcs_limit_volt_psm, byte 44
constexpr int kEm = 36;          // eps_tcs_limit_volt_em, byte 45
constexpr int kTemp = 29;        // eps_tcs_temp_battery, byte 38
constexpr int kPower = 4;        // eps_tcs_power_level, byte 10
constexpr int kQuaternion = 85;  // adcs_quart_comp_0, bytes 102..105

// One frame as generated: its information field, when it was heard and by whom.
struct HeardFrame {
  testing::Bytes info;
  QDateTime heard;
  bool byFirst = false;
  bool bySecond = false;
};

// A bound of the model: a number, or another value of the frame.
struct ModelBound {
  bool given = false;
  double number = 0;
  int otherRow = -1;
};

struct ModelValue {
  int row;
  std::array<ModelBound, 4> bounds;  // red_low, yellow_low, yellow_high, red_high
  std::set<std::string> red, yellow;
  int persistence = 1;
};

constexpr const char* kBoundKeys[] = {"red_low", "yellow_low", "yellow_high", "red_high"};

std::string Number(double value) {
  std::ostringstream text;
  text.precision(17);
  text << value;
  return text.str();
}

std::string LimitsText(const std::vector<ModelValue>& values) {
  std::string text;
  for (const ModelValue& value : values) {
    text +=
        "[" + ValueName(value.row) + "]\npersistence = " + std::to_string(value.persistence) + "\n";
    for (int k = 0; k < 4; ++k) {
      const ModelBound& bound = value.bounds[static_cast<std::size_t>(k)];
      if (bound.given) {
        text +=
            std::string(kBoundKeys[k]) + " = " +
            (bound.otherRow >= 0 ? "\"" + ValueName(bound.otherRow) + "\"" : Number(bound.number)) +
            "\n";
      }
    }
    for (const auto& [key, states] : {std::pair("red", &value.red), {"yellow", &value.yellow}}) {
      if (!states->empty()) {
        text += std::string(key) + " = [";
        for (const std::string& state : *states) {
          text += "\"" + state + "\", ";
        }
        text += "]\n";
      }
    }
  }
  return text;
}

// Four sorted numbers from the range, some left out: red_low <= yellow_low <= yellow_high <=
// red_high as the file demands.
void RandomBounds(std::mt19937& random, ModelValue& value, double low, double high) {
  std::uniform_real_distribution<double> within(low, high);
  std::array<double, 4> numbers{within(random), within(random), within(random), within(random)};
  std::sort(numbers.begin(), numbers.end());
  for (int k = 0; k < 4; ++k) {
    value.bounds[static_cast<std::size_t>(k)] = {
        random() % 4 != 0, std::round(numbers[static_cast<std::size_t>(k)] * 100) / 100};
  }
}

std::vector<ModelValue> RandomLimits(std::mt19937& random) {
  std::vector<ModelValue> values;
  const auto persistence = [&] { return static_cast<int>(random() % 3) + 1; };
  ModelValue power{kPower, {}, {}, {}, persistence()};
  for (const char* state : {"EMERGENCY", "7", "BOOT"}) {
    if (random() % 2 == 0) {
      power.red.insert(state);
    }
  }
  for (const char* state : {"POWERSAFE", "CHARGE"}) {
    if (random() % 2 == 0) {
      power.yellow.insert(state);
    }
  }
  values.push_back(power);
  ModelValue battery{kBattery, {}, {}, {}, persistence()};
  RandomBounds(random, battery, 3.0, 4.4);
  // The EPS's own thresholds as bounds, most of the time.
  if (random() % 4 != 0) {
    battery.bounds[0] = {true, 0, kEm};
  }
  if (random() % 4 != 0) {
    battery.bounds[1] = {true, 0, kPsm};
  }
  values.push_back(battery);
  ModelValue temp{kTemp, {}, {}, {}, persistence()};
  RandomBounds(random, temp, -10, 50);
  values.push_back(temp);
  ModelValue quaternion{kQuaternion, {}, {}, {}, persistence()};
  RandomBounds(random, quaternion, -1.5, 1.5);
  values.push_back(quaternion);
  return values;
}

void PutFloat(testing::Bytes& info, std::size_t at, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 4; ++i) {
    info[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (24 - 8 * i));
  }
}

// Passes an hour apart, frames 5 to 90 s apart within one; EPS/TCS with COM or ADCS, or ADCS
// alone (a frame without the EPS/TCS values).
std::vector<HeardFrame> RandomPasses(std::mt19937& random) {
  std::vector<HeardFrame> frames;
  QDateTime time = QDateTime(QDate(2026, 5, 1), QTime(10, 0), Qt::UTC);
  std::uint16_t number = static_cast<std::uint16_t>(random() % 1000);
  const int passes = 2 + static_cast<int>(random() % 3);
  for (int pass = 0; pass < passes; ++pass) {
    const int count = 5 + static_cast<int>(random() % 40);
    for (int f = 0; f < count; ++f) {
      testing::Bytes info = testing::Information(++number, 'S');
      const int kind = static_cast<int>(random() % 8);
      info[6] = kind == 0 ? 0 : 41;
      info[70] = kind <= 2 ? 64 : 20;
      info[27] = static_cast<std::uint8_t>(150 + random() % 80);  // 2.9 .. 4.5 V
      info[44] = static_cast<std::uint8_t>(172 + random() % 12);  // 3.4 .. 3.6 V
      info[45] = static_cast<std::uint8_t>(162 + random() % 12);  // 3.2 .. 3.4 V
      info[38] = static_cast<std::uint8_t>(static_cast<int>(random() % 70) - 15);
      constexpr std::uint8_t kPowerBytes[] = {0, 0, 1, 2, 3, 7, 255};
      info[10] = kPowerBytes[random() % std::size(kPowerBytes)];
      const float quaternion =
          random() % 6 == 0 ? NAN
                            : static_cast<float>(static_cast<int>(random() % 300) - 150) / 100.0f;
      PutFloat(info, 102, quaternion);
      const int heard = 1 + static_cast<int>(random() % 3);
      frames.push_back({info, time, (heard & 1) != 0, (heard & 2) != 0});
      time = time.addSecs(5 + static_cast<int>(random() % 86));
    }
    time = time.addSecs(3600);
  }
  return frames;
}

QString WriteDownload(const QString& name, const std::vector<HeardFrame>& frames, bool first) {
  QByteArray csv = "timestamp|frame\r\n";
  for (const HeardFrame& frame : frames) {
    if (first ? frame.byFirst : frame.bySecond) {
      const testing::Bytes kiss = testing::BuildFrame(frame.info);
      const QByteArray ax25(reinterpret_cast<const char*>(kiss.data()) + 1,
                            static_cast<qsizetype>(kiss.size() - 1));
      csv += frame.heard.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + "|" +
             ax25.toHex() + "\r\n";
    }
  }
  const QString path = testing::TestFolder() + "/" + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(csv);
  return path;
}

// The cells of a CSV line, quotes undone.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      cells.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

// What the window shows for the power level.
std::string PowerText(double value) {
  const std::map<double, std::string> words{
      {0, "NOMINAL"}, {1, "POWERSAFE"}, {2, "EMERGENCY"}, {3, "CHARGE"}, {255, "BOOT"}};
  const auto word = words.find(value);
  return word != words.end() ? word->second : std::to_string(static_cast<int>(value));
}

// The model: a loop over the export's rows, each value's state by hand, persistence by
// counting, an episode per run of one direction within a pass (a gap of over ten minutes).
std::vector<std::string> ModelEpisodes(const std::string& exported,
                                       const std::vector<ModelValue>& values) {
  struct Run {
    std::string direction;  // empty: none open
    int worst = 0;          // 1 yellow, 2 red
    std::string first, last, worstValue;
    double extreme = NAN;
    int frames = 0;
    int firstIndex = 0;
    std::set<std::string> stations;
  };
  struct Held {
    std::pair<int, std::string> reported{0, ""}, pending{0, ""};
    int count = 0;
    Run run;
  };
  std::vector<std::string> lines = Lines(exported);
  const std::vector<std::string> header = Cells(lines.front());
  const std::size_t firstValue = header.size() - 3 - kParameterCount;
  std::vector<std::pair<std::pair<int, int>, std::string>> pass;  // (first index, row), line
  std::vector<std::string> episodes;
  std::vector<Held> held(values.size());
  const auto closeRun = [&](Held& h, int row) {
    if (h.run.direction.empty()) {
      return;
    }
    std::string stations;
    for (const std::string& station : h.run.stations) {
      stations += (stations.empty() ? "" : "; ") + station;
    }
    pass.push_back({{h.run.firstIndex, row},
                    ValueName(row) + "," + h.run.direction + "," +
                        (h.run.worst == 2 ? "red" : "yellow") + "," + h.run.first + "," +
                        h.run.last + "," + std::to_string(h.run.frames) + "," + h.run.worstValue +
                        "," + stations});
    h.run = Run{};
  };
  const auto endPass = [&] {
    for (std::size_t v = 0; v < values.size(); ++v) {
      closeRun(held[v], values[v].row);
      held[v] = Held{};
    }
    std::sort(pass.begin(), pass.end());
    for (const auto& [key, line] : pass) {
      episodes.push_back(line);
    }
    pass.clear();
  };
  std::int64_t previous = 0;
  int index = 0;
  for (std::size_t l = 1; l < lines.size(); ++l) {
    const std::vector<std::string> cells = Cells(lines[l]);
    const std::string time = cells[cells.size() - 3];
    const std::int64_t seconds =
        QDateTime::fromString(QString::fromStdString(time), Qt::ISODate).toSecsSinceEpoch();
    if (l > 1 && seconds - previous > 600) {
      endPass();
      index = 0;
    }
    previous = seconds;
    std::set<std::string> stations;
    std::istringstream stationList(cells.back());
    for (std::string station; std::getline(stationList, station, ';');) {
      stations.insert(station.substr(station.front() == ' ' ? 1 : 0));
    }
    const auto cell = [&](int row) { return cells[firstValue + static_cast<std::size_t>(row)]; };
    for (std::size_t v = 0; v < values.size(); ++v) {
      const ModelValue& value = values[v];
      if (cell(value.row).empty()) {
        continue;
      }
      const double reading = std::stod(cell(value.row));
      std::pair<int, std::string> raw{0, ""};
      if (std::isnan(reading)) {
        raw = {2, "state"};
      } else if (!value.red.empty() || !value.yellow.empty()) {
        const std::string text = PowerText(reading);
        raw = value.red.count(text)      ? std::pair(2, std::string("state"))
              : value.yellow.count(text) ? std::pair(1, std::string("state"))
                                         : raw;
      } else {
        const auto limit = [&](int k) -> double {
          const ModelBound& bound = value.bounds[static_cast<std::size_t>(k)];
          if (!bound.given) {
            return NAN;
          }
          return bound.otherRow < 0 ? bound.number : std::stod(cell(bound.otherRow));
        };
        if (reading < limit(0)) {
          raw = {2, "low"};
        } else if (reading < limit(1)) {
          raw = {1, "low"};
        } else if (reading > limit(3)) {
          raw = {2, "high"};
        } else if (reading > limit(2)) {
          raw = {1, "high"};
        }
      }
      Held& h = held[v];
      if (raw == h.reported) {
        h.count = 0;
      } else {
        h.count = raw == h.pending && h.count > 0 ? h.count + 1 : 1;
        h.pending = raw;
        if (h.count >= value.persistence) {
          h.reported = raw;
          h.count = 0;
        }
      }
      const auto& [level, direction] = h.reported;
      if (level == 0 || direction != h.run.direction) {
        closeRun(h, value.row);
      }
      if (level == 0) {
        continue;
      }
      Run& run = h.run;
      if (run.direction.empty()) {
        run.direction = direction;
        run.first = time;
        run.firstIndex = index;
      }
      run.last = time;
      ++run.frames;
      run.stations.insert(stations.begin(), stations.end());
      if (direction == "state") {
        if (level > run.worst) {
          run.worstValue = std::isnan(reading) ? "NaN" : PowerText(reading);
        }
      } else if (!std::isnan(reading) &&
                 (std::isnan(run.extreme) ||
                  (direction == "low" ? reading < run.extreme : reading > run.extreme))) {
        run.extreme = reading;
        run.worstValue = cell(value.row);
      }
      run.worst = std::max(run.worst, level);
    }
    ++index;
  }
  endPass();
  return episodes;
}

class ArchiveEvents : public ::testing::TestWithParam<ArchiveEngine> {};

TEST_P(ArchiveEvents, AreTheEpisodesOfAPlainLoopOverTheExport) {
  const int trials = GetParam() == ArchiveEngine::kSqlite ? 12 : 5;
  std::int64_t episodesSeen = 0;
  std::int64_t nanEpisodes = 0;
  for (int trial = 0; trial < trials; ++trial) {
    const unsigned seed = 20261208u + static_cast<unsigned>(trial);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::vector<HeardFrame> frames = RandomPasses(random);
    const std::vector<ModelValue> model = RandomLimits(random);
    const LimitsLoad limits = ParseLimits(LimitsText(model), "random.toml");
    ASSERT_TRUE(limits.limits) << limits.error.Text() << "\n" << LimitsText(model);
    Archive archive;
    ASSERT_TRUE(archive.Open(testing::FreshArchive(GetParam()))) << archive.Error().toStdString();
    const QString tag = QString::number(seed) + (GetParam() == ArchiveEngine::kSqlite ? "s" : "p");
    for (const bool first : {true, false}) {
      const QString path =
          WriteDownload("events-" + tag + (first ? "-a.csv" : "-b.csv"), frames, first);
      const ImportOutcome outcome = ImportFile(archive, path, first ? "XQ1AAA" : "XQ2BBB");
      ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
    }
    ExportRange range;
    if (trial % 2 == 1) {
      // A range that cuts into passes: episodes start afresh where it begins.
      const auto pick = [&] {
        return frames[random() % frames.size()].heard.addSecs(static_cast<int>(random() % 3));
      };
      range = {pick(), pick()};
      if (*range.from > *range.to) {
        std::swap(range.from, range.to);
      }
    }
    std::ostringstream exported, events;
    ASSERT_TRUE(ExportArchive(archive, range, ArchiveFormat::kCsv, exported))
        << archive.Error().toStdString();
    ASSERT_TRUE(WriteEvents(archive, *limits.limits, range, ArchiveFormat::kCsv, events))
        << archive.Error().toStdString();
    std::vector<std::string> listed = Lines(events.str());
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.front(), kEventsCsvHeader);
    listed.erase(listed.begin());
    const std::vector<std::string> expected = ModelEpisodes(exported.str(), model);
    EXPECT_EQ(listed, expected) << LimitsText(model);
    episodesSeen += static_cast<std::int64_t>(expected.size());
    nanEpisodes += std::count_if(expected.begin(), expected.end(), [](const std::string& line) {
      return line.find(",state,red,") != std::string::npos &&
             line.find(",NaN,") != std::string::npos;
    });
  }
  EXPECT_GT(episodesSeen, trials * 3) << "the random series should go beyond their limits";
  EXPECT_GT(nanEpisodes, 0) << "some NaN readings should have held for their persistence";
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveEvents,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
