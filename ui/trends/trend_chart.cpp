// The Trends chart; see trend_chart.h.
#include "trend_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

#include "chart_axes.h"

namespace quilmar {
namespace {

constexpr int kAxisWidth = 62;
constexpr int kTopMargin = 26;
constexpr int kBottomMargin = 42;
constexpr int kOuterMargin = 10;
constexpr double kShortestView = 60.0;  // seconds
constexpr double kHoverReach = 12.0;    // pixels

int LeftAxes(int curves) { return (curves + 1) / 2; }
int RightAxes(int curves) { return curves / 2; }

}  // namespace

TrendChart::TrendChart(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(480, 260);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void TrendChart::AddCurve(TrendCurve curve, std::vector<std::pair<TileKey, Tile>> read) {
  curves.push_back({std::move(curve), {}, 0.0, 1.0, {}, {}});
  PutTiles(std::move(read));
}

void TrendChart::RemoveCurve(int parameterRow) {
  std::erase_if(curves, [&](const Shown& c) { return c.data.parameterRow == parameterRow; });
  tiles.DropParameter(parameterRow);
  Regather();
}

std::vector<TileKey> TrendChart::MissingTiles() const {
  std::vector<TileKey> missing;
  for (const Shown& curve : curves) {
    missing.insert(missing.end(), curve.drawn.missing.begin(), curve.drawn.missing.end());
  }
  // The values bounds name come after the curves, once each.
  for (const Shown& curve : curves) {
    for (const TileKey& key : curve.followedMissing) {
      if (std::find(missing.begin(), missing.end(), key) == missing.end()) {
        missing.push_back(key);
      }
    }
  }
  return missing;
}

void TrendChart::SetLimits(std::shared_ptr<const LimitSet> newLimits) {
  limitSet = std::move(newLimits);
  Regather();
}

bool TrendChart::Wants(int row) const {
  for (const Shown& curve : curves) {
    if (curve.data.parameterRow == row) {
      return true;
    }
    const ValueLimits* limits = limitSet ? limitSet->Of(curve.data.parameterRow) : nullptr;
    for (const int followed : FollowedRows(limits)) {
      if (followed == row) {
        return true;
      }
    }
  }
  return false;
}

void TrendChart::GatherLimits(Shown& curve, int columns) {
  const ValueLimits* limits = limitSet ? limitSet->Of(curve.data.parameterRow) : nullptr;
  curve.limits = CurveLimitsOf(limits, curve.drawn.points, viewFrom, viewTo);
  curve.followedMissing.clear();
  for (TrendLimitFollowed& followed : curve.limits.followed) {
    GatheredView other = tiles.Gather(followed.otherRow, viewFrom, viewTo, columns);
    followed.points = std::move(other.points);
    curve.followedMissing.insert(curve.followedMissing.end(), other.missing.begin(),
                                 other.missing.end());
  }
}

void TrendChart::PutTiles(std::vector<std::pair<TileKey, Tile>> read) {
  for (auto& [key, tile] : read) {
    if (Wants(key.parameterRow)) {
      tiles.Put(key, std::move(tile));
    }
  }
  Regather();
}

void TrendChart::InvalidateTiles(int parameterRow, const std::vector<double>& times) {
  std::vector<int> rows{parameterRow};
  if (limitSet) {
    for (const int followed : FollowedRows(limitSet->Of(parameterRow))) {
      rows.push_back(followed);
    }
  }
  for (const int row : rows) {
    for (const double time : times) {
      tiles.Invalidate(row, time);
    }
  }
  ++tileChanges;
  // New frames may be receptions of a frame already hovered.
  stationsKey.reset();
  Regather();
}

void TrendChart::DropTiles(int parameterRow) {
  tiles.DropParameter(parameterRow);
  ++tileChanges;
  Regather();
}

void TrendChart::SetFullRange(double from, double to) {
  hasRange = true;
  fullFrom = from;
  fullTo = std::max(to, from + kShortestView);
}

void TrendChart::SetView(double from, double to) {
  if (to - from < kShortestView) {
    const double middle = (from + to) / 2;
    from = middle - kShortestView / 2;
    to = middle + kShortestView / 2;
  }
  viewFrom = from;
  viewTo = to;
  Regather();
  emit ViewChanged(viewFrom, viewTo);
}

void TrendChart::SetMessage(const QString& text) {
  message = text;
  update();
}

QRect TrendChart::PlotRect() const { return PlotRectWith(CurveCount()); }

QRect TrendChart::PlotRectWith(int n) const {
  const int left = kOuterMargin + std::max(1, LeftAxes(n)) * kAxisWidth;
  const int right = kOuterMargin + RightAxes(n) * kAxisWidth;
  return rect().adjusted(left, kTopMargin, -right, -kBottomMargin);
}

// Gathers every curve from the tiles held and fits each value axis to what is shown. A
// curve that is flat in the view has no height of its own: the flat curves are spread over
// the plot's height, so that two of them never lie on one line and hide each other.
void TrendChart::Regather() {
  const int columns = std::max(1, PlotRect().width());
  std::vector<Shown*> flat;
  bool missing = false;
  for (Shown& curve : curves) {
    curve.drawn = tiles.Gather(curve.data.parameterRow, viewFrom, viewTo, columns);
    GatherLimits(curve, columns);
    missing = missing || !curve.drawn.missing.empty() || !curve.followedMissing.empty();
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const DrawnPoint& point : curve.drawn.points) {
      if (point.time >= viewFrom && point.time <= viewTo) {
        low = std::min(low, point.low);
        high = std::max(high, point.high);
      }
    }
    if (!(low <= high)) {
      curve.low = 0.0;
      curve.high = 1.0;
    } else if (high > low) {
      const double margin = (high - low) * 0.05;
      curve.low = low - margin;
      curve.high = high + margin;
    } else {
      curve.low = curve.high = low;
      flat.push_back(&curve);
    }
  }
  // The k-th of n flat curves at (k + 1) / (n + 1) of the height, on an axis two units tall
  // (of its own unit) around its value.
  for (std::size_t k = 0; k < flat.size(); ++k) {
    const double share = static_cast<double>(k + 1) / static_cast<double>(flat.size() + 1);
    const double value = flat[k]->low;
    flat[k]->low = value - 2.0 * share;
    flat[k]->high = value + 2.0 * (1.0 - share);
  }
  update();
  if (missing) {
    emit tilesWanted();
  }
}

double TrendChart::XOf(double time) const {
  const QRect plot = PlotRect();
  return plot.left() + (time - viewFrom) / (viewTo - viewFrom) * plot.width();
}

double TrendChart::TimeAt(double x) const {
  const QRect plot = PlotRect();
  return viewFrom + (x - plot.left()) / std::max(1, plot.width()) * (viewTo - viewFrom);
}

double TrendChart::YOf(const Shown& curve, double value) const {
  const QRect plot = PlotRect();
  return plot.bottom() - (value - curve.low) / (curve.high - curve.low) * plot.height();
}

void TrendChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect plot = PlotRect();
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(plot);
  if (hasRange) {
    PaintTimeAxis(painter);
  }
  for (int i = 0; i < CurveCount(); ++i) {
    PaintValueAxis(painter, i);
  }
  painter.setClipRect(plot.adjusted(1, 1, 0, 0));
  painter.setRenderHint(QPainter::Antialiasing);
  const auto xOf = [this](double time) { return XOf(time); };
  for (const Shown& curve : curves) {
    PaintLimitBands(painter, plot, curve.limits, [&](double v) { return YOf(curve, v); });
  }
  for (const Shown& curve : curves) {
    PaintLimitLines(painter, plot, curve.limits, xOf, [&](double v) { return YOf(curve, v); });
  }
  for (const Shown& curve : curves) {
    PaintCurve(painter, curve);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  for (const Shown& curve : curves) {
    PaintLimitMarks(painter, curve.limits, xOf, [&](double v) { return YOf(curve, v); });
  }
  painter.setClipping(false);
  PaintLegend(painter);
  const QString shown = curves.empty() && message.isEmpty()
                            ? tr("Tick parameters in the list to chart them.")
                            : message;
  if (!shown.isEmpty()) {
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, shown);
  }
}

