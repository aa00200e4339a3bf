// The live session's window steps; see live_steps.h.
#include "live_steps.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "export_frames.h"
#include "recent_logs.h"
#include "ui/live/connect_dialog.h"
#include "ui/live/live_archiving.h"
#include "ui/live/live_session.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

QString Count(std::int64_t n) { return QLocale().toString(static_cast<qlonglong>(n)); }

// "last frame 4 s ago, 12 frames/min, 5 missing, 0 rejected".
QString PassHealth(const LiveSession& session, std::int64_t missing) {
  const std::optional<std::int64_t> since = session.SinceLastFrame();
  const QString last = since ? QStringLiteral("last frame %1 s ago").arg(*since / 1000)
                             : QStringLiteral("no frame yet");
  return QStringLiteral("%1, %2 frames/min, %3 missing, %4 rejected")
      .arg(last, Count(session.FramesPerMinute()), Count(missing), Count(session.FramesRejected()));
}

}  // namespace

LiveSteps::LiveSteps(FrameTableModel& model, QWidget& window, QMenu* file, QStatusBar* statusBar,
                     RecentLogs& recent, FrameExporter& exporter, Reporter report, Busy busy)
    : QObject(&window),
      model(model),
      window(window),
      recent(recent),
      exporter(exporter),
      report(std::move(report)),
      busy(std::move(busy)),
      archiveStore(&OpenUserSettings) {
  choose = [this](QWidget* parent) -> std::optional<LiveChoice> {
    ConnectDialog dialog(parent, archiveStore);
    if (dialog.exec() != QDialog::Accepted) {
      return std::nullopt;
    }
    return dialog.Choice();
  };
  menuFileConnect =
      file->addAction(QStringLiteral("Connect to TNC..."), this, &LiveSteps::MenuFileConnectClick);
  menuFileConnect->setObjectName(QStringLiteral("MenuFileConnect"));
  menuFileDisconnect = file->addAction(QStringLiteral("Disconnect"), this, &LiveSteps::Disconnect);
  menuFileDisconnect->setObjectName(QStringLiteral("MenuFileDisconnect"));
  menuFileDisconnect->setEnabled(false);

  BuildStatusWidgets(statusBar);
  archiving = new LiveArchiving(this);
  connect(archiving, &LiveArchiving::statusChanged, this, &LiveSteps::WriteArchiveStatus);
  // The age of the last frame and the frames per minute change without a frame arriving.
  statusClock = new QTimer(this);
  statusClock->setInterval(1000);
  connect(statusClock, &QTimer::timeout, this, &LiveSteps::WriteStatus);
  connect(statusClock, &QTimer::timeout, this, &LiveSteps::secondPassed);
}

// The session's line, "Reconnect now" and the archive's line, hidden until a session runs.
void LiveSteps::BuildStatusWidgets(QStatusBar* statusBar) {
  liveStatus = new QLabel(&window);
  liveStatus->setObjectName(QStringLiteral("LiveStatus"));
  // A long line must not make the window wider than its controls: it takes the room the
  // window has, which the user may widen to read all of it.
  liveStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  liveStatus->hide();
  statusBar->addWidget(liveStatus, 4);
  reconnectNow = new QPushButton(QStringLiteral("Reconnect now"), &window);
  reconnectNow->setObjectName(QStringLiteral("ReconnectNow"));
  reconnectNow->hide();
  statusBar->addWidget(reconnectNow);
  connect(reconnectNow, &QPushButton::clicked, this, [this] {
    if (IsLive()) {
      session->RetryNow();
    }
  });
  archiveStatus = new QLabel(&window);
  archiveStatus->setObjectName(QStringLiteral("ArchiveStatus"));
  archiveStatus->hide();
  statusBar->addWidget(archiveStatus);
}

LiveSteps::~LiveSteps() {
  delete session;
  session = nullptr;
  delete archiving;
}

bool LiveSteps::IsLive() const { return session != nullptr && session->IsReceiving(); }

void LiveSteps::MenuFileConnectClick() {
  if (busy() || IsLive()) {
    return;
  }
  if (const std::optional<LiveChoice> choice = choose(&window)) {
    ConnectToTnc(*choice);
  }
}

bool LiveSteps::ConnectToTnc(const LiveChoice& choice) {
  if (busy() || IsLive()) {
    return false;
  }
  auto* next = new LiveSession(model, choice.address, this);
  // The recording comes first: without it there is no session, and the table stays.
  if (!next->OpenRecording(choice.recordingPath)) {
    report(QMessageBox::Warning,
           QStringLiteral("The recording could not be created, so the session was not started."
                          "\n\n%1")
               .arg(next->Error()));
    delete next;
    return false;
  }
  delete session;
  session = next;
  // The session may record beside the chosen name when another window holds it.
  recordingPath = QFileInfo(next->RecordingPath()).absoluteFilePath();
  connect(session, &LiveSession::stateChanged, this, &LiveSteps::WriteStatus);
  connect(session, &LiveSession::failed, this, &LiveSteps::SessionFailed);
  // Export saves the pass's table as it stands, with the counts of the frames so far.
  connect(session, &LiveSession::stateChanged, this,
          [this] { exporter.LogLoaded(recordingPath, PassSummary()); });
  emit sessionStarting(recordingPath);
  StartArchiving(choice);
  // The session keeps the operator's charted parameter; its reset charts it anew.
  session->Start();
  exporter.LogLoaded(recordingPath, PassSummary());
  SetLive(true);
  WriteStatus();
  return true;
}

