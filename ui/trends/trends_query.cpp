// Queries of the archive in threads of their own; see trends_query.h.
#include "trends_query.h"

#include <QCoreApplication>
#include <chrono>
#include <condition_variable>

namespace quilmar {
namespace {

// Qt SQL's connections go with the application object, so a query's thread still opening or
// closing one then would use what is gone: as the application ends it waits this long for
// the threads still running. One held by a database that does not answer is left behind.
constexpr auto kWaitAtExit = std::chrono::seconds(5);

std::mutex runningMutex;
std::condition_variable runningChanged;
int runningQueries = 0;

void WaitForRunningQueries() {
  std::unique_lock lock(runningMutex);
  runningChanged.wait_for(lock, kWaitAtExit, [] { return runningQueries == 0; });
}

}  // namespace

TrendsQueries::Running::Running() {
  static std::once_flag waitAtExit;
  std::call_once(waitAtExit, [] { qAddPostRoutine(WaitForRunningQueries); });
  const std::lock_guard lock(runningMutex);
  ++runningQueries;
}

TrendsQueries::Running::~Running() {
  const std::lock_guard lock(runningMutex);
  --runningQueries;
  runningChanged.notify_all();
}

TrendsQueries::TrendsQueries(ArchiveLocation location, QObject* parent)
    : QObject(parent), location(std::move(location)), current(std::make_shared<Shared>()) {
  current->owner = this;
}

TrendsQueries::~TrendsQueries() {
  // Results already posted go with this object's events.
  current->cancelled = true;
  const std::lock_guard lock(current->mutex);
  current->owner = nullptr;
}

void TrendsQueries::CancelAll() {
  {
    current->cancelled = true;
    const std::lock_guard lock(current->mutex);
    current->owner = nullptr;
  }
  current = std::make_shared<Shared>();
  current->owner = this;
  emit pendingChanged(0);
}

void TrendsQueries::Answered(const std::shared_ptr<Shared>& shared) {
  --shared->pending;
  if (shared == current) {
    emit pendingChanged(shared->pending);
  }
}

}  // namespace quilmar
