// File > Connect to TNC...: where the TNC is (KISS over TCP, or a serial port at a baud rate),
// where the session's recording goes, and whether the frames go into the window's archive too,
// received by which station. The last choices are kept in the platform's settings store, never
// in the two-line window-position file of the current directory.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>

#include "live/tnc_address.h"
#include "user_settings.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace quilmar {

// What a live session needs: the TNC and the recording's full path; and whether each frame
// is added to the window's archive as it arrives, received by station.
struct LiveChoice {
  TncAddress address;
  QString recordingPath;
  bool addToArchive = false;
  QString station;
};

// "QUILMAR-1 2026-12-07 214500Z.kss": a new name for every session, sorted by start time.
QString RecordingFileName(const QDateTime& start);
// The remembered recording folder (the user's documents folder at first), with a new name.
QString DefaultRecordingPath(const QDateTime& start);
// Sets choice's archiving as the dialog was last left, from archiveStore.
void RememberedArchiving(LiveChoice& choice, const SettingsOpener& archiveStore);

class ConnectDialog : public QDialog {
  Q_OBJECT
 public:
  // archiveStore holds the window's archive and station, shared with the Archive menu.
  explicit ConnectDialog(QWidget* parent = nullptr,
                         SettingsOpener archiveStore = &OpenUserSettings);
  ~ConnectDialog() override;

  // The choice once the dialog was accepted.
  const LiveChoice& Choice() const { return choice; }

  void accept() override;

 private:
  void Build();
  // The archive's rows of the form: the check box, the archive's name and the station.
  void BuildArchiveRows(QFormLayout* form);
  void LoadLastChoices();
  void SaveChoices() const;
  void ChooseFolder();
  void ShowKind();
  // The choice read from the controls; false with the reason shown in the dialog.
  bool ReadChoice();
  // The host and port fields into address; false with the problem said.
  bool ReadHostAndPort(TncAddress& address);
  // The archive check box and station into choice; false with the problem said.
  bool ReadArchiving();

  QRadioButton* tcpChoice = nullptr;
  QRadioButton* serialChoice = nullptr;
  QLineEdit* hostEdit = nullptr;
  QLineEdit* portEdit = nullptr;
  QComboBox* serialPortBox = nullptr;
  QComboBox* baudRateBox = nullptr;
  QLineEdit* folderEdit = nullptr;
  QLineEdit* fileNameEdit = nullptr;
  QCheckBox* addToArchive = nullptr;
  QLabel* archiveName = nullptr;
  QLineEdit* stationEdit = nullptr;
  QLabel* problem = nullptr;
  SettingsOpener archiveStore;
  LiveChoice choice;
};

}  // namespace quilmar
