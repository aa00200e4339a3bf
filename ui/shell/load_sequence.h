// The window's load sequence: a KISS log read into the table model around the core reader,
// with a busy pointer, progress in the status bar and event passes so the window stays
// responsive; and what the window tells the user after a load.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <optional>

#include "core/kiss_reader.h"

class QLabel;
class QWidget;

namespace quilmar {

class FrameTableModel;
class LoadProgress;

// How often a load lets the window handle events, and when it starts showing progress.
struct LoadTiming {
  std::chrono::milliseconds eventPassInterval{15};
  std::chrono::milliseconds progressDelay{500};
};

class LoadSequence : public QObject {
  Q_OBJECT
 public:
  // window gets the busy pointer, loadMessage the "Loading NAME..." line.
  LoadSequence(FrameTableModel& model, QWidget& window, LoadProgress& progress, QLabel& loadMessage,
               QObject* parent = nullptr);

  void SetTiming(LoadTiming newTiming);
  bool IsLoading() const { return loading; }
  // Reads the log at path: the model is reset to an empty table from path first, and to the
  // filled table at the end, cancelled or not. Nothing when a load is running already.
  std::optional<LoadSummary> Load(const QString& path);

 signals:
  // A load began (true) or ended (false); a second load inside the first would reset the
  // table under the reader's feet, so commands that start one wait for false.
  void loadingChanged(bool on);

 private:
  ReadHooks Hooks();

  FrameTableModel& model;
  QWidget& window;
  LoadProgress& progress;
  QLabel& loadMessage;
  LoadTiming timing;
  bool loading = false;
};

// One line for the status bar: frames stored, missing, skipped beyond the table's 5000,
// rejected by the address check, and whether the load was cancelled or cut short.
QString LoadReport(const LoadSummary& summary, std::int64_t missingCount);

// The message shown when a log could not be opened or read to its end: the reason, naming
// the path once.
QString LoadErrorText(const QString& path, const std::string& error);

}  // namespace quilmar
