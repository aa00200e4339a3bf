// The alarm list of a live pass: time, parameter, state, value and bound of every alarm, the
// ones not yet acknowledged in bold and marked "new". The operator acknowledges the selected
// alarms or all of them. A window of its own beside the main window, shown without taking the
// focus when an alarm arrives, so typing elsewhere goes on.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quilmar {

class LimitAlarms;

class AlarmWindow : public QWidget {
  Q_OBJECT
 public:
  AlarmWindow(LimitAlarms& alarms, QWidget* mainWindow);

  // Shows the window without activating it; a window shown already stays where it is.
  void ShowQuietly();
  QTreeWidget* List() const { return list; }

 private:
  void Fill();
  void AcknowledgeSelected();
  void PlaceBelowMainWindow();

  LimitAlarms& alarms;
  QTreeWidget* list = nullptr;
  QLabel* countLabel = nullptr;
  QPushButton* acknowledge = nullptr;
  QPushButton* acknowledgeAll = nullptr;
  bool placed = false;
};

}  // namespace quilmar
