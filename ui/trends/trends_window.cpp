// The Trends window; see trends_window.h.
#include "trends_window.h"

#include <QDateTimeEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <array>
#include <cmath>

#include "archive/archive.h"
#include "archive/archive_passes.h"
#include "archive/frame_stations.h"
#include "archive/trend_overview.h"
#include "archive/trend_query.h"
#include "core/parameter_catalogue.h"
#include "no_archive_yet.h"
#include "trend_chart.h"
#include "utc_minute_field.h"

namespace quilmar {
namespace {

constexpr int kRowRole = Qt::UserRole;
constexpr double kDay = 86400.0;
// How often the window looks for frames a live session added: the newest time is one
// indexed row, cheap on any archive.
constexpr int kPollMilliseconds = 5000;

}  // namespace

TrendsWindow::TrendsWindow(const ArchiveLocation& location, QWidget* parent)
    : QMainWindow(parent), location(location), archive(std::make_unique<Archive>()) {
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
  connect(chart, &TrendChart::ViewChanged, this, &TrendsWindow::ShowViewInRangeFields);
  // A closed connection (no archive yet, a server gone) makes the stations "unknown".
  chart->SetStationLookup(
      [this](std::int64_t frameKey) { return FrameStations(*archive, frameKey); });

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
  if (!archive->Open(location, true)) {
    chart->SetMessage(archive->Error());
    status->setText(archive->Error());
    list->setEnabled(false);
    return;
  }
  // An archive without timed frames yet may be the one a live session is filling.
  pollTimer->start();
  const auto key = NewestFrameKey(*archive);
  const auto span = key ? HousekeepingTimeSpan(*archive) : std::nullopt;
  if (!span) {
    const QString reason =
        archive->Error().isEmpty() ? tr("no timed housekeeping frames") : archive->Error();
    const QString text = tr("%1: %2").arg(location.display, reason);
    chart->SetMessage(text);
    status->setText(text);
    return;
  }
  lastKey = *key;
  StartCharting(static_cast<double>(span->fromUtc), static_cast<double>(span->toUtc));
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

TrendsWindow::~TrendsWindow() {
  closing = true;
  for (auto& [id, read] : fullReads) {
    read.join();
  }
}

QString TrendsWindow::StatusText() const { return status->text(); }

void TrendsWindow::BuildStatusBar() {
  status = new QLabel;
  status->setObjectName(QStringLiteral("trendsStatus"));
  statusBar()->addWidget(status, 1);
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
  const bool shown = [&] {
    for (int i = 0; i < chart->CurveCount(); ++i) {
      if (chart->Curve(i).parameterRow == row.toInt()) {
        return true;
      }
    }
    return false;
  }();
  if (checked && !shown && ReopenIfClosed()) {
    AddParameter(row.toInt());
  } else if (!checked && shown) {
    chart->RemoveCurve(row.toInt());
  }
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
      if (group->child(i)->checkState(0) == Qt::Checked) {
        AddParameter(group->child(i)->data(0, kRowRole).toInt());
      }
    }
  }
}

void TrendsWindow::ShowLastPass() {
  if (!haveFrames) {
    return;
  }
  if (const std::optional<QDateTime> start = LastPassStart(*archive)) {
    const double from = static_cast<double>(start->toSecsSinceEpoch());
    // A little room on both sides, so the pass's first and last points are not on the frame.
    const double margin = std::max(30.0, (lastTime - from) * 0.02);
    chart->SetView(from - margin, lastTime + margin);
  } else {
    status->setText(archive->Error());
  }
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
