// The File menu: Open, a log dropped on the chart, Open Recent, Export... and the live steps'
// commands; what the window does around a load (the path label before it, the report after
// it) and around a session.
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTimer>

#include "chart_follower.h"
#include "export_frames.h"
#include "frame_navigator.h"
#include "frame_view.h"
#include "live_session.h"
#include "main_window.h"
#include "missing_frames_model.h"
#include "parameter_graph.h"
#include "path_label.h"
#include "recent_logs.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {

void MainWindow::BuildFileCommands(QMenu* file) {
  recent = new RecentLogs(file->addMenu(QStringLiteral("Open Recent")));
  connect(recent, &RecentLogs::logChosen, this, &MainWindow::OpenLog);
  connect(recent, &RecentLogs::logMissing, this, [this](const QString& path) {
    report(QMessageBox::Warning, windowTitle(),
           QStringLiteral("The log %1 no longer exists. It has been removed from Open Recent.")
               .arg(path));
  });

  exporter = new FrameExporter(this, model->Table(), *rangeControls);
  exporter->SetFailureReporter(
      [this](const QString& text) { report(QMessageBox::Warning, windowTitle(), text); });
  file->addAction(exporter->Action());
}

void MainWindow::MenuFileOpenClick() {
  if (IsLoading() || IsLive()) {
    return;
  }
  OpenLog(chooseLogFile(this));
}

void MainWindow::ChartFileDropped(const QString& path) {
  if (IsLoading() || path.isEmpty()) {
    return;
  }
  if (IsLive()) {
    // The table belongs to the pass coming in; the log would replace it.
    report(QMessageBox::Information, windowTitle(),
           QStringLiteral("%1 was not opened: a TNC session is running. Disconnect first to "
                          "open a log.")
               .arg(path));
    return;
  }
  currentLogPath = path;
  if (path.right(3).toUpper() == QLatin1String("KSS")) {
    OpenLog(path);
  }
}

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

void MainWindow::OpenLog(const QString& path) {
  if (IsLoading() || IsLive()) {
    return;
  }
  BeginNewTable(path);
  if (!currentLogPath.isEmpty()) {
    LoadKissLog(currentLogPath);
  }
}

void MainWindow::BuildLiveSteps(QMenu* file) {
  liveSteps = new LiveSteps(
      *model, *this, file, statusBar(), *recent, *exporter,
      [this](QMessageBox::Icon icon, const QString& text) { report(icon, windowTitle(), text); },
      [this] { return IsLoading(); });
  connect(liveSteps, &LiveSteps::sessionStarting, this, [this](const QString& path) {
    BeginNewTable(path);
    loadMessage->clear();
  });
  connect(liveSteps, &LiveSteps::liveChanged, this,
          [this](bool on) { menuFileOpen->setEnabled(!on); });
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

void MainWindow::SetLoadTiming(LoadTiming timing) { loadSequence->SetTiming(timing); }

void MainWindow::SetLoading(bool on) {
  menuFileOpen->setEnabled(!on);
  liveSteps->ConnectAction()->setEnabled(!on);
  exporter->SetLoading(on);
  recent->SetLoading(on);
  cancelShortcut->setEnabled(on);
}

void MainWindow::LoadKissLog(const QString& path) {
  if (IsLoading() || IsLive()) {
    return;
  }
  // The button of row 0 turned on makes row 0 the charted row, as a click on it would; the
  // chart follows the table's reset.
  MarkChartedParameter(0);
  chartFollower->SetChartedRow(0);
  if (std::optional<LoadSummary> summary = loadSequence->Load(path)) {
    FinishLoad(path, std::move(*summary));
  }
}

void MainWindow::FinishLoad(const QString& path, LoadSummary summary) {
  exporter->LogLoaded(path, summary);
  recent->LogLoaded(path, summary);
  if (model->RowCount() > 0) {
    ShowHexDump(model->RowCount(), 0, 0);
  }
  loadMessage->setText(LoadReport(summary, summary.missingFrames.Count()));
  if (!summary.error.empty()) {
    report(QMessageBox::Warning, windowTitle(), LoadErrorText(path, summary.error));
  }
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
