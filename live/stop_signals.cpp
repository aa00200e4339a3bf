// Stop signals through a pipe; see stop_signals.h.
#include "stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quilmar {
namespace {

int signalPipeWriteEnd = -1;
volatile std::sig_atomic_t stopRequested = 0;

// A signal handler may do no more than set a flag and write a byte; the event loop sees the
// pipe become readable.
void OnStopSignal(int signal) {
  const int saved = errno;
  stopRequested = 1;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t ignored = ::write(signalPipeWriteEnd, &byte, 1);
  errno = saved;
}

void InstallHandler() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void StopSignals::CatchEarly() { InstallHandler(); }

StopSignals::StopSignals(std::function<void()> onStop) {
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  signalPipeWriteEnd = fds[1];
  if (stopRequested) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(fds[1], &byte, 1);
  }
  notifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, onStop] {
    char byte = 0;
    while (::read(fds[0], &byte, 1) > 0) {
    }
    onStop();
  });
  InstallHandler();
}

StopSignals::~StopSignals() {
  notifier.reset();
  signalPipeWriteEnd = -1;
  for (const int fd : fds) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool StopSignals::Requested() { return stopRequested != 0; }

}  // namespace quilmar
