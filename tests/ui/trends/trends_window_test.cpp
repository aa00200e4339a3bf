// The Trends window on a small SQLite archive of two passes: charting and unticking a
// parameter, gaps and extremes in what is drawn, zoom, pan, box zoom and double-click, a
// zoom painted from a coarser tile until the finer one is read, the hover text with its
// stations, a click on a column's extreme, the filter box, the range fields, frames added
// while the window is open (also across a PostgreSQL restart), an archive that is not there,
// and one another program holds locked, which never holds the window.
#include "ui/trends/trends_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QVariant>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>

#include "archive/archive.h"
#include "archive/trend_overview.h"
#include "tests/archive/test_archives.h"
#include "ui/trends/tile_read.h"
#include "ui/trends/trend_chart.h"

namespace quilmar {
namespace {

constexpr int kBatteryVolts = 18;
const double kFirstPass =
    static_cast<double>(QDateTime(QDate(2026, 7, 15), QTime(19, 0), Qt::UTC).toSecsSinceEpoch());
const double kSecondPass = kFirstPass + 3 * 3600;
constexpr double kSpike = 4.6;
constexpr int kSpikeFrame = 31;  // of the first pass, ten seconds apart
constexpr int kCorrelatedAfterSpike = 2;

// 60 frames of a pass from start, ten seconds apart, numbered from firstIndex; the frame
// numbered spikeIndex carries a spike and an estimated time, the second after it a clock
// correlated with ground time. Each frame is received by the stations given, in that order,
// each station a source of its own.
bool AddPass(const ArchiveLocation& location, int firstIndex, double start,
             const QStringList& stations, int spikeIndex = -1) {
  Archive archive;
  if (!archive.Open(location)) {
    return false;
  }
  QSqlQuery insert(archive.Database());
  insert.prepare(
      "INSERT INTO frame (id, digest, bytes, time_utc, time_ms, time_kind, clock_estimated,"
      " frame_number, frame_type, eps_tcs_battery_volts) VALUES (?, ?, 'x', ?, ?, ?, 0, ?, 'S', "
      "?)");
  QSqlQuery source(archive.Database());
  source.prepare(
      "INSERT INTO source (id, kind, name, station, added_at)"
      " VALUES (?, 'kss', ?, ?, '2026-07-16T00:00:00Z')");
  QSqlQuery reception(archive.Database());
  reception.prepare(
      "INSERT INTO reception (source_id, position, frame_id, station) VALUES (?, ?, ?, ?)");
  for (int s = 0; s < stations.size(); ++s) {
    source.addBindValue(firstIndex + s + 1);
    source.addBindValue(stations[s] + ".kss");
    source.addBindValue(stations[s]);
    if (!source.exec()) {
      return false;
    }
  }
  for (int i = firstIndex; i < firstIndex + 60; ++i) {
    const double time = start + (i - firstIndex) * 10;
    const bool spike = i == spikeIndex;
    insert.addBindValue(i + 1);
    insert.addBindValue(QByteArray::number(i));
    insert.addBindValue(
        QDateTime::fromSecsSinceEpoch(static_cast<qint64>(time), Qt::UTC).toString(Qt::ISODate));
    insert.addBindValue(static_cast<qint64>(time * 1000));
    insert.addBindValue(spike ? "estimated"
                        : spikeIndex >= 0 && i == spikeIndex + kCorrelatedAfterSpike
                            ? "correlated"
                            : "spacecraft");
    insert.addBindValue(i);
    insert.addBindValue(spike ? kSpike : 3.9 + 0.001 * (i % 7));
    if (!insert.exec()) {
      return false;
    }
    for (int s = 0; s < stations.size(); ++s) {
      reception.addBindValue(firstIndex + s + 1);
      reception.addBindValue(i);
      reception.addBindValue(i + 1);
      reception.addBindValue(stations[s]);
      if (!reception.exec()) {
        return false;
      }
    }
  }
  // The pass as an import would list it.
  QSqlQuery pass(archive.Database());
  pass.prepare(
      "INSERT INTO pass (start_utc, end_utc, start_ms, end_ms, frames, missing, missing_ranges,"
      " stations, clock_offset_s) VALUES (?, ?, ?, ?, 60, 0, '', ?, NULL)");
  const auto end = static_cast<qint64>(start) + 590;
  pass.addBindValue(
      QDateTime::fromSecsSinceEpoch(static_cast<qint64>(start), Qt::UTC).toString(Qt::ISODate));
  pass.addBindValue(QDateTime::fromSecsSinceEpoch(end, Qt::UTC).toString(Qt::ISODate));
  pass.addBindValue(static_cast<qint64>(start) * 1000);
  pass.addBindValue(end * 1000);
  pass.addBindValue(stations.join(", "));
  return pass.exec() && RebuildTrendHours(archive);
}

// Two passes of 60 frames, three hours apart; one frame of the first carries a spike and an
// estimated time. Two stations heard the first pass, one of them twice; one the second.
bool FillArchive(const ArchiveLocation& location) {
  return AddPass(location, 0, kFirstPass, {"W6XYZ", "DL1ABC", "DL1ABC"}, kSpikeFrame) &&
         AddPass(location, 60, kSecondPass, {"W6XYZ"});
}

// Waits until every curve is painted from tiles of the view's own width.
bool Refines(const TrendsWindow& window) {
  return QTest::qWaitFor([&] { return window.PendingReads() == 0 && window.Chart()->Refined(); },
                         20000);
}

// The drawn points of the first curve whose first frame lies in [from, to].
std::vector<DrawnPoint> DrawnWithin(const TrendChart& chart, double from, double to) {
  std::vector<DrawnPoint> within;
  if (chart.CurveCount() > 0) {
    for (const DrawnPoint& point : chart.DrawnPoints(0)) {
      if (point.time >= from && point.time <= to) {
        within.push_back(point);
      }
    }
  }
  return within;
}

// Waits until the first curve draws a point of the pass that began at start, from tiles of the
// view's width (a window that looks for new frames all the time has reads under way).
bool DrawsPass(const TrendsWindow& window, double start) {
  return QTest::qWaitFor(
      [&] {
        return window.Chart()->Refined() &&
               !DrawnWithin(*window.Chart(), start, start + 590).empty();
      },
      20000);
}

// Waits until every read of the archive the window began has answered.
bool ReadsSettle(const TrendsWindow& window) {
  return QTest::qWaitFor([&] { return window.PendingReads() == 0; }, 20000);
}

bool Charted(const TrendsWindow& window, int curves) {
  return QTest::qWaitFor([&] { return window.Chart()->CurveCount() == curves; }, 20000);
}

class TrendsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    location.path = folder.filePath("trends.sqlite");
    location.display = location.path;
    ASSERT_TRUE(FillArchive(location));
    window = std::make_unique<TrendsWindow>(location);
    window->resize(1100, 600);
    window->show();
    window->ShowParameter(kBatteryVolts, true);
    ASSERT_TRUE(Charted(*window, 1));
    firstLevel = Chart().DrawnLevel(0);
    firstDrawn = Chart().DrawnPoints(0);
    ASSERT_TRUE(Refines(*window));
  }

