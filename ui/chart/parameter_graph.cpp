// The "Graph" tab and the range selection; see parameter_graph.h.
#include "parameter_graph.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <functional>
#include <limits>

#include "chart_adapter.h"
#include "ui/limits/frame_limits.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {

// The frame numbers of the stored frames as decimal texts, shared by both range lists.
class FrameNumberModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(numbers.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) {
      return {};
    }
    return QString::number(numbers[static_cast<std::size_t>(index.row())]);
  }

  void Append(const std::vector<int>& more) {
    if (more.empty()) {
      return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(more.size()) - 1);
    numbers.insert(numbers.end(), more.begin(), more.end());
    endInsertRows();
  }

  void Clear() {
    beginResetModel();
    numbers.clear();
    endResetModel();
  }

 private:
  std::vector<int> numbers;
};

namespace {

// A list box: a selection moved with the keyboard counts as a click, as one made with the
// mouse does, so the arrow keys walk the range through the frames.
class FrameList : public QListView {
 public:
  FrameList(QWidget* parent, std::function<void()> selected)
      : QListView(parent), selected(std::move(selected)) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const QModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    if (currentIndex() != before) {
      selected();
    }
  }

 private:
  std::function<void()> selected;
};

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString CatalogueName(int row) {
  return Text(kParameterCatalogue[static_cast<std::size_t>(row)].name);
}

// "ADCS: ADCS Temp (C)": section, name and unit, for a picture of the chart seen on its own.
QString PictureTitle(int row) {
  const ParameterInfo& info = kParameterCatalogue[static_cast<std::size_t>(row)];
  QString title = Text(SectionOfRow(row).name) + QStringLiteral(": ") + Text(info.name);
  if (!info.unit.empty()) {
    title += QStringLiteral(" (") + Text(info.unit) + QLatin1Char(')');
  }
  return title;
}

// A frame that did not carry the row's section has no reading of it: the 0 in its record is
// no measurement, so its point stays empty and the line breaks there. The section's length
// row ("Size of HK data") keeps its 0, which says just that.
void SetFramePoint(ChartAdapter& chart, const FrameRecord& record, int row) {
  const SectionInfo& section = SectionOfRow(row);
  if (row != section.firstRow && !record.HasSection(section.section)) {
    chart.SetPointNull();
    return;
  }
  chart.SetPointValue(record.values[static_cast<std::size_t>(row)]);
}

// Chart row f stands for stored frame f.
void SetFrameRow(ChartAdapter& chart, const FrameTable& table, int f, int row) {
  const FrameRecord& record = table.Record(f);
  chart.SetCurrentRow(f);
  chart.SetCurrentColumn(1);
  chart.SetRowLabel(QString::number(record.frameNumber));
  SetFramePoint(chart, record, row);
}

int StoredFrames(const FrameTable& table) {
  return std::max(std::min(table.frameCount, kFrameTableCapacity), 0);
}

}  // namespace

ParameterGraph::ParameterGraph(QWidget* graphTab) : QGroupBox(graphTab) {
  setObjectName(QStringLiteral("Frame11"));
  setFont(SansFont(9.75, true));
  PlaceInTwips(this, 120, 480, 9495, 4935);
  chart = new ChartAdapter(this);
  PlaceInTwips(chart->View(), 120, 240, 9255, 4695);
  connect(chart, &ChartAdapter::fileDropped, this, &ParameterGraph::fileDropped);
  connect(chart, &ChartAdapter::pointSelected, this, &ParameterGraph::ShowPointValue);
}

void ParameterGraph::DrawParameterGraph(const FrameTable& table, int row) {
  if (row < 0 || row >= kParameterCount) {
    return;
  }
  behindTable = nullptr;
  chartedTable = &table;
  chartedRow = row;
  chart->ResetData();
  setTitle(CatalogueName(row));
  chart->View()->SetPictureTitle(PictureTitle(row));
  chart->SetValueUnit(Text(kParameterCatalogue[static_cast<std::size_t>(row)].unit));
  const int frameCount = StoredFrames(table);
  chart->SetCategoryAxisSpacing(CategorySpacingFor(frameCount));
  chart->SetRowCount(frameCount);
  for (int f = 1; f <= frameCount; ++f) {
    SetFrameRow(*chart, table, f, row);
  }
  ShowLimits(table, row, 1, frameCount);
  chart->Commit();
}

