// Limits on the Trends chart: bands painted in a value's own axis beyond its number bounds
// and none for a value without limits, the column extremes beyond a bound marked by level and
// direction (painted over the curve, named in the hover text), and a bound naming another
// value followed through that value's own tiles, which the chart asks to have read.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "limits/limits_file.h"
#include "ui/limits/limit_look.h"
#include "ui/trends/trend_chart.h"

namespace quilmar {
namespace {

constexpr int kBatteryVolts = 18;
constexpr int kTempBattery = 29;  // no limits in the file below
constexpr int kLimitVoltEm = 36;

constexpr char kLimits[] = R"([eps_tcs_battery_volts]
red_low = 3.0
yellow_low = 3.5
yellow_high = 4.0
red_high = 4.3
)";

constexpr char kFollowingLimits[] = R"([eps_tcs_battery_volts]
red_low = "eps_tcs_limit_volt_em"
yellow_high = 4.0
)";

std::shared_ptr<const LimitSet> Limits(const char* text) {
  LimitsLoad load = ParseLimits(text, "test.toml");
  EXPECT_TRUE(load.limits.has_value()) << load.error.Text();
  return std::make_shared<const LimitSet>(load.limits.value_or(LimitSet()));
}

// A column per pair (time, low, high) in the frame tile the view of [0, 300] s is painted from.
std::vector<std::pair<TileKey, Tile>> TilesOf(int row,
                                              const std::vector<std::array<double, 3>>& columns) {
  Tile tile;
  for (const auto& [time, low, high] : columns) {
    tile.points.push_back({time, low, high, time});
  }
  return {{TileKey{row, kFrameRung, 0}, tile}};
}

// The series of battery volts: spread from 2.8 to 4.5 V over the view.
const std::vector<std::array<double, 3>> kVolts = {
    {20, 3.8, 3.8},  {60, 4.1, 4.1},  {100, 4.5, 4.5}, {140, 3.2, 3.9},
    {180, 2.8, 2.8}, {220, 3.9, 3.9}, {240, 4.0, 4.0}, {260, 3.7, 3.7}};

struct Charted {
  TrendChart chart;
  QImage picture;
  // The pixel row of a value in curve index's axis.
  int YOf(int index, double value) const {
    const QRect plot = chart.PlotRect();
    const auto [low, high] = chart.ValueAxis(index);
    return static_cast<int>(
        std::lround(plot.bottom() - (value - low) / (high - low) * plot.height()));
  }
};

std::unique_ptr<Charted> Chart(int row, const char* limits) {
  auto charted = std::make_unique<Charted>();
  TrendChart& chart = charted->chart;
  chart.resize(800, 400);
  chart.SetLimits(Limits(limits));
  TrendCurve curve;
  curve.parameterRow = row;
  curve.colour = Qt::blue;
  chart.AddCurve(curve, TilesOf(row, kVolts));
  chart.SetView(0, 300);
  charted->picture = chart.grab().toImage();
  return charted;
}

// Whether a pixel is the limit colour laid over the white plot (the bands let it through).
bool Tinted(QColor pixel, QColor limit) {
  const QColor white(Qt::white);
  // The band is the limit colour at some 27 % over white: each channel that the limit colour
  // lowers is lowered, each it keeps is kept.
  for (const auto& [seen, wanted] : {std::pair(pixel.red(), limit.red()),
                                     {pixel.green(), limit.green()},
                                     {pixel.blue(), limit.blue()}}) {
    const int expected = 255 - (255 - wanted) * 70 / 255;
    if (std::abs(seen - expected) > 4) {
      return false;
    }
  }
  return pixel != white;
}

