// The chart and its range lists following the table model: a reset charts the charted row
// over the new table and lists its frame numbers; appended rows join the lists and the chart,
// unless the operator picked a range of frames, which then stays on the chart as picked.
#pragma once

#include <QObject>

namespace quilmar {

class FrameTableModel;
class GraphRangeControls;
class ParameterGraph;

class ChartFollower : public QObject {
  Q_OBJECT
 public:
  ChartFollower(const FrameTableModel& model, ParameterGraph& graph,
                GraphRangeControls& rangeControls, QObject* parent = nullptr);

  int ChartedRow() const { return chartedRow; }
  // Charts row over the whole table.
  void Chart(int row);
  // The row the next reset charts, without drawing now.
  void SetChartedRow(int row) { chartedRow = row; }
  // True while the chart shows a range picked in the lists.
  bool ShowsRange() const { return showsRange; }

 private:
  void TableReset();
  void RowsAppended(int first, int last);
  void RangeChosen(int from, int to);

  const FrameTableModel& model;
  ParameterGraph& graph;
  GraphRangeControls& rangeControls;
  int chartedRow = 0;
  bool showsRange = false;
};

}  // namespace quilmar
