// The chart component behind MSChart1; see chart_adapter.h.
#include "chart_adapter.h"

#include <QCategoryAxis>
#include <QFontMetrics>
#include <QLineSeries>
#include <QLocale>
#include <QSet>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

namespace quilmar {
namespace {

// How near, in pixels, the pointer must be to a point to select it or show its tip.
constexpr double kPointTolerance = 8;
// A tip's time on screen while the pointer rests on its point: as long as it rests.
constexpr int kTipShownWhilePointerRests = std::numeric_limits<int>::max();
// Up to this many rows each point gets a marker; beyond, markers would merge into a bar.
constexpr int kMarkerLimit = 60;
// Qt Charts keeps this many pixels free on either side of an axis label.
constexpr double kAxisLabelPadding = 4;
// Space between neighbouring labels, and the slack of Qt's text layout over font metrics.
constexpr double kLabelGap = 2;
// Ticks of the value axis before rounding to nice numbers (Qt Charts' own default).
constexpr int kValueTickCount = 5;

// A value as the chart reads it back: up to 15 significant digits in the user's notation.
QString ValueText(double value) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(value, 'G', 15);
}

}  // namespace

ChartAdapter::ChartAdapter(QWidget* frame)
    : QObject(frame),
      series(new QLineSeries),
      tickAxis(new QValueAxis),
      categoryAxis(new QCategoryAxis),
      valueAxis(new QValueAxis) {
  view = new ChartView(BuildChart(), frame);
  view->setObjectName(QStringLiteral("MSChart1"));
  commitTimer.setSingleShot(true);
  commitTimer.setInterval(0);
  connect(&commitTimer, &QTimer::timeout, this, &ChartAdapter::Commit);
  connect(tickAxis, &QValueAxis::rangeChanged, this, &ChartAdapter::UpdateVisibleRows);
  for (QValueAxis* axis : {tickAxis, valueAxis}) {
    connect(axis, &QValueAxis::rangeChanged, this, [this] {
      limitBands->update();
      limitMarks->update();
    });
  }
  connect(view->chart(), &QChart::plotAreaChanged, this, [this](const QRectF& plot) {
    line->PlotAreaChanged();
    limitBands->PlotAreaChanged();
    limitMarks->PlotAreaChanged();
    if (std::abs(plot.width() - plottedWidth) > 0.5) {
      UpdateVisibleRows();
    }
  });
  connect(view, &ChartView::fileDropped, this, &ChartAdapter::fileDropped);
  connect(view, &ChartView::clickedAt, this, &ChartAdapter::SelectPointAt);
  connect(view, &ChartView::hoveredAt, this, &ChartAdapter::ShowToolTip);
  connect(view, &ChartView::wholeChartRequested, this, &ChartAdapter::ShowWholeChart);
  ResetData();
  Commit();
}

QChart* ChartAdapter::BuildChart() {
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setLocalizeNumbers(true);
  chart->setMargins(QMargins(4, 4, 8, 4));
  chart->setBackgroundRoundness(0);
  chart->addSeries(series);
  // Two horizontal axes over the same categories: one draws the ticks and grid lines at
  // every n-th category, the other only the labels, so that crowded labels can be thinned
  // without losing ticks.
  tickAxis->setLabelsVisible(false);
  tickAxis->setTickType(QValueAxis::TicksDynamic);
  tickAxis->setTickAnchor(1);
  tickAxis->setMinorTickCount(0);
  categoryAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  categoryAxis->setGridLineVisible(false);
  categoryAxis->setLineVisible(false);
  valueAxis->setTitleText(QStringLiteral("graphical value"));
  chart->addAxis(tickAxis, Qt::AlignBottom);
  chart->addAxis(categoryAxis, Qt::AlignBottom);
  chart->addAxis(valueAxis, Qt::AlignLeft);
  series->attachAxis(tickAxis);
  series->attachAxis(categoryAxis);
  series->attachAxis(valueAxis);
  series->setMarkerSize(7);
  line = new BrokenLineItem(chart, series);
  limitBands = new LimitItem(chart, series, LimitItem::Layer::kBands);
  limitMarks = new LimitItem(chart, series, LimitItem::Layer::kMarks);
  return chart;
}