  TrendChart& Chart() { return *window->Chart(); }

  void SendMouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, at, Chart().mapToGlobal(at), Qt::LeftButton, buttons, modifiers);
    QCoreApplication::sendEvent(&Chart(), &event);
  }

  QTemporaryDir folder;
  ArchiveLocation location;
  std::unique_ptr<TrendsWindow> window;
  SeriesLevel firstLevel = SeriesLevel::kHour;  // as first charted
  std::vector<DrawnPoint> firstDrawn;
};

// The whole archive is three hours: its columns are narrower than a minute, so the first
// chart already shows the frames, spike and all.
TEST_F(TrendsWindowTest, FirstChartIsTheViewsOwnTilesAndKeepsTheSpike) {
  EXPECT_EQ(firstLevel, SeriesLevel::kFrame);
  EXPECT_TRUE(
      std::any_of(firstDrawn.begin(), firstDrawn.end(), [](auto& p) { return p.high == kSpike; }));
  EXPECT_TRUE(Chart().Refined());
  EXPECT_EQ(Chart().DrawnPoints(0).size(), 120u);  // a column of its own for every frame
}

TEST_F(TrendsWindowTest, DrawsEveryExtremeAndBreaksTheLineAtThePassGap) {
  ASSERT_EQ(Chart().CurveCount(), 1);
  const auto& drawn = Chart().DrawnPoints(0);
  EXPECT_LE(drawn.size(), 2u * Chart().PlotRect().width());
  EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](auto& p) { return p.high == kSpike; }));
  EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(), [](auto& p) { return p.startsLine; }), 2);

  window->ShowParameter(kBatteryVolts, false);
  EXPECT_EQ(Chart().CurveCount(), 0);
}

// Sixty days around the two passes: columns of an hour or more.
void ShowSixtyDays(TrendChart& chart) {
  chart.SetView(kFirstPass - 30 * 86400.0, kFirstPass + 30 * 86400.0);
}

// A zoom from months to minutes is painted at once from the hour's tile held, spike and all,
// while the frames are read; once they are in, each frame is a point of its own.
TEST_F(TrendsWindowTest, AZoomPaintsTheCoarseLevelFirstAndTheFineOneOnceRead) {
  // Charted anew over sixty days: the only tiles held are of hours.
  window->ShowParameter(kBatteryVolts, false);
  ShowSixtyDays(Chart());
  window->ShowParameter(kBatteryVolts, true);
  ASSERT_TRUE(Charted(*window, 1));
  ASSERT_TRUE(Refines(*window));
  ASSERT_EQ(Chart().DrawnLevel(0), SeriesLevel::kHour);
  auto open = std::make_shared<std::atomic<bool>>(false);
  window->SetTileReader([open](Archive& archive, const TileKey& first, int count) {
    while (!*open) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return ReadTiles(archive, first, count);
  });
  Chart().SetView(kFirstPass, kFirstPass + 600);
  for (const int wait : {0, 200}) {
    SCOPED_TRACE(wait);
    QTest::qWait(wait);
    EXPECT_EQ(Chart().DrawnLevel(0), SeriesLevel::kHour);
    EXPECT_FALSE(Chart().Refined());
    const auto& drawn = Chart().DrawnPoints(0);
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](auto& p) { return p.high == kSpike; }));
  }
  *open = true;
  ASSERT_TRUE(Refines(*window));
  EXPECT_EQ(Chart().DrawnLevel(0), SeriesLevel::kFrame);
  const auto& drawn = Chart().DrawnPoints(0);
  EXPECT_EQ(drawn.size(), 60u);
  EXPECT_TRUE(std::all_of(drawn.begin(), drawn.end(), [](auto& p) { return p.key > 0; }));
}

// Where a column sums up many frames, its hover text names its span and extremes, and a click
// on its highest or lowest value opens the frame that carries it, looked up in the background.
TEST_F(TrendsWindowTest, AClickOnAColumnsExtremeOpensTheFrameThatCarriesIt) {
  ShowSixtyDays(Chart());
  ASSERT_TRUE(Refines(*window));
  struct Case {
    const char* name;
    bool highest;
    std::int64_t key;
    double time;
  };
  const Case cases[] = {
      {"highest", true, kSpikeFrame + 1, kFirstPass + kSpikeFrame * 10},
      {"lowest, the earliest of equal ones", false, 1, kFirstPass},
  };
  const auto& drawn = Chart().DrawnPoints(0);
  const auto hour =
      std::find_if(drawn.begin(), drawn.end(), [](auto& p) { return p.high == kSpike; });
  ASSERT_NE(hour, drawn.end());
  const QRect plot = Chart().PlotRect();
  const auto [low, high] = Chart().ValueAxis(0);
  const double x = plot.left() + (hour->time - Chart().ViewFrom()) /
                                     (Chart().ViewTo() - Chart().ViewFrom()) * plot.width();
  QSignalSpy clicked(&Chart(), &TrendChart::pointClicked);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double value = c.highest ? hour->high : hour->low;
    const QPointF at(x, plot.bottom() - (value - low) / (high - low) * plot.height());
    const QString text = Chart().HoverText(at);
    EXPECT_TRUE(text.contains("2026-07-15 19:00:00 UTC to 2026-07-15 20:00:00 UTC"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(c.highest ? "frame of the highest" : "frame of the lowest"))
        << text.toStdString();
    clicked.clear();
    SendMouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicked.size() == 1; }, 20000));
    const auto point = clicked[0][0].value<TrendPointRef>();
    EXPECT_EQ(point.key, c.key);
    EXPECT_DOUBLE_EQ(point.time, c.time);
  }
}

