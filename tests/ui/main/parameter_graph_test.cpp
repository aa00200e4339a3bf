// The "Graph" tab: charting a parameter over all frames or a range, the axis spacing, point
// selection, tips, zoom and drops on the chart, and the range selection controls.
#include "ui/chart/parameter_graph.h"

#include <gtest/gtest.h>

#include <QCategoryAxis>
#include <QCheckBox>
#include <QLabel>
#include <QLineSeries>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QUrl>
#include <QValueAxis>
#include <functional>
#include <memory>
#include <vector>

#include "ui/chart/chart_adapter.h"

namespace quilmar {
namespace {

constexpr int kRow = 18;  // "Battery Volts"

// Frame f carries frame number 100 + f and, in its EPS/TCS section, the value f * 0.25 + 3
// in the charted row.
FrameTable& Table(int frameCount) {
  static const auto table = std::make_unique<FrameTable>();
  table->frameCount = frameCount;
  for (int f = 1; f <= frameCount; ++f) {
    table->Record(f).frameNumber = 100 + f;
    table->Record(f).values[0] = 41;
    table->Record(f).values[kRow] = f * 0.25 + 3;
  }
  return *table;
}

class ParameterGraphTest : public ::testing::Test {
 protected:
  ParameterGraphTest() : graph(&tab) { tab.resize(650, 420); }

  ChartAdapter& Chart() { return graph.Chart(); }

  QValueAxis* Axis() const {
    return qobject_cast<QValueAxis*>(
        graph.findChild<QChartView*>()->chart()->axes(Qt::Horizontal)[0]);
  }

  // The viewport position of a row's point once the chart is on screen.
  QPoint PointPosition(int row, double value) {
    QChart* chart = Chart().Chart();
    const QPointF scene = chart->mapToScene(chart->mapToPosition(QPointF(row, value)));
    return Chart().View()->mapFromScene(scene);
  }

  // A mouse drag across the chart from row first to row last, as a user zooms.
  void DragAcrossRows(int first, int last) {
    QWidget* viewport = Chart().View()->viewport();
    const int y = Chart().View()->height() / 2;
    const QPoint from(PointPosition(first, 0).x(), y);
    const QPoint to(PointPosition(last, 0).x(), y);
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(20, 0));
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
  }

  void ShowChart() {
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    QApplication::processEvents();
  }

