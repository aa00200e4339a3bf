// The "Graph" tab: the frame Frame11 (captioned with the charted parameter's name) holding
// the chart MSChart1, plus the range selection (Check1, List2, Label12 "to", List3) that
// stands in the widened client area. The chart is also the drop target for log files.
#pragma once

#include <QGroupBox>
#include <QObject>
#include <QTimer>
#include <vector>

#include "core/frame_table.h"

class QCheckBox;
class QLabel;
class QListView;

namespace quilmar {

class ChartAdapter;
class FrameLimits;
class FrameNumberModel;

class ParameterGraph : public QGroupBox {
  Q_OBJECT
 public:
  // Places itself on graphTab at Frame11's position.
  explicit ParameterGraph(QWidget* graphTab);

  // Charts row over all stored frames of table.
  void DrawParameterGraph(const FrameTable& table, int row);
  // DrawParameterGraph now when the chart can be seen, else once it is next shown: a live
  // session grows the table many times a minute, and a chart of 5000 points costs
  // milliseconds to build while nobody looks at it. Any other drawing replaces the promise.
  // A chart of the row over the table's first frames only gains the new frames' points, and
  // keeps the user's zoom.
  void DrawParameterGraphWhenShown(const FrameTable& table, int row);
  // Charts row over the frames at list positions from..to (0-based, -1 when nothing is
  // selected); nothing changes when to < from.
  void DrawGraphRange(const FrameTable& table, int row, int from, int to);

  ChartAdapter& Chart();
  // The limits whose bands, bound lines and marked points the chart shows; new limits draw
  // them anew over the frames charted.
  void SetLimits(const FrameLimits* frameLimits);

 protected:
  void showEvent(QShowEvent* event) override;

 signals:
  // The first file of a drop on the chart, whatever its name; the shell decides.
  void fileDropped(const QString& path);

 private:
  void ShowPointValue(int row);
  // Whether the chart shows row over the first frames of table, as DrawParameterGraph drew it.
  bool ChartsTheStartOf(const FrameTable& table, int row);
  void AppendNewFrames(const FrameTable& table, int row);
  // The limits of row over frames first.. of table, one chart row each.
  void ShowLimits(const FrameTable& table, int row, int first, int count);

  ChartAdapter* chart;
  // What DrawParameterGraph charted last; no table after a range chart.
  const FrameTable* chartedTable = nullptr;
  int chartedRow = 0;
  // What DrawParameterGraphWhenShown left to draw.
  const FrameTable* behindTable = nullptr;
  int behindRow = 0;
  const FrameLimits* limits = nullptr;
  // What ShowLimits showed last, for new limits.
  const FrameTable* limitsTable = nullptr;
  int limitsRow = 0, limitsFirst = 1, limitsCount = 0;
};

// Check1, List2, Label12 and List3 at their twip positions on clientArea.
class GraphRangeControls : public QObject {
  Q_OBJECT
 public:
  explicit GraphRangeControls(QWidget* clientArea);

  // The range check box rule: caption and visibility of the lists and "to".
  void ApplyCheckBoxRule(bool on);
  void ClearLists();
  // One entry in each list, the frame number's decimal text.
  void AppendFrameNumber(int frameNumber);

  QCheckBox* CheckBox() const;
  QListView* FirstFrameList() const;
  QListView* LastFrameList() const;

 signals:
  // A click in either list: the selected positions (0-based, -1 when none).
  void rangeChosen(int from, int to);

 private:
  // The loader appends one frame at a time; the lists take them in batches.
  void FlushFrameNumbers() const;
  void EmitRange();

  QCheckBox* check;
  QListView* firstList;
  QLabel* toLabel;
  QListView* lastList;
  FrameNumberModel* frameNumbers;
  mutable std::vector<int> pending;
  mutable QTimer flushTimer;
};

}  // namespace quilmar