TEST_F(TrendsWindowTest, WheelZoomsAboutTheCursorDragPansDoubleClickShowsAll) {
  const QRect plot = Chart().PlotRect();
  const double fullFrom = Chart().ViewFrom(), fullTo = Chart().ViewTo();
  const QPointF at(plot.left() + plot.width() / 4.0, plot.center().y());
  const double anchor = fullFrom + (fullTo - fullFrom) / 4;

  QWheelEvent wheel(at, Chart().mapToGlobal(at), {}, {0, 240}, Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&Chart(), &wheel);
  const double span = Chart().ViewTo() - Chart().ViewFrom();
  EXPECT_NEAR(span, (fullTo - fullFrom) * 0.64, 1.0);
  EXPECT_NEAR(Chart().ViewFrom() + span / 4, anchor, 1.0) << "the time under the cursor moved";

  // Dragging a quarter of the plot to the right shows a quarter of the span earlier.
  const double from = Chart().ViewFrom();
  SendMouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
  SendMouse(QEvent::MouseMove, at + QPointF(plot.width() / 4.0, 0), Qt::LeftButton);
  SendMouse(QEvent::MouseButtonRelease, at + QPointF(plot.width() / 4.0, 0), Qt::NoButton);
  EXPECT_NEAR(Chart().ViewFrom(), from - span / 4, 1.0);
  EXPECT_NEAR(Chart().ViewTo() - Chart().ViewFrom(), span, 1e-6);

  SendMouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(Chart().ViewFrom(), fullFrom);
  EXPECT_DOUBLE_EQ(Chart().ViewTo(), fullTo);
}

TEST_F(TrendsWindowTest, HoverNamesTimeValueTimeKindAndStations) {
  Chart().SetView(kFirstPass, kFirstPass + 600);
  ASSERT_TRUE(Refines(*window));  // each frame a point of its own, with its key
  const QRect plot = Chart().PlotRect();
  const double spikeTime = kFirstPass + kSpikeFrame * 10;
  const double x = plot.left() + (spikeTime - kFirstPass) / 600 * plot.width();
  // The spike is the highest value: the top of the plot, inside the axis margin.
  const double y = plot.top() + plot.height() * 0.05 / 1.1;
  // The stations are read in the background; the hover text says so until they are in.
  EXPECT_TRUE(Chart().HoverText(QPointF(x, y)).contains("stations: reading...\n"));
  ASSERT_TRUE(ReadsSettle(*window));
  const QString text = Chart().HoverText(QPointF(x, y));
  EXPECT_TRUE(text.contains("2026-07-15 19:05:10 UTC")) << text.toStdString();
  EXPECT_TRUE(text.contains("Battery Volts (EPS/TCS): 4.6 V")) << text.toStdString();
  EXPECT_TRUE(text.contains("time: estimated")) << text.toStdString();
  EXPECT_TRUE(text.contains("stations: DL1ABC, W6XYZ\n")) << text.toStdString();
  EXPECT_TRUE(Chart().HoverText(QPointF(x, plot.bottom() - 2)).isEmpty());
  // A clock carried onto ground time says so: found down the column of its time.
  const double correlatedX = x + kCorrelatedAfterSpike * 10.0 / 600 * plot.width();
  QString correlated;
  for (int down = plot.top(); down <= plot.bottom() && correlated.isEmpty(); ++down) {
    correlated = Chart().HoverText(QPointF(correlatedX, down));
  }
  ASSERT_TRUE(ReadsSettle(*window));
  EXPECT_TRUE(correlated.contains("2026-07-15 19:05:30 UTC")) << correlated.toStdString();
  EXPECT_TRUE(correlated.contains("time: correlated\n")) << correlated.toStdString();

  // The stations are asked for once per hovered point, not at every move over it.
  int lookups = 0;
  Chart().SetStationLookup([&](std::int64_t) {
    ++lookups;
    return std::optional<QStringList>(QStringList{"N0CALL"});
  });
  for (double dx : {0.0, 1.0, -1.0}) {
    EXPECT_TRUE(Chart().HoverText(QPointF(x + dx, y)).contains("stations: N0CALL"));
  }
  EXPECT_EQ(lookups, 1);

  // A click on the spike names its frame; a drag that starts there only pans.
  QSignalSpy clicked(&Chart(), &TrendChart::pointClicked);
  SendMouse(QEvent::MouseButtonPress, QPointF(x, y), Qt::LeftButton);
  SendMouse(QEvent::MouseButtonRelease, QPointF(x + 1, y), Qt::NoButton);
  ASSERT_EQ(clicked.size(), 1);
  const auto point = clicked[0][0].value<TrendPointRef>();
  EXPECT_DOUBLE_EQ(point.time, spikeTime);
  EXPECT_EQ(point.key, kSpikeFrame + 1);  // keys count from 1 in the order of adding
  SendMouse(QEvent::MouseButtonPress, QPointF(x, y), Qt::LeftButton);
  SendMouse(QEvent::MouseMove, QPointF(x + 40, y), Qt::LeftButton);
  SendMouse(QEvent::MouseButtonRelease, QPointF(x + 40, y), Qt::NoButton);
  EXPECT_EQ(clicked.size(), 1);
}

