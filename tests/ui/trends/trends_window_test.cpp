// The Trends window on a small SQLite archive of two passes: charting and unticking a
// parameter, gaps and extremes in what is drawn, zoom, pan and double-click, the hover text,
// the filter box, and an archive that is not there.
#include "ui/trends/trends_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVariant>
#include <QWheelEvent>
#include <algorithm>

#include "archive/archive.h"
#include "archive/trend_overview.h"
#include "ui/trends/trend_chart.h"

namespace quilmar {
namespace {

constexpr int kBatteryVolts = 18;
const double kFirstPass =
    static_cast<double>(QDateTime(QDate(2026, 7, 15), QTime(19, 0), Qt::UTC).toSecsSinceEpoch());
const double kSecondPass = kFirstPass + 3 * 3600;
constexpr double kSpike = 4.6;
constexpr int kSpikeFrame = 31;  // of the first pass, ten seconds apart

// Two passes of 60 frames, three hours apart; one frame of the first carries a spike and an
// estimated time.
bool FillArchive(const ArchiveLocation& location) {
  Archive archive;
  if (!archive.Open(location)) {
    return false;
  }
  QSqlQuery insert(archive.Database());
  insert.prepare(
      "INSERT INTO frame (digest, bytes, time_utc, time_kind, source_order, frame_number,"
      " frame_type, eps_tcs_battery_volts) VALUES (?, 'x', ?, ?, ?, ?, 'S', ?)");
  for (int i = 0; i < 120; ++i) {
    const double time = (i < 60 ? kFirstPass : kSecondPass) + (i % 60) * 10;
    const bool spike = i == kSpikeFrame;
    insert.addBindValue(QByteArray::number(i));
    insert.addBindValue(
        QDateTime::fromSecsSinceEpoch(static_cast<qint64>(time), Qt::UTC).toString(Qt::ISODate));
    insert.addBindValue(spike ? "estimated" : "spacecraft");
    insert.addBindValue(i);
    insert.addBindValue(i);
    insert.addBindValue(spike ? kSpike : 3.9 + 0.001 * (i % 7));
    if (!insert.exec()) {
      return false;
    }
  }
  return RebuildTrendHours(archive);
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
    ASSERT_EQ(Chart().CurveCount(), 1);
    firstCurve = Chart().Curve(0);
    firstDrawn = Chart().DrawnPoints(0);
    WaitForEveryFrame();
  }

  void WaitForEveryFrame() {
    QElapsedTimer waited;
    waited.start();
    const auto hourly = [&] {
      for (int i = 0; i < Chart().CurveCount(); ++i) {
        if (Chart().Curve(i).hourly) {
          return true;
        }
      }
      return false;
    };
    while (hourly() && waited.elapsed() < 20000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_FALSE(hourly()) << "every frame's values never arrived";
  }

  TrendChart& Chart() { return *window->Chart(); }

  void SendMouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, Chart().mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&Chart(), &event);
  }

  QTemporaryDir folder;
  ArchiveLocation location;
  std::unique_ptr<TrendsWindow> window;
  TrendCurve firstCurve;  // as first charted, from the hourly overview
  std::vector<DecimatedPoint> firstDrawn;
};

TEST_F(TrendsWindowTest, FirstChartComesFromTheHoursAndKeepsTheSpike) {
  EXPECT_TRUE(firstCurve.hourly);
  EXPECT_EQ(firstCurve.samples.size(), 4u);  // two hours, each its lowest and highest
  EXPECT_TRUE(
      std::any_of(firstDrawn.begin(), firstDrawn.end(), [](auto& p) { return p.value == kSpike; }));
  EXPECT_FALSE(Chart().Curve(0).hourly);
  EXPECT_EQ(Chart().Curve(0).samples.size(), 120u);
}

TEST_F(TrendsWindowTest, DrawsEveryExtremeAndBreaksTheLineAtThePassGap) {
  ASSERT_EQ(Chart().CurveCount(), 1);
  EXPECT_EQ(Chart().Curve(0).samples.size(), 120u);
  const auto& drawn = Chart().DrawnPoints(0);
  EXPECT_LE(drawn.size(), 2u * Chart().PlotRect().width());
  EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](auto& p) { return p.value == kSpike; }));
  EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(), [](auto& p) { return p.startsLine; }), 2);

  window->ShowParameter(kBatteryVolts, false);
  EXPECT_EQ(Chart().CurveCount(), 0);
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

