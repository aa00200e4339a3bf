// The window's live session: File > Connect to TNC... and Disconnect, the status-bar line of
// the session, and the window following the frames as they arrive. A session starts a new
// table as opening a log does; the frames then grow it through the same display steps.
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "connect_dialog.h"
#include "export_frames.h"
#include "frame_view.h"
#include "hex_dump.h"
#include "live_session.h"
#include "main_window.h"
#include "missing_frames_model.h"
#include "parameter_graph.h"
#include "path_label.h"
#include "recent_logs.h"

namespace quilmar {
namespace {

std::optional<LiveChoice> ChooseTncInDialog(QWidget* parent) {
  ConnectDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  return dialog.Choice();
}

QString Count(std::int64_t n) { return QLocale().toString(static_cast<qlonglong>(n)); }

}  // namespace

void MainWindow::BuildLiveCommands(QMenu* file) {
  chooseTnc = &ChooseTncInDialog;
  menuFileConnect =
      file->addAction(QStringLiteral("Connect to TNC..."), this, &MainWindow::MenuFileConnectClick);
  menuFileConnect->setObjectName(QStringLiteral("MenuFileConnect"));
  menuFileDisconnect = file->addAction(QStringLiteral("Disconnect"), this, &MainWindow::Disconnect);
  menuFileDisconnect->setObjectName(QStringLiteral("MenuFileDisconnect"));
  menuFileDisconnect->setEnabled(false);
}

void MainWindow::BuildLiveStatus() {
  liveStatus = new QLabel(this);
  liveStatus->setObjectName(QStringLiteral("LiveStatus"));
  // The window has a fixed size: a long recording path must not widen it.
  liveStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  liveStatus->hide();
  statusBar()->addWidget(liveStatus, 4);
}

bool MainWindow::IsLive() const { return session != nullptr && session->IsReceiving(); }

void MainWindow::MenuFileConnectClick() {
  if (loading || IsLive()) {
    return;
  }
  if (const std::optional<LiveChoice> choice = chooseTnc(this)) {
    ConnectToTnc(*choice);
  }
}

void MainWindow::ConnectWhenRunning(const LiveChoice& choice) {
  QTimer::singleShot(0, this, [this, choice] { ConnectToTnc(choice); });
}

bool MainWindow::ConnectToTnc(const LiveChoice& choice) {
  if (loading || IsLive()) {
    return false;
  }
  auto* next = new LiveSession(table, choice.address, this);
  // The recording comes first: without it there is no session, and the table stays.
  if (!next->OpenRecording(choice.recordingPath)) {
    report(QMessageBox::Warning, windowTitle(),
           QStringLiteral("The recording could not be created, so the session was not started."
                          "\n\n%1")
               .arg(next->Error()));
    delete next;
    return false;
  }
  delete session;
  session = next;
  connect(session, &LiveSession::framesArrived, this, &MainWindow::ShowArrivedFrames);
  connect(session, &LiveSession::stateChanged, this, &MainWindow::WriteLiveStatus);
  connect(session, &LiveSession::failed, this, &MainWindow::LiveSessionFailed);
  StartLiveTable(session->RecordingPath());
  session->Start();
  SetLive(true);
  WriteLiveStatus();
  return true;
}

// The steps of opening a log, for a table that starts empty and grows.
void MainWindow::StartLiveTable(const QString& recordingPath) {
  BeginNewTable(QFileInfo(recordingPath).absoluteFilePath());
  loadMessage->clear();
  view->ResetPanel();
  view->ClearFrame();
  ShowMissingFrames({});
  hScroll1->setMaximum(1);
  hScroll1->setValue(1);
  hScroll1->setEnabled(false);
  WritePositionText();
  MarkChartedParameter(0);
  graph->DrawParameterGraph(table, 0);
}

void MainWindow::Disconnect() {
  if (!IsLive()) {
    return;
  }
  if (!session->Stop()) {
    report(QMessageBox::Warning, windowTitle(),
           QStringLiteral("The recording may be incomplete.\n\n%1").arg(session->Error()));
  }
  SetLive(false);
}

void MainWindow::LiveSessionFailed() {
  SetLive(false);
  report(QMessageBox::Warning, windowTitle(),
         QStringLiteral("Reception stopped: the recording could not be written.\n\n%1")
             .arg(session->Error()));
}

void MainWindow::SetLive(bool on) {
  menuFileOpen->setEnabled(!on);
  menuFileConnect->setEnabled(!on);
  menuFileDisconnect->setEnabled(on);
  recent->SetLoading(on);
  exporter->SetLoading(on);
  if (!on && session != nullptr) {
    // The recording is a log like any other: Export and Open Recent take it from here.
    LoadSummary summary;
    summary.framesStored = table.frameCount;
    summary.framesSkipped = session->FramesSkipped();
    summary.framesRejected = session->FramesRejected();
    summary.bytesRead = session->BytesReceived();
    summary.missingFrames = session->Missing();
    exporter->LogLoaded(currentLogPath, summary);
    recent->LogLoaded(currentLogPath, summary);
  }
}

// Once per event-loop pass: records first..last are new. The view follows the newest frame
// only while it stands on the last one; a user looking at an older frame stays there.
void MainWindow::ShowArrivedFrames(int first, int last) {
  if (first > last) {
    return;
  }
  const bool following = hScroll1->value() >= first - 1;
  for (int i = first; i <= last; ++i) {
    rangeControls->AppendFrameNumber(table.Record(i).frameNumber);
  }
  ShowMissingFrames(session->Missing());
  hScroll1->setEnabled(true);
  hScroll1->setMaximum(std::max(1, table.frameCount));
  if (following && hScroll1->value() != last) {
    hScroll1->setValue(last);  // its change steps show the frame and its hex dump
  } else if (following) {
    ScrollBarChanged();
  } else {
    WritePositionText();
  }
  graph->DrawParameterGraphWhenShown(table, chartedParameter);
  emit framesAppended();
}

void MainWindow::WriteLiveStatus() {
  if (session == nullptr) {
    return;
  }
  const QString recordingName = QFileInfo(session->RecordingPath()).fileName();
  liveStatus->setText(QStringLiteral("TNC %1: %2 | %3 frames received, %4 stored | recording %5")
                          .arg(session->Address().Text(), session->State(),
                               Count(session->FramesReceived()), Count(table.frameCount),
                               recordingName));
  liveStatus->setToolTip(session->RecordingPath());
  liveStatus->show();
}

}  // namespace quilmar
