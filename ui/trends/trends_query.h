// A query of the mission archive for the Trends window, in a thread of its own with a
// connection of its own (a Qt SQL connection belongs to the thread that opened it), so that
// the window goes on painting and taking clicks while the database answers: a SQLite archive
// an importer holds locked, a PostgreSQL server that hangs. The result comes back to the
// window's thread; one of a query that was cancelled, or whose queries object is gone (the
// window closed), is dropped, and its thread, left to itself, ends once the database lets it.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "archive/archive.h"
#include "archive/archive_location.h"

namespace quilmar {

class TrendsQueries : public QObject {
  Q_OBJECT

 public:
  // Runs in the query's thread on the archive opened there; false with archive.Error() set
  // when the archive failed. Once cancelled is set the result no longer counts: it may stop.
  template <typename Result>
  using Work =
      std::function<bool(Archive& archive, Result& result, const std::atomic<bool>& cancelled)>;
  // Runs in the window's thread, unless the query was cancelled; error is the archive's.
  template <typename Result>
  using Done = std::function<void(bool ok, const QString& error, Result& result)>;

  explicit TrendsQueries(ArchiveLocation location, QObject* parent = nullptr);
  // Queries under way are cancelled; none is waited for.
  ~TrendsQueries() override;

  template <typename Result>
  void Run(Work<Result> work, Done<Result> done);
  // The queries started since the last CancelAll that have not answered yet.
  int Pending() const { return current->pending; }
  // Drops every query under way: no Done follows for them.
  void CancelAll();

  // Held by a thread that reads the archive while it runs (see trends_query.cpp: as the
  // application ends it waits a moment for such threads); the Archive menu's reads hold one too.
  class Running {
   public:
    Running();
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
  };

 signals:
  void pendingChanged(int pending);

 private:
  // What a query's thread shares with the window. The thread may outlive the queries object,
  // so it holds this and never the object; owner is cleared, under the mutex, when the object
  // goes, and a result is posted only under the mutex while owner is set.
  struct Shared {
    std::mutex mutex;
    TrendsQueries* owner = nullptr;
    std::atomic<bool> cancelled{false};
    int pending = 0;  // on the window's thread only
  };
  void Answered(const std::shared_ptr<Shared>& shared);

  ArchiveLocation location;
  std::shared_ptr<Shared> current;
};

template <typename Result>
void TrendsQueries::Run(Work<Result> work, Done<Result> done) {
  std::shared_ptr<Shared> shared = current;
  ++shared->pending;
  emit pendingChanged(shared->pending);
  std::thread([shared, location = location, work = std::move(work),
               done = std::move(done), running = std::make_shared<Running>()]() mutable {
    auto result = std::make_shared<Result>();
    bool ok = false;
    QString error;
    {
      Archive archive;
      ok = !shared->cancelled && archive.Open(location, true) && !shared->cancelled &&
           work(archive, *result, shared->cancelled);
      error = ok ? QString() : archive.Error();
    }
    const std::lock_guard lock(shared->mutex);
    if (shared->owner == nullptr) {
      return;
    }
    QMetaObject::invokeMethod(
        shared->owner,
        [shared, ok, error, result, done = std::move(done)] {
          if (shared->owner == nullptr) {
            return;
          }
          shared->owner->Answered(shared);
          if (!shared->cancelled) {
            done(ok, error, *result);
          }
        },
        Qt::QueuedConnection);
  }).detach();
}

}  // namespace quilmar
