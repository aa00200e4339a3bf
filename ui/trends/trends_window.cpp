// The Trends window; see trends_window.h.
#include "trends_window.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDateTimeEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <array>
#include <cmath>

#include "archive/archive.h"
#include "archive/archive_passes.h"
#include "archive/frame_stations.h"
#include "archive/trend_query.h"
#include "core/parameter_catalogue.h"
#include "no_archive_yet.h"
#include "trend_chart.h"
#include "trends_query.h"
#include "utc_minute_field.h"

namespace quilmar {
namespace {

constexpr int kRowRole = Qt::UserRole;
constexpr double kDay = 86400.0;
// How often the window looks for frames a live session added: the newest time is one
// indexed row, cheap on any archive.
constexpr int kPollMilliseconds = 5000;
// How long a read of the archive runs before the status bar says the window waits for it.
constexpr int kBusyAfterMilliseconds = 400;

}  // namespace

TrendsWindow::TrendsWindow(const ArchiveLocation& location, QWidget* parent)
    : QMainWindow(parent), location(location), queries(new TrendsQueries(location, this)) {
  setWindowTitle(tr("Trends - %1").arg(location.display));
  setAcceptDrops(true);
  chart = new TrendChart;
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->addWidget(BuildPresetBar());
  column->addWidget(chart, 1);
  auto* splitter = new QSplitter;
  splitter->addWidget(BuildSidePanel());
  splitter->addWidget(central);
  splitter->setStretchFactor(1, 1);
  setCentralWidget(splitter);
  BuildStatusBar();
  resize(1200, 700);
  pollTimer = new QTimer(this);
  pollTimer->setInterval(kPollMilliseconds);
  connect(pollTimer, &QTimer::timeout, this, &TrendsWindow::PollArchive);
  busyTimer = new QTimer(this);
  busyTimer->setSingleShot(true);
  busyTimer->setInterval(kBusyAfterMilliseconds);
  connect(busyTimer, &QTimer::timeout, this, &TrendsWindow::ShowBusy);
  connect(queries, &TrendsQueries::pendingChanged, this, &TrendsWindow::OnPendingChanged);
  connect(chart, &TrendChart::ViewChanged, this, &TrendsWindow::ShowViewInRangeFields);
  chart->SetStationLookup([this](std::int64_t frameKey) { return StationsOf(frameKey); });
  connect(chart, &TrendChart::tilesWanted, this, &TrendsWindow::ReadMissingTiles);
  connect(chart, &TrendChart::valuesExportChosen, this, &TrendsWindow::SaveVisibleValues);
  chart->SetExtremeFinder([this](const TrendPointRef& point) { FindExtremeFrame(point); });
  BuildEpisodesDock();

  OpenArchive(location);
}

void TrendsWindow::OpenArchive(const ArchiveLocation& location) {
  // No archive yet: say how to make one, and look for it as for new frames, so that logs
  // dropped here (or a live session) start the chart.
  if (!ArchiveExistsYet(location)) {
    const QString text = NoArchiveYetText(location, true);
    chart->SetMessage(text);
    status->setText(text.section(u'\n', 0, 0));
    pollTimer->start();
    return;
  }
  LookAtArchive(true);
}

void TrendsWindow::StartCharting(double from, double to) {
  haveFrames = true;
  rangeFrom->setEnabled(true);
  rangeTo->setEnabled(true);
  firstTime = from;
  lastTime = to;
  chart->SetMessage({});
  chart->SetFullRange(firstTime, lastTime);
  chart->SetView(firstTime, lastTime);
}

// Reads still waiting for the database are dropped, never waited for.
TrendsWindow::~TrendsWindow() { delete queries; }

int TrendsWindow::PendingReads() const { return queries->Pending(); }

// A read that takes longer than a moment shows in the status bar with a button to drop it.
void TrendsWindow::OnPendingChanged(int pending) {
  if (pending > 0) {
    if (waitingText.isEmpty() && !busyTimer->isActive()) {
      busyTimer->start();
    }
    return;
  }
  busyTimer->stop();
  cancelReads->hide();
  if (!waitingText.isEmpty() && status->text() == waitingText) {
    status->setText(statusBeforeWait);
  }
  waitingText.clear();
}

void TrendsWindow::ShowBusy() {
  if (queries->Pending() == 0) {
    return;
  }
  statusBeforeWait = status->text();
  waitingText = tr("Waiting for the archive %1...").arg(location.display);
  status->setText(waitingText);
  cancelReads->show();
}

void TrendsWindow::CancelReads() {
  const bool wasWaiting = !waitingText.isEmpty();
  queries->CancelAll();
  looking = false;
  firstReads.clear();
  readingTiles = false;
  stationsAsked = 0;
  StopEpisodes();
  // A parameter whose overview was dropped is unticked: ticking it again reads it anew.
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = list->topLevelItem(g);
    for (int i = 0; i < group->childCount(); ++i) {
      QTreeWidgetItem* item = group->child(i);
      if (item->checkState(0) == Qt::Checked && !IsCharted(item->data(0, kRowRole).toInt())) {
        item->setCheckState(0, Qt::Unchecked);
      }
    }
  }
  // An archive still being opened is looked at again with the new frames.
  if (list->isEnabled() && !pollTimer->isActive()) {
    pollTimer->start();
  }
  if (wasWaiting) {
    status->setText(tr("Reading cancelled; the archive is looked at again in %1 s")
                        .arg(pollTimer->interval() / 1000.0, 0, 'g', 3));
  }
}

