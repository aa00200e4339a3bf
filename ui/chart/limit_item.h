// The charted value's limits on the parameter chart: for a bound that is a number, a band of
// the level's colour from the bound to the plot's edge beyond it; for a bound that names
// another value, a dashed line following that value frame by frame; and each point beyond
// its limits marked by a shape that says its direction without its colour (a triangle up
// above a high bound, down below a low one, a diamond for a state or NaN).
#pragma once

#include <QGraphicsItem>
#include <vector>

#include "limits/limit_set.h"

class QChart;
class QXYSeries;

namespace quilmar {

struct ChartLimitLine {
  BoundKind kind = BoundKind::kRedLow;
  bool follows = false;        // names another value: a line, not a band
  std::vector<double> values;  // per chart row from 1; NaN where the frame gives none
};

struct ChartLimitPoint {
  int row = 0;  // chart row
  double value = 0;
  LimitLevel level = LimitLevel::kNormal;
  LimitDirection direction = LimitDirection::kNone;
};

struct ChartLimits {
  std::vector<ChartLimitLine> lines;
  std::vector<ChartLimitPoint> points;  // beyond their limits only
};

// Band colours light enough for the line to read over them.
inline const QColor kLimitBandYellow(255, 242, 178);
inline const QColor kLimitBandRed(255, 204, 204);

class LimitItem : public QGraphicsItem {
 public:
  // Bands lie under the grid, lines and marks over the chart's line.
  enum class Layer { kBands, kMarks };
  LimitItem(QChart* chart, QXYSeries* series, Layer layer);

  void SetLimits(const ChartLimits* newLimits);
  void PlotAreaChanged() { prepareGeometryChange(); }

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  void PaintBands(QPainter* painter) const;
  void PaintLines(QPainter* painter) const;
  void PaintPoints(QPainter* painter) const;

  QChart* chart;
  QXYSeries* series;
  Layer layer;
  const ChartLimits* limits = nullptr;
};

}  // namespace quilmar
