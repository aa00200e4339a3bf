// The Trends chart: several parameters on one UTC time axis, each with a value axis and a
// colour of its own (the first on the left, the second on the right, further ones stacked
// outwards). One shared axis keeps events in different parameters at the same x, which
// stacked panes would too, but a single plot lets the eye compare slopes directly where
// two or three curves are shown. Each curve is painted from the tiles of the archive's
// series held (at most two points per pixel column, a coarser tile where a finer one is
// still being read) and broken at pass gaps; the chart names the tiles it misses and the
// window reads them. Mouse wheel zooms about the cursor, dragging pans, Shift+dragging zooms
// to the dragged box's time span, a double-click shows the whole range, and hovering names
// the time, value, time kind and the stations that received the frame (or a column's
// extremes where the view is wider than the frames).
#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "archive/trend_query.h"
#include "series_tiles.h"
#include "trend_limits.h"

class QPainter;
class QRubberBand;

namespace quilmar {

struct TrendCurve {
  int parameterRow = -1;
  QString name;  // "Battery Volts (EPS/TCS)"
  QString unit;
  QColor colour;
};

// A point clicked on the chart, as the frame behind it is found again: by its frame's key,
// or for a column's extreme (key 0) as the lowest or highest value of the parameter in the
// column's time span (an hour's when no span is given).
struct TrendPointRef {
  int parameterRow = -1;
  double time = 0.0;  // seconds since the Unix epoch
  std::int64_t key = 0;
  bool hourHighest = false;     // the column's highest value rather than its lowest
  std::int64_t bucketFrom = 0;  // the column's first and last second, for a key of 0
  std::int64_t bucketTo = 0;
};

// One curve's values of the frames in view, as exported.
struct TrendCurveValues {
  QString name;
  QString unit;
  std::vector<TrendSample> samples;  // in time order
};

// The values as CSV: one row per value with its UTC time, time kind, parameter, unit and
// value, what "Export Visible Range as CSV..." saves.
QString TrendValuesCsv(const std::vector<TrendCurveValues>& curves);

class TrendChart : public QWidget {
  Q_OBJECT

 public:
  explicit TrendChart(QWidget* parent = nullptr);

  // A curve with the tiles first read for it; RemoveCurve drops its tiles too.
  void AddCurve(TrendCurve curve, std::vector<std::pair<TileKey, Tile>> tiles = {});
  void RemoveCurve(int parameterRow);
  int CurveCount() const { return static_cast<int>(curves.size()); }
  const TrendCurve& Curve(int index) const { return curves[index].data; }
  // The value axis of a curve: its value at the plot's bottom and top edges.
  std::pair<double, double> ValueAxis(int index) const {
    return {curves[index].low, curves[index].high};
  }
  // What is painted of a curve now: at most two tile columns per pixel column.
  const std::vector<DrawnPoint>& DrawnPoints(int index) const { return curves[index].drawn.points; }
  // The coarsest level of the archive a curve is painted from now.
  SeriesLevel DrawnLevel(int index) const { return curves[index].drawn.coarsest; }

  // The tiles held, and those the view still lacks (of every curve, left to right).
  const SeriesTiles& Tiles() const { return tiles; }
  std::vector<TileKey> MissingTiles() const;
  // Every curve painted from tiles of the view's width.
  bool Refined() const { return MissingTiles().empty(); }
  // Tiles read for the view; a tile of a parameter no longer shown is dropped.
  void PutTiles(std::vector<std::pair<TileKey, Tile>> read);
  // Frames archived at these times: the tiles holding them are read again. Counts as a change
  // of what the tiles hold (see TileChanges).
  void InvalidateTiles(int parameterRow, const std::vector<double>& times);
  void DropTiles(int parameterRow);
  // Grows whenever tiles held are dropped for new frames: tiles read before then may miss them.
  int TileChanges() const { return tileChanges; }

