// The Trends window; see trends_window.h.
#include "trends_window.h"

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
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <array>

#include "archive/archive.h"
#include "archive/archive_passes.h"
#include "archive/trend_overview.h"
#include "archive/trend_query.h"
#include "core/parameter_catalogue.h"
#include "trend_chart.h"

namespace quilmar {
namespace {

constexpr int kRowRole = Qt::UserRole;
constexpr double kDay = 86400.0;
// Colours that stay apart on a white background and for the common colour-vision deficiencies.
constexpr std::array<QRgb, 8> kColours{0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7,
                                       0xE69F00, 0x56B4E9, 0x000000, 0xF0E442};

QString ParameterLabel(int row) {
  const ParameterInfo& info = kParameterCatalogue[row];
  const QString name = QString::fromLatin1(info.name.data(), info.name.size());
  return info.unit.empty() ? name
                           : QStringLiteral("%1 [%2]").arg(
                                 name, QLatin1String(info.unit.data(), info.unit.size()));
}

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
  status = new QLabel;
  statusBar()->addWidget(status, 1);
  resize(1200, 700);

  if (!archive->Open(location, true)) {
    chart->SetMessage(archive->Error());
    status->setText(archive->Error());
    list->setEnabled(false);
    return;
  }
  const auto span = HousekeepingTimeSpan(*archive);
  if (!span) {
    const QString reason =
        archive->Error().isEmpty() ? tr("no timed housekeeping frames") : archive->Error();
    const QString text = tr("%1: %2").arg(location.display, reason);
    chart->SetMessage(text);
    status->setText(text);
    return;
  }
  haveFrames = true;
  firstTime = static_cast<double>(span->fromUtc);
  lastTime = static_cast<double>(span->toUtc);
  chart->SetFullRange(firstTime, lastTime);
  chart->SetView(firstTime, lastTime);
}

TrendsWindow::~TrendsWindow() {
  closing = true;
  for (std::thread& read : fullReads) {
    read.join();
  }
}

QString TrendsWindow::StatusText() const { return status->text(); }

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
  layout->addStretch(1);
  auto* hint = new QLabel(tr("Wheel: zoom   Drag: pan   Double-click: whole range"));
  hint->setForegroundRole(QPalette::PlaceholderText);
  layout->addWidget(hint);
  return bar;
}

void TrendsWindow::FillParameterList() {
  for (const SectionInfo& section : kSections) {
    auto* group = new QTreeWidgetItem(list, {QString::fromLatin1(section.name)});
    group->setFlags(Qt::ItemIsEnabled);
    for (int row = section.firstRow; row <= section.lastRow; ++row) {
      auto* item = new QTreeWidgetItem(group, {ParameterLabel(row)});
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
  if (checked && !shown) {
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

void TrendsWindow::AddParameter(int parameterRow) {
  if (!haveFrames) {
    return;
  }
  QElapsedTimer timer;
  timer.start();
  const ParameterInfo& info = kParameterCatalogue[parameterRow];
  TrendCurve curve;
  curve.parameterRow = parameterRow;
  curve.name = QStringLiteral("%1 (%2)").arg(QLatin1String(info.name.data(), info.name.size()),
                                             QLatin1String(SectionInfoOf(info.section).name));
  curve.unit = QString::fromLatin1(info.unit.data(), info.unit.size());
  curve.colour = QColor::fromRgb(kColours[coloursUsed++ % kColours.size()]);
  curve.hourly = true;
  // Each hour's extremes at the hour's first and last frame time: its lowest first, as the
  // order within the hour is not kept.
  const bool read = ReadTrendHours(*archive, parameterRow, [&](const TrendHour& hour) {
    curve.samples.push_back({static_cast<double>(hour.firstUtc), hour.low});
    curve.samples.push_back({static_cast<double>(hour.lastUtc), hour.high});
    curve.kinds.insert(curve.kinds.end(), 2, TrendTimeKind::kSpacecraft);
  });
  if (!read) {
    status->setText(archive->Error());
    return;
  }
  const qsizetype hours = static_cast<qsizetype>(curve.samples.size() / 2);
  chart->AddCurve(std::move(curve));
  status->setText(tr("%1: %2 hours in %3 ms; reading every frame...")
                      .arg(ParameterLabel(parameterRow), QLocale().toString(hours))
                      .arg(timer.elapsed()));
  StartFullRead(parameterRow);
}

struct TrendsWindow::FullRead {
  std::vector<TimedValue> samples;
  std::vector<TrendTimeKind> kinds;
  QString error;
  qint64 milliseconds = 0;
};

void TrendsWindow::StartFullRead(int parameterRow) {
  const TrendRange range{static_cast<std::int64_t>(firstTime), static_cast<std::int64_t>(lastTime)};
  fullReads.emplace_back([this, parameterRow, range] {
    QElapsedTimer timer;
    timer.start();
    auto read = std::make_shared<FullRead>();
    Archive own;
    const bool ok =
        own.Open(location, true) && ReadTrend(own, parameterRow, range, [&](const TrendSample& s) {
          read->samples.push_back({static_cast<double>(s.utcSeconds), s.value});
          read->kinds.push_back(s.kind);
          return !closing;
        });
    if (closing) {
      return;
    }
    read->error = ok ? QString() : own.Error();
    read->milliseconds = timer.elapsed();
    QMetaObject::invokeMethod(
        this, [this, parameterRow, read] { ApplyFullRead(parameterRow, *read); },
        Qt::QueuedConnection);
  });
}

void TrendsWindow::ApplyFullRead(int parameterRow, FullRead& read) {
  if (!read.error.isEmpty()) {
    status->setText(tr("%1: only hourly extremes, every frame could not be read: %2")
                        .arg(ParameterLabel(parameterRow), read.error));
    return;
  }
  const qsizetype count = static_cast<qsizetype>(read.samples.size());
  if (chart->ReplaceSamples(parameterRow, std::move(read.samples), std::move(read.kinds))) {
    status->setText(tr("%1: %2 values read in %3 ms")
                        .arg(ParameterLabel(parameterRow), QLocale().toString(count))
                        .arg(read.milliseconds));
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
