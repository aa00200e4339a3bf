// The chart component: its rows, labels and null points, the label spacing on the axis, the
// value text it reads back, and the extras around it (zoom, context menu, picture).
#include "ui/chart/chart_adapter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineSeries>
#include <QLocale>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <algorithm>
#include <functional>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own count (its header is not always installed with the compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace quilmar {
namespace {

class ChartAdapterTest : public ::testing::Test {
 protected:
  ChartAdapterTest() : chart(&frame) {
    frame.resize(640, 330);
    chart.View()->setGeometry(8, 16, 617, 313);
  }

  // Rows 1..n labelled 1..n, row r holding r * 0.5.
  void Fill(int n) {
    chart.ResetData();
    chart.SetRowCount(n);
    for (int r = 1; r <= n; ++r) {
      chart.SetCurrentRow(r);
      chart.SetRowLabel(QString::number(r));
      chart.SetPointValue(r * 0.5);
    }
    chart.Commit();
  }

  QLineSeries* Series() const { return qobject_cast<QLineSeries*>(chart.Chart()->series()[0]); }

  QWidget frame;
  ChartAdapter chart;
};

TEST_F(ChartAdapterTest, ResetLeavesOneNullRowThatDrawsNothing) {
  Fill(5);
  chart.ResetData();
  chart.Commit();
  EXPECT_EQ(chart.RowCount(), 1);
  EXPECT_TRUE(chart.IsNull(1));
  EXPECT_EQ(chart.PointValue(), QString());
  EXPECT_EQ(chart.RowLabel(1), QString());
  EXPECT_EQ(Series()->count(), 0);
}

TEST_F(ChartAdapterTest, RowCountKeepsRowsAndAddsNullOnes) {
  Fill(3);
  chart.SetRowCount(5);
  EXPECT_EQ(chart.RowLabel(3), "3");
  EXPECT_FALSE(chart.IsNull(3));
  EXPECT_TRUE(chart.IsNull(4));
  chart.SetRowCount(2);
  chart.Commit();
  EXPECT_EQ(chart.RowCount(), 2);
  EXPECT_EQ(Series()->count(), 2);
  chart.SetRowCount(0);
  chart.Commit();
  EXPECT_EQ(Series()->count(), 0);
  EXPECT_TRUE(chart.AxisLabels().isEmpty());
}

TEST_F(ChartAdapterTest, WritesOutsideTheChartGoNowhere) {
  Fill(3);
  EXPECT_TRUE(chart.SetCurrentRow(2));
  EXPECT_FALSE(chart.SetCurrentRow(4));
  EXPECT_FALSE(chart.SetCurrentRow(0));
  EXPECT_FALSE(chart.SetCurrentColumn(2));
  chart.SetPointValue(9);  // still row 2, the last row accepted
  EXPECT_EQ(chart.PointValue(), QLocale().toString(9));
  EXPECT_EQ(chart.RowLabel(4), QString());
}

TEST_F(ChartAdapterTest, PointValueTextHasFifteenDigitsInTheUsersNotation) {
  const struct {
    QLocale::Language language;
    double value;
    const char* text;
  } cases[] = {
      {QLocale::English, 2.5, "2.5"},
      {QLocale::English, 1234567, "1234567"},
      {QLocale::English, -0.25, "-0.25"},
      {QLocale::English, 3.2999999523162842, "3.29999995231628"},
      {QLocale::English, 0.00001, "1E-05"},
      {QLocale::English, 1e15, "1E+15"},
      {QLocale::German, 2.5, "2,5"},
      {QLocale::German, 12345.75, "12345,75"},
  };
  const QLocale previous;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    QLocale::setDefault(QLocale(c.language));
    chart.SetPointValue(c.value);
    EXPECT_EQ(chart.PointValue(), QString::fromLatin1(c.text));
  }
  QLocale::setDefault(previous);
}

TEST_F(ChartAdapterTest, MarkersOnlyWhileThePointsCanBeTold) {
  const struct {
    int rows;
    bool markers;
  } cases[] = {{1, true}, {60, true}, {61, false}, {300, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    Fill(c.rows);
    EXPECT_EQ(Series()->pointsVisible(), c.markers);
    EXPECT_EQ(Series()->count(), c.rows);
  }
}

TEST_F(ChartAdapterTest, DenseRowsKeepEveryColumnsExtremes) {
  frame.show();
  Fill(5000);
  for (int r = 1; r <= 5000; ++r) {
    chart.SetCurrentRow(r);
    chart.SetPointValue(r * 7919 % 1000);  // jumps between 0 and 999 all along
  }
  chart.Commit();
  QApplication::processEvents();
  const QList<QPointF> drawn = Series()->points();
  EXPECT_LE(drawn.size(), 2 * chart.Chart()->plotArea().width() + 4);
  const auto [low, high] = std::minmax_element(drawn.begin(), drawn.end(),
                                               [](QPointF a, QPointF b) { return a.y() < b.y(); });
  EXPECT_EQ(low->y(), 0);
  EXPECT_EQ(high->y(), 999);
  EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(),
                             [](QPointF a, QPointF b) { return a.x() < b.x(); }));

  // Zoomed in far enough, every row in view is drawn again, with its marker.
  auto* axis = qobject_cast<QValueAxis*>(chart.Chart()->axes(Qt::Horizontal)[0]);
  axis->setRange(99.5, 130.5);
  EXPECT_TRUE(Series()->pointsVisible());
  EXPECT_EQ(Series()->count(), 33);  // rows 99..131: the line runs on to the edges
  EXPECT_EQ(Series()->at(1), QPointF(100, 100 * 7919 % 1000));
}

