// Missing-frames model and its list box; see missing_frames_model.h.
#include "missing_frames_model.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "ui/look/look.h"

namespace quilmar {

namespace {

// During a live session gaps are only ever appended: the list then grows at its end.
bool ExtendsGaps(const MissingFrames& before, const MissingFrames& after) {
  const std::vector<FrameGap>& old = before.Gaps();
  const std::vector<FrameGap>& now = after.Gaps();
  return old.size() <= now.size() &&
         std::equal(old.begin(), old.end(), now.begin(), [](const FrameGap& a, const FrameGap& b) {
           return a.highest == b.highest && a.count == b.count;
         });
}

}  // namespace

// Growth is announced as rows inserted at the end, so a list scrolled or clicked by the user
// stays where it is while a pass comes in; anything else is a new list.
void MissingFramesModel::SetMissingFrames(MissingFrames frames) {
  if (!ExtendsGaps(missing, frames)) {
    beginResetModel();
    missing = std::move(frames);
    endResetModel();
    return;
  }
  const int before = rowCount();
  const int after = RowCountOf(frames);
  if (after == before) {
    missing = std::move(frames);
    return;
  }
  beginInsertRows(QModelIndex(), before, after - 1);
  missing = std::move(frames);
  endInsertRows();
}

void MissingFramesModel::Clear() {
  beginResetModel();
  missing = MissingFrames();
  endResetModel();
}

// A log of 5000 frames misses at most 4999 gaps of 65534 numbers: well inside int.
int MissingFramesModel::RowCountOf(const MissingFrames& frames) {
  return static_cast<int>(std::min<std::int64_t>(frames.Count(), std::numeric_limits<int>::max()));
}

int MissingFramesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCountOf(missing);
}

QVariant MissingFramesModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  return QString::number(missing.At(index.row()));
}

MissingFramesList::MissingFramesList(QWidget* parent) : QAbstractScrollArea(parent) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFocusPolicy(Qt::StrongFocus);
  // The list box was designed in the system's button-face colour.
  SetPaletteColour(this, QPalette::Base, palette().color(QPalette::Button));
  connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
          qOverload<>(&QWidget::update));
}

void MissingFramesList::SetModel(QAbstractItemModel* newModel) {
  if (model) {
    disconnect(model, nullptr, this, nullptr);
  }
  model = newModel;
  if (model) {
    connect(model, &QAbstractItemModel::modelReset, this, &MissingFramesList::ModelChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &MissingFramesList::RowsAdded);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &MissingFramesList::ModelChanged);
    connect(model, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
  }
  ModelChanged();
}

int MissingFramesList::FirstVisibleRow() const { return verticalScrollBar()->value(); }

void MissingFramesList::SetCurrentRow(int row) {
  currentRow = row >= 0 && row < RowCount() ? row : -1;
  if (currentRow >= 0) {
    if (currentRow < FirstVisibleRow()) {
      verticalScrollBar()->setValue(currentRow);
    } else if (currentRow >= FirstVisibleRow() + VisibleRows()) {
      verticalScrollBar()->setValue(currentRow - VisibleRows() + 1);
    }
  }
  viewport()->update();
}

int MissingFramesList::RowHeight() const { return fontMetrics().height(); }

int MissingFramesList::RowCount() const { return model ? model->rowCount() : 0; }

int MissingFramesList::VisibleRows() const {
  return std::max(1, viewport()->height() / RowHeight());
}

void MissingFramesList::ModelChanged() {
  currentRow = -1;
  verticalScrollBar()->setValue(0);
  UpdateScrollBar();
  viewport()->update();
}

// Rows come only at the end: the rows in view and the marked row stay as they are.
void MissingFramesList::RowsAdded() {
  UpdateScrollBar();
  viewport()->update();
}

// One scroll step per row keeps the range small enough for an int whatever the row count.
void MissingFramesList::UpdateScrollBar() {
  QScrollBar* bar = verticalScrollBar();
  bar->setPageStep(VisibleRows());
  bar->setSingleStep(1);
  bar->setRange(0, std::max(0, RowCount() - VisibleRows()));
}

void MissingFramesList::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& look = palette();
  const int height = RowHeight();
  const int first = FirstVisibleRow();
  const int end = std::min(RowCount(), first + VisibleRows() + 1);
  for (int row = first; row < end; ++row) {
    const QRect line(2, (row - first) * height, viewport()->width() - 4, height);
    const bool current = row == currentRow;
    if (current) {
      painter.fillRect(line, look.color(QPalette::Highlight));
    }
    painter.setPen(look.color(current ? QPalette::HighlightedText : QPalette::Text));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                     model->index(row, 0).data(Qt::DisplayRole).toString());
  }
}

void MissingFramesList::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBar();
}

void MissingFramesList::mousePressEvent(QMouseEvent* event) {
  SetCurrentRow(FirstVisibleRow() + event->position().toPoint().y() / RowHeight());
}

void MissingFramesList::keyPressEvent(QKeyEvent* event) {
  const int last = RowCount() - 1;
  switch (event->key()) {
    case Qt::Key_Up:
      SetCurrentRow(std::max(0, currentRow - 1));
      break;
    case Qt::Key_Down:
      SetCurrentRow(std::min(last, currentRow + 1));
      break;
    case Qt::Key_PageUp:
      SetCurrentRow(std::max(0, currentRow - VisibleRows()));
      break;
    case Qt::Key_PageDown:
      SetCurrentRow(std::min(last, std::max(0, currentRow) + VisibleRows()));
      break;
    case Qt::Key_Home:
      SetCurrentRow(0);
      break;
    case Qt::Key_End:
      SetCurrentRow(last);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

}  // namespace quilmar