TEST_F(TrendsWindowTest, HoverNamesTimeValueAndTimeKind) {
  Chart().SetView(kFirstPass, kFirstPass + 600);
  const QRect plot = Chart().PlotRect();
  const double spikeTime = kFirstPass + kSpikeFrame * 10;
  const double x = plot.left() + (spikeTime - kFirstPass) / 600 * plot.width();
  // The spike is the highest value: the top of the plot, inside the axis margin.
  const double y = plot.top() + plot.height() * 0.05 / 1.1;
  const QString text = Chart().HoverText(QPointF(x, y));
  EXPECT_TRUE(text.contains("2026-07-15 19:05:10 UTC")) << text.toStdString();
  EXPECT_TRUE(text.contains("Battery Volts (EPS/TCS): 4.6 V")) << text.toStdString();
  EXPECT_TRUE(text.contains("time: estimated")) << text.toStdString();
  EXPECT_TRUE(Chart().HoverText(QPointF(x, plot.bottom() - 2)).isEmpty());

  // A click on the spike names its frame's time; a drag that starts there only pans.
  QSignalSpy clicked(&Chart(), &TrendChart::pointClicked);
  SendMouse(QEvent::MouseButtonPress, QPointF(x, y), Qt::LeftButton);
  SendMouse(QEvent::MouseButtonRelease, QPointF(x + 1, y), Qt::NoButton);
  ASSERT_EQ(clicked.size(), 1);
  EXPECT_DOUBLE_EQ(clicked[0][0].toDouble(), spikeTime);
  SendMouse(QEvent::MouseButtonPress, QPointF(x, y), Qt::LeftButton);
  SendMouse(QEvent::MouseMove, QPointF(x + 40, y), Qt::LeftButton);
  SendMouse(QEvent::MouseButtonRelease, QPointF(x + 40, y), Qt::NoButton);
  EXPECT_EQ(clicked.size(), 1);
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
  EXPECT_FALSE(window.ParameterList()->isEnabled());
  EXPECT_FALSE(QFileInfo::exists(location.path));
}

// The CSV export holds exactly the values in view, with their kind, and each file the
// right-click menu saves is complete; a path that cannot be written is named with its reason.
TEST_F(TrendsWindowTest, SavesTheVisibleValuesAndTheChart) {
  Chart().SetView(kFirstPass + 300, kFirstPass + 400);  // frames 30 to 40 of the first pass
  const QStringList rows = Chart().VisibleRangeCsv().split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 1 + 11);
  EXPECT_EQ(rows[0], "timeUtc,timeKind,parameter,unit,value");
  EXPECT_EQ(
      rows[1].toStdString(),
      "2026-07-15T19:05:00Z,spacecraft,Battery Volts (EPS/TCS),V,3.9019999999999997");  // 3.9 +
                                                                                        // 0.002 as
                                                                                        // stored
  EXPECT_EQ(rows[2].toStdString(), "2026-07-15T19:05:10Z,estimated,Battery Volts (EPS/TCS),V,4.6");
  for (const char* name : {"chart.png", "chart.svg", "values.csv"}) {
    SCOPED_TRACE(name);
    QString error;
    ASSERT_TRUE(Chart().SaveAs(folder.filePath(name), error)) << error.toStdString();
    QFile saved(folder.filePath(name));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray head = saved.read(8);
    EXPECT_TRUE(head.startsWith("\x89PNG") || head.startsWith("<?xml") ||
                head.startsWith("timeUtc"))
        << head.toStdString();
  }
  QString error;
  EXPECT_FALSE(Chart().SaveAs(folder.filePath("no/such/folder/chart.png"), error));
  EXPECT_TRUE(error.contains("no/such/folder/chart.png")) << error.toStdString();
}

// "Last pass" shows the newest pass alone: from its first frame (after the three-hour gap)
// to its last, with a little room on both sides.
TEST_F(TrendsWindowTest, LastPassShowsTheNewestPassAlone) {
  window->ShowLastPass();
  EXPECT_NEAR(Chart().ViewFrom(), kSecondPass - 30, 1.0);
  EXPECT_NEAR(Chart().ViewTo(), kSecondPass + 590 + 30, 1.0);
}

}  // namespace
}  // namespace quilmar
