// The episodes in the Trends chart's view; see episodes_panel.h.
#include "episodes_panel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/parameter_catalogue.h"
#include "limits/value_names.h"
#include "ui/limits/limit_look.h"

namespace quilmar {
namespace {

constexpr int kIndexRole = Qt::UserRole;

QString ParameterText(int row) {
  const ParameterInfo& info = kParameterCatalogue[static_cast<std::size_t>(row)];
  return QStringLiteral("%1 (%2)").arg(QLatin1String(info.name.data(), info.name.size()),
                                       QLatin1String(SectionInfoOf(info.section).name));
}

}  // namespace

QString EpisodeWorstValueText(const LimitEpisode& episode) {
  if (episode.direction == LimitDirection::kState) {
    return QString::fromStdString(episode.worstText);
  }
  return QString::number(episode.worstValue, 'g', 6);
}

EpisodesPanel::EpisodesPanel(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  summary = new QLabel;
  summary->setObjectName(QStringLiteral("episodeSummary"));
  list = new QTreeWidget;
  list->setObjectName(QStringLiteral("episodeList"));
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setHeaderLabels({tr("Parameter"), tr("Direction"), tr("Worst"), tr("First UTC"),
                         tr("Last UTC"), tr("Frames"), tr("Worst value"), tr("Stations")});
  list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list->header()->setStretchLastSection(true);
  layout->addWidget(summary);
  layout->addWidget(list, 1);
  connect(list, &QTreeWidget::itemClicked, this, &EpisodesPanel::OnItemClicked);
}

QString EpisodesPanel::SummaryText() const { return summary->text(); }

void EpisodesPanel::Say(const QString& text) { summary->setText(text); }

void EpisodesPanel::Show(TrendEpisodes read, const QString& limitsOrigin) {
  shown = std::move(read);
  list->clear();
  QList<QTreeWidgetItem*> items;
  for (std::size_t i = 0; i < shown.episodes.size(); ++i) {
    const LimitEpisode& episode = shown.episodes[i].episode;
    QString stations;
    for (const std::string& station : episode.stations) {
      stations += (stations.isEmpty() ? "" : "; ") + QString::fromStdString(station);
    }
    const QString direction = QString::fromLatin1(DirectionText(episode.direction));
    auto* item = new QTreeWidgetItem(
        {ParameterText(episode.row),
         LimitMarkText(episode.worst, episode.direction) + u' ' + direction,
         QString::fromLatin1(LevelText(episode.worst)), QString::fromStdString(episode.firstUtc),
         QString::fromStdString(episode.lastUtc), QLocale().toString(episode.frames),
         EpisodeWorstValueText(episode), stations});
    item->setData(kParameter, kIndexRole, static_cast<qulonglong>(i));
    item->setToolTip(kParameter, QString::fromStdString(ValueName(episode.row)));
    // The level by its colour and its word, the direction by its mark.
    item->setBackground(kWorst, LimitColour(episode.worst));
    item->setTextAlignment(kFrames, Qt::AlignRight | Qt::AlignVCenter);
    items.append(item);
  }
  list->addTopLevelItems(items);
  const QString count = QLocale().toString(static_cast<qulonglong>(shown.episodes.size()));
  summary->setText(
      shown.more ? tr("More than %1 limit episodes in view (limits: %2): the first %1 are listed;"
                      " zoom in to list the rest.")
                       .arg(count, limitsOrigin)
      : shown.episodes.empty() ? tr("No limit episodes in view (limits: %1).").arg(limitsOrigin)
                               : tr("%1 limit episodes in view (limits: %2); click one to open"
                                    " its first frame.")
                                     .arg(count, limitsOrigin));
}

void EpisodesPanel::OnItemClicked(QTreeWidgetItem* item) {
  const auto index = item->data(kParameter, kIndexRole).toULongLong();
  if (index < shown.episodes.size()) {
    emit episodeChosen(shown.episodes[index]);
  }
}

}  // namespace quilmar
