// Showing one frame: the scroll bar calls ShowFrame on every step, so dragging the thumb through
// a log must not lag (well under 2 ms per frame).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>
#include <cmath>
#include <memory>

#include "ui/frame/frame_view.h"

namespace quilmar {
namespace {

constexpr int kFrames = 64;

// Housekeeping frames with every section and values that change from frame to frame, so each
// call rewrites every box and recolours the faces; the power words and the day count are too
// wide for their boxes and get a narrower face.
const FrameTable& HousekeepingLog() {
  static const auto table = [] {
    auto filled = std::make_unique<FrameTable>();
    filled->frameCount = kFrames;
    for (int f = 1; f <= kFrames; ++f) {
      FrameRecord& record = filled->Record(f);
      for (int row = 0; row < kParameterCount; ++row) {
        record.values[static_cast<std::size_t>(row)] = std::fabs(std::sin(f * 0.1 + row)) * 250;
      }
      for (const SectionInfo& section : kSections) {
        record.values[static_cast<std::size_t>(section.firstRow)] = section.markerValue;
      }
      record.values[1] = f % 2;
      record.values[4] = 1 + f % 2;  // POWERSAFE, EMERGENCY
      record.values[81] = 1455616 + f * 3072;
      record.values[92] = static_cast<double>(858.904785f + f) + 2500;
      record.frameType = 'S';
      record.frameNumber = 1000 + f;
      record.dateTime = "07.03.2009 14:05:09";
      record.weekday = "Saturday";
      record.comText = std::string(33, 'B');
    }
    return filled;
  }();
  return *table;
}

void BM_ShowFrame(benchmark::State& state) {
  QWidget window;
  window.resize(1110, 460);
  auto* tabs = new QTabWidget(&window);
  tabs->setGeometry(8, 8, 649, 369);
  std::array<QWidget*, 3> pages{new QWidget, new QWidget, new QWidget};
  for (QWidget* page : pages) {
    tabs->addTab(page, QStringLiteral("tab"));
  }
  FrameView view(pages[0], pages[1], pages[2], &window);
  view.InitCaptions();
  window.show();
  QApplication::processEvents();
  const FrameTable& table = HousekeepingLog();
  int frame = 0;
  for (auto _ : state) {
    view.ShowFrame(table, frame % kFrames + 1);
    ++frame;
  }
}
BENCHMARK(BM_ShowFrame)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quilmar