void ChartAdapter::SetLimits(ChartLimits newLimits) {
  limits = std::move(newLimits);
  limitBands->SetLimits(&limits);
  limitMarks->SetLimits(&limits);
}

void ChartAdapter::ResetData() {
  SetLimits({});
  rows.assign(1, Row{});
  currentRow = 1;
  ScheduleCommit();
}

void ChartAdapter::SetRowCount(int n) {
  if (n < 0) {
    return;
  }
  rows.resize(static_cast<std::size_t>(n));
  ScheduleCommit();
}

bool ChartAdapter::SetCurrentRow(int r) {
  if (r < 1 || r > RowCount()) {
    return false;
  }
  currentRow = r;
  return true;
}

bool ChartAdapter::SetCurrentColumn(int k) { return k == 1; }

ChartAdapter::Row* ChartAdapter::CurrentRowData() {
  return currentRow <= RowCount() ? &rows[static_cast<std::size_t>(currentRow - 1)] : nullptr;
}

void ChartAdapter::SetRowLabel(const QString& text) {
  if (Row* row = CurrentRowData()) {
    row->label = text;
    ScheduleCommit();
  }
}

void ChartAdapter::SetPointValue(double value) {
  if (Row* row = CurrentRowData()) {
    row->value = value;
    row->null = false;
    ScheduleCommit();
  }
}

void ChartAdapter::SetPointNull() {
  if (Row* row = CurrentRowData()) {
    row->value = 0;
    row->null = true;
    ScheduleCommit();
  }
}

QString ChartAdapter::PointValue() const {
  if (IsNull(currentRow)) {
    return {};
  }
  return ValueText(rows[static_cast<std::size_t>(currentRow - 1)].value);
}

void ChartAdapter::SetCategoryAxisSpacing(int n) {
  if (n < 1 || n == spacing) {
    return;
  }
  spacing = n;
  ScheduleCommit();
}

int ChartAdapter::CategoryAxisSpacing() const { return spacing; }

int ChartAdapter::RowCount() const { return static_cast<int>(rows.size()); }

QString ChartAdapter::RowLabel(int r) const {
  return r >= 1 && r <= RowCount() ? rows[static_cast<std::size_t>(r - 1)].label : QString();
}

bool ChartAdapter::IsNull(int r) const {
  return r < 1 || r > RowCount() || rows[static_cast<std::size_t>(r - 1)].null;
}

QChart* ChartAdapter::Chart() const { return view->chart(); }

void ChartAdapter::ScheduleCommit() {
  if (!commitTimer.isActive()) {
    commitTimer.start();
  }
}

void ChartAdapter::Commit() {
  commitTimer.stop();
  updating = true;
  // Qt Charts recomputes the outline of the whole line at every range change; emptying the
  // series first leaves one such pass, for the new points.
  series->clear();
  ShowAllRows();  // new data: show the whole chart
  UpdateValueRange(true);
  updating = false;
  UpdateVisibleRows();
}

void ChartAdapter::CommitAppendedRows() {
  commitTimer.stop();
  updating = true;
  if (!IsZoomed()) {
    series->clear();  // see Commit
    ShowAllRows();
  }
  UpdateValueRange(false);
  updating = false;
  UpdateVisibleRows();
}

void ChartAdapter::ShowAllRows() {
  // Dynamic ticks are laid out at once for every new range: keep them few until the range
  // is known.
  tickAxis->setTickInterval(std::max(1, RowCount()));
  // zoomReset returns to the range before the zoom, which lacks rows that arrived since.
  Chart()->zoomReset();
  // Categories sit on whole numbers.
  tickAxis->setRange(0.5, std::max(1, RowCount()) + 0.5);
}