void TrendChart::PaintTimeAxis(QPainter& painter) const {
  const QRect plot = PlotRect();
  const QColor grid = palette().color(QPalette::Midlight);
  for (const AxisTick& tick : TimeAxisTicks(viewFrom, viewTo, plot.width())) {
    const int x = static_cast<int>(std::lround(XOf(tick.position)));
    painter.setPen(grid);
    painter.drawLine(x, plot.top() + 1, x, plot.bottom());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
    painter.drawText(QRect(x - 80, plot.bottom() + 6, 160, 18), Qt::AlignHCenter, tick.label);
  }
  painter.drawText(QRect(plot.left(), plot.bottom() + 22, plot.width(), 18), Qt::AlignHCenter,
                   tr("UTC"));
}

void TrendChart::PaintValueAxis(QPainter& painter, int index) const {
  const Shown& curve = curves[index];
  const QRect plot = PlotRect();
  const bool left = index % 2 == 0;
  const int slot = index / 2;
  const int x = left ? plot.left() - slot * kAxisWidth : plot.right() + slot * kAxisWidth;
  painter.setPen(QPen(curve.data.colour, 1));
  painter.drawLine(x, plot.top(), x, plot.bottom());
  for (const AxisTick& tick : ValueAxisTicks(curve.low, curve.high, plot.height())) {
    const int y = static_cast<int>(std::lround(YOf(curve, tick.position)));
    painter.drawLine(x, y, left ? x - 4 : x + 4, y);
    const QRect box = left ? QRect(x - kAxisWidth + 2, y - 9, kAxisWidth - 8, 18)
                           : QRect(x + 6, y - 9, kAxisWidth - 8, 18);
    painter.drawText(box, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, tick.label);
  }
}

