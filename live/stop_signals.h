// SIGINT and SIGTERM as a request to end in order: a program that receives must sync and close
// its recording, and a window must close its session, rather than die with the bytes unsynced
// or an empty recording left behind.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace quilmar {

class StopSignals {
 public:
  // onStop runs on the event loop after SIGINT or SIGTERM arrived.
  explicit StopSignals(std::function<void()> onStop);
  // The handler stays installed: a signal during the last writes only sets Requested().
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // True once a stop signal arrived, also outside the event loop.
  static bool Requested();
  // Catches the signals from the start of the program on, before there is an event loop: one
  // that arrives then runs onStop as soon as a StopSignals exists.
  static void CatchEarly();

 private:
  int fds[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier;
};

}  // namespace quilmar
