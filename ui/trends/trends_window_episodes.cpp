// The Trends window's limits: the bands and marks of the chart, and the episodes in view read
// in a query's thread a moment after the view comes to rest, the newest asked for winning. A
// click on an episode opens its first frame as a click on a point of the chart does. See
// trends_window.h.
#include <QDockWidget>
#include <QLabel>
#include <QTimer>

#include "archive/archive.h"
#include "episodes_panel.h"
#include "limits/limits_file.h"
#include "trend_chart.h"
#include "trend_episodes.h"
#include "trends_query.h"
#include "trends_window.h"

namespace quilmar {
namespace {

// The pause after a zoom or pan before the episodes are read: a wheel turned notch by notch
// reads once, where it stops.
constexpr int kEpisodesAfterMilliseconds = 400;

// The limits a window opened on its own judges by: the user's file, else the default file.
LimitSet StartingLimits() {
  LimitsLoad load = LoadLimits(std::nullopt);
  if (!load.limits) {
    load = LoadDefaultLimits();
  }
  return load.limits ? std::move(*load.limits) : LimitSet();
}

}  // namespace

void TrendsWindow::BuildEpisodesDock() {
  episodes = new EpisodesPanel;
  auto* dock = new QDockWidget(tr("Limit episodes in view"), this);
  dock->setObjectName(QStringLiteral("episodesDock"));
  dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  dock->setWidget(episodes);
  addDockWidget(Qt::BottomDockWidgetArea, dock);
  // The chart keeps most of the height; the list shows a handful of rows.
  resizeDocks({dock}, {170}, Qt::Vertical);
  episodesTimer = new QTimer(this);
  episodesTimer->setSingleShot(true);
  episodesTimer->setInterval(kEpisodesAfterMilliseconds);
  connect(episodesTimer, &QTimer::timeout, this, &TrendsWindow::ReadEpisodes);
  connect(chart, &TrendChart::ViewChanged, this, &TrendsWindow::ReadEpisodesSoon);
  connect(episodes, &EpisodesPanel::episodeChosen, this, &TrendsWindow::OpenEpisode);
  SetLimits(StartingLimits());
}

void TrendsWindow::SetLimits(const LimitSet& given) {
  limits = std::make_shared<const LimitSet>(given);
  chart->SetLimits(limits);
  ReadEpisodesSoon();
}

void TrendsWindow::ReadEpisodesSoon() {
  if (haveFrames) {
    episodesTimer->start();
  }
}

void TrendsWindow::StopEpisodes() {
  if (episodesTimer->isActive() || episodes->SummaryText().startsWith(tr("Reading"))) {
    episodes->Say(tr("Reading the limit episodes was cancelled; zoom or pan to read them again."));
  }
  episodesTimer->stop();
  ++episodesRequest;
}

void TrendsWindow::ReadEpisodes() {
  const int request = ++episodesRequest;
  const ExportRange range = EpisodeRangeOf(chart->ViewFrom(), chart->ViewTo());
  episodes->Say(tr("Reading the limit episodes in view..."));
  queries->Run<TrendEpisodes>(
      [limits = limits, range](Archive& archive, TrendEpisodes& read,
                               const std::atomic<bool>& cancelled) {
        return ReadTrendEpisodes(archive, *limits, range, kMostEpisodesListed, read, cancelled);
      },
      [this, request, origin = QString::fromStdString(limits->Origin())](
          bool ok, const QString& error, TrendEpisodes& read) {
        if (request != episodesRequest) {
          return;  // the view moved on meanwhile
        }
        if (!ok) {
          episodes->Say(tr("The limit episodes in view could not be read: %1").arg(error));
          return;
        }
        episodes->Show(std::move(read), origin);
      });
}

// As a click on a frame's point: its key opens its pass in the main window on that frame.
void TrendsWindow::OpenEpisode(const TrendEpisode& episode) {
  TrendPointRef point;
  point.parameterRow = episode.episode.row;
  point.time = episode.firstTime;
  point.key = episode.firstKey;
  chart->Clicked(point);
}

}  // namespace quilmar
