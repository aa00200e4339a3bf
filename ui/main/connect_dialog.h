// File > Connect to TNC...: where the TNC is (KISS over TCP, or a serial port at a baud rate)
// and where the session's recording goes. The last choices are kept in the platform's
// settings store, never in the two-line window-position file of the current directory.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>

#include "live/tnc_address.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace quilmar {

// What a live session needs: the TNC and the recording's full path.
struct LiveChoice {
  TncAddress address;
  QString recordingPath;
};

// "QUILMAR-1 2026-12-07 214500Z.kss": a new name for every session, sorted by start time.
QString RecordingFileName(const QDateTime& start);
// The remembered recording folder (the user's documents folder at first), with a new name.
QString DefaultRecordingPath(const QDateTime& start);

class ConnectDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ConnectDialog(QWidget* parent = nullptr);
  ~ConnectDialog() override;

  // The choice once the dialog was accepted.
  const LiveChoice& Choice() const { return choice; }

  void accept() override;

 private:
  void Build();
  void LoadLastChoices();
  void SaveChoices() const;
  void ChooseFolder();
  void ShowKind();
  // The choice read from the controls; false with the reason shown in the dialog.
  bool ReadChoice();
  // The host and port fields into address; false with the problem said.
  bool ReadHostAndPort(TncAddress& address);

  QRadioButton* tcpChoice = nullptr;
  QRadioButton* serialChoice = nullptr;
  QLineEdit* hostEdit = nullptr;
  QLineEdit* portEdit = nullptr;
  QComboBox* serialPortBox = nullptr;
  QComboBox* baudRateBox = nullptr;
  QLineEdit* folderEdit = nullptr;
  QLineEdit* fileNameEdit = nullptr;
  QLabel* problem = nullptr;
  LiveChoice choice;
};

}  // namespace quilmar
