// The window's load sequence: busy pointer, progress and event passes around the reader, the
// table model reset before and after; and the report lines of a load.
#include "load_sequence.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QWidget>

#include "archive/satnogs_log.h"
#include "load_progress.h"
#include "ui/model/frame_table_model.h"

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

LoadSequence::LoadSequence(FrameTableModel& model, QWidget& window, LoadProgress& progress,
                           QLabel& loadMessage, QObject* parent)
    : QObject(parent), model(model), window(window), progress(progress), loadMessage(loadMessage) {}

void LoadSequence::SetTiming(LoadTiming newTiming) {
  timing = newTiming;
  progress.SetShowDelay(timing.progressDelay);
}

std::optional<LoadSummary> LoadSequence::Load(const QString& path) {
  if (loading) {
    return std::nullopt;
  }
  loading = true;
  emit loadingChanged(true);
  // A SatNOGS download opens as the log of its frames, in the order they were heard.
  QStringList downloadWarnings;
  std::unique_ptr<ByteSource> source = OpenLogOrDownload(path, downloadWarnings);
  window.setCursor(Qt::WaitCursor);
  // The previous log's report would be read as this one's while it loads.
  loadMessage.setText(QStringLiteral("Loading %1...").arg(QFileInfo(path).fileName()));
  model.Clear(path);
  progress.Start(source->Size());
  LoadSummary summary = ReadKissLog(*source, model.TableToFill(), Hooks());
  // The event pass after the last frame, which the throttle may have left out.
  QCoreApplication::processEvents();
  progress.Finish();
  source.reset();
  window.unsetCursor();
  model.Refilled(summary.missingFrames);
  loading = false;
  emit loadingChanged(false);
  return summary;
}

ReadHooks LoadSequence::Hooks() {
  ReadHooks hooks;
  // An event pass per frame would cost more than the decoding; every few milliseconds
  // keeps the window just as responsive.
  QElapsedTimer sinceLastPass;
  sinceLastPass.start();
  hooks.onProgress = [this, sinceLastPass](std::int64_t bytesRead) mutable {
    if (sinceLastPass.elapsed() >= timing.eventPassInterval.count()) {
      progress.Update(bytesRead);
      QCoreApplication::processEvents();
      sinceLastPass.start();
    }
    return !progress.CancelRequested();
  };
  return hooks;
}

}  // namespace quilmar
