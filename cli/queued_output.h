// Text written to a file descriptor by a thread of its own through a bounded queue, so that a
// reader who stops reading (a pager, a terminal paused with Ctrl-S, a stopped process) never
// holds up the caller: live reception keeps reading the TNC and recording, and what finds no
// room in the queue is dropped and counted instead of waited for.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace quilmar {

class QueuedOutput {
 public:
  // Takes ownership of fd when ownsFd is true (closed once everything queued is written).
  QueuedOutput(int fd, bool ownsFd, std::size_t capacityBytes);
  ~QueuedOutput();
  QueuedOutput(const QueuedOutput&) = delete;
  QueuedOutput& operator=(const QueuedOutput&) = delete;

  // Queues the text; false when it was dropped because the queue is full or a write failed.
  bool Push(std::string text);
  // The system's text for the first failed write (a closed pipe, a full disk); empty while none.
  std::string Error() const;
  // Waits up to limit until everything queued is written; true when it was (or a write failed).
  bool WaitWritten(std::chrono::milliseconds limit);
  // Ends the output, waiting up to limit for what is queued; returns how many texts were given
  // up unwritten. A writer stuck on a reader that went away is left to the end of the process.
  // Error() tells whether a write or the closing of an owned descriptor failed.
  std::size_t Close(std::chrono::milliseconds limit);

 private:
  struct Shared;
  static void WriteQueued(const std::shared_ptr<Shared>& shared);

  std::shared_ptr<Shared> shared;
  std::thread writer;
};

}  // namespace quilmar
