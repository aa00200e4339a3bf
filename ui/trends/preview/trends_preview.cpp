// trends-preview ARCHIVE [--show ROW,ROW] [--last SECONDS] [--limits FILE] [--screenshot
// FILE.png]: opens the Trends window on an archive by itself, for trying it out before it has a
// menu entry, with parameters ticked by catalogue row, judged by the limits in FILE (else the
// user's or the default file), and the window saved as a picture if asked.
// trends-preview ARCHIVE --measure ROW,ROW: times opening with the first parameter, adding
// the second, zoom and pan steps (each painted from the tiles held, from the whole archive's
// view and from a zoomed one), how long the finer picture takes to arrive after a step, and
// prints the peak memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "archive/archive_location.h"
#include "limits/limits_file.h"
#include "ui/trends/episodes_panel.h"
#include "ui/trends/trend_chart.h"
#include "ui/trends/trends_window.h"

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

QByteArray PeakMemory() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) {
    return "unknown";
  }
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) {
      return line.mid(6).trimmed();
    }
  }
  return "unknown";
}

// Each step changes the view and paints the chart, as a wheel turn or a drag does; what is
// not held yet is painted from a coarser tile. From the full view, each step starts there
// again (the return is not timed).
double MedianStepMs(quilmar::TrendChart& chart, bool zoom, bool fromFullView) {
  std::vector<double> times;
  QElapsedTimer timer;
  for (int step = 0; step < 21; ++step) {
    if (fromFullView) {
      chart.SetView(chart.FullFrom(), chart.FullTo());
      chart.grab();
    }
    const double from = chart.ViewFrom(), span = chart.ViewTo() - chart.ViewFrom();
    timer.start();
    if (zoom) {
      chart.SetView(from + span * 0.1, from + span * 0.9);
    } else {
      chart.SetView(from - span * 0.1, from - span * 0.1 + span);
    }
    chart.grab();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  return Median(times);
}

// Until the window's reads of the archive have all answered (the overviews, opening).
void WaitForReads(const quilmar::TrendsWindow& window) {
  while (window.PendingReads() > 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

// Until no read is under way and every curve is painted from tiles of the view's width; the
// milliseconds since the timer's start.
qint64 WaitForRefined(const quilmar::TrendsWindow& window, const QElapsedTimer& timer) {
  while (window.PendingReads() > 0 || !window.Chart()->Refined()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return timer.elapsed();
}

// Zoom steps to views not read yet (a tenth to a ten-thousandth of the whole archive, about a
// point further on each time), painted from coarser tiles at once and then with the finer ones
// once read: the milliseconds until then, sorted.
std::vector<double> RefinedMs(quilmar::TrendsWindow& window) {
  quilmar::TrendChart& chart = *window.Chart();
  const double fullFrom = chart.FullFrom(), fullSpan = chart.FullTo() - chart.FullFrom();
  std::vector<double> times;
  QElapsedTimer timer;
  for (int step = 0; step < 9; ++step) {
    const double middle = fullFrom + fullSpan * (0.05 + 0.1 * step);
    const double span = fullSpan / std::pow(10.0, 1 + step % 4);
    timer.start();
    chart.SetView(middle - span / 2, middle + span / 2);
    chart.grab();
    WaitForRefined(window, timer);
    chart.grab();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times;
}

// Until the chart shows curves curves.
void WaitForCurves(const quilmar::TrendsWindow& window, int curves) {
  while (window.Chart()->CurveCount() < curves && window.PendingReads() > 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

int Measure(const quilmar::ArchiveLocation& location, const QStringList& rows) {
  QElapsedTimer timer;
  timer.start();
  quilmar::TrendsWindow window(location);
  window.show();
  window.ShowParameter(rows.value(0).toInt(), true);
  WaitForCurves(window, 1);
  window.grab();
  std::cout << "open with one parameter, painted: " << timer.elapsed() << " ms\n";
  timer.start();
  window.ShowParameter(rows.value(1).toInt(), true);
  WaitForCurves(window, 2);
  window.Chart()->grab();
  std::cout << "second parameter, painted: " << timer.elapsed() << " ms ("
            << window.StatusText().toStdString() << ")\n";
  std::cout << "whole view refined in the background after: " << WaitForRefined(window, timer)
            << " ms\n";
  quilmar::TrendChart& chart = *window.Chart();
  std::cout << "full-view zoom step, painted (median of 21): " << MedianStepMs(chart, true, true)
            << " ms\n";
  std::cout << "full-view pan step, painted (median of 21): " << MedianStepMs(chart, false, true)
            << " ms\n";
  chart.SetView(chart.FullFrom(), chart.FullTo());
  std::cout << "zoom step, painted (median of 21): " << MedianStepMs(chart, true, false) << " ms\n";
  std::cout << "pan step, painted (median of 21): " << MedianStepMs(chart, false, false) << " ms\n";
  const std::vector<double> refined = RefinedMs(window);
  std::cout << "zoom to a view not read yet, refined (median of 9): " << Median(refined) << " ms\n";
  std::cout << "zoom to a view not read yet, refined (slowest of 9): " << refined.back() << " ms\n";
  std::cout << "tiles held at the end: " << chart.Tiles().Count() << " (of "
            << chart.Tiles().Capacity() << "; " << chart.Tiles().PointCount() << " points)\n";
  std::cout << "peak memory: " << PeakMemory().toStdString() << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() < 2) {
    std::cerr << "Usage: trends-preview ARCHIVE [--show ROW,ROW] [--last SECONDS]"
                 " [--limits FILE] [--screenshot FILE.png] | --measure ROW,ROW\n";
    return 2;
  }
  QString error;
  const auto location = quilmar::ParseArchiveLocation(arguments[1], error);
  if (!location) {
    std::cerr << error.toStdString() << '\n';
    return 1;
  }
  if (arguments.size() == 4 && arguments[2] == "--measure") {
    return Measure(*location, arguments[3].split(','));
  }
  quilmar::TrendsWindow window(*location);
  window.show();
  WaitForReads(window);  // the archive opened: its time span known
  QString screenshot;
  for (int i = 2; i + 1 < arguments.size(); i += 2) {
    if (arguments[i] == "--show") {
      for (const QString& row : arguments[i + 1].split(',')) {
        window.ShowParameter(row.toInt(), true);
      }
    } else if (arguments[i] == "--last") {
      window.ShowLast(arguments[i + 1].toDouble());
    } else if (arguments[i] == "--screenshot") {
      screenshot = arguments[i + 1];
    } else if (arguments[i] == "--limits") {
      const quilmar::LimitsLoad load = quilmar::LoadLimitsFile(arguments[i + 1].toStdString());
      if (!load.limits) {
        std::cerr << load.error.Text() << '\n';
        return 1;
      }
      window.SetLimits(*load.limits);
    }
  }
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(500, &window, [&] {
      QElapsedTimer timer;
      timer.start();
      WaitForRefined(window, timer);  // the picture shows the view's own tiles
      // and the episodes in view, read a moment after the view came to rest
      while ((window.Episodes()->SummaryText().isEmpty() ||
              window.Episodes()->SummaryText().startsWith("Reading")) &&
             timer.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      }
      window.grab().save(screenshot);
      application.quit();
    });
  }
  return application.exec();
}
