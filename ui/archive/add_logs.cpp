// Adding logs to the archive from the window; see add_logs.h.
#include "add_logs.h"

#include <QFileInfo>
#include <QProgressDialog>

#include "archive/archive.h"

namespace quilmar {

QString ImportOutcomeLine(const QString& file, const ImportOutcome& outcome) {
  const QString name = QFileInfo(file).fileName();
  if (outcome.cancelled) {
    return QStringLiteral("%1: cancelled, nothing of it added").arg(name);
  }
  if (!outcome.ok) {
    return QStringLiteral("%1: %2").arg(name, outcome.error);
  }
  if (outcome.alreadyArchived) {
    return QStringLiteral("%1: already archived (added %2), nothing added")
        .arg(name, outcome.addedAt);
  }
  QString line = QStringLiteral("%1: %2 new frames, %3 already archived, %4 rejected, %5 %6")
                     .arg(name)
                     .arg(outcome.newFrames)
                     .arg(outcome.knownFrames)
                     .arg(outcome.rejected)
                     .arg(outcome.warnings.size())
                     .arg(outcome.warnings.size() == 1 ? QStringLiteral("warning")
                                                       : QStringLiteral("warnings"));
  for (const QString& warning : outcome.warnings) {
    line += QStringLiteral("\n    %1").arg(warning);
  }
  return line;
}

AddLogs::AddLogs(ArchiveLocation location, QStringList files, QString station,
                 QWidget* dialogParent)
    : location(std::move(location)),
      files(std::move(files)),
      station(std::move(station)),
      progress(new QProgressDialog(dialogParent)) {
  progress->setObjectName(QStringLiteral("addLogsProgress"));
  progress->setWindowTitle(QStringLiteral("Add Logs"));
  progress->setLabelText(QStringLiteral("Adding to %1...").arg(this->location.display));
  progress->setRange(0, static_cast<int>(this->files.size()) * 100);
  // At once: adding even a small log takes a moment, and the user should see that it began.
  progress->setMinimumDuration(0);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  connect(progress, &QProgressDialog::canceled, this, [this] {
    cancelled = true;
    progress->setLabelText(QStringLiteral("Stopping: the file being added is left out..."));
  });
}

AddLogs::~AddLogs() {
  cancelled = true;
  if (worker.joinable()) {
    worker.join();
  }
  delete progress;
}

void AddLogs::Start() {
  progress->setValue(0);
  progress->show();
  worker = std::thread([this] { ImportAll(); });
}

// The worker's side: its own connection to the archive, one file after another.
void AddLogs::ImportAll() {
  Archive archive;
  if (!archive.Open(location)) {
    lines << archive.Error();
    ok = false;
  }
  for (int file = 0; ok && file < files.size(); ++file) {
    if (cancelled) {
      const int left = static_cast<int>(files.size()) - file;
      lines << QStringLiteral("cancelled: %1 not added")
                   .arg(left == 1 ? QStringLiteral("1 file")
                                  : QStringLiteral("%1 files").arg(left));
      break;
    }
    const ImportOutcome outcome = ImportFile(
        archive, files[file], station, [this, file](std::int64_t done, std::int64_t total) {
          QMetaObject::invokeMethod(
              this, [this, file, done, total] { Progress(file, done, total); },
              Qt::QueuedConnection);
          return !cancelled;
        });
    lines << ImportOutcomeLine(files[file], outcome);
    // A cancelled file is no failure: the files after it are named as not added.
    ok = ok && (outcome.ok || outcome.cancelled);
  }
  QMetaObject::invokeMethod(this, &AddLogs::Finish, Qt::QueuedConnection);
}

void AddLogs::Progress(int file, std::int64_t bytesDone, std::int64_t bytesTotal) {
  if (done || progress->wasCanceled()) {
    return;
  }
  const int share = bytesTotal > 0 ? static_cast<int>(bytesDone * 100 / bytesTotal) : 0;
  progress->setValue(file * 100 + share);
  progress->setLabelText(QStringLiteral("Adding %1 (%2 of %3) to %4...")
                             .arg(QFileInfo(files[file]).fileName())
                             .arg(file + 1)
                             .arg(files.size())
                             .arg(location.display));
}

void AddLogs::Finish() {
  worker.join();
  done = true;
  progress->reset();
  progress->hide();
  emit finished(lines, ok);
}

}  // namespace quilmar