void ChartAdapter::UpdateValueRange(bool always) {
  double low = 0;
  double high = 0;
  bool any = false;
  for (const Row& row : rows) {
    if (!row.null) {
      low = any ? std::min(low, row.value) : row.value;
      high = any ? std::max(high, row.value) : row.value;
      any = true;
    }
  }
  if (!any) {
    low = 0;
    high = 1;
  } else if (low == high) {
    low -= 1;
    high += 1;
  }
  // Fitting the axis lays out its ticks and labels anew, which costs a live session more
  // than all the rest of a new frame's point.
  if (!always && low == fittedLow && high == fittedHigh) {
    return;
  }
  fittedLow = low;
  fittedHigh = high;
  const double margin = (high - low) * 0.05;
  valueAxis->setRange(low - margin, high + margin);
  // The nice numbers start from the tick count the last fit left; starting from the same
  // count every time makes the axis depend on the values alone, not on earlier charts.
  valueAxis->setTickCount(kValueTickCount);
  valueAxis->applyNiceNumbers();
}

double ChartAdapter::PlotWidth() const {
  const QRectF plot = Chart()->plotArea();
  // Before the first layout the plot area is unknown; the view's width less the value axis
  // is close enough.
  return plot.width() >= 50 ? plot.width() : std::max(50, view->width() - 90);
}

void ChartAdapter::UpdateVisibleRows() {
  if (updating) {
    return;
  }
  updating = true;
  const double low = tickAxis->min();
  const double high = tickAxis->max();
  plottedWidth = PlotWidth();
  UpdateCategoryLabels(low, high);
  const int first = std::max(1, static_cast<int>(std::floor(low)));
  const int last = std::min(RowCount(), static_cast<int>(std::ceil(high)));
  const bool markers = last - first < kMarkerLimit;
  series->setPointsVisible(markers);
  // Where rows outnumber pixel columns the line is drawn as each column's lowest and highest
  // point: mostly vertical strokes, which smoothing barely changes but makes the chart's
  // repaint about twice as slow (every new frame of a live pass repaints it).
  View()->setRenderHint(QPainter::Antialiasing, !IsThinned(last - first + 1));
  std::vector<bool> runStarts;
  const QList<QPointF> points = VisiblePoints(first, last, runStarts);
  ReplacePoints(points, runStarts, markers);
  updating = false;
}

void ChartAdapter::ReplacePoints(const QList<QPointF>& points, const std::vector<bool>& runStarts,
                                 bool markers) {
  // A frame arriving beyond a zoomed view leaves its points as they were; outlining them
  // again would only cost time.
  const QList<QPointF> drawn = series->points();
  const auto same = [](QPointF a, QPointF b) { return a.x() == b.x() && a.y() == b.y(); };
  if (!std::equal(points.begin(), points.end(), drawn.begin(), drawn.end(), same)) {
    series->replace(points);
  }
  line->SetPoints(points, runStarts, markers);
}

double ChartAdapter::RowsPerColumn(int rowCount) const {
  return rowCount / std::max(1.0, plottedWidth);
}

bool ChartAdapter::IsThinned(int rowCount) const { return RowsPerColumn(rowCount) > 2; }

QList<QPointF> ChartAdapter::VisiblePoints(int first, int last,
                                           std::vector<bool>& runStarts) const {
  QList<QPointF> points;
  runStarts.clear();
  const int count = last - first + 1;
  // The line breaks where the spacecraft sent no reading to draw it through: two frames or
  // more in a row without the value, or a whole pixel column of them. A single frame without
  // it is the housekeeping's own rhythm (EPS/TCS and COM come in one frame, CDHS and ADCS in
  // the next), and the line goes on across it.
  const int joinedAcross = IsThinned(count) ? 0 : 1;
  int without = 0;
  // More than two rows to a pixel column: each column's lowest and highest point, in row
  // order, draw the same picture as all of them for a fraction of the outlining work.
  const double rowsPerColumn = RowsPerColumn(count);
  const int perColumn = IsThinned(count) ? static_cast<int>(std::ceil(rowsPerColumn)) : 1;
  points.reserve(perColumn > 1 ? 2 * (count / perColumn + 1) : std::max(count, 0));
  for (int start = first; start <= last; start += perColumn) {
    const Row* low = nullptr;
    const Row* high = nullptr;
    int lowRow = 0;
    int highRow = 0;
    for (int r = start; r <= std::min(last, start + perColumn - 1); ++r) {
      const Row& row = rows[static_cast<std::size_t>(r - 1)];
      if (row.null) {
        continue;
      }
      if (low == nullptr || row.value < low->value) {
        low = &row;
        lowRow = r;
      }
      if (high == nullptr || row.value > high->value) {
        high = &row;
        highRow = r;
      }
    }
    if (low == nullptr) {
      ++without;
      continue;
    }
    const bool lowFirst = lowRow <= highRow;
    points.append(lowFirst ? QPointF(lowRow, low->value) : QPointF(highRow, high->value));
    runStarts.push_back(points.size() == 1 || without > joinedAcross);
    without = 0;
    if (lowRow != highRow) {
      points.append(lowFirst ? QPointF(highRow, high->value) : QPointF(lowRow, low->value));
      runStarts.push_back(false);
    }
  }
  return points;
}

