// The Archive > Passes list: one row per pass of the archive (start, duration, stations,
// frames, missing); opening a row (double-click, Enter or Open) shows that pass in the main
// window. A window of its own that never blocks the main window.
#pragma once

#include <QWidget>
#include <vector>

#include "archive/archive_passes.h"

class QTableWidget;

namespace quilmar {

class PassesWindow : public QWidget {
  Q_OBJECT
 public:
  explicit PassesWindow(QWidget* parent = nullptr);

  // Lists the passes of the archive named archiveName, newest first.
  void ShowPasses(const QString& archiveName, std::vector<ArchivedPass> passes);
  const std::vector<ArchivedPass>& Passes() const { return passes; }

 signals:
  void passOpened(const quilmar::ArchivedPass& pass);

 private:
  void OpenCurrentRow();

  QTableWidget* passTable;
  std::vector<ArchivedPass> passes;
};

// "12 min 27 s", "1 h 03 min": a pass's length as an operator reads it.
QString DurationText(qint64 seconds);

}  // namespace quilmar