  QWidget tab;
  ParameterGraph graph;
};

TEST_F(ParameterGraphTest, ChartsEveryStoredFrameUnderTheParameterName) {
  graph.DrawParameterGraph(Table(25), kRow);
  EXPECT_EQ(graph.title(), "Battery Volts");
  EXPECT_EQ(graph.objectName(), "Frame11");
  EXPECT_EQ(Chart().View()->objectName(), "MSChart1");
  ASSERT_EQ(Chart().RowCount(), 25);
  for (int f : {1, 13, 25}) {
    SCOPED_TRACE(f);
    EXPECT_EQ(Chart().RowLabel(f), QString::number(100 + f));
    Chart().SetCurrentRow(f);
    EXPECT_EQ(Chart().PointValue(), QLocale().toString(f * 0.25 + 3));
  }
}

TEST_F(ParameterGraphTest, AxisSpacingFollowsTheFrameCount) {
  const struct {
    int before;  // frames of an earlier drawing, 0 for none
    int frames;
    int spacing;
    int labels;  // -1: too many for the width, thinned on the spacing grid
  } cases[] = {
      {0, 20, 1, 20}, {0, 21, 1, 21},     {0, 29, 1, -1},   {0, 30, 2, 15}, {0, 50, 2, -1},
      {0, 70, 4, 18}, {0, 5000, 250, 20}, {400, 15, 1, 15}, {400, 0, 1, 0}, {5000, 20, 1, 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before << " then " << c.frames);
    if (c.before > 0) {
      graph.DrawParameterGraph(Table(c.before), kRow);
    }
    graph.DrawParameterGraph(Table(c.frames), kRow);
    EXPECT_EQ(Chart().CategoryAxisSpacing(), c.spacing);
    EXPECT_EQ(Axis()->tickInterval(), c.spacing);  // a tick at every n-th category
    const QStringList labels = Chart().AxisLabels();
    if (c.labels >= 0) {
      ASSERT_EQ(labels.size(), c.labels);
    }
    for (int k = 0; k < labels.size(); ++k) {
      EXPECT_EQ((labels[k].toInt() - 101) % c.spacing, 0) << labels[k].toStdString();
    }
    if (c.frames > 0) {
      ASSERT_FALSE(labels.isEmpty());
      EXPECT_EQ(labels[0], "101");
    }
  }
}

TEST_F(ParameterGraphTest, RangeChartsTheChosenFramesOnly) {
  graph.DrawParameterGraph(Table(40), kRow);
  graph.DrawGraphRange(Table(40), kRow, 3, 7);
  EXPECT_EQ(graph.title(), "Battery Volts");
  // Five rows are few enough to label each, whatever the whole log's spacing was.
  EXPECT_EQ(Chart().CategoryAxisSpacing(), 1);
  ASSERT_EQ(Chart().RowCount(), 5);
  for (int r = 1; r <= 5; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(Chart().RowLabel(r), QString::number(103 + r));  // frames 4..8
    Chart().SetCurrentRow(r);
    EXPECT_EQ(Chart().PointValue(), QLocale().toString((3 + r) * 0.25 + 3));
  }
  EXPECT_EQ(Chart().AxisLabels(), QStringList({"104", "105", "106", "107", "108"}));
  // A long range spaces its labels by its own row count.
  graph.DrawGraphRange(Table(40), kRow, 0, 39);
  EXPECT_EQ(Chart().CategoryAxisSpacing(), 2);
}

TEST_F(ParameterGraphTest, ReversedRangeLeavesTheChartAlone) {
  graph.DrawParameterGraph(Table(40), kRow);
  graph.DrawGraphRange(Table(40), kRow, 7, 3);
  EXPECT_EQ(Chart().RowCount(), 40);
  EXPECT_EQ(Chart().RowLabel(40), "140");
}

TEST_F(ParameterGraphTest, UnselectedFirstListKeepsTheFirstRow) {
  graph.DrawParameterGraph(Table(40), kRow);
  graph.DrawGraphRange(Table(40), kRow, -1, 2);
  ASSERT_EQ(Chart().RowCount(), 4);
  // Row 1 stands for frame 0, which does not exist: it keeps frame 1's earlier point.
  EXPECT_EQ(Chart().RowLabel(1), "101");
  EXPECT_EQ(Chart().RowLabel(2), "101");
  EXPECT_EQ(Chart().RowLabel(4), "103");

  graph.DrawParameterGraph(Table(0), kRow);
  graph.DrawGraphRange(Table(0), kRow, -1, -1);
  EXPECT_EQ(Chart().RowCount(), 1);
  EXPECT_TRUE(Chart().IsNull(1));
}

TEST_F(ParameterGraphTest, FramesBeyondTheStoredOnesAreSkipped) {
  graph.DrawParameterGraph(Table(10), kRow);
  graph.DrawGraphRange(Table(10), kRow, 8, 11);
  ASSERT_EQ(Chart().RowCount(), 4);
  EXPECT_EQ(Chart().RowLabel(2), "110");
  // Frames 11 and 12 are not stored: rows 3 and 4 keep the points they held.
  EXPECT_EQ(Chart().RowLabel(3), "103");
  Chart().SetCurrentRow(4);
  EXPECT_EQ(Chart().PointValue(), QLocale().toString(4.0));
}

TEST_F(ParameterGraphTest, ClickOnAPointShowsItsValue) {
  graph.DrawParameterGraph(Table(30), kRow);
  ShowChart();
  QTest::mouseClick(Chart().View()->viewport(), Qt::LeftButton, {},
                    PointPosition(12, 12 * 0.25 + 3));
  QMessageBox* box = nullptr;
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return (box = tab.findChild<QMessageBox*>("PointValueBox")); }));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), QLocale().toString(6.0));
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_TRUE(box->isVisible());
  box->accept();
  QApplication::processEvents();

  // Far from the line nothing is selected.
  QTest::mouseClick(Chart().View()->viewport(), Qt::LeftButton, {},
                    PointPosition(12, 12 * 0.25 + 3) + QPoint(0, 60));
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  EXPECT_EQ(tab.findChild<QMessageBox*>("PointValueBox"), nullptr);
}

