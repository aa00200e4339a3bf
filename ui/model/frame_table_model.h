// The window's frame table and what happens to it. One object owns the table of the log or
// pass on display and announces every change: a reset (a new log, a new session, a new pass)
// and rows appended (frames arriving during a pass). The views listen and redraw themselves
// from the model, so no view can keep showing rows of a table that is gone.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "core/frame_table.h"
#include "core/missing_frames.h"

namespace quilmar {

// Where the rows come from: a log read whole, or a pass received frame by frame.
enum class TableOrigin { kLog, kPass };

class FrameTableModel : public QObject {
  Q_OBJECT
 public:
  explicit FrameTableModel(QObject* parent = nullptr);

  const FrameTable& Table() const { return table; }
  int RowCount() const { return table.frameCount; }
  // The missing frame numbers of the rows in the table.
  const MissingFrames& Missing() const { return missing; }
  // The log or recording the rows come from; empty when there is none.
  const QString& Source() const { return source; }

  TableOrigin Origin() const { return origin; }
  // When row arrived (milliseconds since the epoch, UTC) during a pass; 0 for a log's rows.
  qint64 ArrivedAt(int row) const;

  // A new, empty table from source; announced as a reset.
  void Clear(const QString& newSource, TableOrigin newOrigin = TableOrigin::kLog);
  // The table to fill in place (a log load, a live session's frame store). Writers announce
  // what they did through Refilled or Appended.
  FrameTable& TableToFill() { return table; }
  // The table was filled anew (the end of a log load); announced as a reset.
  void Refilled(MissingFrames newMissing);
  // Rows first..last were added at the end; announced as appended rows. Their missing
  // numbers join the list here, so rows dropped earlier leave no gaps behind.
  void Appended(int first, int last);
  // The pass ended (the session stopped): its rows stay, as a log's would.
  void EndPass();
  // Removes the oldest count rows; the rest move up and the missing numbers are found again
  // from the rows kept. Announced as oldestDropped.
  void DropOldest(int count);

 signals:
  // The whole table is new: redraw from it.
  void tableReset();
  // Rows first..last (1-based) were added at the end.
  void rowsAppended(int first, int last);
  // The oldest count rows went and the rest moved up by count: row i is now row i - count.
  // A view that keeps no position redraws as for a reset.
  void oldestDropped(int count);
  // The rows stopped being a pass in progress (Origin() changed).
  void passEnded();

 private:
  FrameTable table;
  MissingFrames missing;
  QString source;
  TableOrigin origin = TableOrigin::kLog;
  std::vector<qint64> arrivals;  // per row, while the rows come from a pass
};

}  // namespace quilmar
