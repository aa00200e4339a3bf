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
  StatusBitWindow(const StatusBitMember& member, QPointer<const QLineEdit> sourceBox,
                  QPointer<const QLineEdit> modeBox);

  // Starts the refresh timer and shows the window; an open window is only brought to front.
  void Open();

  // Copies the followed box's text and explains its bits; the timer's tick.
  void Refresh();

  const StatusBitMember& member() const { return kind; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();

  const StatusBitMember& kind;
  QPointer<const QLineEdit> source;
  QPointer<const QLineEdit> modeSource;
  QLineEdit* valueField = nullptr;
  std::vector<QLabel*> lines;
  QTimer* timer = nullptr;
};

}  // namespace quilmar