// A pointer resting on a point keeps its hover text: past the moment the window asks the
// widget under it for a tip of its own, and past the few seconds a plain tip lasts.
TEST_F(TrendsWindowTest, HoverStaysWhileThePointerRests) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  Chart().SetView(kFirstPass, kFirstPass + 600);
  ASSERT_TRUE(Refines(*window));
  const QRect plot = Chart().PlotRect();
  const double x = plot.left() + (kSpikeFrame * 10.0) / 600 * plot.width();
  const QPoint spike(static_cast<int>(std::lround(x)),
                     static_cast<int>(std::lround(plot.top() + plot.height() * 0.05 / 1.1)));
  QTest::mouseMove(&Chart(), spike);
  // The hover text on screen is shown anew once the stations are in.
  ASSERT_TRUE(ReadsSettle(*window));
  const QString text = Chart().HoverText(spike);
  ASSERT_TRUE(text.contains("stations: DL1ABC, W6XYZ")) << text.toStdString();
  ASSERT_EQ(QToolTip::text(), text);
  // What the application sends the widget under a resting pointer.
  QHelpEvent rest(QEvent::ToolTip, spike, Chart().mapToGlobal(spike));
  QCoreApplication::sendEvent(&Chart(), &rest);
  for (const int wait : {1500, 1500, 9500}) {
    QTest::qWait(wait);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), text);
  }
}

TEST_F(TrendsWindowTest, FilterKeepsMatchingParametersAndTheirSections) {
  struct Case {
    const char* filter;
    const char* shown;
    const char* hidden;
    int sectionsShown;
  };
  const Case cases[] = {
      {"temp", "Temp Battery [C]", "Battery Volts [V]", 3},  // COM has no temperature
      {"CDHS", "Powerlevel", "Temp Battery [C]", 1},
      {"", "Battery Volts [V]", nullptr, 4},
  };
  QTreeWidget* list = window->ParameterList();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    window->FilterBox()->setText(c.filter);
    int sections = 0;
    for (int g = 0; g < list->topLevelItemCount(); ++g) {
      sections += list->topLevelItem(g)->isHidden() ? 0 : 1;
    }
    EXPECT_EQ(sections, c.sectionsShown);
    auto hidden = [&](const char* label) {
      const auto items = list->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
      return !items.isEmpty() && items.front()->isHidden();
    };
    EXPECT_FALSE(hidden(c.shown));
    if (c.hidden) {
      EXPECT_TRUE(hidden(c.hidden));
    }
  }
}

TEST(TrendsWindowArchive, MissingArchiveIsNamedAndNotCreated) {
  QTemporaryDir folder;
  ArchiveLocation location;
  location.path = folder.filePath("none.sqlite");
  location.display = location.path;
  TrendsWindow window(location);
  window.ShowParameter(kBatteryVolts, true);
  EXPECT_EQ(window.Chart()->CurveCount(), 0);
  window.PollArchive();
  ASSERT_TRUE(ReadsSettle(window));
  EXPECT_FALSE(QFileInfo::exists(location.path));
  // Instead of the engine's "no such file" over an axis of 1970, what to do.
  const QString status = window.StatusText();
  EXPECT_TRUE(status.contains("no archive at")) << status.toStdString();
  EXPECT_FALSE(status.contains("no such file")) << status.toStdString();
  const QImage shown = window.Chart()->grab().toImage();
  EXPECT_FALSE(window.RangeFrom()->isEnabled());
  EXPECT_EQ(window.RangeFrom()->text().trimmed(), "");
  // No tick labels under the plot: the strip below it is empty but for the word UTC.
  const QRect plot = window.Chart()->PlotRect();
  int inked = 0;
  for (int x = plot.left(); x < plot.left() + plot.width() / 3; ++x) {
    for (int y = plot.bottom() + 6; y < plot.bottom() + 22; ++y) {
      inked += shown.pixelColor(x, y) != shown.pixelColor(plot.left(), plot.bottom() + 30) ? 1 : 0;
    }
  }
  EXPECT_EQ(inked, 0) << "the time axis is labelled without any time";

  // Once frames are added (a log dropped here) the ticked parameter is charted.
  ASSERT_TRUE(AddPass(location, 0, kFirstPass, {"W6XYZ"}));
  window.PollArchive();
  ASSERT_TRUE(Charted(window, 1));
  EXPECT_TRUE(window.RangeFrom()->isEnabled());
}

// The CSV export holds exactly the values in view, with their kind, read from the archive as
// the chart holds only each column's extremes; each file the right-click menu saves is
// complete; a path that cannot be written is named with its reason.
TEST_F(TrendsWindowTest, SavesTheVisibleValuesAndTheChart) {
  Chart().SetView(kFirstPass + 300, kFirstPass + 400);  // frames 30 to 40 of the first pass
  window->SaveVisibleValues(folder.filePath("values.csv"));
  ASSERT_TRUE(ReadsSettle(*window));
  QFile values(folder.filePath("values.csv"));
  ASSERT_TRUE(values.open(QIODevice::ReadOnly)) << window->StatusText().toStdString();
  const QStringList rows = QString::fromUtf8(values.readAll()).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 1 + 11);
  EXPECT_EQ(rows[0], "timeUtc,timeKind,parameter,unit,value");
  EXPECT_EQ(
      rows[1].toStdString(),
      "2026-07-15T19:05:00Z,spacecraft,Battery Volts (EPS/TCS),V,3.9019999999999997");  // 3.9 +
                                                                                        // 0.002 as
                                                                                        // stored
  EXPECT_EQ(rows[2].toStdString(), "2026-07-15T19:05:10Z,estimated,Battery Volts (EPS/TCS),V,4.6");
  EXPECT_TRUE(rows[4].startsWith("2026-07-15T19:05:30Z,correlated,Battery Volts (EPS/TCS),V,3.90"))
      << rows[4].toStdString();
  EXPECT_TRUE(window->StatusText().contains("11 values in view saved"))
      << window->StatusText().toStdString();
  for (const char* name : {"chart.png", "chart.svg"}) {
    SCOPED_TRACE(name);
    QString error;
    ASSERT_TRUE(Chart().SaveAs(folder.filePath(name), error)) << error.toStdString();
    QFile saved(folder.filePath(name));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray head = saved.read(8);
    EXPECT_TRUE(head.startsWith("\x89PNG") || head.startsWith("<?xml")) << head.toStdString();
  }
  QString error;
  EXPECT_FALSE(Chart().SaveAs(folder.filePath("no/such/folder/chart.png"), error));
  EXPECT_TRUE(error.contains("no/such/folder/chart.png")) << error.toStdString();
  window->SaveVisibleValues(folder.filePath("no/such/folder/values.csv"));
  ASSERT_TRUE(ReadsSettle(*window));
  EXPECT_TRUE(window->StatusText().contains("no/such/folder/values.csv"))
      << window->StatusText().toStdString();
}

