// The charted parameter: the round buttons in front of the values choose it, its value box is
// marked light yellow, the chart shows it and the hex dump marks its bytes red.
#include <QRadioButton>

#include "main_window.h"
#include "ui/chart/chart_follower.h"
#include "ui/frame/frame_navigator.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/hex_dump.h"
#include "ui/look/look.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {

void MainWindow::ShowFrameAt(int frameNumber) { navigator->ShowFrameAt(frameNumber); }

void MainWindow::ShowHexDump(int frameNumber, int first, int last) {
  navigator->ShowHexDump(frameNumber, first, last);
}

int MainWindow::ChartedParameter() const { return chartFollower->ChartedRow(); }

void MainWindow::MarkChartedParameter(int row) {
  navigator->SetHighlightRow(row);
  // Box 69 keeps its System Status colour whichever row is charted.
  for (int r = 0; r < kParameterCount; ++r) {
    if (r != kSystemStatusRow) {
      view->SetValueBoxColour(r, kLightGrey);
    }
  }
  view->ParameterButton(row)->setChecked(true);
  for (int r = 0; r < kParameterCount; ++r) {
    if (r != row) {
      view->ParameterButton(r)->setChecked(false);
    }
  }
  view->SetValueBoxColour(row, kLightYellow);
}

void MainWindow::ParameterButtonClicked(int row) {
  if (row < 0 || row >= kParameterCount) {
    return;
  }
  MarkChartedParameter(row);
  chartFollower->Chart(row);
  const int value = navigator->Current();
  const FrameTable& table = model->Table();
  if (!table.IsCurrent(value)) {
    return;
  }
  if (row == kSystemStatusRow) {
    // The System Status bytes carry their meaning in the box colour, not in the hex dump.
    view->ColourSystemStatus(table.Record(value).values[kSystemStatusRow]);
  } else {
    const HighlightRange range = HighlightFor(row);
    ShowHexDump(value, range.first, range.last);
  }
}

}  // namespace quilmar
