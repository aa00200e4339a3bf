// The episodes of values beyond their limits in the Trends chart's view, as a list under the
// chart: parameter, direction, worst level, first and last frame's UTC time, frames, worst
// value and stations, in the archive's events order. A click on an episode asks for its first
// frame to be opened, as a click on a point of the chart does.
#pragma once

#include <QString>
#include <QWidget>

#include "trend_episodes.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace quilmar {

class EpisodesPanel : public QWidget {
  Q_OBJECT

 public:
  enum Column {
    kParameter,
    kDirection,
    kWorst,
    kFirstUtc,
    kLastUtc,
    kFrames,
    kWorstValue,
    kStations,
    kColumnCount
  };

  explicit EpisodesPanel(QWidget* parent = nullptr);

  QTreeWidget* List() const { return list; }
  QString SummaryText() const;
  const TrendEpisodes& Shown() const { return shown; }

  // The episodes of a view read; `limitsOrigin` names the limits they were judged by.
  void Show(TrendEpisodes read, const QString& limitsOrigin);
  // A line in place of the list's count: a read under way, failed or dropped.
  void Say(const QString& text);

 signals:
  void episodeChosen(const quilmar::TrendEpisode& episode);

 private:
  void OnItemClicked(QTreeWidgetItem* item);

  QLabel* summary = nullptr;
  QTreeWidget* list = nullptr;
  TrendEpisodes shown;
};

// How an episode's worst value reads: a state's text, else the number to six digits.
QString EpisodeWorstValueText(const LimitEpisode& episode);

}  // namespace quilmar

Q_DECLARE_METATYPE(quilmar::TrendEpisode)
