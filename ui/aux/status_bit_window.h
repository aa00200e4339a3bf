// One status-bit window: follows a value box of the main window once per second and explains
// the eight bits of the status byte it shows.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "ui/aux/status_bit_members.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace quilmar {

class StatusBitWindow : public QWidget {
  Q_OBJECT

 public:
  // `source` is the value box of the member's row; `modeSource` the ADCS mode box, read by the
  // magnetometer window only. Either may vanish while the window is open.
  StatusBitWindow(const StatusBitMember& member, QPointer<const QLineEdit> source,
                  QPointer<const QLineEdit> modeSource);

  // Starts the refresh timer and shows the window; an open window is only brought to front.
  void Open();

  // Copies the followed box's text and explains its bits; the timer's tick.
  void Refresh();

  const StatusBitMember& member() const { return member_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();

  const StatusBitMember& member_;
  QPointer<const QLineEdit> source_;
  QPointer<const QLineEdit> modeSource_;
  QLineEdit* valueField_ = nullptr;
  std::vector<QLabel*> lines_;
  QTimer* timer_ = nullptr;
};

}  // namespace quilmar
