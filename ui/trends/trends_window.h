// The Trends window: housekeeping parameters over the whole mission archive. A list of the
// parameters grouped by section with a filter box; ticking one charts it with the others on
// one UTC time axis, at once from the archive's hourly overview, then with every frame's
// value, read in a thread of its own so that the window never waits for it; presets show
// the last day, week or month before the newest archived frame, or everything, and two UTC
// fields choose any range. The window looks at the archive every few seconds and, while
// frames are added (a live session here or in another program), extends the curves and a
// view that shows the newest time.
#pragma once

#include <QMainWindow>
#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "archive/archive_location.h"

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quilmar {

class Archive;
class TrendChart;

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
  // calls it every few seconds.
  void PollArchive();
  void SetPollInterval(int milliseconds);

 signals:
  // KISS logs or SatNOGS downloads dropped on the window, to be added to the archive.
  void filesDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void OpenArchive(const ArchiveLocation& location);
  QWidget* BuildSidePanel();
  QWidget* BuildPresetBar();
  void BuildStatusBar();
  void FillParameterList();
  void ApplyFilter(const QString& text);
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void AddParameter(int parameterRow);
  void StartFullRead(int parameterRow);
  struct FullRead;
  void ApplyFullRead(int parameterRow, FullRead& read);
  void StartCharting(double from, double to);
  void ChartTickedParameters();
  bool ExtendCurves(std::int64_t afterKey);
  bool AddFramesArchivedAfter(int parameterRow, std::int64_t afterKey);
  void ReportPollFailure();
  bool ReopenIfClosed();
  void FollowNewestTime(double oldLast, double oldFirst);
  void ShowViewInRangeFields(double from, double to);

  ArchiveLocation location;
  std::unique_ptr<Archive> archive;
  // The reads under way, each with a connection of its own; a finished one is joined when
  // its values are applied, so ticking parameters again and again keeps no threads behind.
  std::map<int, std::thread> fullReads;
  int nextRead = 0;
  std::atomic<bool> closing{false};
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
};

}  // namespace quilmar