// Rows without the value break the line: a run of rows that have it is drawn joined, a row
// alone is a dot of its own. With more rows than pixel columns, a gap narrower than a column
// cannot be seen and the line goes on; a whole column without the value breaks it.
TEST_F(ChartAdapterTest, RowsWithoutTheValueBreakTheLine) {
  struct Case {
    const char* name;
    int rows;
    std::function<bool(int)> hasValue;
    std::vector<int> runLengths;  // in points drawn
  };
  const Case cases[] = {
      // One frame without the value is the sections' alternation: the line goes across it.
      {"one missing", 6, [](int r) { return r != 3; }, {5}},
      {"every other", 7, [](int r) { return r % 2 == 1; }, {4}},
      {"two missing", 7, [](int r) { return r != 3 && r != 4; }, {2, 3}},
      {"every third", 7, [](int r) { return r % 3 == 1; }, {1, 1, 1}},
      {"first and last missing", 5, [](int r) { return r != 1 && r != 5; }, {3}},
      {"none missing", 4, [](int) { return true; }, {4}},
      {"none there", 3, [](int) { return false; }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    chart.ResetData();
    chart.SetRowCount(c.rows);
    for (int r = 1; r <= c.rows; ++r) {
      chart.SetCurrentRow(r);
      if (c.hasValue(r)) {
        chart.SetPointValue(r);
      }
    }
    chart.Commit();
    std::vector<int> lengths;
    for (const QList<QPointF>& run : chart.LineRuns()) {
      lengths.push_back(static_cast<int>(run.size()));
      for (const QPointF& point : run) {
        EXPECT_TRUE(c.hasValue(static_cast<int>(point.x()))) << point.x();
      }
    }
    EXPECT_EQ(lengths, c.runLengths);
  }

  frame.show();
  const auto gapsOf = [&](const std::function<bool(int)>& hasValue) {
    Fill(5000);
    for (int r = 1; r <= 5000; ++r) {
      chart.SetCurrentRow(r);
      if (!hasValue(r)) {
        chart.SetPointNull();
      }
    }
    chart.Commit();
    QApplication::processEvents();
    return chart.LineRuns().size() - 1;
  };
  EXPECT_EQ(gapsOf([](int r) { return r % 2 == 0; }), 0u);
  EXPECT_EQ(gapsOf([](int r) { return r < 2000 || r >= 3000; }), 1u);
}

// What the user sees: no stroke of the line's colour where a row lacks the value, the line
// where both neighbours have one.
TEST_F(ChartAdapterTest, TheGapIsLeftBlankOnScreen) {
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  chart.ResetData();
  chart.SetRowCount(6);
  for (int r = 1; r <= 6; ++r) {
    chart.SetCurrentRow(r);
    if (r != 3 && r != 4) {
      chart.SetPointValue(5);
    }
  }
  chart.Commit();
  QApplication::processEvents();
  const QImage shown = chart.View()->grab().toImage();
  QAbstractSeries* series = chart.Chart()->series()[0];
  const auto inkAt = [&](double row) {
    const QPointF at = chart.View()->mapFromScene(
        chart.Chart()->mapToScene(chart.Chart()->mapToPosition(QPointF(row, 5), series)));
    int inked = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      const QColor pixel = shown.pixelColor(qRound(at.x()), qRound(at.y()) + dy);
      inked += pixel.blue() > pixel.red() + 60 ? 1 : 0;  // the line's blue, not grey or white
    }
    return inked;
  };
  EXPECT_GT(inkAt(1.5), 0);
  EXPECT_EQ(inkAt(3.5), 0);
  EXPECT_GT(inkAt(5.5), 0);
}

