// The chart component behind MSChart1: one series of values by category, rows numbered from 1,
// each with a category label and one value in column 1 that may be null. The chart operations
// of the parameter graph are its public verbs; a Qt Charts line series draws the rows.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

#include "broken_line_item.h"
#include "chart_view.h"
#include "limit_item.h"

class QCategoryAxis;
class QLineSeries;
class QValueAxis;

namespace quilmar {

// The category axis labels every n-th row: every row up to 20 rows; beyond, rows / 20 rounded
// to the nearest integer, halves to the even neighbour. A chart of a range, and a zoomed view,
// take n from their own rows.
int CategorySpacingFor(int rowCount);

class ChartAdapter : public QObject {
  Q_OBJECT
 public:
  // Creates MSChart1 on frame; the caller places it.
  explicit ChartAdapter(QWidget* frame);

  // One row with an empty label and a null point; current row and column 1.
  void ResetData();
  // n rows; rows kept keep their label and value, new rows are null.
  void SetRowCount(int n);
  // Later writes go to row r (1-based); a row outside the chart is refused and the current
  // row stays as it was.
  bool SetCurrentRow(int r);
  // Only column 1 exists.
  bool SetCurrentColumn(int k);
  void SetRowLabel(const QString& text);
  void SetPointValue(double value);
  // Marks the current point as having no value: it is not drawn.
  void SetPointNull();
  // The current point's value as text in the user's notation; empty for a null point.
  QString PointValue() const;
  // A label and a tick at every n-th category, from the first one on (n >= 1).
  void SetCategoryAxisSpacing(int n);
  // 0 while the spacing is automatic (never set).
  int CategoryAxisSpacing() const;

  int RowCount() const;
  QString RowLabel(int r) const;
  bool IsNull(int r) const;

  // Draws the rows as they stand and shows the whole chart; runs by itself from the event
  // loop after any write.
  void Commit();
  // Draws rows added at the end since the last commit, as Commit would draw them, but keeps
  // the user's zoom: a zoomed view stays on the categories it shows while a pass comes in.
  void CommitAppendedRows();

  // The row of the point under a viewport position, 0 when no point is near.
  int RowAt(QPoint viewportPosition);
  // The charted value's limits by row: bands, bound lines and the points beyond them
  // (limit_item.h). ResetData takes them away.
  void SetLimits(ChartLimits newLimits);
  const ChartLimits& Limits() const { return limits; }

  // "Frame <label>: <value>" for a row's point.
  QString ToolTipText(int r) const;
  void ShowWholeChart();
  // The value axis names the charted parameter's unit, when it has one.
  void SetValueUnit(const QString& unit);
  QString ValueAxisTitle() const;
  bool IsZoomed() const;

  ChartView* View() const { return view; }
  QChart* Chart() const;
  // The labels the horizontal axis shows now, left to right.
  QStringList AxisLabels() const;
  // The line as drawn: its runs, each a polyline in values (a single point stands alone).
  std::vector<QList<QPointF>> LineRuns() const { return line->Runs(); }

 signals:
  // The user selected the point of row (1-based).
  void pointSelected(int row);
  void fileDropped(const QString& path);

 private:
  struct Row {
    QString label;
    double value = 0;
    bool null = true;
  };

  // Which categories carry a label, and at what angle, so that the labels do not overlap.
  struct LabelLayout {
    int stride = 1;  // a label at every stride-th category
    int angle = 0;
    int tickInterval = 1;
  };

  QChart* BuildChart();
  // The row later writes go to; nullptr once the rows have shrunk below it.
  Row* CurrentRowData();
  void ScheduleCommit();
  // The categories from 1 to the last row, half a category of room on either side.
  void ShowAllRows();
  // always false: left alone when the values span what they spanned at the last update.
  void UpdateValueRange(bool always);
  double PlotWidth() const;
  // Labels and points for the categories in view: after every commit, zoom and resize.
  void UpdateVisibleRows();
  void UpdateCategoryLabels(double low, double high);
  // Whether the axis shows other labels, positions or start than these.
  bool LabelsDiffer(double low, const QStringList& labels, const QList<int>& positions) const;
  // The series' points and the line drawn from them, each only when it changed.
  void ReplacePoints(const QList<QPointF>& points, const std::vector<bool>& runStarts,
                     bool markers);
  LabelLayout PlanLabels(int first, int last, double visibleRows) const;
  // Rows to a pixel column of the plot, and whether the line then shows only each column's
  // lowest and highest point (more than two rows to a column).
  double RowsPerColumn(int rowCount) const;
  bool IsThinned(int rowCount) const;
  // The points drawn for rows first..last; runStarts[i] when a row (or a whole pixel column)
  // without the value lies before point i, which breaks the line.
  QList<QPointF> VisiblePoints(int first, int last, std::vector<bool>& runStarts) const;
  void ShowToolTip(QPoint position, QPoint globalPosition);
  void SelectPointAt(QPoint position);

  ChartView* view = nullptr;
  QLineSeries* series;
  BrokenLineItem* line = nullptr;
  LimitItem* limitBands = nullptr;
  LimitItem* limitMarks = nullptr;
  ChartLimits limits;
  QValueAxis* tickAxis;
  QCategoryAxis* categoryAxis;
  QValueAxis* valueAxis;
  QTimer commitTimer;
  std::vector<Row> rows;
  int currentRow = 1;
  int spacing = 0;
  bool updating = false;
  double plottedWidth = 0;  // the plot width the labels and points were laid out for
  // The values' span the value axis was last fitted to, before its margin and rounding.
  double fittedLow = 0;
  double fittedHigh = 0;
};

}  // namespace quilmar
