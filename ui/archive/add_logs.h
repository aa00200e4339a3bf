// Archive > Add Logs... and files dropped on the Trends window: KISS logs and SatNOGS
// downloads added to the archive in a thread of their own, so the windows stay responsive,
// with a progress dialog, shown at once and moved on as each file's bytes are read, whose
// Cancel stops the file being added (each file is one transaction: in the archive completely
// or not at all). At the end one line per file says
// what it added, as the archive command does.
#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>
#include <thread>

#include "archive/archive_location.h"
#include "archive/source_import.h"

class QProgressDialog;
class QWidget;

namespace quilmar {

// "demo.kss: 242 new frames, 0 already archived, 1 rejected, 0 warnings".
QString ImportOutcomeLine(const QString& file, const ImportOutcome& outcome);

class AddLogs : public QObject {
  Q_OBJECT
 public:
  AddLogs(ArchiveLocation location, QStringList files, QString station, QWidget* dialogParent);
  ~AddLogs() override;

  // Starts the import; finished follows once, on this thread.
  void Start();
  bool IsRunning() const { return worker.joinable() && !done; }

 signals:
  // One line per file added (or refused, with its reason); ok false when a file failed.
  void finished(const QStringList& lines, bool ok);

 private:
  void ImportAll();
  void Progress(int file, std::int64_t bytesDone, std::int64_t bytesTotal);
  void Finish();

  ArchiveLocation location;
  QStringList files;
  QString station;
  QProgressDialog* progress;
  std::atomic<bool> cancelled{false};
  bool done = false;
  QStringList lines;  // written by the worker, read after it ended
  bool ok = true;
  std::thread worker;
};

}  // namespace quilmar