TEST_F(ChartAdapterTest, LabelsSitOnEveryNthCategoryFromTheFirst) {
  const struct {
    int rows;
    int spacing;
    QStringList labels;
  } cases[] = {
      {5, 1, {"1", "2", "3", "4", "5"}},
      {10, 3, {"1", "4", "7", "10"}},
      {15, 20, {"1"}},
      {5000, 250, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    chart.SetCategoryAxisSpacing(c.spacing);
    Fill(c.rows);
    const QStringList labels = chart.AxisLabels();
    if (c.labels.isEmpty()) {
      ASSERT_EQ(labels.size(), c.rows / c.spacing);
      for (int k = 0; k < labels.size(); ++k) {
        EXPECT_EQ(labels[k], QString::number(1 + k * c.spacing));
      }
    } else {
      EXPECT_EQ(labels, c.labels);
    }
  }
}

TEST_F(ChartAdapterTest, CrowdedLabelsThinOutOnTheSpacingGrid) {
  // Spacing 1 over 2000 categories cannot label each one readably.
  chart.SetCategoryAxisSpacing(1);
  Fill(2000);
  const QStringList labels = chart.AxisLabels();
  ASSERT_GE(labels.size(), 2);
  EXPECT_LE(labels.size(), 60);
  EXPECT_EQ(labels[0], "1");
  const int stride = labels[1].toInt() - 1;
  for (int k = 0; k < labels.size(); ++k) {
    EXPECT_EQ(labels[k].toInt(), 1 + k * stride);
  }
}

TEST_F(ChartAdapterTest, RepeatedFrameNumbersStillGetTheirLabels) {
  chart.SetCategoryAxisSpacing(1);
  Fill(4);
  chart.SetCurrentRow(3);
  chart.SetRowLabel("2");
  chart.Commit();
  EXPECT_EQ(chart.AxisLabels(), QStringList({"1", "2", "2", "4"}));
}

// A parameter that never changes must still draw a line inside the plot, not on its edge
// where the axis would hide it.
TEST_F(ChartAdapterTest, EqualValuesDrawALineInsideThePlot) {
  for (const double value : {7.5, 0.0, -3.0}) {
    SCOPED_TRACE(value);
    chart.ResetData();
    chart.SetRowCount(5);
    for (int r = 1; r <= 5; ++r) {
      chart.SetCurrentRow(r);
      chart.SetPointValue(value);
    }
    chart.Commit();
    const auto* axis = qobject_cast<QValueAxis*>(chart.Chart()->axes(Qt::Vertical)[0]);
    EXPECT_LT(axis->min(), value);
    EXPECT_GT(axis->max(), value);
  }
}

// Heap bytes in use now, as the allocator counts them.
std::size_t AllocatedBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

// A chart view built empty makes a chart of its own; replacing it left that one behind for
// the life of the process.
TEST(ChartAdapterLifetime, GivesBackWhatItTook) {
  const auto buildAndDrop = [] {
    QWidget frame;
    ChartAdapter chart(&frame);
  };
  buildAndDrop();  // caches of fonts and themes fill once
  buildAndDrop();
  const std::size_t before = AllocatedBytes();
  for (int i = 0; i < 10; ++i) {
    buildAndDrop();
  }
  const std::size_t after = AllocatedBytes();
  EXPECT_LT(after, before + 100'000) << after - before << " bytes kept by 10 charts";
}

TEST_F(ChartAdapterTest, ContextMenuShowsTheWholeChartAgain) {
  frame.show();
  Fill(100);
  QApplication::processEvents();
  chart.Chart()->zoomIn(QRectF(chart.Chart()->plotArea().center(), QSizeF(40, 10)));
  ASSERT_TRUE(chart.IsZoomed());
  QMenu* menu = chart.View()->CreateContextMenu(&frame);
  QStringList texts;
  for (QAction* action : menu->actions()) {
    texts << action->text();
  }
  EXPECT_EQ(texts, QStringList({"Save Chart as PNG…", "Copy Chart", "Show Whole Chart"}));
  menu->actions()[2]->trigger();
  EXPECT_FALSE(chart.IsZoomed());
  auto* axis = qobject_cast<QValueAxis*>(chart.Chart()->axes(Qt::Horizontal)[0]);
  EXPECT_DOUBLE_EQ(axis->min(), 0.5);
  EXPECT_DOUBLE_EQ(axis->max(), 100.5);
  delete menu;
}

TEST_F(ChartAdapterTest, PictureOfTheChartGoesToFileAndClipboard) {
  Fill(30);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("chart.png"));
  ASSERT_TRUE(chart.View()->SaveAsPng(path));
  const QImage saved(path);
  EXPECT_EQ(saved.size(), chart.View()->size());  // no title set: the chart alone
  chart.View()->SetPictureTitle(QStringLiteral("COM: RSSI"));
  chart.View()->CopyToClipboard();
  const QImage copied = QApplication::clipboard()->image();
  EXPECT_EQ(copied.width(), chart.View()->width());
  EXPECT_GT(copied.height(), chart.View()->height());
  EXPECT_FALSE(chart.View()->SaveAsPng(dir.filePath(QStringLiteral("missing/chart.png"))));
}

}  // namespace
}  // namespace quilmar
