// The Trends chart: several parameters on one UTC time axis, each with a value axis and a
// colour of its own (the first on the left, the second on the right, further ones stacked
// outwards). One shared axis keeps events in different parameters at the same x, which
// stacked panes would too, but a single plot lets the eye compare slopes directly where
// two or three curves are shown. Each curve is drawn min/max decimated to the plot's pixel
// columns and broken at pass gaps. Mouse wheel zooms about the cursor, dragging pans,
// Shift+dragging zooms to the dragged box's time span, a double-click shows the whole range,
// and hovering names the time, value, time kind and the stations that received the frame.
#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "archive/trend_query.h"
#include "min_max_decimation.h"

class QPainter;
class QRubberBand;

namespace quilmar {

struct TrendCurve {
  int parameterRow = -1;
  QString name;  // "Battery Volts (EPS/TCS)"
  QString unit;
  QColor colour;
  std::vector<TimedValue> samples;   // in time order
  std::vector<TrendTimeKind> kinds;  // one per sample
  // One per sample: the key of the frame that carried the value; 0 for an hour's extreme.
  std::vector<std::int64_t> keys;
  // The samples are each archived hour's lowest and highest value (in pairs, lowest first)
  // while every frame's is still being read.
  bool hourly = false;
};

// A point clicked on the chart, as the frame behind it is found again: by its frame's key, or
// for an hour's extreme (key 0) as the hour's lowest or highest value of the parameter.
struct TrendPointRef {
  int parameterRow = -1;
  double time = 0.0;  // seconds since the Unix epoch
  std::int64_t key = 0;
  bool hourHighest = false;
};

class TrendChart : public QWidget {
  Q_OBJECT

 public:
  explicit TrendChart(QWidget* parent = nullptr);

  void AddCurve(TrendCurve curve);
  void RemoveCurve(int parameterRow);
  // Replaces a shown curve's samples by its every frame's, read up to readUpTo after its
  // hourly overview was charted; samples appended since, newer than those, are kept. False
  // when the parameter is not shown.
  bool ReplaceSamples(int parameterRow, std::vector<TimedValue> samples,
                      std::vector<TrendTimeKind> kinds, std::vector<std::int64_t> keys,
                      double readUpTo);
  // Adds samples in time order to a shown curve, each at its place in time, as frames
  // arrive in the archive; kinds and keys hold one per sample. A sample of a frame the curve
  // has (its key, or without keys its time and value) is taken as read twice and left out.
  void MergeSamples(int parameterRow, const std::vector<TimedValue>& samples,
                    const std::vector<TrendTimeKind>& kinds, const std::vector<std::int64_t>& keys);
  int CurveCount() const { return static_cast<int>(curves.size()); }
  const TrendCurve& Curve(int index) const { return curves[index].data; }
  // The value axis of a curve: its value at the plot's bottom and top edges.
  std::pair<double, double> ValueAxis(int index) const {
    return {curves[index].low, curves[index].high};
  }
  // What is drawn of a curve now: at most two points per pixel column.
  const std::vector<DecimatedPoint>& DrawnPoints(int index) const { return curves[index].drawn; }

  // The whole range (a double-click returns to it) and the range shown.
  void SetFullRange(double from, double to);
  void SetView(double from, double to);
  double ViewFrom() const { return viewFrom; }
  double ViewTo() const { return viewTo; }
  double FullFrom() const { return fullFrom; }
  double FullTo() const { return fullTo; }
  QRect PlotRect() const;
  // A line shown in the empty chart (an archive that failed to open, no frames).
  void SetMessage(const QString& text);

  // The stations that received the frame with a key; nullopt when they cannot be read.
  using StationLookup = std::function<std::optional<QStringList>(std::int64_t frameKey)>;
  // Where the hover text finds a point's stations: asked only for the hovered point, and
  // again only when the pointer reaches another point.
  void SetStationLookup(StationLookup lookup);

  // The hover text at a widget position, empty when no drawn point is near.
  QString HoverText(QPointF position) const;
  // The values of every curve in the range shown, as CSV (UTC time, time kind, parameter,
  // unit, value), what the right-click menu exports.
  QString VisibleRangeCsv() const;
  // Saves the chart as PNG or SVG, or the visible range as CSV, chosen by the file name's
  // ending; the file is replaced only once complete. False with the reason in error.
  bool SaveAs(const QString& path, QString& error);

  // The drawn point nearest a widget position, if one is within reach.
  struct NearPoint {
    int curve = -1;
    DecimatedPoint point;
    TrendTimeKind kind{};
    std::size_t sample = 0;  // its index in the curve's samples
  };
  std::optional<NearPoint> PointNear(QPointF position) const;

 signals:
  void ViewChanged(double from, double to);
  // A click (not a drag) on a drawn point: the frame behind it.
  void pointClicked(const quilmar::TrendPointRef& point);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Shown {
    TrendCurve data;
    std::vector<DecimatedPoint> drawn;
    double low = 0.0;  // the value axis
    double high = 1.0;
  };

  void Redecimate();
  double XOf(double time) const;
  double YOf(const Shown& curve, double value) const;
  double TimeAt(double x) const;
  void PaintTimeAxis(QPainter& painter) const;
  void PaintValueAxis(QPainter& painter, int index) const;
  void PaintCurve(QPainter& painter, const Shown& curve) const;
  void PaintLegend(QPainter& painter) const;
  QString StationsText(std::int64_t frameKey) const;
  void ShowBox(double x);
  // The hover text of the point near position as a tip that stays while the pointer rests.
  void ShowHover(QPointF position, QPoint globalPosition);

  std::vector<Shown> curves;
  double fullFrom = 0.0;
  double fullTo = 1.0;
  bool hasRange = false;  // a full range was given: there are times to put on the axis
  double viewFrom = 0.0;
  double viewTo = 1.0;
  QString message;
  bool dragging = false;
  double dragStartX = 0.0;
  double dragStartFrom = 0.0;
  bool dragMoved = false;
  bool boxZooming = false;  // a Shift+drag: the rubber band spans [dragStartX, x]
  QRubberBand* rubberBand = nullptr;
  StationLookup stationLookup;
  // The hovered point's stations: the pointer moves many times over one point.
  mutable std::optional<std::int64_t> stationsKey;
  mutable QString stationsText;
};

}  // namespace quilmar

Q_DECLARE_METATYPE(quilmar::TrendPointRef)