// "Last pass" shows the newest pass alone: from its first frame (after the three-hour gap)
// to its last, with a little room on both sides.
TEST_F(TrendsWindowTest, LastPassShowsTheNewestPassAlone) {
  window->ShowLastPass();
  ASSERT_TRUE(ReadsSettle(*window));
  EXPECT_NEAR(Chart().ViewFrom(), kSecondPass - 30, 1.0);
  EXPECT_NEAR(Chart().ViewTo(), kSecondPass + 590 + 30, 1.0);
}

// Shift+drag draws a rubber band over the plot and zooms to its time span, whichever way it
// was dragged; a box of a pixel or two is a click and changes nothing.
TEST_F(TrendsWindowTest, ShiftDragZoomsToTheBoxAndATinyBoxDoesNothing) {
  struct Case {
    const char* name;
    double fromShare;  // of the plot's width
    double toShare;
    bool zooms;
  };
  const Case cases[] = {
      {"left to right", 0.25, 0.75, true},
      {"right to left", 0.75, 0.25, true},
      {"a click", 0.5, 0.5 + 2.0 / 1000, false},
  };
  QSignalSpy clicked(&Chart(), &TrendChart::pointClicked);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Chart().SetView(kFirstPass, kFirstPass + 4000);
    const QRect plot = Chart().PlotRect();
    const double y = plot.center().y();
    const QPointF from(plot.left() + c.fromShare * plot.width(), y);
    const QPointF to(plot.left() + c.toShare * plot.width(), y);
    SendMouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::ShiftModifier);
    SendMouse(QEvent::MouseMove, to, Qt::LeftButton, Qt::ShiftModifier);
    const auto* band = Chart().findChild<QRubberBand*>();
    const bool banded = band && band->isVisible();
    EXPECT_EQ(banded, c.zooms);
    if (banded) {
      EXPECT_NEAR(band->geometry().left(), std::min(from.x(), to.x()), 1.0);
      EXPECT_NEAR(band->geometry().right(), std::max(from.x(), to.x()), 1.0);
      EXPECT_EQ(band->geometry().height(), plot.height());
    }
    SendMouse(QEvent::MouseButtonRelease, to, Qt::NoButton, Qt::ShiftModifier);
    EXPECT_FALSE(band && band->isVisible());
    const double low = std::min(c.fromShare, c.toShare), high = std::max(c.fromShare, c.toShare);
    EXPECT_NEAR(Chart().ViewFrom(), c.zooms ? kFirstPass + low * 4000 : kFirstPass, 10.0);
    EXPECT_NEAR(Chart().ViewTo(), c.zooms ? kFirstPass + high * 4000 : kFirstPass + 4000, 10.0);
  }
  EXPECT_EQ(clicked.size(), 0);
}

QDateTime Utc(const char* text) {
  QDateTime time = QDateTime::fromString(text, "yyyy-MM-dd HH:mm");
  time.setTimeSpec(Qt::UTC);
  return time;
}

// The UTC fields follow the view in whole minutes that cover it; Show applies them, and a
// range that does not end after it starts is refused with a message.
TEST_F(TrendsWindowTest, TheRangeFieldsFollowTheViewAndShowWhatIsTyped) {
  QDateTimeEdit& from = *window->RangeFrom();
  QDateTimeEdit& to = *window->RangeTo();
  auto* show = window->findChild<QPushButton*>("rangeShow");
  auto* status = window->findChild<QLabel*>("trendsStatus");
  ASSERT_TRUE(show && status);
  Chart().SetView(kFirstPass + 5, kFirstPass + 3600 + 5);
  EXPECT_EQ(from.text(), "2026-07-15 19:00");
  EXPECT_EQ(to.text(), "2026-07-15 20:01");

  struct Case {
    const char* from;
    const char* to;
    bool shown;
  };
  const Case cases[] = {
      {"2026-07-15 19:02", "2026-07-15 19:12", true},
      {"2026-07-15 22:00", "2026-07-15 19:00", false},
      {"2026-07-15 19:30", "2026-07-15 19:30", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + std::string(" to ") + c.to);
    Chart().SetView(kFirstPass, kSecondPass);
    status->clear();
    from.setDateTime(Utc(c.from));
    to.setDateTime(Utc(c.to));
    QTest::mouseClick(show, Qt::LeftButton);
    const double wantFrom = c.shown ? kFirstPass + 120 : kFirstPass;
    const double wantTo = c.shown ? kFirstPass + 720 : kSecondPass;
    EXPECT_DOUBLE_EQ(Chart().ViewFrom(), wantFrom);
    EXPECT_DOUBLE_EQ(Chart().ViewTo(), wantTo);
    EXPECT_EQ(status->text().contains("must end after it starts"), !c.shown)
        << status->text().toStdString();
  }
}