TEST(TrendChartLimits, BandsLieBeyondTheNumberBoundsOfAValueWithLimitsOnly) {
  struct Case {
    const char* name;
    int row;
    double value;     // a value on the axis, at the left edge where no curve passes
    QColor expected;  // the band's colour there; invalid: no band, the plot's white
  };
  const Case cases[] = {
      {"beyond red high", kBatteryVolts, 4.4, kLimitRed},
      {"between yellow and red high", kBatteryVolts, 4.15, kLimitYellow},
      {"within limits", kBatteryVolts, 3.75, QColor()},
      {"between red and yellow low", kBatteryVolts, 3.25, kLimitYellow},
      {"beyond red low", kBatteryVolts, 2.9, kLimitRed},
      {"a value without limits, high", kTempBattery, 4.4, QColor()},
      {"a value without limits, low", kTempBattery, 2.9, QColor()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::unique_ptr<Charted> charted = Chart(c.row, kLimits);
    const int x = charted->chart.PlotRect().left() + 5;
    const QColor pixel = charted->picture.pixelColor(x, charted->YOf(0, c.value));
    if (c.expected.isValid()) {
      EXPECT_TRUE(Tinted(pixel, c.expected)) << pixel.name().toStdString();
    } else {
      EXPECT_EQ(pixel, QColor(Qt::white)) << pixel.name().toStdString();
    }
    EXPECT_EQ(charted->chart.CurveLimits(0).bounds.size(), c.row == kBatteryVolts ? 4u : 0u);
  }
}

TEST(TrendChartLimits, ExtremesBeyondABoundAreMarkedByLevelAndDirection) {
  const std::unique_ptr<Charted> charted = Chart(kBatteryVolts, kLimits);
  struct Mark {
    double time;
    double value;
    LimitLevel level;
    LimitDirection direction;
  };
  // 4.1 is above yellow high only; 4.5 above red high; the column of 140 s reaches below
  // yellow low with its lowest while its highest is within; 2.8 is below red low; 3.7, 3.8
  // and 3.9 are within, and 4.0 is on the yellow high bound, not beyond it.
  const std::vector<Mark> expected = {
      {60, 4.1, LimitLevel::kYellow, LimitDirection::kHigh},
      {100, 4.5, LimitLevel::kRed, LimitDirection::kHigh},
      {140, 3.2, LimitLevel::kYellow, LimitDirection::kLow},
      {180, 2.8, LimitLevel::kRed, LimitDirection::kLow},
  };
  const std::vector<TrendLimitMark>& marks = charted->chart.CurveLimits(0).marks;
  ASSERT_EQ(marks.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(marks[i].time, expected[i].time);
    EXPECT_EQ(marks[i].value, expected[i].value);
    EXPECT_EQ(marks[i].level, expected[i].level);
    EXPECT_EQ(marks[i].direction, expected[i].direction);
    // Painted over the curve in the level's colour, the direction given by the shape: the
    // triangle's broad side lies away from its point, so a pixel just inside it toward the
    // broad side is filled, and one as far the other way is outside it.
    const TrendChart& chart = charted->chart;
    const QRect plot = chart.PlotRect();
    const int x =
        static_cast<int>(std::lround(plot.left() + expected[i].time / 300.0 * plot.width()));
    const int y = charted->YOf(0, expected[i].value);
    const int broad = expected[i].direction == LimitDirection::kHigh ? 2 : -2;
    EXPECT_EQ(charted->picture.pixelColor(x + 1, y + broad), LimitColour(expected[i].level));
    EXPECT_NE(charted->picture.pixelColor(x + 3, y - 2 * broad), LimitColour(expected[i].level));
    // The hover text names the bound passed.
    const QString hover = chart.HoverText(QPointF(x, y));
    EXPECT_TRUE(
        hover.contains(QLatin1String(expected[i].level == LimitLevel::kRed ? "red" : "yellow")))
        << hover.toStdString();
    EXPECT_TRUE(hover.contains(QLatin1String("test.toml"))) << hover.toStdString();
  }
}

// A bound naming another value is drawn from that value's own series: the chart asks for its
// tiles with the curve's, keeps them when read, and drops them from what it still lacks.
TEST(TrendChartLimits, ABoundNamingAnotherValueFollowsThatValuesTiles) {
  const std::unique_ptr<Charted> charted = Chart(kBatteryVolts, kFollowingLimits);
  TrendChart& chart = charted->chart;
  const TrendCurveLimits& before = chart.CurveLimits(0);
  ASSERT_EQ(before.followed.size(), 1u);
  EXPECT_EQ(before.followed[0].otherRow, kLimitVoltEm);
  EXPECT_TRUE(before.followed[0].points.empty());
  const std::vector<TileKey> missing = chart.MissingTiles();
  EXPECT_TRUE(std::any_of(missing.begin(), missing.end(),
                          [](const TileKey& key) { return key.parameterRow == kLimitVoltEm; }));
  chart.PutTiles(TilesOf(kLimitVoltEm, {{20, 3.3, 3.3}, {140, 3.3, 3.3}, {260, 3.3, 3.3}}));
  const TrendCurveLimits& after = chart.CurveLimits(0);
  ASSERT_EQ(after.followed.size(), 1u);
  EXPECT_EQ(after.followed[0].points.size(), 3u);
  EXPECT_TRUE(chart.Refined());
  // The dashed line at the named value's reading: its colour across the plot at 3.3 V.
  const QImage picture = chart.grab().toImage();
  const int y = charted->YOf(0, 3.3);
  const QRect plot = chart.PlotRect();
  int dashed = 0;
  for (int x = plot.left() + 1; x < plot.right(); ++x) {
    for (int dy = -1; dy <= 1; ++dy) {
      const QColor pixel = picture.pixelColor(x, y + dy);
      dashed += pixel.red() > 180 && pixel.green() < 120 && pixel.blue() < 120 ? 1 : 0;
    }
  }
  EXPECT_GT(dashed, 20);
}

}  // namespace
}  // namespace quilmar
