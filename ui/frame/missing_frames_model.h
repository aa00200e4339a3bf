// The missing-frames list List1. A log whose frame numbers jump between 0 and 65535 misses
// hundreds of millions of numbers, so the model expands entries only when they are drawn and
// the list paints only its visible rows: a stock list view lays out every row up front, which
// takes seconds and gigabytes for such a log.
#pragma once

#include <QAbstractListModel>
#include <QAbstractScrollArea>
#include <QPointer>

#include "core/missing_frames.h"

namespace quilmar {

// One row per missing frame number, in the order the gaps were found, as decimal text.
class MissingFramesModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;

  // A list that only adds gaps after the present ones (a live session growing) is announced
  // as rows inserted at the end; any other list replaces the rows.
  void SetMissingFrames(MissingFrames frames);
  // Empties the list; a new log or session starts from here.
  void Clear();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  static int RowCountOf(const MissingFrames& frames);

  MissingFrames missing;
};

// A plain list box over a one-column model: one text line per row, a clicked row marked.
class MissingFramesList : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit MissingFramesList(QWidget* parent = nullptr);

  void SetModel(QAbstractItemModel* model);
  QAbstractItemModel* Model() const { return model; }
  // The row at the top of the visible part.
  int FirstVisibleRow() const;
  int CurrentRow() const { return currentRow; }
  void SetCurrentRow(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int RowHeight() const;
  int RowCount() const;
  int VisibleRows() const;
  void ModelChanged();
  void RowsAdded();
  void UpdateScrollBar();

  QPointer<QAbstractItemModel> model;
  int currentRow = -1;
};

}  // namespace quilmar
