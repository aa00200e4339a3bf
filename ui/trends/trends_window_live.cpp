// The Trends window while the archive grows: a timer looks for frames archived since the
// last look, as a live session (in this program or another) adds them, or a log of an older
// pass is added; the curves take them at their times, and a view that shows the newest time
// follows.
#include <QLabel>
#include <QTimer>
#include <vector>

#include "archive/archive.h"
#include "archive/trend_query.h"
#include "chart_axes.h"
#include "no_archive_yet.h"
#include "trend_chart.h"
#include "trends_window.h"

namespace quilmar {

void TrendsWindow::SetPollInterval(int milliseconds) { pollTimer->setInterval(milliseconds); }

// A connection that failed (a PostgreSQL server restarted, the network gone) is closed and
// opened again when next needed, so the window catches up once the archive is back.
bool TrendsWindow::ReopenIfClosed() {
  if (archive->IsOpen()) {
    return true;
  }
  if (!ArchiveExistsYet(location)) {
    return false;  // the window says so already
  }
  if (archive->Open(location, true)) {
    return true;
  }
  status->setText(archive->Error());
  return false;
}

void TrendsWindow::PollArchive() {
  if (!ReopenIfClosed()) {
    return;
  }
  const auto key = NewestFrameKey(*archive);
  if (!key) {
    ReportPollFailure();
    return;
  }
  if (*key <= lastKey) {
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
    lastKey = *key;
    StartCharting(static_cast<double>(span->fromUtc), newest);
    ChartTickedParameters();
    status->setText(tr("First frames, up to %1").arg(UtcLabel(newest)));
    return;
  }
  // Until every curve has its new values the old key stays, so a failed read is tried
  // again at the next look and no frame is skipped.
  if (!ExtendCurves(lastKey)) {
    ReportPollFailure();
    return;
  }
  lastKey = *key;
  const double oldLast = lastTime;
  const double oldFirst = firstTime;
  lastTime = std::max(lastTime, newest);
  firstTime = std::min(firstTime, static_cast<double>(span->fromUtc));
  FollowNewestTime(oldLast, oldFirst);
  status->setText(newest > oldLast ? tr("New frames up to %1").arg(UtcLabel(newest))
                                   : tr("Frames of older times added"));
}

// The chart keeps what it has; the reason is named and the connection closed, to be opened
// afresh at the next look.
void TrendsWindow::ReportPollFailure() {
  status->setText(tr("%1; trying again in %2 s")
                      .arg(archive->Error())
                      .arg(pollTimer->interval() / 1000.0, 0, 'g', 3));
  archive->Close();
}

// Reads each curve's values of the frames archived after the one with key afterKey and
// adds them at their times.
bool TrendsWindow::ExtendCurves(std::int64_t afterKey) {
  for (int i = 0; i < chart->CurveCount(); ++i) {
    const int row = chart->Curve(i).parameterRow;
    if (!AddFramesArchivedAfter(row, afterKey)) {
      return false;
    }
  }
  return true;
}

bool TrendsWindow::AddFramesArchivedAfter(int parameterRow, std::int64_t afterKey) {
  std::vector<TimedValue> samples;
  std::vector<TrendTimeKind> kinds;
  std::vector<std::int64_t> keys;
  const bool read = ReadTrendAdded(*archive, parameterRow, afterKey, [&](const TrendSample& s) {
    samples.push_back({static_cast<double>(s.utcSeconds), s.value});
    kinds.push_back(s.kind);
    keys.push_back(s.key);
    return true;
  });
  if (read) {
    chart->MergeSamples(parameterRow, samples, kinds, keys);
  }
  return read;
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
