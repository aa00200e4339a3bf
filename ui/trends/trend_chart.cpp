// The Trends chart; see trend_chart.h.
#include "trend_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "chart_axes.h"

namespace quilmar {
namespace {

// Whether `sample` is at the end of `samples` already, among those of its time.
bool AlreadyThere(const std::vector<TimedValue>& samples, const TimedValue& sample) {
  for (auto it = samples.rbegin(); it != samples.rend() && it->time == sample.time; ++it) {
    if (it->value == sample.value) {
      return true;
    }
  }
  return false;
}

// Adds `added` (in time order) to the curve's samples at their places. Frames arriving
// live are newer than the curve and are simply appended; a log of an older pass is merged
// in, in one pass over both.
void MergeInto(TrendCurve& curve, const std::vector<TimedValue>& added,
               const std::vector<TrendTimeKind>& addedKinds) {
  const std::size_t count = std::min(added.size(), addedKinds.size());
  if (count == 0) {
    return;
  }
  const std::size_t old = curve.samples.size();
  std::vector<TimedValue> samples;
  std::vector<TrendTimeKind> kinds;
  samples.reserve(old + count);
  kinds.reserve(old + count);
  std::size_t i = 0;
  if (old > 0 && added.front().time > curve.samples.back().time) {
    samples = std::move(curve.samples);
    kinds = std::move(curve.kinds);
    i = old;
  }
  for (std::size_t j = 0; i < old || j < count;) {
    if (j == count || (i < old && curve.samples[i].time <= added[j].time)) {
      samples.push_back(curve.samples[i]);
      kinds.push_back(curve.kinds[i++]);
    } else if (AlreadyThere(samples, added[j])) {
      ++j;
    } else {
      samples.push_back(added[j]);
      kinds.push_back(addedKinds[j++]);
    }
  }
  curve.samples = std::move(samples);
  curve.kinds = std::move(kinds);
}

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

void TrendChart::AddCurve(TrendCurve curve) {
  curves.push_back({std::move(curve), {}, 0.0, 1.0});
  Redecimate();
}

void TrendChart::RemoveCurve(int parameterRow) {
  std::erase_if(curves, [&](const Shown& c) { return c.data.parameterRow == parameterRow; });
  Redecimate();
}

bool TrendChart::ReplaceSamples(int parameterRow, std::vector<TimedValue> samples,
                                std::vector<TrendTimeKind> kinds, double readUpTo) {
  for (Shown& curve : curves) {
    if (curve.data.parameterRow != parameterRow) {
      continue;
    }
    // Frames appended while the samples were being read stay, after them.
    TrendCurve& data = curve.data;
    const double last = samples.empty() ? readUpTo : std::max(readUpTo, samples.back().time);
    for (std::size_t i = 0; i < data.samples.size(); ++i) {
      if (data.samples[i].time > last) {
        samples.push_back(data.samples[i]);
        kinds.push_back(data.kinds[i]);
      }
    }
    data.samples = std::move(samples);
    data.kinds = std::move(kinds);
    data.hourly = false;
    Redecimate();
    return true;
  }
  return false;
}

void TrendChart::MergeSamples(int parameterRow, const std::vector<TimedValue>& samples,
                              const std::vector<TrendTimeKind>& kinds) {
  for (Shown& curve : curves) {
    if (curve.data.parameterRow == parameterRow) {
      MergeInto(curve.data, samples, kinds);
    }
  }
  // New frames may be receptions of a time already hovered.
  stationsTime.reset();
  Redecimate();
}

void TrendChart::SetFullRange(double from, double to) {
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
  Redecimate();
  emit ViewChanged(viewFrom, viewTo);
}

void TrendChart::SetMessage(const QString& text) {
  message = text;
  update();
}

QRect TrendChart::PlotRect() const {
  const int n = CurveCount();
  const int left = kOuterMargin + std::max(1, LeftAxes(n)) * kAxisWidth;
  const int right = kOuterMargin + RightAxes(n) * kAxisWidth;
  return rect().adjusted(left, kTopMargin, -right, -kBottomMargin);
}

// Decimates every curve to the plot's columns and fits each value axis to what is shown.
void TrendChart::Redecimate() {
  const DecimationRange range{viewFrom, viewTo, std::max(1, PlotRect().width())};
  for (Shown& curve : curves) {
    curve.drawn = DecimateMinMax(curve.data.samples, range);
    if (curve.drawn.empty()) {
      curve.low = 0.0;
      curve.high = 1.0;
      continue;
    }
    const auto [low, high] = std::minmax_element(
        curve.drawn.begin(), curve.drawn.end(),
        [](const DecimatedPoint& a, const DecimatedPoint& b) { return a.value < b.value; });
    const double margin = high->value > low->value ? (high->value - low->value) * 0.05 : 1.0;
    curve.low = low->value - margin;
    curve.high = high->value + margin;
  }
  update();
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
  PaintTimeAxis(painter);
  for (int i = 0; i < CurveCount(); ++i) {
    PaintValueAxis(painter, i);
  }
  painter.setClipRect(plot.adjusted(1, 1, 0, 0));
  painter.setRenderHint(QPainter::Antialiasing);
  for (const Shown& curve : curves) {
    PaintCurve(painter, curve);
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

void TrendChart::PaintCurve(QPainter& painter, const Shown& curve) const {
  painter.setPen(QPen(curve.data.colour, 1.5));
  QPolygonF line;
  auto flush = [&] {
    if (line.size() == 1) {  // a lone frame between gaps
      painter.drawEllipse(line.front(), 1.5, 1.5);
    } else if (line.size() > 1) {
      painter.drawPolyline(line);
    }
    line.clear();
  };
  for (const DecimatedPoint& point : curve.drawn) {
    if (point.startsLine) {
      flush();
    }
    line << QPointF(XOf(point.time), YOf(curve, point.value));
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
    const double fromTime = TimeAt(position.x() - kHoverReach);
    auto it = std::lower_bound(curve.drawn.begin(), curve.drawn.end(), fromTime,
                               [](const DecimatedPoint& p, double t) { return p.time < t; });
    for (; it != curve.drawn.end() && XOf(it->time) <= position.x() + kHoverReach; ++it) {
      const double distance =
          std::hypot(XOf(it->time) - position.x(), YOf(curve, it->value) - position.y());
      if (distance >= best) {
        continue;
      }
      best = distance;
      const auto& samples = curve.data.samples;
      const auto sample =
          std::lower_bound(samples.begin(), samples.end(), it->time,
                           [](const TimedValue& s, double t) { return s.time < t; });
      nearest = NearPoint{index, *it, curve.data.kinds[sample - samples.begin()]};
    }
  }
  return nearest;
}

void TrendChart::SetStationLookup(StationLookup lookup) {
  stationLookup = std::move(lookup);
  stationsTime.reset();
}

// "stations: A, B" for the frame at time, read once however often the pointer moves over it.
QString TrendChart::StationsText(double time) const {
  if (!stationLookup) {
    return {};
  }
  if (stationsTime != time) {
    const std::optional<QStringList> stations = stationLookup(time);
    stationsTime = time;
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
  if (curve.hourly) {
    return QStringLiteral("%1\n%2: %3 %4\nan hour's extreme; every frame is still being read")
        .arg(UtcLabel(near->point.time), curve.name, QString::number(near->point.value, 'g', 6),
             curve.unit);
  }
  return QStringLiteral("%1\n%2: %3 %4\ntime: %5\n%6click to open its pass")
      .arg(UtcLabel(near->point.time), curve.name, QString::number(near->point.value, 'g', 6),
           curve.unit, QString::fromLatin1(TrendTimeKindName(near->kind)),
           StationsText(near->point.time));
}

void TrendChart::resizeEvent(QResizeEvent*) { Redecimate(); }

}  // namespace quilmar