void ChartAdapter::UpdateCategoryLabels(double low, double high) {
  const int first = std::max(1, static_cast<int>(std::floor(low)) + 1);
  const int last = std::min(RowCount(), static_cast<int>(std::floor(high)));
  const LabelLayout layout = PlanLabels(first, last, high - low);
  tickAxis->setTickInterval(layout.tickInterval);
  categoryAxis->setLabelsAngle(layout.angle);
  QStringList labels;
  QList<int> positions;
  QSet<QString> shown;
  const int start = 1 + (first - 1 + layout.stride - 1) / layout.stride * layout.stride;
  for (int r = start; r <= last; r += layout.stride) {
    QString label = rows[static_cast<std::size_t>(r - 1)].label;
    // The axis keeps one category per distinct text; a repeated frame number gets invisible
    // zero-width spaces so that it still shows.
    while (shown.contains(label)) {
      label += QChar(0x200B);
    }
    shown.insert(label);
    labels.append(label);
    positions.append(r);
  }
  if (!LabelsDiffer(low, labels, positions)) {
    return;  // every label laid out anew would cost a frame arriving outside a zoomed view
  }
  for (const QString& label : categoryAxis->categoriesLabels()) {
    categoryAxis->remove(label);
  }
  categoryAxis->setStartValue(low);
  for (qsizetype k = 0; k < labels.size(); ++k) {
    categoryAxis->append(labels[k], positions[k]);
  }
}

bool ChartAdapter::LabelsDiffer(double low, const QStringList& labels,
                                const QList<int>& positions) const {
  if (categoryAxis->startValue() != low || categoryAxis->categoriesLabels() != labels) {
    return true;
  }
  for (qsizetype k = 0; k < labels.size(); ++k) {
    if (categoryAxis->endValue(labels[k]) != positions[k]) {
      return true;
    }
  }
  return false;
}

int CategorySpacingFor(int rowCount) {
  if (rowCount <= 20) {
    return 1;
  }
  const int quotient = rowCount / 20;
  const int remainder = rowCount % 20;
  if (remainder * 2 > 20 || (remainder * 2 == 20 && quotient % 2 == 1)) {
    return quotient + 1;
  }
  return quotient;
}