bool ParameterGraph::ChartsTheStartOf(const FrameTable& table, int row) {
  if (chartedTable != &table || chartedRow != row || behindTable != nullptr) {
    return false;
  }
  // A table emptied and refilled since holds other frames under the same indexes.
  const int drawn = chart->RowCount();
  return drawn <= StoredFrames(table) &&
         (drawn == 0 || chart->RowLabel(drawn) == QString::number(table.Record(drawn).frameNumber));
}

void ParameterGraph::AppendNewFrames(const FrameTable& table, int row) {
  const int drawn = chart->RowCount();
  const int frameCount = StoredFrames(table);
  chart->SetCategoryAxisSpacing(CategorySpacingFor(frameCount));
  chart->SetRowCount(frameCount);
  for (int f = drawn + 1; f <= frameCount; ++f) {
    SetFrameRow(*chart, table, f, row);
  }
  ShowLimits(table, row, 1, frameCount);
  chart->CommitAppendedRows();
}

void ParameterGraph::DrawGraphRange(const FrameTable& table, int row, int from, int to) {
  if (to < from) {
    return;
  }
  behindTable = nullptr;
  chartedTable = nullptr;
  const bool rowValid = row >= 0 && row < kParameterCount;
  if (rowValid) {
    chart->SetValueUnit(Text(kParameterCatalogue[static_cast<std::size_t>(row)].unit));
  }
  chart->SetCategoryAxisSpacing(CategorySpacingFor(to - from + 1));
  chart->SetRowCount(to - from + 1);
  for (int f = from + 1; f <= to + 1; ++f) {
    chart->SetCurrentRow(f - from);
    chart->SetCurrentColumn(1);
    // A frame outside the stored ones (frame 0 when nothing is selected in the first list)
    // cannot be read: its row keeps what it held.
    if (!table.IsCurrent(f)) {
      continue;
    }
    const FrameRecord& record = table.Record(f);
    if (rowValid) {
      SetFramePoint(*chart, record, row);
    }
    chart->SetRowLabel(QString::number(record.frameNumber));
  }
  if (rowValid) {
    ShowLimits(table, row, from + 1, to - from + 1);
  }
  chart->Commit();
}

void ParameterGraph::DrawParameterGraphWhenShown(const FrameTable& table, int row) {
  if (isVisible() && ChartsTheStartOf(table, row)) {
    AppendNewFrames(table, row);
  } else if (isVisible()) {
    DrawParameterGraph(table, row);
  } else {
    behindTable = &table;
    behindRow = row;
  }
}

void ParameterGraph::showEvent(QShowEvent* event) {
  QGroupBox::showEvent(event);
  if (behindTable != nullptr) {
    DrawParameterGraph(*behindTable, behindRow);
  }
}

ChartAdapter& ParameterGraph::Chart() { return *chart; }

void ParameterGraph::SetLimits(const FrameLimits* frameLimits) {
  limits = frameLimits;
  if (limits != nullptr) {
    connect(limits, &FrameLimits::limitsChanged, this, [this] {
      // Only over the rows still charted: a table reset while the chart was hidden waits for
      // its drawing.
      if (limitsTable != nullptr && chart->RowCount() == limitsCount) {
        ShowLimits(*limitsTable, limitsRow, limitsFirst, limitsCount);
      }
    });
  }
}

