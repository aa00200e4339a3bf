// The window's limits: loaded at start and by Settings > Reload Limits, said in the status
// bar, and a refused file reported without ending anything.
#include <QAction>
#include <QLabel>
#include <QMenu>

#include "main_window.h"
#include "ui/limits/frame_limits.h"

namespace quilmar {

void MainWindow::BuildLimitsCommands(QMenu* settings) {
  settings->addSeparator();
  QAction* reload =
      settings->addAction(QStringLiteral("Reload Limits"), this, &MainWindow::ReloadLimits);
  reload->setObjectName(QStringLiteral("ReloadLimits"));
}

void MainWindow::LoadLimitsAtStart(const std::optional<std::string>& given) {
  limitsFile = given;
  UseLimits(LoadWindowLimits(given));
}

void MainWindow::ReloadLimits() { UseLimits(ReloadWindowLimits(limitsFile, limits->Limits())); }

// A refused file is a warning, never a box that waits: a session receives on behind it.
void MainWindow::UseLimits(const WindowLimitsLoad& load) {
  limits->SetLimits(load.limits);
  limitsStatus->setText(load.summary);
  limitsStatus->setToolTip(QString::fromStdString(load.limits.Origin()));
  if (!load.problem.isEmpty()) {
    report(QMessageBox::Warning, windowTitle(), load.problem);
  }
}

}  // namespace quilmar
