// The live session's window steps: File > Connect to TNC... and Disconnect, the status-bar
// line with the pass's health and "Reconnect now", the archive's line when the frames go into
// the archive too, and what a session leaves behind (Export and Open Recent of its recording).
// The session itself feeds the table model; the views follow the model as they do for a log.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <functional>
#include <optional>

#include "core/kiss_reader.h"
#include "ui/live/connect_dialog.h"
#include "ui/live/user_settings.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;
class QWidget;

namespace quilmar {

class FrameExporter;
class FrameTableModel;
class LiveArchiving;
class LiveSession;
class RecentLogs;

class LiveSteps : public QObject {
  Q_OBJECT
 public:
  // Stands for the Connect dialog: the TNC and the recording, or nothing when cancelled.
  using Chooser = std::function<std::optional<LiveChoice>(QWidget* parent)>;
  using Reporter = std::function<void(QMessageBox::Icon icon, const QString& text)>;
  // True while the window cannot start a session (a log is loading).
  using Busy = std::function<bool()>;

  // Adds Connect and Disconnect to file, the session's line and button to statusBar.
  LiveSteps(FrameTableModel& model, QWidget& window, QMenu* file, QStatusBar* statusBar,
            RecentLogs& recent, FrameExporter& exporter, Reporter report, Busy busy);
  // The session goes first: its frames must not reach an archive feed that is gone.
  ~LiveSteps() override;

  void SetChooser(Chooser chooser) { choose = std::move(chooser); }
  // Where the window's archive and station are kept (the Archive menu's store).
  void SetArchiveStore(SettingsOpener opener) { archiveStore = std::move(opener); }
  // Opens the recording and starts a new table fed from the TNC; false when a load or a
  // session is running or the recording cannot be created (reported).
  bool ConnectToTnc(const LiveChoice& choice);
  // Ends the session and keeps the table.
  void Disconnect();
  bool IsLive() const;
  // The last session, kept after Disconnect for its counts; nullptr before the first.
  LiveSession* Session() const { return session; }
  QAction* ConnectAction() const { return menuFileConnect; }
  // Hides the session's lines unless a session runs (another log took the window).
  void TableReset();

 signals:
  // A session is about to start its table from the recording at path.
  void sessionStarting(const QString& path);
  // A session started (true) or ended (false).
  void liveChanged(bool on);
  // Once a second while a session runs: ages shown in the window grow.
  void secondPassed();

 private:
  void BuildStatusWidgets(QStatusBar* statusBar);
  void MenuFileConnectClick();
  void SessionFailed();
  void SetLive(bool on);
  void WriteStatus();
  void WriteArchiveStatus();
  // Feeds the session's frames to the window's archive; a location that cannot be read is
  // reported and the session goes on without it.
  void StartArchiving(const LiveChoice& choice);
  // The counts of the pass so far, as a load of its recording would give them.
  LoadSummary PassSummary() const;

  FrameTableModel& model;
  QWidget& window;
  RecentLogs& recent;
  FrameExporter& exporter;
  Reporter report;
  Busy busy;
  Chooser choose;
  SettingsOpener archiveStore;
  QAction* menuFileConnect = nullptr;
  QAction* menuFileDisconnect = nullptr;
  QLabel* liveStatus = nullptr;
  QPushButton* reconnectNow = nullptr;
  QLabel* archiveStatus = nullptr;
  QTimer* statusClock = nullptr;
  LiveSession* session = nullptr;
  LiveArchiving* archiving = nullptr;
  QString recordingPath;
};

}  // namespace quilmar
