// A read of the archive in a thread of its own; see archive_read.h.
#include "archive_read.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QTimer>

#include "archive/archive.h"
#include "ui/trends/trends_query.h"

namespace quilmar {

// What the reading thread and the window share. The thread may outlive the ArchiveRead (a
// cancelled read), so it holds this and never the object itself.
struct ArchiveRead::State {
  std::atomic<bool> cancelled{false};
  std::atomic<bool> ended{false};  // the thread has posted its result
  // Read and written on the window's thread only.
  QPointer<ArchiveRead> owner;
  // Written by the thread before it posts, read after.
  bool ok = false;
  QString error;
};

ArchiveRead::ArchiveRead(ArchiveLocation location, QString busyText, QWidget* dialogParent,
                         QObject* parent)
    : QObject(parent),
      location(std::move(location)),
      busyText(std::move(busyText)),
      dialogParent(dialogParent),
      state(std::make_shared<State>()),
      busyTimer(new QTimer(this)) {
  state->owner = this;
  busyTimer->setSingleShot(true);
  busyTimer->setInterval(kBusyAfterMilliseconds);
  connect(busyTimer, &QTimer::timeout, this, &ArchiveRead::ShowBusy);
}

ArchiveRead::~ArchiveRead() {
  state->cancelled = true;
  state->owner = nullptr;
  if (thread.joinable()) {
    // A thread that posted is at its end; one still waiting for the database (a lock held
    // for minutes) must not hold the window, and touches nothing of this object.
    if (state->ended) {
      thread.join();
    } else {
      thread.detach();
    }
  }
  delete busy;
}

void ArchiveRead::Start(Work work) {
  busyTimer->start();
  thread = std::thread([state = state, location = location, work = std::move(work),
                        running = std::make_shared<TrendsQueries::Running>()] {
    bool ok = false;
    QString error;
    {
      Archive archive;
      ok = archive.Open(location, true) && !state->cancelled && work(archive, state->cancelled);
      error = ok ? QString() : archive.Error();
    }
    state->ok = ok;
    state->error = error;
    state->ended = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [state] {
          if (state->owner) {
            state->owner->Finish();
          }
        },
        Qt::QueuedConnection);
  });
}

void ArchiveRead::Cancel() {
  if (state->cancelled.exchange(true)) {
    return;
  }
  busyTimer->stop();
  if (busy) {
    busy->hide();
  }
  emit cancelled();
}

bool ArchiveRead::IsCancelled() const { return state->cancelled; }

void ArchiveRead::ShowBusy() {
  if (state->cancelled) {
    return;
  }
  busy = new QProgressDialog(busyText, tr("Cancel"), 0, 0, dialogParent);
  busy->setObjectName(QStringLiteral("archiveBusy"));
  busy->setWindowTitle(tr("Archive"));
  // The window stays usable while the archive answers.
  busy->setWindowModality(Qt::NonModal);
  busy->setMinimumDuration(0);
  busy->setAutoClose(false);
  busy->setAutoReset(false);
  connect(busy, &QProgressDialog::canceled, this, &ArchiveRead::Cancel);
  busy->show();
}

void ArchiveRead::Finish() {
  thread.join();
  busyTimer->stop();
  if (busy) {
    busy->hide();
  }
  if (!state->cancelled) {
    emit finished(state->ok, state->error);
  }
}

}  // namespace quilmar
