// The File menu's log commands; see file_commands.h.
#include "file_commands.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include "export_frames.h"
#include "load_sequence.h"
#include "recent_logs.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

QString ChooseLogFileInDialog(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Open"));
  PrepareOpenLogDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return dialog.selectedFiles().constFirst();
}

struct LogFilter {
  const char* caption;
  const char* patterns;
};

// The choices of the open dialog. "*.*" is the caption users know for every file, but as a
// pattern here it would hide names without a dot, so that choice shows "*".
constexpr LogFilter kLogFilters[] = {
    {"Log Files (*.kss)", "*.kss"},
    {"Text Files (*.txt)", "*.txt"},
    {"All Files (*.*)", "*"},
};

}  // namespace

void PrepareOpenLogDialog(QFileDialog& dialog) {
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog shows the captions as given; a desktop's dialog would rewrite them.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The combo box shows each filter without its trailing pattern list, that is the caption.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  QStringList filters;
  for (const LogFilter& filter : kLogFilters) {
    filters << QStringLiteral("%1 (%2)").arg(QLatin1String(filter.caption),
                                             QLatin1String(filter.patterns));
  }
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.constFirst());
  dialog.selectFile(QString());
}

FileCommands::FileCommands(FrameTableModel& model, LoadSequence& loadSequence,
                           GraphRangeControls& rangeControls, QWidget& window, QMenu* file,
                           Reporter report, Steps steps)
    : QObject(&window),
      loadSequence(loadSequence),
      window(window),
      report(std::move(report)),
      steps(std::move(steps)),
      choose(&ChooseLogFileInDialog) {
  menuFileOpen = file->addAction(QStringLiteral("Open"), this, &FileCommands::MenuFileOpenClick);
  menuFileOpen->setObjectName(QStringLiteral("MenuFileOpen"));
  menuFileOpen->setShortcut(QKeySequence::Open);
  recent = new RecentLogs(file->addMenu(QStringLiteral("Open Recent")));
  connect(recent, &RecentLogs::logChosen, this, &FileCommands::OpenLog);
  connect(recent, &RecentLogs::logMissing, this, [this](const QString& path) {
    this->report(
        QMessageBox::Warning,
        QStringLiteral("The log %1 no longer exists. It has been removed from Open Recent.")
            .arg(path));
  });
  exporter = new FrameExporter(&window, model.Table(), rangeControls);
  exporter->SetFailureReporter(
      [this](const QString& text) { this->report(QMessageBox::Warning, text); });
  file->addAction(exporter->Action());
}

bool FileCommands::Busy() const { return loadSequence.IsLoading() || steps.isLive(); }

void FileCommands::MenuFileOpenClick() {
  if (Busy()) {
    return;
  }
  OpenLog(choose(&window));
}

void FileCommands::FileDropped(const QString& path) {
  if (loadSequence.IsLoading() || path.isEmpty()) {
    return;
  }
  if (steps.isLive()) {
    // The table belongs to the pass coming in; the log would replace it.
    report(QMessageBox::Information,
           QStringLiteral("%1 was not opened: a TNC session is running. Disconnect first to "
                          "open a log.")
               .arg(path));
    return;
  }
  if (path.right(3).toUpper() == QLatin1String("KSS")) {
    OpenLog(path);
  } else {
    steps.rememberPath(path);
  }
}

void FileCommands::OpenLog(const QString& path) {
  if (Busy()) {
    return;
  }
  steps.beginNewTable(path);
  if (!path.isEmpty()) {
    LoadKissLog(path);
  }
}

void FileCommands::LoadKissLog(const QString& path) {
  if (Busy()) {
    return;
  }
  steps.beforeLoad();
  const std::optional<LoadSummary> summary = loadSequence.Load(path);
  if (!summary) {
    return;
  }
  exporter->LogLoaded(path, *summary);
  recent->LogLoaded(path, *summary);
  steps.afterLoad(*summary);
  if (!summary->error.empty()) {
    report(QMessageBox::Warning, LoadErrorText(path, summary->error));
  }
}

void FileCommands::SetLoading(bool on) {
  menuFileOpen->setEnabled(!on);
  exporter->SetLoading(on);
  recent->SetLoading(on);
}

}  // namespace quilmar