// A double-click on a point zooms back out; it must not first act as a click on the point.
TEST_F(ParameterGraphTest, DoubleClickOnAPointShowsNoValue) {
  graph.DrawParameterGraph(Table(30), kRow);
  ShowChart();
  const QRectF plot = Chart().Chart()->plotArea();
  Chart().Chart()->zoomIn(plot.adjusted(plot.width() / 2, 0, 0, 0));
  const QPoint point = PointPosition(20, 20 * 0.25 + 3);
  ASSERT_EQ(Chart().RowAt(point), 20);
  // The events a desktop delivers for a double-click, in their order.
  QWidget* viewport = Chart().View()->viewport();
  const std::pair<QEvent::Type, Qt::MouseButtons> steps[] = {
      {QEvent::MouseButtonPress, Qt::LeftButton}, {QEvent::MouseButtonRelease, Qt::NoButton},
      {QEvent::MouseButtonPress, Qt::LeftButton}, {QEvent::MouseButtonDblClick, Qt::LeftButton},
      {QEvent::MouseButtonRelease, Qt::NoButton},
  };
  for (const auto& [type, buttons] : steps) {
    QMouseEvent event(type, point, viewport->mapToGlobal(point), Qt::LeftButton, buttons, {});
    QApplication::sendEvent(viewport, &event);
  }
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  EXPECT_FALSE(Chart().IsZoomed());
  EXPECT_EQ(tab.findChild<QMessageBox*>("PointValueBox"), nullptr);
}

// What the screen shows after each redraw must be the chart as it stands: points of an
// earlier drawing (their markers) must not linger where the new one leaves them.
TEST_F(ParameterGraphTest, RedrawLeavesNoTraceOfEarlierPoints) {
  ShowChart();
  QWidget* viewport = Chart().View()->viewport();
  const QPoint origin = viewport->mapTo(&tab, QPoint(0, 0));
  const auto draws = std::vector<std::function<void()>>{
      [&] { graph.DrawParameterGraph(Table(40), kRow); },
      [&] { graph.DrawGraphRange(Table(40), kRow, 30, 33); },
      [&] { graph.DrawGraphRange(Table(40), kRow, -1, 0); },
      [&] { Chart().View()->chart()->zoomIn(QRectF(QPointF(40, 0), QSizeF(250, 200))); },
      [&] { graph.DrawParameterGraph(Table(5), kRow); },
  };
  const auto onScreen = [&] {
    return tab.screen()
        ->grabWindow(tab.winId(), origin.x(), origin.y(), viewport->width(), viewport->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };
  for (std::size_t k = 0; k < draws.size(); ++k) {
    SCOPED_TRACE(k);
    draws[k]();
    // The chart lays out and the view repaints from the event loop; give it a moment.
    QTest::qWait(20);
    const QImage fresh = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen() == fresh; }, 1000));
  }
}

// A picture of the chart leaves the window whose caption names the parameter: it carries
// section, name and unit itself.
TEST_F(ParameterGraphTest, SavedPictureNamesTheParameter) {
  graph.DrawParameterGraph(Table(30), kRow);
  EXPECT_EQ(Chart().View()->PictureTitle(), "EPS/TCS: Battery Volts (V)");
  graph.DrawParameterGraph(Table(30), 3);
  EXPECT_EQ(Chart().View()->PictureTitle(), "EPS/TCS: Reset Counter");
  ShowChart();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("chart.png"));
  ASSERT_TRUE(Chart().View()->SaveAsPng(path));
  const QImage saved(path);
  const int titleHeight = saved.height() - Chart().View()->height();
  ASSERT_GT(titleHeight, 0);
  int dark = 0;
  for (int y = 0; y < titleHeight; ++y) {
    for (int x = 0; x < saved.width(); ++x) {
      dark += qGray(saved.pixel(x, y)) < 128 ? 1 : 0;
    }
  }
  EXPECT_GT(dark, 50);  // the title's letters
}

TEST_F(ParameterGraphTest, HoverTipNamesFrameAndValue) {
  graph.DrawParameterGraph(Table(30), kRow);
  ShowChart();
  QTest::mouseMove(Chart().View()->viewport(), PointPosition(7, 7 * 0.25 + 3));
  EXPECT_EQ(QToolTip::text(), QStringLiteral("Frame 107: %1").arg(QLocale().toString(4.75)));
  QTest::mouseMove(Chart().View()->viewport(), PointPosition(7, 7 * 0.25 + 3) + QPoint(0, 80));
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

// A pointer resting on a point keeps its tip: past the moment the window asks the widget
// under it for a tip of its own, and past the few seconds a plain tip lasts.
TEST_F(ParameterGraphTest, HoverTipStaysWhileThePointerRests) {
  graph.DrawParameterGraph(Table(30), kRow);
  ShowChart();
  tab.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
  QTest::mouseMove(Chart().View()->viewport(), PointPosition(7, 7 * 0.25 + 3));
  const QString tip = QStringLiteral("Frame 107: %1").arg(QLocale().toString(4.75));
  ASSERT_EQ(QToolTip::text(), tip);
  // What the application sends the widget under a resting pointer.
  QHelpEvent rest(QEvent::ToolTip, PointPosition(7, 7 * 0.25 + 3),
                  Chart().View()->viewport()->mapToGlobal(PointPosition(7, 7 * 0.25 + 3)));
  QCoreApplication::sendEvent(Chart().View()->viewport(), &rest);
  for (const int wait : {1500, 1500, 9500}) {
    QTest::qWait(wait);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), tip);
  }
}

