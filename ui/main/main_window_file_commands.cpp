// The File menu's commands beyond Open and Exit: Open Recent and Export...
#include <QMenu>

#include "export_frames.h"
#include "main_window.h"
#include "parameter_graph.h"
#include "recent_logs.h"

namespace quilmar {

void MainWindow::BuildFileCommands(QMenu* file) {
  recent = new RecentLogs(file->addMenu(QStringLiteral("Open Recent")));
  connect(recent, &RecentLogs::logChosen, this, &MainWindow::OpenLog);
  connect(recent, &RecentLogs::logMissing, this, [this](const QString& path) {
    report(QMessageBox::Warning, windowTitle(),
           QStringLiteral("The log %1 no longer exists. It has been removed from Open Recent.")
               .arg(path));
  });

  exporter = new FrameExporter(this, table, *rangeControls);
  exporter->SetFailureReporter(
      [this](const QString& text) { report(QMessageBox::Warning, windowTitle(), text); });
  file->addAction(exporter->Action());
}

}  // namespace quilmar
