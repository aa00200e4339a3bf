// The window's part of loading a KISS log: busy pointer, panel reset and event passes around
// the reader, then the missing-frames list, the scroll bar, the frame view, the chart and the
// hex dump refreshed from the new frames, and a report in the status bar.
#include "load_sequence.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>

#include "export_frames.h"
#include "frame_view.h"
#include "load_progress.h"
#include "main_window.h"
#include "missing_frames_model.h"
#include "parameter_graph.h"
#include "recent_logs.h"

namespace quilmar {
namespace {

QString Count(std::int64_t n, const char* one, const char* many) {
  return QLocale().toString(static_cast<qlonglong>(n)) + QLatin1Char(' ') +
         QLatin1String(n == 1 ? one : many);
}

}  // namespace

QString LoadReport(const LoadSummary& summary, std::int64_t missingCount) {
  QString head = QStringLiteral("Loaded");
  if (summary.cancelled) {
    head = QStringLiteral("Loading cancelled");
  } else if (!summary.error.empty()) {
    head = summary.bytesRead > 0 ? QStringLiteral("Log not read to its end")
                                 : QStringLiteral("Log could not be read");
  }
  QString text = head + QStringLiteral(": ") + Count(summary.framesStored, "frame", "frames") +
                 QStringLiteral(" stored, ") + QLocale().toString(qlonglong{missingCount}) +
                 QStringLiteral(" missing, ") +
                 QLocale().toString(qlonglong{summary.framesSkipped}) +
                 QStringLiteral(" skipped beyond ") + QLocale().toString(kFrameTableCapacity) +
                 QStringLiteral(", ") + QLocale().toString(qlonglong{summary.framesRejected}) +
                 QStringLiteral(" rejected");
  if (summary.endedInsideFrame) {
    text += QStringLiteral("; the last frame had no end and was dropped");
  }
  return text;
}

QString LoadErrorText(const QString& path, const std::string& error) {
  QString reason = QString::fromLocal8Bit(error.data(), static_cast<qsizetype>(error.size()));
  // The reader's text names the file already ("cannot open PATH: reason"); one without it
  // gets the path in front, so the message names the file exactly once.
  if (!reason.contains(path)) {
    reason = path + QStringLiteral(": ") + reason;
  }
  if (!reason.isEmpty()) {
    reason[0] = reason[0].toUpper();
  }
  return QStringLiteral("The log could not be read.\n\n") + reason;
}

void MainWindow::SetLoadTiming(LoadTiming newTiming) {
  timing = newTiming;
  progress->SetShowDelay(timing.progressDelay);
}

void MainWindow::SetLoading(bool on) {
  // A second load inside the first would reset the table under the reader's feet.
  loading = on;
  menuFileOpen->setEnabled(!on);
  menuFileConnect->setEnabled(!on);
  exporter->SetLoading(on);
  recent->SetLoading(on);
  cancelShortcut->setEnabled(on);
}

void MainWindow::LoadKissLog(const QString& path) {
  if (loading) {
    return;
  }
  SetLoading(true);
  std::unique_ptr<ByteSource> source = OpenFileSource(QFile::encodeName(path).toStdString());
  setCursor(Qt::WaitCursor);
  // The previous log's report would be read as this one's while it loads.
  loadMessage->setText(QStringLiteral("Loading %1...").arg(QFileInfo(path).fileName()));
  view->ResetPanel();
  progress->Start(source->Size());
  LoadSummary summary = ReadKissLog(*source, table, LoadHooks());
  // The event pass after the last frame, which the throttle may have left out.
  QCoreApplication::processEvents();
  progress->Finish();
  source.reset();
  FinishLoad(path, std::move(summary));
  SetLoading(false);
}

ReadHooks MainWindow::LoadHooks() {
  ReadHooks hooks;
  hooks.afterStoredFrame = [this](int, const FrameRecord& record) {
    rangeControls->AppendFrameNumber(record.frameNumber);
  };
  // An event pass per frame would cost more than the decoding; every few milliseconds
  // keeps the window just as responsive.
  QElapsedTimer sinceLastPass;
  sinceLastPass.start();
  hooks.onProgress = [this, sinceLastPass](std::int64_t bytesRead) mutable {
    if (sinceLastPass.elapsed() >= timing.eventPassInterval.count()) {
      progress->Update(bytesRead);
      QCoreApplication::processEvents();
      sinceLastPass.start();
    }
    return !progress->CancelRequested();
  };
  return hooks;
}

void MainWindow::FinishLoad(const QString& path, LoadSummary summary) {
  const std::int64_t missingCount = summary.missingFrames.Count();
  const QString reportLine = LoadReport(summary, missingCount);
  exporter->LogLoaded(path, summary);
  recent->LogLoaded(path, summary);
  ShowMissingFrames(std::move(summary.missingFrames));
  hScroll1->setEnabled(true);
  unsetCursor();
  WritePositionText();
  // The bar cannot go below its minimum 1, so an empty log leaves it at 1 of 1. A maximum
  // below the value moves the value, which runs the change steps.
  hScroll1->setMaximum(std::max(1, table.frameCount));
  if (table.IsCurrent(hScroll1->value())) {
    view->ShowFrame(table, hScroll1->value());
  } else {
    view->ClearFrame();
  }
  // The button of row 0 turned on makes row 0 the charted row, as a click on it would.
  MarkChartedParameter(0);
  graph->DrawParameterGraph(table, 0);
  if (table.frameCount > 0) {
    ShowHexDump(table.frameCount, 0, 0);
  }
  loadMessage->setText(reportLine);
  if (!summary.error.empty()) {
    report(QMessageBox::Warning, windowTitle(), LoadErrorText(path, summary.error));
  }
}

void MainWindow::ShowMissingFrames(MissingFrames missing) {
  label9->setText(QString::number(missing.Count()) + QStringLiteral(" frames missing"));
  missingModel->SetMissingFrames(std::move(missing));
}

}  // namespace quilmar