void LiveSteps::StartArchiving(const LiveChoice& choice) {
  if (!choice.addToArchive) {
    archiving->Forget();
    return;
  }
  QString error;
  const std::optional<ArchiveLocation> location =
      ParseArchiveLocation(ArchiveTextIn(*archiveStore()), error);
  if (!location) {
    archiving->Forget();
    report(QMessageBox::Warning,
           QStringLiteral("The received frames are not added to the archive: %1").arg(error));
    return;
  }
  // As the export command does, a station nobody named is "unknown".
  const QString station = choice.station.isEmpty() ? QStringLiteral("unknown") : choice.station;
  archiving->Start(*location, station, choice.address.Text());
  session->SetFrameTap(
      [this](const FrameBuffer& frame) { archiving->Add(frame, QDateTime::currentDateTimeUtc()); });
}

void LiveSteps::Disconnect() {
  if (!IsLive()) {
    return;
  }
  if (!session->Stop()) {
    report(QMessageBox::Warning,
           QStringLiteral("The recording may be incomplete.\n\n%1").arg(session->Error()));
  }
  SetLive(false);
}

void LiveSteps::SessionFailed() {
  SetLive(false);
  report(QMessageBox::Warning,
         QStringLiteral("Reception stopped: the recording could not be written.\n\n%1")
             .arg(session->Error()));
}

void LiveSteps::TableReset() {
  if (!IsLive()) {
    liveStatus->hide();
    archiveStatus->hide();
  }
}

void LiveSteps::SetLive(bool on) {
  menuFileConnect->setEnabled(!on);
  menuFileDisconnect->setEnabled(on);
  recent.SetLoading(on);
  if (on) {
    statusClock->start();
  } else {
    statusClock->stop();
    reconnectNow->hide();
    archiving->Finish();
    WriteArchiveStatus();
  }
  if (!on && session != nullptr) {
    model.EndPass();
    // The recording is a log like any other: Export and Open Recent take it from here. A
    // session that received nothing leaves no log (its empty recording is removed), so there
    // is nothing to offer again.
    const LoadSummary summary = PassSummary();
    exporter.LogLoaded(recordingPath, summary);
    if (session->BytesReceived() > 0 && QFileInfo::exists(session->RecordingPath())) {
      recent.LogLoaded(recordingPath, summary);
    }
  }
  emit liveChanged(on);
}

LoadSummary LiveSteps::PassSummary() const {
  LoadSummary summary;
  summary.framesStored = model.RowCount();
  summary.framesSkipped = session->FramesSkipped();
  summary.framesRejected = session->FramesRejected();
  summary.bytesRead = session->BytesReceived();
  summary.missingFrames = model.Missing();
  return summary;
}

// The session's line: the TNC's state, the pass's health and the recording.
void LiveSteps::WriteStatus() {
  if (session == nullptr) {
    return;
  }
  const auto line = [this](const QString& recording) {
    return QStringLiteral("TNC %1: %2 | %3 frames received, %4 stored | %5 | recording %6")
        .arg(session->Address().Text(), session->State(), Count(session->FramesReceived()),
             Count(model.RowCount()), PassHealth(*session, model.Missing().Count()), recording);
  };
  liveStatus->setText(line(QFileInfo(session->RecordingPath()).fileName()));
  // A window narrower than the line cuts it: the tooltip holds all of it, the recording with
  // its folder.
  liveStatus->setToolTip(line(QDir::toNativeSeparators(session->RecordingPath())));
  liveStatus->show();
  reconnectNow->setVisible(session->IsWaitingToRetry());
  WriteArchiveStatus();
}

// The archive's line, while the session's line shows: an ended feed's news comes later and
// must not bring back the lines of a table another log has replaced.
void LiveSteps::WriteArchiveStatus() {
  const QString text = archiving->StatusText();
  archiveStatus->setText(text);
  archiveStatus->setToolTip(text);
  // As wide as its text, up to two fifths of the window; the session's line takes the rest.
  const int margin = archiveStatus->fontMetrics().averageCharWidth() * 2;
  archiveStatus->setFixedWidth(std::min(
      archiveStatus->fontMetrics().horizontalAdvance(text) + margin, window.width() * 2 / 5));
  archiveStatus->setVisible(!text.isEmpty() && !liveStatus->isHidden());
}

}  // namespace quilmar