// A whole date typed over the field's text (Ctrl+A, then the date) takes its place, year
// included, and Show charts it; the other field keeps what it showed.
TEST_F(TrendsWindowTest, ADateTypedOverTheWholeFieldIsShown) {
  struct Case {
    const char* field;
    const char* typed;
    const char* from;  // the view Show gives
    const char* to;
  };
  const Case cases[] = {
      {"rangeFrom", "2026-06-12 16:00", "2026-06-12 16:00", "2026-07-15 20:00"},
      {"rangeTo", "2027-01-01 00:00", "2026-07-15 19:00", "2027-01-01 00:00"},
      {"rangeFrom", "2025-12-31 23:59", "2025-12-31 23:59", "2026-07-15 20:00"},
      {"rangeTo", "2026-07-15 19:12", "2026-07-15 19:00", "2026-07-15 19:12"},
  };
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Chart().SetView(kFirstPass, kFirstPass + 3600);
    auto* field = window->findChild<QDateTimeEdit*>(c.field);
    ASSERT_TRUE(field);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, c.typed);
    EXPECT_EQ(field->text(), c.typed);
    QTest::mouseClick(window->findChild<QPushButton*>("rangeShow"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Chart().ViewFrom(), Utc(c.from).toSecsSinceEpoch());
    EXPECT_DOUBLE_EQ(Chart().ViewTo(), Utc(c.to).toSecsSinceEpoch());
  }
}

// Frames added to the archive while the window is open (as a live session adds them) extend
// the curve at the next look; a view ending at the newest time moves on with its width, one
// of the whole archive keeps its start, one of older times stays.
TEST_F(TrendsWindowTest, FramesAddedToTheArchiveExtendTheOpenChart) {
  struct Case {
    const char* name;
    double viewFrom;  // relative to the newest time before the frames are added
    double viewTo;
    bool fromFirst;  // the view begins at the archive's first frame
    bool follows;
  };
  const Case cases[] = {
      {"whole archive", 0, 0, true, true},
      {"last pass", -620, 30, false, true},
      {"older times", -3 * 3600 - 590, -3 * 3600, false, false},
  };
  window->SetPollInterval(10);
  double newest = kSecondPass + 590;
  int pass = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double from = c.fromFirst ? kFirstPass : newest + c.viewFrom;
    Chart().SetView(from, newest + c.viewTo);
    const double start = kSecondPass + pass * 3 * 3600;
    ASSERT_TRUE(AddPass(location, pass * 60, start, {"W6XYZ"}));
    ++pass;
    ASSERT_TRUE(QTest::qWaitFor([&] { return Chart().FullTo() == start + 590; }, 5000));
    // Where the view follows, the new pass is drawn from tiles read again.
    if (c.follows) {
      ASSERT_TRUE(DrawsPass(*window, start));
      EXPECT_LE(Chart().DrawnPoints(0).back().last, start + 590);
    }
    const double grown = start + 590 - newest;
    newest = start + 590;
    EXPECT_DOUBLE_EQ(Chart().FullTo(), newest);
    EXPECT_DOUBLE_EQ(Chart().ViewFrom(), c.follows && !c.fromFirst ? from + grown : from);
    EXPECT_DOUBLE_EQ(Chart().ViewTo(), newest + c.viewTo - (c.follows ? 0 : grown));
  }
}

// A log of an older pass added while the window is open: its frames show at their times,
// and the newest time and the view stay.
TEST_F(TrendsWindowTest, FramesOfAnOlderPassAddedMeanwhileShowAtTheirTimes) {
  window->SetPollInterval(10);
  const double from = Chart().ViewFrom(), to = Chart().ViewTo();
  const double between = kFirstPass + 3600;
  ASSERT_TRUE(AddPass(location, 120, between, {"W6XYZ"}));
  ASSERT_TRUE(DrawsPass(*window, between));
  const std::vector<DrawnPoint>& drawn = Chart().DrawnPoints(0);
  EXPECT_TRUE(
      std::is_sorted(drawn.begin(), drawn.end(),
                     [](const DrawnPoint& a, const DrawnPoint& b) { return a.time < b.time; }));
  EXPECT_DOUBLE_EQ(DrawnWithin(Chart(), between, between + 590).front().time, between);
  // Its own line between the two passes' lines.
  EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(), [](auto& p) { return p.startsLine; }), 3);
  EXPECT_DOUBLE_EQ(Chart().FullTo(), kSecondPass + 590);
  EXPECT_DOUBLE_EQ(Chart().ViewFrom(), from);
  EXPECT_DOUBLE_EQ(Chart().ViewTo(), to);
}

// A window opened on an archive a live session has only begun charts the ticked parameters
// once the first frames are in.
TEST(TrendsWindowArchive, AnEmptyArchiveChartsItsFirstFrames) {
  QTemporaryDir folder;
  ArchiveLocation location;
  location.path = folder.filePath("new.sqlite");
  location.display = location.path;
  ASSERT_TRUE(Archive().Open(location));
  TrendsWindow window(location);
  window.ShowParameter(kBatteryVolts, true);
  ASSERT_TRUE(ReadsSettle(window));
  EXPECT_EQ(window.Chart()->CurveCount(), 0);
  ASSERT_TRUE(AddPass(location, 0, kFirstPass, {"W6XYZ"}));
  window.PollArchive();
  ASSERT_TRUE(Charted(window, 1));
  ASSERT_TRUE(Refines(window));
  EXPECT_EQ(window.Chart()->DrawnPoints(0).size(), 60u);
  EXPECT_DOUBLE_EQ(window.Chart()->ViewTo(), kFirstPass + 590);
}