// A bound that is a number is the same in every frame; one that names another value is read
// in each frame that carried the section, and a frame without it breaks its line.
void ParameterGraph::ShowLimits(const FrameTable& table, int row, int first, int count) {
  limitsTable = &table;
  limitsRow = row;
  limitsFirst = first;
  limitsCount = count;
  const ValueLimits* valueLimits = limits != nullptr ? limits->Limits().Of(row) : nullptr;
  if (valueLimits == nullptr) {
    chart->SetLimits({});
    return;
  }
  ChartLimits shown;
  const Section section = kParameterCatalogue[static_cast<std::size_t>(row)].section;
  for (int kind = 0; kind < kBoundKindCount; ++kind) {
    const auto& bound = valueLimits->bounds[static_cast<std::size_t>(kind)];
    if (!bound) {
      continue;
    }
    ChartLimitLine& line = shown.lines.emplace_back();
    line.kind = static_cast<BoundKind>(kind);
    line.follows = bound->otherRow >= 0;
    line.values.assign(static_cast<std::size_t>(std::max(count, 0)), bound->number);
    for (int r = 1; line.follows && r <= count; ++r) {
      const int f = first + r - 1;
      const bool carried = table.IsCurrent(f) && table.Record(f).HasSection(section);
      line.values[static_cast<std::size_t>(r - 1)] =
          carried ? table.Record(f).values[static_cast<std::size_t>(bound->otherRow)]
                  : std::numeric_limits<double>::quiet_NaN();
    }
  }
  for (int r = 1; r <= count; ++r) {
    const int f = first + r - 1;
    const LimitState state = limits->StateAt(f, row);
    if (!state.Normal()) {
      shown.points.push_back(
          {r, table.Record(f).values[static_cast<std::size_t>(row)], state.level, state.direction});
    }
  }
  chart->SetLimits(std::move(shown));
}

void ParameterGraph::ShowPointValue(int row) {
  chart->SetCurrentRow(row);
  chart->SetCurrentColumn(1);
  auto* box = new QMessageBox(window());
  box->setObjectName(QStringLiteral("PointValueBox"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(QGuiApplication::applicationDisplayName());
  box->setText(chart->PointValue());
  box->setStandardButtons(QMessageBox::Ok);
  box->open();
}

GraphRangeControls::GraphRangeControls(QWidget* clientArea)
    : QObject(clientArea),
      check(new QCheckBox(clientArea)),
      firstList(new FrameList(clientArea, [this] { EmitRange(); })),
      toLabel(new QLabel(QStringLiteral("to"), clientArea)),
      lastList(new FrameList(clientArea, [this] { EmitRange(); })),
      frameNumbers(new FrameNumberModel(this)) {
  check->setObjectName(QStringLiteral("Check1"));
  firstList->setObjectName(QStringLiteral("List2"));
  toLabel->setObjectName(QStringLiteral("Label12"));
  lastList->setObjectName(QStringLiteral("List3"));
  PlaceInTwips(check, 10320, 2040, 2055, 375);
  PlaceInTwips(firstList, 12600, 2040, 855, 645);
  PlaceInTwips(toLabel, 13560, 2280, 255, 255);
  PlaceInTwips(lastList, 13920, 2040, 855, 645);
  for (QListView* list : {firstList, lastList}) {
    list->setModel(frameNumbers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setUniformItemSizes(true);  // 5000 entries lay out without measuring each
    connect(list, &QListView::clicked, this, &GraphRangeControls::EmitRange);
  }
  flushTimer.setSingleShot(true);
  flushTimer.setInterval(0);
  connect(&flushTimer, &QTimer::timeout, this, &GraphRangeControls::FlushFrameNumbers);
  connect(check, &QCheckBox::clicked, this, &GraphRangeControls::ApplyCheckBoxRule);
  ApplyCheckBoxRule(false);
}

void GraphRangeControls::ApplyCheckBoxRule(bool on) {
  check->setChecked(on);
  check->setText(on ? QStringLiteral("show only frames from") : QStringLiteral("select frames"));
  firstList->setVisible(on);
  toLabel->setVisible(on);
  lastList->setVisible(on);
}

void GraphRangeControls::ClearLists() {
  pending.clear();
  flushTimer.stop();
  frameNumbers->Clear();
}

void GraphRangeControls::AppendFrameNumber(int frameNumber) {
  pending.push_back(frameNumber);
  if (!flushTimer.isActive()) {
    flushTimer.start();
  }
}

QCheckBox* GraphRangeControls::CheckBox() const { return check; }

QListView* GraphRangeControls::FirstFrameList() const {
  FlushFrameNumbers();
  return firstList;
}

QListView* GraphRangeControls::LastFrameList() const {
  FlushFrameNumbers();
  return lastList;
}

void GraphRangeControls::FlushFrameNumbers() const {
  flushTimer.stop();
  frameNumbers->Append(pending);
  pending.clear();
}

void GraphRangeControls::EmitRange() {
  FlushFrameNumbers();
  const auto selected = [](const QListView* list) {
    const QModelIndexList rows = list->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
  };
  emit rangeChosen(selected(firstList), selected(lastList));
}

}  // namespace quilmar
