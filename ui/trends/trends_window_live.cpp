// The Trends window while the archive grows: a timer looks for frames archived since the
// last look, as a live session (in this program or another) adds them, or a log of an older
// pass is added; the tiles that hold their times are read again, and a view that shows the
// newest time follows.
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <set>
#include <vector>

#include "archive/archive.h"
#include "archive/trend_query.h"
#include "chart_axes.h"
#include "no_archive_yet.h"
#include "trend_chart.h"
#include "trends_query.h"
#include "trends_window.h"

namespace quilmar {

void TrendsWindow::SetPollInterval(int milliseconds) { pollTimer->setInterval(milliseconds); }

// What one look at the archive found, in the look's thread.
struct TrendsWindow::Look {
  std::int64_t afterKey = 0;  // the window's newest frame key when the look began
  bool extend = false;        // the window charted frames: the tiles of new ones are read again
  std::vector<int> rows;      // of the curves charted when the look began
  std::optional<std::int64_t> key;
  std::optional<TrendRange> span;  // read when there are new frames
  QString error;                   // why there is no span (empty: no timed frames)
  struct Added {
    int row = 0;
    std::vector<double> times;  // one in each finest tile that holds new frames
  };
  std::vector<Added> added;
};

namespace {

// The times of the frames archived after afterKey that carry the parameter, one per finest
// tile: a log of a year added at once is a few thousand tiles, not a million times.
bool ReadAdded(Archive& archive, int parameterRow, std::int64_t afterKey,
               std::vector<double>& times, const std::atomic<bool>& cancelled) {
  std::set<std::int64_t> tiles;
  const auto span = TileSeconds(kFrameRung);
  const bool ok = ReadTrendAdded(archive, parameterRow, afterKey, [&](const TrendSample& s) {
    tiles.insert(static_cast<std::int64_t>(std::floor(static_cast<double>(s.utcSeconds) / span)));
    return !cancelled;
  });
  for (const std::int64_t tile : tiles) {
    times.push_back(static_cast<double>(tile * span + span / 2));
  }
  return ok;
}

}  // namespace

// Opening reads the newest key and the time span whatever they are; a later look reads on
// only when frames were added, and then every curve's new values.
void TrendsWindow::LookAtArchive(bool opening) {
  Look start;
  start.afterKey = lastKey;
  start.extend = haveFrames && !opening;
  for (int i = 0; i < chart->CurveCount(); ++i) {
    start.rows.push_back(chart->Curve(i).parameterRow);
  }
  const int request = ++lookRequest;
  looking = true;
  queries->Run<Look>(
      [opening, start](Archive& archive, Look& look, const std::atomic<bool>& cancelled) {
        look = start;
        look.key = NewestFrameKey(archive);
        if (!look.key) {
          look.error = archive.Error();
          return opening;
        }
        if (!opening && *look.key <= look.afterKey) {
          return true;
        }
        look.span = HousekeepingTimeSpan(archive);
        if (!look.span) {
          look.error = archive.Error();
          return opening || look.error.isEmpty();
        }
        if (look.extend) {
          for (int row : look.rows) {
            Look::Added& added = look.added.emplace_back();
            added.row = row;
            if (!ReadAdded(archive, row, look.afterKey, added.times, cancelled)) {
              return false;
            }
          }
        }
        return true;
      },
      [this, request, opening](bool ok, const QString& error, Look& look) {
        if (request != lookRequest) {
          return;
        }
        looking = false;
        if (opening) {
          ApplyOpening(ok, error, look);
        } else {
          ApplyLook(ok, error, look);
        }
      });
}

void TrendsWindow::ApplyOpening(bool ok, const QString& error, const Look& look) {
  if (!ok) {
    chart->SetMessage(error);
    status->setText(error);
    list->setEnabled(false);
    return;
  }
  // An archive without timed frames yet may be the one a live session is filling.
  pollTimer->start();
  if (!look.span) {
    const QString reason = look.error.isEmpty() ? tr("no timed housekeeping frames") : look.error;
    const QString text = tr("%1: %2").arg(location.display, reason);
    chart->SetMessage(text);
    status->setText(text);
    return;
  }
  lastKey = *look.key;
  StartCharting(static_cast<double>(look.span->fromUtc), static_cast<double>(look.span->toUtc));
  // Parameters ticked while the archive was being opened.
  ChartTickedParameters();
}

void TrendsWindow::PollArchive() {
  if (looking || !ArchiveExistsYet(location)) {
    return;  // the window says so already
  }
  LookAtArchive(false);
}

// Until every curve has its new values the old key stays, so a failed read is tried again
// at the next look and no frame is skipped.
void TrendsWindow::ApplyLook(bool ok, const QString& error, Look& look) {
  if (!ok) {
    ReportPollFailure(error);
    return;
  }
  if (!look.span || look.afterKey != lastKey) {
    return;
  }
  const double newest = static_cast<double>(look.span->toUtc);
  if (!haveFrames) {
    lastKey = *look.key;
    StartCharting(static_cast<double>(look.span->fromUtc), newest);
    ChartTickedParameters();
    status->setText(tr("First frames, up to %1").arg(UtcLabel(newest)));
    return;
  }
  // New frames may be receptions of a frame whose stations were read.
  stations.clear();
  for (const Look::Added& added : look.added) {
    chart->InvalidateTiles(added.row, added.times);
  }
  // A curve charted while the look ran may have been read before the new frames: it is read
  // again.
  for (int i = 0; i < chart->CurveCount(); ++i) {
    const int row = chart->Curve(i).parameterRow;
    if (std::find(look.rows.begin(), look.rows.end(), row) == look.rows.end()) {
      chart->DropTiles(row);
    }
  }
  lastKey = *look.key;
  const double oldLast = lastTime;
  const double oldFirst = firstTime;
  lastTime = std::max(lastTime, newest);
  firstTime = std::min(firstTime, static_cast<double>(look.span->fromUtc));
  FollowNewestTime(oldLast, oldFirst);
  status->setText(newest > oldLast ? tr("New frames up to %1").arg(UtcLabel(newest))
                                   : tr("Frames of older times added"));
}

// The chart keeps what it has; the reason is named, and the next look tries afresh with a
// connection of its own.
void TrendsWindow::ReportPollFailure(const QString& error) {
  status->setText(
      tr("%1; trying again in %2 s").arg(error).arg(pollTimer->interval() / 1000.0, 0, 'g', 3));
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