// A column's lowest and highest value are joined by a vertical stroke, columns by lines. Where
// the columns lie closer than two pixels, the curve is mostly such strokes, which smoothing
// does not change but makes several times slower to draw: a thin crisp pen then.
void TrendChart::PaintCurve(QPainter& painter, const Shown& curve) const {
  const bool dense = curve.drawn.points.size() * 2 > static_cast<std::size_t>(PlotRect().width());
  painter.setRenderHint(QPainter::Antialiasing, !dense);
  painter.setPen(QPen(curve.data.colour, dense ? 1.0 : 1.5));
  QPolygonF line;
  auto flush = [&] {
    if (line.size() == 1) {  // a lone frame between gaps
      painter.drawEllipse(line.front(), 1.5, 1.5);
    } else if (line.size() > 1) {
      painter.drawPolyline(line);
    }
    line.clear();
  };
  for (const DrawnPoint& point : curve.drawn.points) {
    if (point.startsLine) {
      flush();
    }
    const double x = XOf(point.time);
    line << QPointF(x, YOf(curve, point.low));
    if (point.high != point.low) {
      line << QPointF(x, YOf(curve, point.high));
    }
  }
  flush();
}

void TrendChart::PaintLegend(QPainter& painter) const {
  int x = PlotRect().left();
  for (const Shown& curve : curves) {
    const QString text = curve.data.unit.isEmpty()
                             ? curve.data.name
                             : QStringLiteral("%1 [%2]").arg(curve.data.name, curve.data.unit);
    painter.fillRect(x, 9, 14, 4, curve.data.colour);
    painter.setPen(palette().color(QPalette::Text));
    const int width = painter.fontMetrics().horizontalAdvance(text);
    painter.drawText(x + 18, 4, width + 4, 18, Qt::AlignVCenter, text);
    x += width + 36;
  }
}