QString TrendsWindow::StatusText() const { return status->text(); }

void TrendsWindow::BuildStatusBar() {
  status = new QLabel;
  status->setObjectName(QStringLiteral("trendsStatus"));
  statusBar()->addWidget(status, 1);
  cancelReads = new QPushButton(tr("Cancel"));
  cancelReads->setObjectName(QStringLiteral("cancelReads"));
  cancelReads->hide();
  connect(cancelReads, &QPushButton::clicked, this, &TrendsWindow::CancelReads);
  statusBar()->addWidget(cancelReads);
  // The mouse gestures at the bottom right, where they leave the preset bar room for the
  // range fields on a small screen.
  auto* hint = new QLabel(
      tr("Wheel: zoom   Drag: pan   Shift+drag: zoom to box   Double-click: whole range"));
  hint->setForegroundRole(QPalette::PlaceholderText);
  statusBar()->addPermanentWidget(hint);
}

QWidget* TrendsWindow::BuildSidePanel() {
  auto* panel = new QWidget;
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  filter = new QLineEdit;
  filter->setPlaceholderText(tr("Filter parameters"));
  filter->setClearButtonEnabled(true);
  list = new QTreeWidget;
  list->setHeaderHidden(true);
  layout->addWidget(filter);
  layout->addWidget(list, 1);
  FillParameterList();
  connect(filter, &QLineEdit::textChanged, this, &TrendsWindow::ApplyFilter);
  connect(list, &QTreeWidget::itemChanged, this, &TrendsWindow::OnItemChanged);
  panel->setMinimumWidth(230);
  return panel;
}

