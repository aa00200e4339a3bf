// The output written by a thread of its own; see queued_output.h.
#include "queued_output.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

namespace quilmar {

struct QueuedOutput::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::string> queue;
  std::size_t queuedBytes = 0;
  std::size_t capacityBytes = 0;
  bool writing = false;  // the writer holds a text taken from the queue
  bool closing = false;
  std::string error;
  int fd = -1;
  bool ownsFd = false;
};

QueuedOutput::QueuedOutput(int fd, bool ownsFd, std::size_t capacityBytes)
    : shared(std::make_shared<Shared>()) {
  shared->fd = fd;
  shared->ownsFd = ownsFd;
  shared->capacityBytes = capacityBytes;
  writer = std::thread(&QueuedOutput::WriteQueued, shared);
}

QueuedOutput::~QueuedOutput() { Close(std::chrono::milliseconds(0)); }

bool QueuedOutput::Push(std::string text) {
  {
    const std::lock_guard lock(shared->mutex);
    if (!shared->error.empty() || shared->closing ||
        shared->queuedBytes + text.size() > shared->capacityBytes) {
      return false;
    }
    shared->queuedBytes += text.size();
    shared->queue.push_back(std::move(text));
  }
  shared->changed.notify_all();
  return true;
}

std::string QueuedOutput::Error() const {
  const std::lock_guard lock(shared->mutex);
  return shared->error;
}

bool QueuedOutput::WaitWritten(std::chrono::milliseconds limit) {
  std::unique_lock lock(shared->mutex);
  return shared->changed.wait_for(lock, limit, [this] {
    return !shared->error.empty() || (shared->queue.empty() && !shared->writing);
  });
}

std::size_t QueuedOutput::Close(std::chrono::milliseconds limit) {
  if (!writer.joinable()) {
    return 0;
  }
  {
    const std::lock_guard lock(shared->mutex);
    shared->closing = true;
  }
  shared->changed.notify_all();
  WaitWritten(limit);
  std::unique_lock lock(shared->mutex);
  // What is still queued is given up; a writer blocked in write() is left to the end of the
  // process.
  const std::size_t givenUp = shared->queue.size() + (shared->writing ? 1 : 0);
  shared->queue.clear();
  shared->queuedBytes = 0;
  if (shared->writing) {
    lock.unlock();
    writer.detach();
    return givenUp;
  }
  lock.unlock();
  shared->changed.notify_all();
  writer.join();
  return givenUp;
}

// One write call per text, repeated only for what the kernel cut short.
void QueuedOutput::WriteQueued(const std::shared_ptr<Shared>& shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    shared->changed.wait(lock, [&] { return !shared->queue.empty() || shared->closing; });
    if (shared->queue.empty() || !shared->error.empty()) {
      break;
    }
    std::string text = std::move(shared->queue.front());
    shared->queue.pop_front();
    shared->queuedBytes -= text.size();
    shared->writing = true;
    lock.unlock();
    std::string error;
    for (std::size_t done = 0; done < text.size() && error.empty();) {
      const ssize_t written = ::write(shared->fd, text.data() + done, text.size() - done);
      if (written >= 0) {
        done += static_cast<std::size_t>(written);
      } else if (errno != EINTR) {
        error = std::strerror(errno);
      }
    }
    lock.lock();
    shared->writing = false;
    if (shared->error.empty()) {
      shared->error = error;
    }
    shared->changed.notify_all();
  }
  if (shared->ownsFd && ::close(shared->fd) != 0 && shared->error.empty()) {
    // close() can report a delayed write error (NFS, quota), so it counts as a write.
    shared->error = std::strerror(errno);
  }
  shared->changed.notify_all();
}

}  // namespace quilmar