  // The whole range (a double-click returns to it) and the range shown.
  void SetFullRange(double from, double to);
  void SetView(double from, double to);
  double ViewFrom() const { return viewFrom; }
  double ViewTo() const { return viewTo; }
  double FullFrom() const { return fullFrom; }
  double FullTo() const { return fullTo; }
  QRect PlotRect() const;
  // The plot with n curves' value axes beside it: where a curve about to be added is drawn.
  QRect PlotRectWith(int n) const;
  // The limits the charted values are judged by, drawn in each value's axis; nothing: none.
  void SetLimits(std::shared_ptr<const LimitSet> newLimits);
  const LimitSet* Limits() const { return limitSet.get(); }
  // What is drawn of a curve's limits now: bands, bound lines and the points marked.
  const TrendCurveLimits& CurveLimits(int index) const { return curves[index].limits; }
  // A line shown in the empty chart (an archive that failed to open, no frames).
  void SetMessage(const QString& text);

  // The stations that received the frame with a key; nullopt when they cannot be read.
  using StationLookup = std::function<std::optional<QStringList>(std::int64_t frameKey)>;
  // Where the hover text finds a point's stations: asked only for the hovered point, and
  // again only when the pointer reaches another point.
  void SetStationLookup(StationLookup lookup);

  // The hover text at a widget position, empty when no drawn point is near.
  QString HoverText(QPointF position) const;
  // Saves the chart as a PNG picture or an SVG drawing, chosen by the file name's ending; the
  // file is replaced only once complete. False with the reason in error.
  bool SaveAs(const QString& path, QString& error);

  // The drawn point nearest a widget position, if one is within reach: its low or its high end.
  struct NearPoint {
    int curve = -1;
    DrawnPoint point;
    bool high = false;  // nearer the column's highest value than its lowest
  };
  std::optional<NearPoint> PointNear(QPointF position) const;

  // Finds the frame of a column's extreme that was clicked (in the background) and hands it
  // to Clicked; without one, the click names the column's time and its hour is searched.
  using ExtremeFinder = std::function<void(const TrendPointRef& point)>;
  void SetExtremeFinder(ExtremeFinder finder) { extremeFinder = std::move(finder); }
  // The frame behind a click, found: announced as pointClicked.
  void Clicked(const TrendPointRef& point) { emit pointClicked(point); }

 signals:
  void ViewChanged(double from, double to);
  // A click (not a drag) on a drawn point: the frame behind it.
  void pointClicked(const quilmar::TrendPointRef& point);
  // The view lacks tiles (MissingTiles) that no one has asked for yet.
  void tilesWanted();
  // "Export Visible Range as CSV..." chose a file: the values in view are read for it.
  void valuesExportChosen(const QString& path);

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
    GatheredView drawn;
    double low = 0.0;  // the value axis
    double high = 1.0;
    TrendCurveLimits limits;
    std::vector<TileKey> followedMissing;  // of the values its bounds name
  };

  // Gathers every curve's points for the view from the tiles and fits the value axes.
  void Regather();
  // A curve's limits for the view; the values its bounds name gathered from the tiles too.
  void GatherLimits(Shown& curve, int columns);
  // Tiles of the row are kept: it is charted, or a charted value's bound names it.
  bool Wants(int parameterRow) const;
  double XOf(double time) const;
  double YOf(const Shown& curve, double value) const;
  double TimeAt(double x) const;
  void PaintTimeAxis(QPainter& painter) const;
  void PaintValueAxis(QPainter& painter, int index) const;
  void PaintCurve(QPainter& painter, const Shown& curve) const;
  void PaintLegend(QPainter& painter) const;
  QString StationsText(std::int64_t frameKey) const;
  QString LimitText(const NearPoint& near) const;
  void ShowBox(double x);
  // The hover text of the point near position as a tip that stays while the pointer rests.
  void ShowHover(QPointF position, QPoint globalPosition);

  std::vector<Shown> curves;
  std::shared_ptr<const LimitSet> limitSet;
  SeriesTiles tiles;
  int tileChanges = 0;
  ExtremeFinder extremeFinder;
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
