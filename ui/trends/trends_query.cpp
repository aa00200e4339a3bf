// Queries of the archive in threads of their own; see trends_query.h.
#include "trends_query.h"

namespace quilmar {

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
