// The Trends window: housekeeping parameters over the whole mission archive. A list of the
// parameters grouped by section with a filter box; ticking one charts it with the others on
// one UTC time axis, painted from tiles of the archive's series by level of detail (hours,
// minutes, frames) that the window reads as the view asks for them. Every read of the archive
// runs in a thread of its own, so that the window never waits for the database: a zoom or a
// pan paints at once from the tiles held and refines when the finer ones arrive, and a read
// that takes longer than a moment says so in the status bar, with a button that drops it. Presets
// show the last day, week or month before the newest archived frame, or everything, and two UTC
// fields choose any range. The window looks at the archive every few seconds and, while
// frames are added (a live session here or in another program), extends the curves and a
// view that shows the newest time.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "archive/archive_location.h"
#include "tile_read.h"

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quilmar {

class EpisodesPanel;
class LimitSet;
class TrendChart;
class TrendsQueries;
struct TrendEpisode;
struct TrendPointRef;
struct TrendTileBatch;

// A parameter's name and unit as the list and the status bar show it: "Battery Volts [V]".
QString TrendParameterLabel(int parameterRow);

class TrendsWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Opens the archive at location (it must exist); a failure is shown in the window.
  explicit TrendsWindow(const ArchiveLocation& location, QWidget* parent = nullptr);
  ~TrendsWindow() override;

  TrendChart* Chart() const { return chart; }
  QTreeWidget* ParameterList() const { return list; }
  QLineEdit* FilterBox() const { return filter; }
  QString StatusText() const;
  // Charts catalogue row parameterRow, or takes it off the chart, as ticking it does.
  void ShowParameter(int parameterRow, bool shown);
  // The last `seconds` before the newest archived frame; 0 for the whole archive.
  void ShowLast(double seconds);
  // The newest pass, from its first frame to its last.
  void ShowLastPass();
  // Shows the range in the two UTC fields; a start that is not before the end is refused
  // with a message in the status bar.
  void ShowChosenRange();
  QDateTimeEdit* RangeFrom() const { return rangeFrom; }
  QDateTimeEdit* RangeTo() const { return rangeTo; }
  // Looks for frames newer than the newest charted one and extends the curves with them; a
  // view that ended at the newest time moves on to end at the new newest time. The window
  // calls it every few seconds; a look still under way is not started again.
  void PollArchive();
  // The reads of the archive under way (opening, a parameter's values, a look for new
  // frames...); those that take longer than a moment show in the status bar.
  int PendingReads() const;
  // Drops every read under way, as the status bar's Cancel does.
  void CancelReads();
  void SetPollInterval(int milliseconds);
  // Reads the values of the frames in view from the archive and saves them as CSV at path,
  // as the chart's "Export Visible Range as CSV..." does; the status bar says how it went.
  void SaveVisibleValues(const QString& path);
  // What the tiles are read with (ReadTiles unless a test hands in another).
  void SetTileReader(TileReader reader);
  // The limits the chart's bands and marks and the episodes in view are judged by: the main
  // window's. Until given, the user's limits file or else the default file.
  void SetLimits(const LimitSet& limits);
  // The episodes of values beyond their limits in view, read again a moment after a zoom or
  // a pan has come to rest.
  EpisodesPanel* Episodes() const { return episodes; }

 signals:
  // KISS logs or SatNOGS downloads dropped on the window, to be added to the archive.
  void filesDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Look;
  void OpenArchive(const ArchiveLocation& location);
  void LookAtArchive(bool opening);
  void ApplyOpening(bool ok, const QString& error, const Look& look);
  void ApplyLook(bool ok, const QString& error, Look& look);
  void OnPendingChanged(int pending);
  void ShowBusy();
  QWidget* BuildSidePanel();
  QWidget* BuildPresetBar();
  void BuildStatusBar();
  void FillParameterList();
  void ApplyFilter(const QString& text);
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void AddParameter(int parameterRow);
  void ApplyFirstTiles(int parameterRow, TrendTileBatch& batch);
  void ReadMissingTiles();
  void ApplyTiles(bool ok, const QString& error, TrendTileBatch& batch);
  void FindExtremeFrame(const TrendPointRef& point);
  bool IsCharted(int parameterRow) const;
  void StartCharting(double from, double to);
  void ChartTickedParameters();
  void ReportPollFailure(const QString& error);
  std::optional<QStringList> StationsOf(std::int64_t frameKey);
  void FollowNewestTime(double oldLast, double oldFirst);
  void ShowViewInRangeFields(double from, double to);
  void BuildEpisodesDock();
  void ReadEpisodesSoon();
  void ReadEpisodes();
  void StopEpisodes();
  void OpenEpisode(const TrendEpisode& episode);

  ArchiveLocation location;
  TrendsQueries* queries = nullptr;
  // Each kind of read counts its requests: an answer to an older one than the last is stale
  // and dropped.
  int lookRequest = 0;
  bool looking = false;           // a look for new frames is under way
  std::map<int, int> firstReads;  // by parameter row: its first tiles, asked for last
  int nextRequest = 0;
  bool readingTiles = false;  // a read of missing tiles is under way; its answer asks again
  int tileRequest = 0;
  int extremeRequest = 0;
  int valuesRequest = 0;
  TileReader tileReader = ReadTiles;
  int lastPassRequest = 0;
  // The stations of hovered frames, read in the background: the hover text says so meanwhile.
  std::map<std::int64_t, std::optional<QStringList>> stations;
  std::int64_t stationsAsked = 0;
  QPushButton* cancelReads = nullptr;
  QTimer* busyTimer = nullptr;
  QString waitingText;  // the status while reads are pending, to restore what it said before
  QString statusBeforeWait;
  bool haveFrames = false;
  double firstTime = 0.0;  // of the archive's timed housekeeping frames
  double lastTime = 0.0;
  std::int64_t lastKey = 0;  // of the frame archived last when the archive was last looked at
  TrendChart* chart = nullptr;
  QTreeWidget* list = nullptr;
  QLineEdit* filter = nullptr;
  QLabel* status = nullptr;
  QDateTimeEdit* rangeFrom = nullptr;
  QDateTimeEdit* rangeTo = nullptr;
  QTimer* pollTimer = nullptr;
  int coloursUsed = 0;
  std::shared_ptr<const LimitSet> limits;
  EpisodesPanel* episodes = nullptr;
  QTimer* episodesTimer = nullptr;  // the pause after a zoom or pan before the list is read
  int episodesRequest = 0;
};

}  // namespace quilmar