// A zoomed view labels its frames as a chart of a range of that size would, not with the
// spacing of the whole log (which leaves 20 zoomed frames one label).
TEST_F(ParameterGraphTest, AZoomedViewIsLabelledAsARangeOfItsSize) {
  const auto stride = [](const QStringList& labels) {
    return labels.size() < 2 ? 0 : labels[1].toInt() - labels[0].toInt();
  };
  ShowChart();
  for (int rows : {20, 200, 1000}) {
    SCOPED_TRACE(rows);
    graph.DrawGraphRange(Table(5000), kRow, 1000, 1000 + rows - 1);
    QApplication::processEvents();
    const int rangeStride = stride(Chart().AxisLabels());
    ASSERT_GT(rangeStride, 0);
    graph.DrawParameterGraph(Table(5000), kRow);
    QApplication::processEvents();
    Chart().Chart()->zoomIn(QRectF(Chart().Chart()->mapToPosition(QPointF(1000.5, 0)),
                                   Chart().Chart()->mapToPosition(QPointF(1000.5 + rows, 0)))
                                .normalized()
                                .adjusted(0, -100, 0, 0));
    ASSERT_TRUE(Chart().IsZoomed());
    QApplication::processEvents();
    EXPECT_EQ(stride(Chart().AxisLabels()), rangeStride) << Chart().AxisLabels().size();
  }
}

// The value axis carries the unit of the charted parameter, over the log and over a range;
// a parameter without a unit leaves the axis its plain title.
TEST_F(ParameterGraphTest, TheValueAxisNamesTheUnit) {
  const struct {
    int row;
    bool range;
    const char* title;
  } kCases[] = {
      {kRow, false, "graphical value (V)"},
      {9, true, "graphical value (mA)"},
      {7, false, "graphical value"},
      {7, true, "graphical value"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.row);
    if (c.range) {
      graph.DrawGraphRange(Table(25), c.row, 2, 9);
    } else {
      graph.DrawParameterGraph(Table(25), c.row);
    }
    EXPECT_EQ(Chart().ValueAxisTitle(), QLatin1String(c.title));
  }
}