// A window on a PostgreSQL archive whose server went away names the failure and, once the
// server is back, opens a new connection and catches up with the frames added meanwhile.
TEST(TrendsWindowArchive, CatchesUpAfterThePostgresqlServerRestarts) {
  const ArchiveLocation location = testing::FreshArchive(ArchiveEngine::kPostgresql);
  ASSERT_FALSE(location.database.isEmpty());
  ASSERT_TRUE(FillArchive(location));
  TrendsWindow window(location);
  window.ShowParameter(kBatteryVolts, true);
  ASSERT_TRUE(Charted(window, 1));
  ASSERT_TRUE(Refines(window));
  auto* status = window.findChild<QLabel*>("trendsStatus");
  const std::size_t drawn = window.Chart()->DrawnPoints(0).size();

  ASSERT_TRUE(testing::StopPostgres());
  window.PollArchive();
  ASSERT_TRUE(ReadsSettle(window));
  EXPECT_TRUE(status->text().contains("trying again")) << status->text().toStdString();
  EXPECT_EQ(window.Chart()->DrawnPoints(0).size(), drawn);  // what it had stays

  ASSERT_TRUE(testing::RestartPostgres());
  const double third = kSecondPass + 3 * 3600;
  ASSERT_TRUE(AddPass(location, 120, third, {"W6XYZ"}));
  window.PollArchive();
  ASSERT_TRUE(ReadsSettle(window));
  ASSERT_TRUE(DrawsPass(window, third)) << status->text().toStdString();
  window.Chart()->SetView(third, third + 600);
  ASSERT_TRUE(Refines(window));
  EXPECT_EQ(window.Chart()->DrawnPoints(0).size(), 60u) << status->text().toStdString();
}

// Another program that took the SQLite archive for itself: in WAL mode only an exclusive
// locking mode keeps readers out, until its connection closes.
class LockHolder {
 public:
  explicit LockHolder(const ArchiveLocation& location) {
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
    holder.setDatabaseName(location.path);
    QSqlQuery lock(holder.open() ? holder : QSqlDatabase());
    held = lock.exec("PRAGMA locking_mode=EXCLUSIVE") && lock.exec("BEGIN EXCLUSIVE") &&
           lock.exec("CREATE TABLE held (x INTEGER)");
  }
  ~LockHolder() { Release(); }
  bool Held() const { return held; }
  void Release() {
    if (QSqlDatabase::contains(kName)) {
      {
        QSqlDatabase holder = QSqlDatabase::database(kName, false);
        QSqlQuery(holder).exec("ROLLBACK");
        holder.close();
      }
      QSqlDatabase::removeDatabase(kName);
    }
  }

 private:
  static constexpr const char* kName = "lockHolder";
  bool held = false;
};

// Another program holding the SQLite archive locked (an import's write) never holds the
// window: opening it, ticking a parameter and looking for new frames all return at once, the
// window's timers fire on time, the status bar says it waits, and once the lock is let go the
// chart fills. A window closed while its reads still wait does not wait for them either.
TEST(TrendsWindowArchive, ALockedArchiveNeverHoldsTheWindow) {
  enum class Locked { kOpening, kTicking, kPolling, kClosing };
  struct Case {
    const char* name;
    Locked locked;
    bool thirdPass;  // drawn once the lock is let go
  };
  const Case cases[] = {
      {"opening", Locked::kOpening, false},
      {"ticking", Locked::kTicking, false},
      {"polling", Locked::kPolling, true},
      {"closing", Locked::kClosing, false},
  };
  const double third = kSecondPass + 3 * 3600;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir folder;
    ArchiveLocation location;
    location.path = folder.filePath("locked.sqlite");
    location.display = location.path;
    ASSERT_TRUE(FillArchive(location));
    std::optional<LockHolder> lock;

    auto window = std::make_unique<TrendsWindow>(location);
    if (c.locked != Locked::kOpening) {
      ASSERT_TRUE(ReadsSettle(*window));
    }
    if (c.locked == Locked::kPolling) {
      window->ShowParameter(kBatteryVolts, true);
      ASSERT_TRUE(Charted(*window, 1));
      ASSERT_TRUE(Refines(*window));
      ASSERT_TRUE(AddPass(location, 120, third, {"W6XYZ"}));
    }
    lock.emplace(location);
    ASSERT_TRUE(lock->Held());
    QElapsedTimer clock;
    clock.start();
    if (c.locked == Locked::kOpening) {
      window = std::make_unique<TrendsWindow>(location);
    }
    if (c.locked != Locked::kPolling) {
      window->ShowParameter(kBatteryVolts, true);
    }
    window->PollArchive();
    EXPECT_LT(clock.elapsed(), 1000);
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 1000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->StatusText().startsWith("Waiting for the archive"); }, 3000))
        << window->StatusText().toStdString();
    auto* cancel = window->findChild<QPushButton*>("cancelReads");
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisibleTo(window.get()));
    EXPECT_GT(window->PendingReads(), 0);

    if (c.locked == Locked::kClosing) {
      clock.restart();
      window.reset();
      EXPECT_LT(clock.elapsed(), 1000);
      continue;
    }
    lock.reset();
    ASSERT_TRUE(Charted(*window, 1));
    ASSERT_TRUE(DrawsPass(*window, c.thirdPass ? third : kSecondPass));
    ASSERT_TRUE(ReadsSettle(*window));
    EXPECT_FALSE(DrawnWithin(*window->Chart(), kFirstPass, kFirstPass + 590).empty());
    EXPECT_EQ(DrawnWithin(*window->Chart(), third, third + 590).empty(), !c.thirdPass);
    EXPECT_FALSE(window->StatusText().startsWith("Waiting")) << window->StatusText().toStdString();
    EXPECT_FALSE(cancel->isVisibleTo(window.get()));
  }
}

