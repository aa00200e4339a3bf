// The Trends window while the archive grows: a timer looks for frames newer than the newest
// charted one, as a live session (in this program or another) adds them, and the curves and
// a view that shows the newest time follow.
#include <QLabel>
#include <QTimer>
#include <vector>

#include "archive/archive.h"
#include "archive/trend_query.h"
#include "chart_axes.h"
#include "trend_chart.h"
#include "trends_window.h"

namespace quilmar {

void TrendsWindow::SetPollInterval(int milliseconds) { pollTimer->setInterval(milliseconds); }

// A connection that failed (a PostgreSQL server restarted, the network gone) is closed and
// opened again when next needed, so the window catches up once the archive is back.
bool TrendsWindow::ReopenIfClosed() {
  if (archive->IsOpen() || archive->Open(archive->Location(), true)) {
    return true;
  }
  status->setText(archive->Error());
  return false;
}

void TrendsWindow::PollArchive() {
  if (!ReopenIfClosed()) {
    return;
  }
  const auto span = HousekeepingTimeSpan(*archive);
  if (!span) {
    if (!archive->Error().isEmpty()) {
      ReportPollFailure();
    }
    return;
  }
  const double newest = static_cast<double>(span->toUtc);
  if (!haveFrames) {
    StartCharting(static_cast<double>(span->fromUtc), newest);
    ChartTickedParameters();
    status->setText(tr("First frames, up to %1").arg(UtcLabel(newest)));
    return;
  }
  if (newest <= lastTime) {
    return;
  }
  // Until every curve has its new values the old newest time stays, so a failed read is
  // tried again at the next look and no frame is skipped.
  if (!ExtendCurves(lastTime, newest)) {
    ReportPollFailure();
    return;
  }
  const double oldLast = lastTime;
  const double oldFirst = firstTime;
  lastTime = newest;
  firstTime = std::min(firstTime, static_cast<double>(span->fromUtc));
  FollowNewestTime(oldLast, oldFirst);
  status->setText(tr("New frames up to %1").arg(UtcLabel(newest)));
}

// The chart keeps what it has; the reason is named and the connection closed, to be opened
// afresh at the next look.
void TrendsWindow::ReportPollFailure() {
  status->setText(tr("%1; trying again in %2 s")
                      .arg(archive->Error())
                      .arg(pollTimer->interval() / 1000.0, 0, 'g', 3));
  archive->Close();
}

// Reads each curve's values after `after` up to `to` and appends them.
bool TrendsWindow::ExtendCurves(double after, double to) {
  const TrendRange range{static_cast<std::int64_t>(after) + 1, static_cast<std::int64_t>(to)};
  for (int i = 0; i < chart->CurveCount(); ++i) {
    const int row = chart->Curve(i).parameterRow;
    std::vector<TimedValue> samples;
    std::vector<TrendTimeKind> kinds;
    const bool read = ReadTrend(*archive, row, range, [&](const TrendSample& sample) {
      samples.push_back({static_cast<double>(sample.utcSeconds), sample.value});
      kinds.push_back(sample.kind);
      return true;
    });
    if (!read) {
      return false;
    }
    chart->AppendSamples(row, samples, kinds);
  }
  return true;
}

// A view whose right edge was at the old newest time (within a pixel) moves on by what the
// archive grew, keeping its width; one that also began at the archive's first frame keeps
// showing all of it. A view of older times stays where the user put it.
void TrendsWindow::FollowNewestTime(double oldLast, double oldFirst) {
  const double from = chart->ViewFrom();
  const double to = chart->ViewTo();
  const double pixel = (to - from) / std::max(1, chart->PlotRect().width());
  chart->SetFullRange(firstTime, lastTime);
  if (to < oldLast - pixel) {
    return;
  }
  const double grown = lastTime - oldLast;
  chart->SetView(from <= oldFirst + pixel ? from : from + grown, to + grown);
}

}  // namespace quilmar
