// A read of the mission archive for the windows, in a thread of its own with a connection of
// its own (a Qt SQL connection belongs to the thread that opened it), so that the window goes
// on painting and taking clicks while the database answers. A read that takes longer than a
// moment (an archive another program holds locked, a slow server, a large archive) shows a
// busy dialog whose Cancel drops it at once: its result is never applied, and the thread,
// which the work lets go between rows, ends on its own.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "archive/archive_location.h"

class QProgressDialog;
class QTimer;
class QWidget;

namespace quilmar {

class Archive;

class ArchiveRead : public QObject {
  Q_OBJECT
 public:
  // Runs in the reading thread on the archive opened there; false with archive.Error() set
  // when the archive failed. Once cancelled is set its result no longer counts: it may stop.
  using Work = std::function<bool(Archive& archive, const std::atomic<bool>& cancelled)>;

  // How long a read runs before the busy dialog shows.
  static constexpr int kBusyAfterMilliseconds = 400;

  // busyText is the dialog's line ("Reading the passes of NAME..."); the dialog stands over
  // dialogParent.
  ArchiveRead(ArchiveLocation location, QString busyText, QWidget* dialogParent,
              QObject* parent = nullptr);
  // A read still under way is cancelled; its thread is left to end by itself.
  ~ArchiveRead() override;

  void Start(Work work);
  // Drops the read: finished never follows; cancelled is emitted once.
  void Cancel();
  bool IsCancelled() const;

 signals:
  // Once, on the window's thread, unless the read was cancelled; error is the archive's.
  void finished(bool ok, const QString& error);
  void cancelled();

 private:
  struct State;
  void ShowBusy();
  void Finish();

  ArchiveLocation location;
  QString busyText;
  QPointer<QWidget> dialogParent;
  std::shared_ptr<State> state;
  std::thread thread;
  QTimer* busyTimer;
  QPointer<QProgressDialog> busy;
};

}  // namespace quilmar