// Cancel in the status bar drops the reads that wait: the parameter whose values never came
// is unticked, and ticking it again once the archive answers charts it. An answer for a
// parameter unticked meanwhile is dropped as well.
TEST(TrendsWindowArchive, CancelDropsTheReadsThatWait) {
  QTemporaryDir folder;
  ArchiveLocation location;
  location.path = folder.filePath("locked.sqlite");
  location.display = location.path;
  ASSERT_TRUE(FillArchive(location));
  TrendsWindow window(location);
  window.show();
  ASSERT_TRUE(ReadsSettle(window));
  std::optional<LockHolder> lock(std::in_place, location);
  ASSERT_TRUE(lock->Held());
  window.ShowParameter(kBatteryVolts, true);
  auto* cancel = window.findChild<QPushButton*>("cancelReads");
  ASSERT_TRUE(QTest::qWaitFor([&] { return cancel->isVisible(); }, 3000));
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(window.PendingReads(), 0);
  EXPECT_FALSE(cancel->isVisible());
  EXPECT_TRUE(window.StatusText().startsWith("Reading cancelled"))
      << window.StatusText().toStdString();
  lock.reset();
  // The dropped read, answering now, changes nothing.
  QTest::qWait(300);
  EXPECT_EQ(window.Chart()->CurveCount(), 0);
  window.ShowParameter(kBatteryVolts, true);
  ASSERT_TRUE(Charted(window, 1));

  // A parameter unticked while its values were on their way stays off the chart.
  window.ShowParameter(kBatteryVolts, false);
  lock.emplace(location);
  ASSERT_TRUE(lock->Held());
  window.ShowParameter(kBatteryVolts, true);
  window.ShowParameter(kBatteryVolts, false);
  lock.reset();
  ASSERT_TRUE(ReadsSettle(window));
  QTest::qWait(100);
  EXPECT_EQ(window.Chart()->CurveCount(), 0);
}

// Curves that are flat in the view each get a height of their own, with their value where
// their axis says; a curve that varies fills the height as before.
TEST(TrendChartAxes, FlatCurvesNeverLieOnOneLine) {
  TrendChart chart;
  chart.resize(800, 400);
  const std::vector<std::vector<std::pair<double, double>>> series = {
      {{100, 5.0}, {200, 5.0}}, {{100, -3.0}, {200, -3.0}}, {{100, 0.0}, {200, 8.0}}};
  for (std::size_t i = 0; i < series.size(); ++i) {
    TrendCurve curve;
    curve.parameterRow = static_cast<int>(i);
    // Each frame at its time, in the tile the view of [0, 300] s is painted from.
    Tile tile;
    for (const auto& [time, value] : series[i]) {
      tile.points.push_back({time, value, value, time});
    }
    chart.AddCurve(curve, {{TileKey{curve.parameterRow, kFrameRung, 0}, tile}});
  }
  chart.SetView(0, 300);
  std::vector<double> heights;  // of each curve's first value, as a share of the plot
  for (int i = 0; i < chart.CurveCount(); ++i) {
    const auto [low, high] = chart.ValueAxis(i);
    ASSERT_LT(low, high);
    heights.push_back((series[static_cast<std::size_t>(i)][0].second - low) / (high - low));
  }
  EXPECT_GT(std::abs(heights[0] - heights[1]), 0.2);
  for (const double height : {heights[0], heights[1]}) {
    EXPECT_GT(height, 0.1);
    EXPECT_LT(height, 0.9);
  }
  EXPECT_NEAR(heights[2], 0.05 / 1.1, 1e-9);
}

// Neighbouring tiles read by one statement hold what each would hold read alone, at every
// level: each point in the tile its time lies in (gaps aside, which a run may place between
// two of its tiles, where the line breaks anyway).
TEST(TileReads, ARunOfTilesHoldsWhatEachTileReadAloneHolds) {
  QTemporaryDir folder;
  ArchiveLocation location;
  location.path = folder.filePath("tiles.sqlite");
  location.display = location.path;
  ASSERT_TRUE(FillArchive(location));
  Archive archive;
  ASSERT_TRUE(archive.Open(location, true));
  const auto points = [](const Tile& tile) {
    std::vector<std::array<double, 4>> kept;
    for (const TilePoint& p : tile.points) {
      if (!std::isnan(p.low)) {
        kept.push_back({p.time, p.low, p.high, p.last});
      }
    }
    return kept;
  };
  struct Case {
    std::int64_t width;  // of the columns
    SeriesLevel level;
  };
  const Case cases[] = {{1, SeriesLevel::kFrame},
                        {4, SeriesLevel::kFrame},
                        {60, SeriesLevel::kMinute},
                        {3600, SeriesLevel::kHour}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    const auto rung =
        static_cast<int>(std::find(kTileColumnSeconds.begin(), kTileColumnSeconds.end(), c.width) -
                         kTileColumnSeconds.begin());
    // Three tiles from the one before the first pass's: the passes lie in the second (and,
    // for narrow tiles, later ones).
    const TileKey first{kBatteryVolts, rung,
                        static_cast<std::int64_t>(kFirstPass) / TileSeconds(rung) - 1};
    const std::optional<std::vector<Tile>> run = ReadTiles(archive, first, 3);
    ASSERT_TRUE(run.has_value()) << archive.Error().toStdString();
    ASSERT_EQ(run->size(), 3u);
    std::size_t total = 0;
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      const std::optional<std::vector<Tile>> alone =
          ReadTiles(archive, {first.parameterRow, rung, first.index + i}, 1);
      ASSERT_TRUE(alone.has_value()) << archive.Error().toStdString();
      EXPECT_EQ(points((*run)[i]), points(alone->front()));
      EXPECT_EQ((*run)[i].level, c.level);
      total += points((*run)[i]).size();
    }
    EXPECT_GT(total, 0u);
  }
}

// The PostgreSQL server a test started is stopped when the tests end.
class StopTestArchivesAtEnd : public ::testing::Environment {
 public:
  void TearDown() override { testing::StopTestArchives(); }
};
const auto* const kStopTestArchives =
    ::testing::AddGlobalTestEnvironment(new StopTestArchivesAtEnd);

}  // namespace
}  // namespace quilmar
