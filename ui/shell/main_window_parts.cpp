// The shell's wiring of its parts: the file commands and the live steps with the window's
// steps around a log and a session, and what the shell's own controls show of a new table.
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

#include "export_frames.h"
#include "file_commands.h"
#include "main_window.h"
#include "path_label.h"
#include "recent_logs.h"
#include "ui/chart/chart_follower.h"
#include "ui/chart/parameter_graph.h"
#include "ui/frame/frame_navigator.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/missing_frames_model.h"
#include "ui/live/live_session.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {

void MainWindow::BuildFileCommands(QMenu* file) {
  FileCommands::Steps steps;
  steps.beginNewTable = [this](const QString& path) { BeginNewTable(path); };
  steps.rememberPath = [this](const QString& path) { currentLogPath = path; };
  // The button of row 0 turned on makes row 0 the charted row, as a click on it would; the
  // chart follows the table's reset.
  steps.beforeLoad = [this] {
    MarkChartedParameter(0);
    chartFollower->SetChartedRow(0);
  };
  steps.afterLoad = [this](const LoadSummary& summary) {
    if (model->RowCount() > 0) {
      ShowHexDump(model->RowCount(), 0, 0);
    }
    loadMessage->setText(LoadReport(summary, summary.missingFrames.Count()));
  };
  steps.isLive = [this] { return IsLive(); };
  fileCommands = new FileCommands(
      *model, *loadSequence, *rangeControls, *this, file,
      [this](QMessageBox::Icon icon, const QString& text) { report(icon, windowTitle(), text); },
      std::move(steps));
}

bool MainWindow::ShowFramesFrom(const QString& label, const TableFiller& fill) {
  if (IsLoading() || IsLive()) {
    report(QMessageBox::Information, windowTitle(),
           QStringLiteral("%1 cannot be shown while %2: the window's table belongs to it.")
               .arg(label, IsLive() ? QStringLiteral("a session receives from the TNC")
                                    : QStringLiteral("a log is loading")));
    return false;
  }
  BeginNewTable(label);
  MarkChartedParameter(0);
  chartFollower->SetChartedRow(0);
  model->Clear(label);
  const FilledTable filled = fill(model->TableToFill());
  const LoadSummary& summary = filled.summary;
  model->Refilled(summary.missingFrames);
  fileCommands->Exporter().LogLoaded(label, summary);
  loadMessage->setText(LoadReport(summary, summary.missingFrames.Count()));
  if (model->RowCount() > 0) {
    ShowFrameAt(std::clamp(filled.showIndex, 1, model->RowCount()));
  }
  return true;
}

void MainWindow::SetFileChooser(FileChooser chooser) {
  fileCommands->SetChooser(std::move(chooser));
}

RecentLogs& MainWindow::recentLogs() { return fileCommands->Recent(); }

FrameExporter& MainWindow::frameExporter() { return fileCommands->Exporter(); }

void MainWindow::OpenLog(const QString& path) { fileCommands->OpenLog(path); }

void MainWindow::LoadKissLog(const QString& path) { fileCommands->LoadKissLog(path); }

void MainWindow::OpenLogWhenRunning(const QString& path) {
  // The path label shows the full path, as the file dialog gives it.
  const QString fullPath = QFileInfo(path).absoluteFilePath();
  QTimer::singleShot(0, this, [this, fullPath] { OpenLog(fullPath); });
}

// Open's first steps, taken even when the dialog was cancelled: the path label, the captions
// and empty lists. The table itself changes only with the load that follows.
void MainWindow::BeginNewTable(const QString& path) {
  currentLogPath = path;
  pathLabel->SetPath(currentLogPath);
  view->InitCaptions();
  missingModel->Clear();
  rangeControls->ClearLists();
}

void MainWindow::BuildLiveSteps(QMenu* file) {
  liveSteps = new LiveSteps(
      *model, *this, file, statusBar(), fileCommands->Recent(), fileCommands->Exporter(),
      [this](QMessageBox::Icon icon, const QString& text) { report(icon, windowTitle(), text); },
      [this] { return IsLoading(); });
  connect(liveSteps, &LiveSteps::sessionStarting, this, [this](const QString& path) {
    BeginNewTable(path);
    loadMessage->clear();
  });
  connect(liveSteps, &LiveSteps::liveChanged, this,
          [this](bool on) { fileCommands->OpenAction()->setEnabled(!on); });
  connect(liveSteps, &LiveSteps::secondPassed, navigator, &FrameNavigator::WriteLatestValuesNote);
}

void MainWindow::SetLiveChooser(LiveChooser chooser) { liveSteps->SetChooser(std::move(chooser)); }

bool MainWindow::ConnectToTnc(const LiveChoice& choice) { return liveSteps->ConnectToTnc(choice); }

void MainWindow::ConnectWhenRunning(const LiveChoice& choice) {
  QTimer::singleShot(0, this, [this, choice] { ConnectToTnc(choice); });
}

void MainWindow::Disconnect() { liveSteps->Disconnect(); }

bool MainWindow::IsLive() const { return liveSteps->IsLive(); }

LiveSession* MainWindow::liveSession() const { return liveSteps->Session(); }

void MainWindow::SetArchiveStore(SettingsOpener opener) {
  liveSteps->SetArchiveStore(std::move(opener));
}

void MainWindow::SetLoadTiming(LoadTiming timing) { loadSequence->SetTiming(timing); }

void MainWindow::SetLoading(bool on) {
  fileCommands->SetLoading(on);
  liveSteps->ConnectAction()->setEnabled(!on);
  cancelShortcut->setEnabled(on);
}

// What the shell's own controls show of a new table: its missing frames, and the session's
// line only while a session feeds the table.
void MainWindow::TableReset() {
  missingModel->Clear();
  ShowMissingFrames();
  liveSteps->TableReset();
}

void MainWindow::ShowMissingFrames() {
  const MissingFrames& missing = model->Missing();
  missingCountLabel->setText(QString::number(missing.Count()) + QStringLiteral(" frames missing"));
  missingModel->SetMissingFrames(missing);
}

}  // namespace quilmar