QWidget* TrendsWindow::BuildPresetBar() {
  auto* bar = new QWidget;
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* lastPass = new QPushButton(tr("Last pass"));
  connect(lastPass, &QPushButton::clicked, this, &TrendsWindow::ShowLastPass);
  layout->addWidget(lastPass);
  const std::array<std::pair<QString, double>, 4> presets{{{tr("Last day"), kDay},
                                                           {tr("Last week"), 7 * kDay},
                                                           {tr("Last month"), 30 * kDay},
                                                           {tr("All"), 0.0}}};
  for (const auto& [label, seconds] : presets) {
    auto* button = new QPushButton(label);
    connect(button, &QPushButton::clicked, this, [this, seconds] { ShowLast(seconds); });
    layout->addWidget(button);
  }
  layout->addSpacing(12);
  // The fields follow the view as it is zoomed and panned; Show applies what was typed.
  rangeFrom = new UtcMinuteField;
  rangeTo = new UtcMinuteField;
  // Until the archive has frames the fields have no range to show.
  for (QDateTimeEdit* field : {rangeFrom, rangeTo}) {
    field->setSpecialValueText(QStringLiteral(" "));
    field->setDateTime(field->minimumDateTime());
    field->setEnabled(false);
  }
  rangeFrom->setObjectName(QStringLiteral("rangeFrom"));
  rangeTo->setObjectName(QStringLiteral("rangeTo"));
  auto* show = new QPushButton(tr("Show"));
  show->setObjectName(QStringLiteral("rangeShow"));
  connect(show, &QPushButton::clicked, this, &TrendsWindow::ShowChosenRange);
  layout->addWidget(new QLabel(tr("From")));
  layout->addWidget(rangeFrom);
  layout->addWidget(new QLabel(tr("to")));
  layout->addWidget(rangeTo);
  layout->addWidget(new QLabel(tr("UTC")));
  layout->addWidget(show);
  layout->addStretch(1);
  return bar;
}

void TrendsWindow::FillParameterList() {
  for (const SectionInfo& section : kSections) {
    auto* group = new QTreeWidgetItem(list, {QString::fromLatin1(section.name)});
    group->setFlags(Qt::ItemIsEnabled);
    for (int row = section.firstRow; row <= section.lastRow; ++row) {
      auto* item = new QTreeWidgetItem(group, {TrendParameterLabel(row)});
      item->setData(0, kRowRole, row);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(0, Qt::Unchecked);
    }
  }
  list->expandAll();
}

void TrendsWindow::ApplyFilter(const QString& text) {
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = list->topLevelItem(g);
    const bool sectionMatches = group->text(0).contains(text, Qt::CaseInsensitive);
    int visible = 0;
    for (int i = 0; i < group->childCount(); ++i) {
      QTreeWidgetItem* item = group->child(i);
      const bool match = sectionMatches || item->text(0).contains(text, Qt::CaseInsensitive);
      item->setHidden(!match);
      visible += match ? 1 : 0;
    }
    group->setHidden(visible == 0);
  }
}

void TrendsWindow::OnItemChanged(QTreeWidgetItem* item, int) {
  const QVariant row = item->data(0, kRowRole);
  if (!row.isValid()) {
    return;
  }
  const bool checked = item->checkState(0) == Qt::Checked;
  const bool shown = IsCharted(row.toInt());
  if (checked && !shown) {
    AddParameter(row.toInt());
  } else if (!checked) {
    // Reads of it under way are dropped when they answer.
    firstReads.erase(row.toInt());
    if (shown) {
      chart->RemoveCurve(row.toInt());
    }
  }
}

bool TrendsWindow::IsCharted(int parameterRow) const {
  for (int i = 0; i < chart->CurveCount(); ++i) {
    if (chart->Curve(i).parameterRow == parameterRow) {
      return true;
    }
  }
  return false;
}

void TrendsWindow::ShowParameter(int parameterRow, bool shown) {
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = list->topLevelItem(g);
    for (int i = 0; i < group->childCount(); ++i) {
      if (group->child(i)->data(0, kRowRole).toInt() == parameterRow) {
        group->child(i)->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
      }
    }
  }
}

// Parameters ticked while the archive had no timed frames are charted once it has some.
void TrendsWindow::ChartTickedParameters() {
  for (int g = 0; g < list->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = list->topLevelItem(g);
    for (int i = 0; i < group->childCount(); ++i) {
      const int row = group->child(i)->data(0, kRowRole).toInt();
      if (group->child(i)->checkState(0) == Qt::Checked && !IsCharted(row) &&
          firstReads.count(row) == 0) {
        AddParameter(row);
      }
    }
  }
}

