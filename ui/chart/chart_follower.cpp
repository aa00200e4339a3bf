// The chart following the table model; see chart_follower.h.
#include "chart_follower.h"

#include "parameter_graph.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {

ChartFollower::ChartFollower(const FrameTableModel& model, ParameterGraph& graph,
                             GraphRangeControls& rangeControls, QObject* parent)
    : QObject(parent), model(model), graph(graph), rangeControls(rangeControls) {
  connect(&model, &FrameTableModel::tableReset, this, &ChartFollower::TableReset);
  connect(&model, &FrameTableModel::oldestDropped, this, &ChartFollower::TableReset);
  connect(&model, &FrameTableModel::rowsAppended, this, &ChartFollower::RowsAppended);
  connect(&rangeControls, &GraphRangeControls::rangeChosen, this, &ChartFollower::RangeChosen);
}

void ChartFollower::Chart(int row) {
  chartedRow = row;
  showsRange = false;
  graph.DrawParameterGraph(model.Table(), row);
}

void ChartFollower::TableReset() {
  rangeControls.ClearLists();
  for (int i = 1; i <= model.RowCount(); ++i) {
    rangeControls.AppendFrameNumber(model.Table().Record(i).frameNumber);
  }
  Chart(chartedRow);
}

void ChartFollower::RowsAppended(int first, int last) {
  for (int i = first; i <= last; ++i) {
    rangeControls.AppendFrameNumber(model.Table().Record(i).frameNumber);
  }
  if (!showsRange) {
    graph.DrawParameterGraphWhenShown(model.Table(), chartedRow);
  }
}

void ChartFollower::RangeChosen(int from, int to) {
  if (to < from) {
    return;
  }
  showsRange = true;
  graph.DrawGraphRange(model.Table(), chartedRow, from, to);
}

}  // namespace quilmar