ChartAdapter::LabelLayout ChartAdapter::PlanLabels(int first, int last, double visibleRows) const {
  LabelLayout layout;
  // A zoomed view is labelled as a chart of the rows in view would be: the whole chart's
  // spacing would leave a few zoomed rows with a label or none.
  const int zoomedStep = CategorySpacingFor(static_cast<int>(std::lround(visibleRows)));
  const int step = IsZoomed() ? zoomedStep : spacing > 0 ? spacing : 1;
  layout.stride = step;
  layout.tickInterval = step;
  if (first > last || visibleRows <= 0) {
    return layout;
  }
  // Ticks closer than a few pixels would merge into a grey band.
  const double pixelsPerRow = plottedWidth / visibleRows;
  layout.tickInterval = step * std::max(1, static_cast<int>(std::ceil(4 / (step * pixelsPerRow))));
  QString longest;
  for (int r = first; r <= last; r += step) {
    const QString& label = rows[static_cast<std::size_t>(r - 1)].label;
    longest = label.size() > longest.size() ? label : longest;
  }
  const QFontMetrics metrics(categoryAxis->labelsFont());
  const double across = metrics.horizontalAdvance(longest) + kLabelGap;
  const double upright = metrics.height() + kLabelGap;
  // Qt Charts gives each label the plot width shared among all labels, less its padding,
  // and elides what does not fit. Labels stand upright when that lets every n-th category
  // keep its label; when even upright labels crowd, only every k-th of them is labelled.
  const int rowCount = last - first + 1;
  const auto room = [&](int stride) {
    return plottedWidth / ((rowCount + stride - 1) / stride + 1) - 2 * kAxisLabelPadding;
  };
  for (int multiple = 1; step * multiple <= rowCount; ++multiple) {
    layout.stride = step * multiple;
    if (room(layout.stride) >= across) {
      layout.angle = 0;
      return layout;
    }
    if (room(layout.stride) >= upright) {
      layout.angle = -90;
      return layout;
    }
  }
  return layout;  // a single label
}

int ChartAdapter::RowAt(QPoint viewportPosition) {
  QChart* chart = Chart();
  const QPointF position = chart->mapFromScene(view->mapToScene(viewportPosition));
  const QRectF near = chart->plotArea().adjusted(-kPointTolerance, -kPointTolerance,
                                                 kPointTolerance, kPointTolerance);
  if (RowCount() == 0 || !near.contains(position)) {
    return 0;
  }
  const double leftValue = chart->mapToValue(position - QPointF(kPointTolerance, 0), series).x();
  const double rightValue = chart->mapToValue(position + QPointF(kPointTolerance, 0), series).x();
  const int first = std::max(1, static_cast<int>(std::ceil(leftValue)));
  const int last = std::min(RowCount(), static_cast<int>(std::floor(rightValue)));
  int best = 0;
  double bestDistance = kPointTolerance * kPointTolerance;
  for (int r = first; r <= last; ++r) {
    const Row& row = rows[static_cast<std::size_t>(r - 1)];
    if (row.null) {
      continue;
    }
    const QPointF offset = chart->mapToPosition(QPointF(r, row.value), series) - position;
    const double distance = QPointF::dotProduct(offset, offset);
    if (distance <= bestDistance) {
      best = r;
      bestDistance = distance;
    }
  }
  return best;
}

QString ChartAdapter::ToolTipText(int r) const {
  if (IsNull(r)) {
    return {};
  }
  return QStringLiteral("Frame %1: %2")
      .arg(RowLabel(r), ValueText(rows[static_cast<std::size_t>(r - 1)].value));
}

void ChartAdapter::ShowToolTip(QPoint position, QPoint globalPosition) {
  const int row = RowAt(position);
  if (row == 0) {
    QToolTip::hideText();
    return;
  }
  // The tip stays while the pointer rests, however long; a move away from the point takes it
  // off.
  QToolTip::showText(globalPosition, ToolTipText(row), view->viewport(), QRect(),
                     kTipShownWhilePointerRests);
}

void ChartAdapter::SelectPointAt(QPoint position) {
  const int row = RowAt(position);
  if (row != 0) {
    emit pointSelected(row);
  }
}

void ChartAdapter::ShowWholeChart() {
  updating = true;
  ShowAllRows();
  UpdateValueRange(true);
  updating = false;
  UpdateVisibleRows();
}

bool ChartAdapter::IsZoomed() const { return Chart()->isZoomed(); }

void ChartAdapter::SetValueUnit(const QString& unit) {
  const QString title = QStringLiteral("graphical value");
  valueAxis->setTitleText(unit.isEmpty() ? title : title + QStringLiteral(" (") + unit + u')');
}

QString ChartAdapter::ValueAxisTitle() const { return valueAxis->titleText(); }

QStringList ChartAdapter::AxisLabels() const {
  QStringList labels = categoryAxis->categoriesLabels();
  for (QString& label : labels) {
    label.remove(QChar(0x200B));
  }
  return labels;
}

}  // namespace quilmar