std::optional<TrendChart::NearPoint> TrendChart::PointNear(QPointF position) const {
  if (!PlotRect().contains(position.toPoint())) {
    return std::nullopt;
  }
  double best = kHoverReach;
  std::optional<NearPoint> nearest;
  for (int index = 0; index < CurveCount(); ++index) {
    const Shown& curve = curves[index];
    const auto& points = curve.drawn.points;
    const double fromTime = TimeAt(position.x() - kHoverReach);
    auto it = std::lower_bound(points.begin(), points.end(), fromTime,
                               [](const DrawnPoint& p, double t) { return p.time < t; });
    for (; it != points.end() && XOf(it->time) <= position.x() + kHoverReach; ++it) {
      for (const bool high : {false, true}) {
        const double distance = std::hypot(XOf(it->time) - position.x(),
                                           YOf(curve, high ? it->high : it->low) - position.y());
        if (distance < best) {
          best = distance;
          nearest = NearPoint{index, *it, high};
        }
      }
    }
  }
  return nearest;
}

void TrendChart::SetStationLookup(StationLookup lookup) {
  stationLookup = std::move(lookup);
  stationsKey.reset();
}

// "stations: A, B" for the frame with frameKey, read once however often the pointer moves
// over it.
QString TrendChart::StationsText(std::int64_t frameKey) const {
  if (!stationLookup || frameKey == 0) {
    return {};
  }
  if (stationsKey != frameKey) {
    const std::optional<QStringList> stations = stationLookup(frameKey);
    stationsKey = frameKey;
    stationsText = !stations ? tr("stations: unknown (archive not readable)")
                   : stations->empty()
                       ? tr("stations: none recorded")
                       : tr("stations: %1").arg(stations->join(QStringLiteral(", ")));
  }
  return stationsText + u'\n';
}

QString TrendChart::HoverText(QPointF position) const {
  const std::optional<NearPoint> near = PointNear(position);
  if (!near) {
    return {};
  }
  const TrendCurve& curve = curves[near->curve].data;
  const DrawnPoint& point = near->point;
  if (point.bucketSeconds > 0) {
    // A column of the archive's overview: its span and its extremes, not one frame.
    const double from = std::floor(point.time / point.bucketSeconds) * point.bucketSeconds;
    return QStringLiteral(
               "%1 to %2\n%3: %4 to %5 %6\nlowest and highest of the frames then;"
               " click to open the frame of the %7")
               .arg(UtcLabel(from), UtcLabel(from + point.bucketSeconds), curve.name,
                    QString::number(point.low, 'g', 6), QString::number(point.high, 'g', 6),
                    curve.unit, near->high ? tr("highest") : tr("lowest")) +
           LimitText(*near);
  }
  return QStringLiteral("%1\n%2: %3 %4\ntime: %5\n%6%7click to open its pass")
      .arg(UtcLabel(point.time), curve.name, QString::number(point.low, 'g', 6), curve.unit,
           QString::fromLatin1(TrendTimeKindName(point.kind)), StationsText(point.key),
           LimitText(*near));
}

// What put the hovered end of a column beyond its limits, as the main window's tooltips say
// it, on a line of its own; empty within limits.
QString TrendChart::LimitText(const NearPoint& near) const {
  const TrendCurveLimits& limits = curves[near.curve].limits;
  const double value = near.high ? near.point.high : near.point.low;
  for (const TrendLimitMark& mark : limits.marks) {
    if (mark.time == near.point.time && mark.value == value) {
      return QString::fromStdString(LimitSourceText(CheckOfMark(limits, mark), value)) + u'\n';
    }
  }
  return {};
}

void TrendChart::resizeEvent(QResizeEvent*) { Regather(); }

}  // namespace quilmar