TEST_F(ParameterGraphTest, DragZoomsHorizontallyAndDoubleClickShowsAll) {
  graph.DrawParameterGraph(Table(200), kRow);
  ShowChart();
  DragAcrossRows(50, 100);
  ASSERT_TRUE(Chart().IsZoomed());
  EXPECT_NEAR(Axis()->min(), 50, 1.5);
  EXPECT_NEAR(Axis()->max(), 100, 1.5);
  // The 50 frames in view are labelled as a range of 50 would be: every second one.
  for (const QString& label : Chart().AxisLabels()) {
    EXPECT_EQ((label.toInt() - 101) % 2, 0) << label.toStdString();
  }

  QTest::mouseDClick(Chart().View()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(Chart().IsZoomed());
  EXPECT_DOUBLE_EQ(Axis()->min(), 0.5);
  EXPECT_DOUBLE_EQ(Axis()->max(), 200.5);
}

TEST_F(ParameterGraphTest, DropPassesOnTheFirstLocalFile) {
  QSignalSpy dropped(&graph, &ParameterGraph::fileDropped);
  QWidget* viewport = Chart().View()->viewport();
  const struct {
    QList<QUrl> urls;
    bool accepted;
    QString path;
  } cases[] = {
      {{QUrl::fromLocalFile("/logs/a.KSS"), QUrl::fromLocalFile("/logs/b.kss")},
       true,
       "/logs/a.KSS"},
      {{QUrl::fromLocalFile("/logs/notes.txt")}, true, "/logs/notes.txt"},
      {{QUrl("https://example.org/pass.kss")}, false, {}},
      {{}, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    dropped.clear();
    QMimeData mime;
    if (!c.urls.isEmpty()) {
      mime.setUrls(c.urls);
    } else {
      mime.setText(QStringLiteral("just text"));
    }
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    EXPECT_EQ(enter.isAccepted(), c.accepted);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    ASSERT_EQ(dropped.size(), c.accepted ? 1 : 0);
    if (c.accepted) {
      EXPECT_EQ(dropped[0][0].toString(), c.path);
    }
  }
}

class GraphRangeControlsTest : public ::testing::Test {
 protected:
  GraphRangeControlsTest() : controls(&client) { client.resize(1120, 460); }

  void Click(QListView* list, int position) {
    const QRect item = list->visualRect(list->model()->index(position, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
  }

  QWidget client;
  GraphRangeControls controls;
};

TEST_F(GraphRangeControlsTest, CheckBoxShowsAndHidesTheLists) {
  client.show();
  QCheckBox* check = controls.CheckBox();
  auto* to = client.findChild<QLabel*>("Label12");
  ASSERT_NE(to, nullptr);
  const struct {
    bool on;
    const char* caption;
  } states[] = {
      {false, "select frames"}, {true, "show only frames from"}, {false, "select frames"}};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    if (k > 0) {
      QTest::mouseClick(check, Qt::LeftButton);
    }
    EXPECT_EQ(check->isChecked(), states[k].on);
    EXPECT_EQ(check->text(), states[k].caption);
    EXPECT_EQ(controls.FirstFrameList()->isVisible(), states[k].on);
    EXPECT_EQ(controls.LastFrameList()->isVisible(), states[k].on);
    EXPECT_EQ(to->isVisible(), states[k].on);
  }
}

TEST_F(GraphRangeControlsTest, ListsHoldEveryFrameNumberWithoutSelection) {
  for (int f = 1; f <= kFrameTableCapacity; ++f) {
    controls.AppendFrameNumber(1000 + f);
  }
  for (QListView* list : {controls.FirstFrameList(), controls.LastFrameList()}) {
    ASSERT_EQ(list->model()->rowCount(), kFrameTableCapacity);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "1001");
    EXPECT_EQ(list->model()->index(4999, 0).data().toString(), "6000");
    EXPECT_FALSE(list->selectionModel()->hasSelection());
  }
  controls.AppendFrameNumber(7);
  controls.ClearLists();
  EXPECT_EQ(controls.FirstFrameList()->model()->rowCount(), 0);
  EXPECT_EQ(controls.LastFrameList()->model()->rowCount(), 0);
}

TEST_F(GraphRangeControlsTest, ClickInEitherListReportsBothSelections) {
  for (int f = 1; f <= 12; ++f) {
    controls.AppendFrameNumber(f);
  }
  controls.ApplyCheckBoxRule(true);
  client.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&client));
  QSignalSpy chosen(&controls, &GraphRangeControls::rangeChosen);
  QListView* first = controls.FirstFrameList();
  QListView* last = controls.LastFrameList();

  last->scrollTo(last->model()->index(7, 0));
  Click(last, 7);
  first->scrollTo(first->model()->index(3, 0));
  Click(first, 3);
  ASSERT_EQ(chosen.size(), 2);
  EXPECT_EQ(chosen[0], QVariantList({-1, 7}));
  EXPECT_EQ(chosen[1], QVariantList({3, 7}));

  // Moving a selection with the arrow keys counts as a click; a key that moves nothing not.
  const struct {
    QListView* list;
    Qt::Key key;
    QVariantList range;  // empty: no range chosen
  } keys[] = {{first, Qt::Key_Down, {4, 7}},
              {last, Qt::Key_Up, {4, 6}},
              {last, Qt::Key_Home, {4, 0}},
              {last, Qt::Key_Up, {}}};
  for (const auto& k : keys) {
    SCOPED_TRACE(::testing::Message() << "key 0x" << std::hex << int{k.key});
    chosen.clear();
    QTest::keyClick(k.list, k.key);
    ASSERT_EQ(chosen.size(), k.range.isEmpty() ? 0 : 1);
    if (!k.range.isEmpty()) {
      EXPECT_EQ(chosen[0], k.range);
    }
  }
}

}  // namespace
TEST_F(ParameterGraphTest, FramesWithoutTheSectionLeaveTheirPointEmpty) {
  FrameTable& table = Table(6);
  for (int f : {2, 5}) {
    table.Record(f).values.fill(0);  // a CDHS/ADCS frame: no EPS/TCS reading at all
  }
  graph.DrawParameterGraph(table, kRow);
  for (int f = 1; f <= 6; ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(Chart().IsNull(f), f == 2 || f == 5);
    EXPECT_EQ(Chart().RowLabel(f), QString::number(100 + f));
  }
  // The section's length row tells presence, so its 0 is a value worth drawing.
  graph.DrawParameterGraph(table, 0);
  for (int f = 1; f <= 6; ++f) {
    EXPECT_FALSE(Chart().IsNull(f)) << f;
  }
  graph.DrawGraphRange(table, kRow, 0, 2);
  EXPECT_FALSE(Chart().IsNull(1));
  EXPECT_TRUE(Chart().IsNull(2));
}

}  // namespace quilmar

