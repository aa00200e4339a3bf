// File > Export...: the stored frames of the loaded log saved as CSV or JSON through the same
// writers as the export command, so both give byte-identical files for the same log. With the
// graph's range selection on, the chosen run of frames can be saved on its own.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "core/frame_table.h"
#include "core/kiss_reader.h"

class QAction;
class QWidget;

namespace quilmar {

class GraphRangeControls;

enum class TableFormat { kCsv, kJson };

// Table positions first..last, 1-based and inclusive.
struct FrameRange {
  int first = 1;
  int last = 0;
};

// What the save dialog offers: a name to start from and, with the range selection on, the
// chosen frames with their caption ("Only frames 12 to 40").
struct ExportOffer {
  QString suggestedPath;
  std::optional<FrameRange> range;
  QString rangeCaption;
};

struct ExportChoice {
  QString path;
  TableFormat format = TableFormat::kCsv;
  bool rangeOnly = false;
};

// The chosen file, format and range, or nothing when the user cancelled.
using ExportChooser =
    std::function<std::optional<ExportChoice>(QWidget* parent, const ExportOffer& offer)>;

// path with ".csv" or ".json" appended unless it already ends so (any case).
QString WithFormatSuffix(const QString& path, TableFormat format);

// Writes the table to path atomically: the file appears whole or not at all. logName is the
// log's path as it was opened, the JSON "file" member. False with the reason in *error.
bool WriteFramesFile(const QString& path, TableFormat format, const std::string& logName,
                     const FrameTable& table, const LoadSummary& summary, QString* error);

class FrameExporter : public QObject {
  Q_OBJECT
 public:
  using FailureReporter = std::function<void(const QString& text)>;

  FrameExporter(QWidget* window, const FrameTable& table, const GraphRangeControls& range);

  // The menu command "Export..."; disabled until a log is loaded and while one loads.
  QAction* Action() const { return action; }
  void SetChooser(ExportChooser chooser) { choose = std::move(chooser); }
  void SetFailureReporter(FailureReporter reporter) { reportFailure = std::move(reporter); }

  // The load the table now holds; a log that could not be read leaves nothing to export.
  void LogLoaded(const QString& path, const LoadSummary& summary);
  void SetLoading(bool on);

  // The offer for the current table and range selection.
  ExportOffer Offer() const;
  void Export();

 private:
  void UpdateAction();
  bool WriteRange(const QString& path, TableFormat format, FrameRange range, QString* error) const;

  QWidget* window;
  const FrameTable& table;
  const GraphRangeControls& rangeControls;
  QAction* action;
  ExportChooser choose;
  FailureReporter reportFailure;
  QString logPath;
  LoadSummary loadSummary;
  bool logLoaded = false;
  bool loading = false;
};

}  // namespace quilmar
