// The File menu's log commands: Open, a log dropped on the chart, Open Recent and Export...
// Each one that opens a log runs the load sequence into the table model; the exporter and
// Open Recent learn of every log loaded, and a log that cannot be read is reported.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <functional>

#include "core/kiss_reader.h"

class QAction;
class QFileDialog;
class QMenu;
class QWidget;

namespace quilmar {

class FrameExporter;
class FrameTableModel;
class GraphRangeControls;
class LoadSequence;
class RecentLogs;

// File > Open's dialog: an empty file name and the choices "Log Files (*.kss)", "Text Files
// (*.txt)" and "All Files (*.*)" (every file), the first one selected.
void PrepareOpenLogDialog(QFileDialog& dialog);

class FileCommands : public QObject {
  Q_OBJECT
 public:
  // Returns the chosen log's path, empty when the user cancelled.
  using Chooser = std::function<QString(QWidget* parent)>;
  using Reporter = std::function<void(QMessageBox::Icon icon, const QString& text)>;
  // The window's steps around a log: before a load (after the dialog, even a cancelled one)
  // and after it, with its summary.
  struct Steps {
    std::function<void(const QString& path)> beginNewTable;
    // A dropped file that is not a log is remembered as the current path, nothing more.
    std::function<void(const QString& path)> rememberPath;
    std::function<void()> beforeLoad;
    std::function<void(const LoadSummary& summary)> afterLoad;
    std::function<bool()> isLive;
  };

  // Adds Open, Open Recent and Export... to file.
  FileCommands(FrameTableModel& model, LoadSequence& loadSequence,
               GraphRangeControls& rangeControls, QWidget& window, QMenu* file, Reporter report,
               Steps steps);

  void SetChooser(Chooser chooser) { choose = std::move(chooser); }
  QAction* OpenAction() const { return menuFileOpen; }
  RecentLogs& Recent() const { return *recent; }
  FrameExporter& Exporter() const { return *exporter; }

  // File > Open after the dialog: path label, captions, emptied lists, then the load.
  void OpenLog(const QString& path);
  // Reads the log into the table model and reports the outcome.
  void LoadKissLog(const QString& path);
  // The first file of a drop on the chart.
  void FileDropped(const QString& path);
  // A load began or ended: the commands that would start another wait.
  void SetLoading(bool on);

 private:
  void MenuFileOpenClick();
  bool Busy() const;

  LoadSequence& loadSequence;
  QWidget& window;
  Reporter report;
  Steps steps;
  Chooser choose;
  QAction* menuFileOpen = nullptr;
  RecentLogs* recent = nullptr;
  FrameExporter* exporter = nullptr;
};

}  // namespace quilmar
