// The main window with a full log: one step of the frame scroll bar (frame view and hex dump)
// must stay well under 2 ms so dragging the thumb does not lag, a parameter choice (chart and
// hex dump) under 30 ms, and the window's whole load of a 5000-frame log under 100 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>

#include "bench/housekeeping_log.h"
#include "core/parameter_catalogue.h"
#include "tests/support/kiss_builder.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/hex_dump.h"
#include "ui/shell/main_window.h"

namespace quilmar {
namespace {

using testing::Bytes;

struct LoadedWindow {
  LoadedWindow() {
    path = dir.filePath(QStringLiteral("pass.kss"));
    testing::WriteFile(path.toStdString(), HousekeepingLog(kFrameTableCapacity));
    window.SetSettingsPath(dir.filePath(QStringLiteral("quilmar_hkc.ini")));
    window.SetMessageReporter([](QMessageBox::Icon, const QString&, const QString&) {});
    window.show();
    QApplication::processEvents();
  }
  QTemporaryDir dir;
  QString path;
  MainWindow window;
};

void BM_ScrollStep(benchmark::State& state) {
  LoadedWindow loaded;
  loaded.window.OpenLog(loaded.path);
  const bool repaint = state.range(0) != 0;
  int frame = 1;
  for (auto _ : state) {
    frame = frame % kFrameTableCapacity + 1;
    loaded.window.ShowFrameAt(frame);
    if (repaint) {
      QApplication::processEvents();
    }
  }
}
// 0: the change handler alone; 1: including the repaint that follows.
BENCHMARK(BM_ScrollStep)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Counts the paint events of the widgets on one tab page, so a benchmark can show that the
// step's repaint really happened on the offscreen platform.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* page) : page(page) { qApp->installEventFilter(this); }
  ~PaintCounter() override { qApp->removeEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        (watched == page || page->isAncestorOf(static_cast<QWidget*>(watched)))) {
      ++paints;
    }
    return false;
  }

 private:
  QWidget* page;
};

// A scroll step with the given data tab in front, through to the end of its repaint: the
// change handler, then the posted update requests that paint the changed boxes into the
// window's backing store.
void BM_ScrollStepPainted(benchmark::State& state) {
  LoadedWindow loaded;
  loaded.window.OpenLog(loaded.path);
  auto* tabs = loaded.window.findChild<QTabWidget*>(QStringLiteral("Hexdump"));
  tabs->setCurrentIndex(static_cast<int>(state.range(0)));
  QApplication::processEvents();
  PaintCounter counter(tabs->currentWidget());
  int frame = 1;
  for (auto _ : state) {
    frame = frame % kFrameTableCapacity + 1;
    loaded.window.ShowFrameAt(frame);
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
  }
  if (counter.paints < state.iterations()) {
    state.SkipWithError("the visible tab was not repainted on every step");
  }
  state.counters["paints/step"] =
      benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
}
// 0: "EPS / TCS", 1: "COM / CDHS", 2: "ADCS".
BENCHMARK(BM_ScrollStepPainted)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The hex dump part of a step on its own: three coloured pieces into the text area.
void BM_ShowHexDump(benchmark::State& state) {
  LoadedWindow loaded;
  loaded.window.OpenLog(loaded.path);
  const HighlightRange range = HighlightFor(81);
  int frame = 1;
  for (auto _ : state) {
    frame = frame % kFrameTableCapacity + 1;
    loaded.window.ShowHexDump(frame, range.first, range.last);
  }
}
BENCHMARK(BM_ShowHexDump)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A parameter-button click over the full log: the chart of 5000 points and the hex dump with
// the row's bytes in red.
void BM_ParameterClick(benchmark::State& state) {
  LoadedWindow loaded;
  loaded.window.OpenLog(loaded.path);
  loaded.window.ShowFrameAt(kFrameTableCapacity / 2);
  const bool painted = state.range(0) != 0;
  if (painted) {
    loaded.window.findChild<QTabWidget*>(QStringLiteral("Hexdump"))->setCurrentIndex(3);
  }
  QApplication::processEvents();
  int row = 0;
  for (auto _ : state) {
    row = row % (kParameterCount - 1) + 1;  // never row 0, which a load leaves charted
    loaded.window.frameView().ParameterButton(row)->click();
    if (painted) {
      QApplication::processEvents();
    }
  }
}
// 0: the click's handler alone; 1: with the "Graph" tab in front, including its repaint.
BENCHMARK(BM_ParameterClick)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_LoadKissLog(benchmark::State& state) {
  LoadedWindow loaded;
  for (auto _ : state) {
    loaded.window.OpenLog(loaded.path);
    QApplication::processEvents();  // the lists and the chart finish their deferred work
  }
  if (loaded.window.frameTable().frameCount != kFrameTableCapacity) {
    state.SkipWithError("the log did not load completely");
  }
}
BENCHMARK(BM_LoadKissLog)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quilmar