namespace quilmar {
namespace {

// What the chart draws: its points, the axes' ranges, ticks and labels where they stand.
QStringList Drawn(ChartAdapter& chart) {
  QStringList drawn{QString::number(chart.RowCount())};
  auto* series = qobject_cast<QLineSeries*>(chart.Chart()->series()[0]);
  drawn << QStringLiteral("markers %1").arg(series->pointsVisible());
  for (const QPointF& point : series->points()) {
    drawn << QStringLiteral("%1 %2").arg(point.x()).arg(point.y(), 0, 'g', 17);
  }
  for (QAbstractAxis* axis : chart.Chart()->axes()) {
    if (auto* categories = qobject_cast<QCategoryAxis*>(axis)) {
      drawn << QStringLiteral("from %1 angle %2")
                   .arg(categories->startValue())
                   .arg(categories->labelsAngle());
      for (const QString& label : categories->categoriesLabels()) {
        drawn << label + QStringLiteral(" at %1").arg(categories->endValue(label));
      }
    } else if (auto* values = qobject_cast<QValueAxis*>(axis)) {
      drawn << QStringLiteral("%1..%2 ticks %3 every %4")
                   .arg(values->min(), 0, 'g', 17)
                   .arg(values->max(), 0, 'g', 17)
                   .arg(values->tickCount())
                   .arg(values->tickInterval());
    }
  }
  return drawn;
}

// A live session adds frames to a chart on screen: each step must draw what charting the
// grown table afresh draws, across the changes of label spacing, markers and thinning.
TEST_F(ParameterGraphTest, FramesAddedToTheChartDrawWhatAFreshChartDraws) {
  QWidget freshTab;
  freshTab.resize(tab.size());
  ParameterGraph fresh(&freshTab);
  freshTab.show();
  ShowChart();
  graph.DrawParameterGraph(Table(3), kRow);
  for (const int frames : {4, 20, 21, 30, 59, 62, 700, 701, 4999, 5000}) {
    SCOPED_TRACE(frames);
    graph.DrawParameterGraphWhenShown(Table(frames), kRow);
    fresh.DrawParameterGraph(Table(frames), kRow);
    QApplication::processEvents();
    EXPECT_EQ(Drawn(Chart()), Drawn(fresh.Chart()));
  }
}

// An operator zoomed into a run of frames keeps it while frames arrive; a double-click then
// shows the whole chart with the new frames.
TEST_F(ParameterGraphTest, AZoomStaysWhereItIsWhileFramesArrive) {
  graph.DrawParameterGraph(Table(200), kRow);
  ShowChart();
  QTest::mouseDClick(Chart().View()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  DragAcrossRows(50, 100);
  ASSERT_TRUE(Chart().IsZoomed());
  const QStringList zoomed = Drawn(Chart());
  const double low = Axis()->min();
  const double high = Axis()->max();

  graph.DrawParameterGraphWhenShown(Table(230), kRow);
  QApplication::processEvents();
  EXPECT_TRUE(Chart().IsZoomed());
  EXPECT_EQ(Axis()->min(), low);
  EXPECT_EQ(Axis()->max(), high);
  EXPECT_EQ(Chart().RowCount(), 230);

  QTest::mouseDClick(Chart().View()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(Chart().IsZoomed());
  QWidget freshTab;
  freshTab.resize(tab.size());
  ParameterGraph fresh(&freshTab);
  freshTab.show();
  fresh.DrawParameterGraph(Table(230), kRow);
  QApplication::processEvents();
  EXPECT_EQ(Drawn(Chart()), Drawn(fresh.Chart()));
  EXPECT_NE(Drawn(Chart()), zoomed);
}

}  // namespace
}  // namespace quilmar