void TrendsWindow::ShowLastPass() {
  if (!haveFrames) {
    return;
  }
  const int request = ++lastPassRequest;
  queries->Run<std::optional<QDateTime>>(
      [](Archive& archive, std::optional<QDateTime>& start, const std::atomic<bool>&) {
        start = LastPassStart(archive);
        return start || archive.Error().isEmpty();
      },
      [this, request](bool ok, const QString& error, std::optional<QDateTime>& start) {
        if (request != lastPassRequest) {
          return;
        }
        if (!ok || !start) {
          status->setText(error);
          return;
        }
        const double from = static_cast<double>(start->toSecsSinceEpoch());
        // A little room on both sides, so the pass's first and last points are not on the
        // frame.
        const double margin = std::max(30.0, (lastTime - from) * 0.02);
        chart->SetView(from - margin, lastTime + margin);
      });
}

// The stations of a hovered frame: read in the background the first time, the hover text
// saying so meanwhile and shown again when they are in. A failed read says "unknown".
std::optional<QStringList> TrendsWindow::StationsOf(std::int64_t frameKey) {
  if (const auto known = stations.find(frameKey); known != stations.end()) {
    return known->second;
  }
  if (stationsAsked != frameKey) {
    stationsAsked = frameKey;
    queries->Run<std::optional<QStringList>>(
        [frameKey](Archive& archive, std::optional<QStringList>& names, const std::atomic<bool>&) {
          names = FrameStations(archive, frameKey);
          return true;
        },
        [this, frameKey](bool ok, const QString&, std::optional<QStringList>& names) {
          if (stations.size() > 10000) {
            stations.clear();
          }
          stations[frameKey] = ok ? names : std::nullopt;
          if (stationsAsked == frameKey) {
            stationsAsked = 0;
          }
          // The chart asks again, and a hover text on screen is shown anew.
          chart->SetStationLookup([this](std::int64_t key) { return StationsOf(key); });
          if (QToolTip::isVisible() && chart->underMouse()) {
            const QPoint global = QCursor::pos();
            QHelpEvent rest(QEvent::ToolTip, chart->mapFromGlobal(global), global);
            QCoreApplication::sendEvent(chart, &rest);
          }
        });
  }
  return QStringList{tr("reading...")};
}

void TrendsWindow::ShowLast(double seconds) {
  if (!haveFrames) {
    return;
  }
  chart->SetView(seconds > 0 ? lastTime - seconds : firstTime, lastTime);
}

// The fields show whole minutes: the start rounded down and the end up, so that Show
// without an edit keeps all that is in view.
void TrendsWindow::ShowViewInRangeFields(double from, double to) {
  const auto minute = [](double seconds) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds) * 60, Qt::UTC);
  };
  rangeFrom->setDateTime(minute(std::floor(from / 60)));
  rangeTo->setDateTime(minute(std::ceil(to / 60)));
}

void TrendsWindow::ShowChosenRange() {
  if (!haveFrames) {
    return;
  }
  const QDateTime from = rangeFrom->dateTime();
  const QDateTime to = rangeTo->dateTime();
  if (from >= to) {
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm");
    status->setText(tr("The range must end after it starts: %1 UTC is not before %2 UTC.")
                        .arg(from.toString(format), to.toString(format)));
    return;
  }
  chart->SetView(static_cast<double>(from.toSecsSinceEpoch()),
                 static_cast<double>(to.toSecsSinceEpoch()));
}

namespace {

QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) {
      paths << url.toLocalFile();
    }
  }
  return paths;
}

}  // namespace

void TrendsWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void TrendsWindow::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalFiles(event->mimeData());
  if (!paths.isEmpty()) {
    event->acceptProposedAction();
    emit filesDropped(paths);
  }
}

}  // namespace quilmar
