// Progress of a long load in the status bar: bytes read of the log's size and a Cancel button.
// It stays hidden for short loads, so opening a small log does not flash a bar.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>

class QProgressBar;
class QPushButton;

namespace quilmar {

class LoadProgress : public QWidget {
  Q_OBJECT
 public:
  explicit LoadProgress(QWidget* parent = nullptr);

  // A load of totalBytes begins (-1 when the size is unknown); nothing is shown yet.
  void Start(std::int64_t totalBytes);
  // Shows the bar once the load has run for the show delay, then follows bytesRead.
  void Update(std::int64_t bytesRead);
  void Finish();

  bool CancelRequested() const { return cancelRequested; }
  void RequestCancel();

  void SetShowDelay(std::chrono::milliseconds delay) { showDelay = delay; }

 private:
  QProgressBar* bar;
  QPushButton* cancel;
  QElapsedTimer clock;
  std::chrono::milliseconds showDelay{500};
  std::int64_t total = -1;
  bool cancelRequested = false;
};

}  // namespace quilmar
