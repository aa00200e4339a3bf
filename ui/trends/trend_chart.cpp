// The Trends chart; see trend_chart.h.
#include "trend_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "chart_axes.h"

namespace quilmar {
namespace {

// The samples a curve holds, taken apart so that new ones can be merged in.
struct Columns {
  std::vector<TimedValue> samples;
  std::vector<TrendTimeKind> kinds;
  std::vector<std::int64_t> keys;

  void Reserve(std::size_t count) {
    samples.reserve(count);
    kinds.reserve(count);
    keys.reserve(count);
  }
  void Push(const TimedValue& sample, TrendTimeKind kind, std::int64_t key) {
    samples.push_back(sample);
    kinds.push_back(kind);
    keys.push_back(key);
  }
  // Whether the frame of `sample` is at the end already, among the samples of its time: the
  // same key, or without keys the same value.
  bool Has(const TimedValue& sample, std::int64_t key) const {
    for (std::size_t i = samples.size(); i-- > 0 && samples[i].time == sample.time;) {
      if (key != 0 && keys[i] != 0 ? keys[i] == key : samples[i].value == sample.value) {
        return true;
      }
    }
    return false;
  }
};

// Adds `added` (in time order) to the curve's samples at their places. Frames arriving
// live are newer than the curve and are simply appended; a log of an older pass is merged
// in, in one pass over both.
void MergeInto(TrendCurve& curve, const std::vector<TimedValue>& added,
               const std::vector<TrendTimeKind>& addedKinds,
               const std::vector<std::int64_t>& addedKeys) {
  const std::size_t count = std::min(added.size(), addedKinds.size());
  if (count == 0) {
    return;
  }
  const auto keyOf = [&](std::size_t j) { return j < addedKeys.size() ? addedKeys[j] : 0; };
  curve.keys.resize(curve.samples.size());
  const std::size_t old = curve.samples.size();
  Columns merged;
  std::size_t i = 0;
  if (old > 0 && added.front().time > curve.samples.back().time) {
    merged = {std::move(curve.samples), std::move(curve.kinds), std::move(curve.keys)};
    i = old;
  }
  merged.Reserve(old + count);
  for (std::size_t j = 0; i < old || j < count;) {
    if (j == count || (i < old && curve.samples[i].time <= added[j].time)) {
      merged.Push(curve.samples[i], curve.kinds[i], curve.keys[i]);
      ++i;
    } else {
      if (!merged.Has(added[j], keyOf(j))) {
        merged.Push(added[j], addedKinds[j], keyOf(j));
      }
      ++j;
    }
  }
  curve.samples = std::move(merged.samples);
  curve.kinds = std::move(merged.kinds);
  curve.keys = std::move(merged.keys);
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
                                std::vector<TrendTimeKind> kinds, std::vector<std::int64_t> keys,
                                double readUpTo) {
  for (Shown& curve : curves) {
    if (curve.data.parameterRow != parameterRow) {
      continue;
    }
    // Frames appended while the samples were being read stay, after them.
    TrendCurve& data = curve.data;
    data.keys.resize(data.samples.size());
    keys.resize(samples.size());
    const double last = samples.empty() ? readUpTo : std::max(readUpTo, samples.back().time);
    for (std::size_t i = 0; i < data.samples.size(); ++i) {
      if (data.samples[i].time > last) {
        samples.push_back(data.samples[i]);
        kinds.push_back(data.kinds[i]);
        keys.push_back(data.keys[i]);
      }
    }
    data.samples = std::move(samples);
    data.kinds = std::move(kinds);
    data.keys = std::move(keys);
    data.hourly = false;
    Redecimate();
    return true;
  }
  return false;
}

void TrendChart::MergeSamples(int parameterRow, const std::vector<TimedValue>& samples,
                              const std::vector<TrendTimeKind>& kinds,
                              const std::vector<std::int64_t>& keys) {
  for (Shown& curve : curves) {
    if (curve.data.parameterRow == parameterRow) {
      MergeInto(curve.data, samples, kinds, keys);
    }
  }
  // New frames may be receptions of a frame already hovered.
  stationsKey.reset();
  Redecimate();
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

// Decimates every curve to the plot's columns and fits each value axis to what is shown. A
// curve that is flat in the view has no height of its own: the flat curves are spread over
// the plot's height, so that two of them never lie on one line and hide each other.
void TrendChart::Redecimate() {
  const DecimationRange range{viewFrom, viewTo, std::max(1, PlotRect().width())};
  std::vector<Shown*> flat;
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
    if (high->value > low->value) {
      const double margin = (high->value - low->value) * 0.05;
      curve.low = low->value - margin;
      curve.high = high->value + margin;
    } else {
      curve.low = curve.high = low->value;
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
      // The sample drawn: of those at its time, the one with its value.
      const auto& samples = curve.data.samples;
      auto sample = std::lower_bound(samples.begin(), samples.end(), it->time,
                                     [](const TimedValue& s, double t) { return s.time < t; });
      while (std::next(sample) != samples.end() && std::next(sample)->time == it->time &&
             sample->value != it->value) {
        ++sample;
      }
      const auto at = static_cast<std::size_t>(sample - samples.begin());
      nearest = NearPoint{index, *it, curve.data.kinds[at], at};
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
  if (curve.hourly) {
    return QStringLiteral("%1\n%2: %3 %4\nan hour's extreme; every frame is still being read")
        .arg(UtcLabel(near->point.time), curve.name, QString::number(near->point.value, 'g', 6),
             curve.unit);
  }
  return QStringLiteral("%1\n%2: %3 %4\ntime: %5\n%6click to open its pass")
      .arg(UtcLabel(near->point.time), curve.name, QString::number(near->point.value, 'g', 6),
           curve.unit, QString::fromLatin1(TrendTimeKindName(near->kind)),
           StationsText(near->sample < curve.keys.size() ? curve.keys[near->sample] : 0));
}

void TrendChart::resizeEvent(QResizeEvent*) { Redecimate(); }

}  // namespace quilmar
