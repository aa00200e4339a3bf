// Charting a parameter over a full log of 5000 frames: a parameter-button click redraws the
// chart and the hex dump, and the user should not see it lag (under 30 ms for both).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <QListView>
#include <cmath>
#include <memory>

#include "ui/chart/chart_adapter.h"
#include "ui/chart/parameter_graph.h"

namespace quilmar {
namespace {

const FrameTable& FullLog() {
  static const auto table = [] {
    auto filled = std::make_unique<FrameTable>();
    filled->frameCount = kFrameTableCapacity;
    for (int f = 1; f <= kFrameTableCapacity; ++f) {
      FrameRecord& record = filled->Record(f);
      record.frameNumber = 2000 + f;
      for (int row = 0; row < kParameterCount; ++row) {
        record.values[static_cast<std::size_t>(row)] = std::sin(f * 0.01 + row) * (row + 1);
      }
    }
    return filled;
  }();
  return *table;
}

// The graph as it stands on the "Graph" tab, shown so that layout and painting are real.
struct ShownGraph {
  ShownGraph() : graph(&tab) {
    tab.resize(650, 420);
    tab.show();
    QApplication::processEvents();
  }
  QWidget tab;
  ParameterGraph graph;
};

void BM_DrawParameterGraph5000(benchmark::State& state) {
  ShownGraph shown;
  const FrameTable& table = FullLog();
  int row = 0;
  for (auto _ : state) {
    shown.graph.DrawParameterGraph(table, row);
    row = (row + 1) % kParameterCount;
  }
}
BENCHMARK(BM_DrawParameterGraph5000)->Unit(benchmark::kMillisecond)->Repetitions(15);

// The same with the chart painted, as the screen would show it after the click.
void BM_DrawAndPaintParameterGraph5000(benchmark::State& state) {
  ShownGraph shown;
  const FrameTable& table = FullLog();
  int row = 0;
  for (auto _ : state) {
    shown.graph.DrawParameterGraph(table, row);
    QApplication::processEvents();
    benchmark::DoNotOptimize(shown.graph.Chart().View()->grab());
    row = (row + 1) % kParameterCount;
  }
}
BENCHMARK(BM_DrawAndPaintParameterGraph5000)->Unit(benchmark::kMillisecond)->Repetitions(15);

// A load appends every frame number to both range lists.
void BM_FillRangeLists5000(benchmark::State& state) {
  QWidget client;
  GraphRangeControls controls(&client);
  for (auto _ : state) {
    controls.ClearLists();
    for (int f = 1; f <= kFrameTableCapacity; ++f) {
      controls.AppendFrameNumber(f);
    }
    benchmark::DoNotOptimize(controls.FirstFrameList()->model()->rowCount());
  }
}
BENCHMARK(BM_FillRangeLists5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quilmar
