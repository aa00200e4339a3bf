// One status-bit window: follows a value box of the main window once per second and explains
// the eight bits of the status byte it shows; its title names the frame they belong to.
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
  // magnetometer window only; `frameBox` the frame number of the frame shown. Any may vanish
  // while the window is open.
  StatusBitWindow(const StatusBitMember& member, QPointer<const QLineEdit> sourceBox,
                  QPointer<const QLineEdit> modeBox, QPointer<const QLineEdit> frameBox = {});

  // Starts the refresh timer and shows the window; an open window is only brought to front.
  void Open();

  // Copies the followed box's text and explains its bits; the timer's tick.
  void Refresh();

  const StatusBitMember& member() const { return kind; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void NameFrame(bool explained);
  void ShowLimits();

  const StatusBitMember& kind;
  QPointer<const QLineEdit> source;
  QPointer<const QLineEdit> modeSource;
  QPointer<const QLineEdit> frameSource;
  QLineEdit* valueField = nullptr;
  std::vector<QLabel*> lines;
  QTimer* timer = nullptr;
};

}  // namespace quilmar
