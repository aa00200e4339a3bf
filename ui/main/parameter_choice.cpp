// Stepping through the stored frames with HScroll1, the hex dump of the shown frame, and the
// parameter buttons that choose the charted parameter.
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>

#include "frame_view.h"
#include "hex_dump.h"
#include "look.h"
#include "main_window.h"
#include "parameter_graph.h"

namespace quilmar {
namespace {

// The bar's own page step is one frame, as designed for clicks in the trough; from the
// keyboard PageUp and PageDown jump further so they do more than the arrow keys.
constexpr int kKeyboardPageFrames = 10;

}  // namespace

void MainWindow::ShowFrameAt(int frameNumber) { hScroll1->setValue(frameNumber); }

void MainWindow::ShowHexDump(int frameNumber, int first, int last) {
  quilmar::ShowHexDump(*richTextBox1, table, frameNumber, first, last);
}

void MainWindow::WritePositionText() {
  text2->setText(QStringLiteral("#%1 / %2").arg(hScroll1->value()).arg(table.frameCount));
}

// Only frames of the current log are shown: during a load the bar may still stand beyond the
// frames stored so far, and those records hold an earlier log's frames.
void MainWindow::ScrollBarChanged() {
  WritePositionText();
  const int value = hScroll1->value();
  if (!table.IsCurrent(value)) {
    return;
  }
  view->ShowFrame(table, value);
  const HighlightRange range = HighlightFor(chartedParameter);
  ShowHexDump(value, range.first, range.last);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == hScroll1 && event->type() == QEvent::KeyPress) {
    return ScrollBarKey(static_cast<QKeyEvent*>(event)->key());
  }
  return QMainWindow::eventFilter(watched, event);
}

// A scroll bar's arrow keys move the content, so Right would step back a frame; here they
// step the frame itself. Home and End (first and last frame) are the bar's own keys.
bool MainWindow::ScrollBarKey(int key) {
  int step = 0;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      step = -1;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      step = 1;
      break;
    case Qt::Key_PageUp:
      step = -kKeyboardPageFrames;
      break;
    case Qt::Key_PageDown:
      step = kKeyboardPageFrames;
      break;
    default:
      return false;
  }
  hScroll1->setValue(hScroll1->value() + step);
  return true;
}

void MainWindow::MarkChartedParameter(int row) {
  chartedParameter = row;
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
  graph->DrawParameterGraph(table, row);
  const int value = hScroll1->value();
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

void MainWindow::RangeChosen(int from, int to) {
  graph->DrawGraphRange(table, chartedParameter, from, to);
}

}  // namespace quilmar
