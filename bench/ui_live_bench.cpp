// The window's live session fed by a TCP server in the same process: a burst of 5000 frames
// written at once must be stored and shown within 1 s without the event loop stalling for
// more than 50 ms (the largest gap between ticks of a 10 ms timer), and at a pass's rate of a
// frame every 100 ms a frame must be on screen at most 20 ms (median) after its last byte
// reached the socket.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "bench/housekeeping_log.h"
#include "ui/live/live_session.h"
#include "ui/shell/main_window.h"

namespace quilmar {
namespace {

constexpr int kGraphTab = 3;

// Runs the event loop until done() or the time is up; false when the time ran out.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 10'000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

// The largest pause between ticks of a 10 ms timer: how long the event loop was blocked.
class StallMeter {
 public:
  StallMeter() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      largestGapMs = std::max(largestGapMs, sinceTick.nsecsElapsed() / 1e6);
      sinceTick.start();
    });
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(10);
    sinceTick.start();
  }
  double largestGapMs = 0;

 private:
  QTimer timer;
  QElapsedTimer sinceTick;
};

struct LiveWindow {
  LiveWindow() {
    window.SetSettingsPath(dir.filePath(QStringLiteral("quilmar_hkc.ini")));
    window.SetMessageReporter([](QMessageBox::Icon, const QString&, const QString&) {});
    window.show();
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&window.tableModel(), &FrameTableModel::rowsAppended, [this] { ++refreshes; });
  }

  bool Connect() {
    TncAddress address;
    address.host = QStringLiteral("127.0.0.1");
    address.port = server.serverPort();
    const QString recording = dir.filePath(QStringLiteral("live-%1.kss").arg(++sessions));
    if (!window.ConnectToTnc({address, recording}) ||
        !SpinUntil([this] { return server.hasPendingConnections(); })) {
      return false;
    }
    client = server.nextPendingConnection();
    return true;
  }

  void Send(const testing::Bytes& bytes) {
    client->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    client->flush();
  }

  QString PositionText() const {
    return window.findChild<QLineEdit*>(QStringLiteral("Text2"))->text();
  }

  QTemporaryDir dir;
  MainWindow window;
  QTcpServer server;
  QTcpSocket* client = nullptr;
  int sessions = 0;
  int refreshes = 0;
};

void BM_LiveBurst(benchmark::State& state) {
  LiveWindow live;
  const testing::Bytes burst = HousekeepingLog(kFrameTableCapacity);
  const QString shown = QStringLiteral("#%1 / %1").arg(kFrameTableCapacity);
  double largestGapMs = 0;
  for (auto _ : state) {
    if (!live.Connect()) {
      state.SkipWithError("no connection");
      return;
    }
    QApplication::processEvents();
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    live.Send(burst);
    const bool all = SpinUntil([&] {
      return live.window.frameTable().frameCount == kFrameTableCapacity &&
             live.PositionText() == shown;
    });
    QApplication::processEvents();  // the repaint of the last refresh
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    largestGapMs = std::max(largestGapMs, stalls.largestGapMs);
    live.window.Disconnect();
    if (!all) {
      state.SkipWithError("not all frames arrived");
      return;
    }
  }
  state.counters["largest_gap_ms"] = largestGapMs;
  state.counters["refreshes"] = live.refreshes / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LiveBurst)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The frames of a pass come one every 100 ms; state.range(0) frames arrive at once first, so
// the table (and its chart) already holds most of a pass when the timed frames come. With
// state.range(1) set the user watches the Graph tab, whose chart is rebuilt for every frame.
void BM_LivePassRate(benchmark::State& state) {
  LiveWindow live;
  const int earlier = static_cast<int>(state.range(0));
  if (state.range(1) != 0) {
    live.window.findChild<QTabWidget*>(QStringLiteral("Hexdump"))->setCurrentIndex(kGraphTab);
  }
  const testing::Bytes pass = HousekeepingLog(earlier + 50);
  // Frame boundaries: each frame's bytes end just before the next frame's opening FEND.
  std::vector<std::size_t> ends;
  for (std::size_t i = 1; i < pass.size(); ++i) {
    if (pass[i] == testing::kFend && pass[i - 1] == testing::kFend) {
      ends.push_back(i);
    }
  }
  ends.push_back(pass.size());
  const auto bytes = [&](std::size_t from, std::size_t end) {
    return testing::Bytes(pass.begin() + static_cast<std::ptrdiff_t>(from),
                          pass.begin() + static_cast<std::ptrdiff_t>(end));
  };
  std::vector<double> latenciesMs;
  for (auto _ : state) {
    if (!live.Connect()) {
      state.SkipWithError("no connection");
      return;
    }
    std::size_t from = 0;
    if (earlier > 0) {
      from = ends[static_cast<std::size_t>(earlier) - 1];
      live.Send(bytes(0, from));
      SpinUntil([&] { return live.window.frameTable().frameCount == earlier; });
    }
    for (std::size_t f = static_cast<std::size_t>(earlier); f < ends.size(); ++f) {
      bool paused = false;
      QTimer::singleShot(100, [&] { paused = true; });
      SpinUntil([&] { return paused; });
      const int before = live.refreshes;
      QElapsedTimer clock;
      clock.start();
      live.Send(bytes(from, ends[f]));
      SpinUntil([&] { return live.refreshes > before; }, 2000);
      QApplication::processEvents();  // the repaint that puts it on screen
      latenciesMs.push_back(clock.nsecsElapsed() / 1e6);
      from = ends[f];
    }
    state.SetIterationTime(1e-3);
    live.window.Disconnect();
  }
  std::sort(latenciesMs.begin(), latenciesMs.end());
  state.counters["frames"] = static_cast<double>(latenciesMs.size());
  state.counters["median_ms"] = latenciesMs[latenciesMs.size() / 2];
  state.counters["p90_ms"] = latenciesMs[latenciesMs.size() * 9 / 10];
  state.counters["max_ms"] = latenciesMs.back();
}
BENCHMARK(BM_LivePassRate)
    ->Args({0, 0})
    ->Args({kFrameTableCapacity - 50, 0})
    ->Args({kFrameTableCapacity - 50, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace quilmar
