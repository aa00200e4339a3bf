// Missing-frames model and its list box; see missing_frames_model.h.
#include "missing_frames_model.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "look.h"

namespace quilmar {

void MissingFramesModel::SetMissingFrames(MissingFrames frames) {
  beginResetModel();
  missing = std::move(frames);
  endResetModel();
}

void MissingFramesModel::Clear() { SetMissingFrames({}); }

int MissingFramesModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) {
    return 0;
  }
  // A log of 5000 frames misses at most 4999 gaps of 65534 numbers: well inside int.
  return static_cast<int>(std::min<std::int64_t>(missing.Count(), std::numeric_limits<int>::max()));
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
    connect(model, &QAbstractItemModel::rowsInserted, this, &MissingFramesList::ModelChanged);
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
