// The window program: quilmar-hk [LOG] [--screenshot FILE] [--connect ADDRESS [--baud N]]
// [--trends] [--limits FILE].
#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "core/version.h"
#include "live/kiss_recording.h"
#include "live/stop_signals.h"
#include "ui/archive/archive_menu.h"
#include "ui/aux/aux_windows.h"
#include "ui/frame/frame_view.h"
#include "ui/limits/frame_limits.h"
#include "ui/live/connect_dialog.h"
#include "ui/look/look.h"
#include "ui/shell/main_window.h"

namespace {

void SayOnStandardError(const QString& text) {
  std::fprintf(stderr, "quilmar-hk: %s\n", qPrintable(text));
}

// Saves the window as a PNG picture, or says on standard error why it cannot.
bool SaveScreenshot(QWidget& window, const QString& path) {
  const QFileInfo target(path);
  if (!target.absoluteDir().exists()) {
    SayOnStandardError(QStringLiteral("cannot save the screenshot %1: the folder %2 does not exist")
                           .arg(path, QDir::toNativeSeparators(target.absolutePath())));
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !window.grab().save(&file, "PNG")) {
    SayOnStandardError(
        QStringLiteral("cannot save the screenshot %1: %2").arg(path, file.errorString()));
    return false;
  }
  return true;
}

// The screenshot of the window with LOG loaded: status 1 when the log cannot be read or the
// picture cannot be saved, each with its reason on standard error.
int TakeScreenshot(quilmar::MainWindow& window, const QStringList& logs, const QString& path) {
  bool failed = false;
  window.SetMessageReporter([&failed](QMessageBox::Icon, const QString&, const QString& text) {
    SayOnStandardError(text.simplified());
    failed = true;
  });
  if (!logs.isEmpty()) {
    window.OpenLog(QFileInfo(logs.constFirst()).absoluteFilePath());
  }
  QApplication::processEvents();
  return SaveScreenshot(window, path) && !failed ? 0 : 1;
}

// The TNC of --connect and --baud, or nothing when not asked to connect; false after saying
// why the options are wrong.
bool ChooseLive(const QCommandLineParser& parser, const QCommandLineOption& connectTo,
                const QCommandLineOption& baud, std::optional<quilmar::LiveChoice>& live) {
  if (!parser.isSet(connectTo)) {
    if (parser.isSet(baud)) {
      SayOnStandardError(QStringLiteral("--baud needs --connect\n") + parser.helpText());
      return false;
    }
    return true;
  }
  int baudRate = quilmar::kDefaultBaudRate;
  if (parser.isSet(baud)) {
    bool number = false;
    baudRate = parser.value(baud).toInt(&number);
    if (!number || baudRate <= 0 || baudRate > quilmar::kFastestBaudRate) {
      SayOnStandardError(
          QStringLiteral("--baud needs a positive number, not '%1'").arg(parser.value(baud)));
      return false;
    }
  }
  const quilmar::ParsedTncAddress parsed =
      quilmar::ParseTncAddress(parser.value(connectTo), baudRate);
  if (!parsed.address) {
    SayOnStandardError(parsed.error);
    return false;
  }
  // A name an earlier session of the same second already took gets a free one beside it.
  live.emplace();
  live->address = *parsed.address;
  live->recordingPath =
      quilmar::FreeRecordingPath(quilmar::DefaultRecordingPath(QDateTime::currentDateTimeUtc()));
  return true;
}

// Unknown options and missing values are usage errors (status 2), as for the export command;
// QCommandLineParser::process would end the program with status 1.
bool ParseCommandLine(QCommandLineParser& parser, const QCommandLineOption& help) {
  if (!parser.parse(QCoreApplication::arguments())) {
    SayOnStandardError(parser.errorText() + u'\n' + parser.helpText());
    return false;
  }
  if (parser.isSet(help)) {
    parser.showHelp(0);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // A SIGTERM during start-up closes the window as soon as it runs.
  quilmar::StopSignals::CatchEarly();
  QGuiApplication::setDesktopFileName(QString::fromLatin1(quilmar::kDesktopId));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(quilmar::kVersionText));
  QApplication::setFont(quilmar::DialogFont());
  QCommandLineParser parser;
  const QCommandLineOption help = parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("KISS log to open."));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Save the window as PNG FILE and exit."),
                                      QStringLiteral("FILE"));
  parser.addOption(screenshot);
  const QCommandLineOption connectTo(
      QStringLiteral("connect"),
      QStringLiteral("Start receiving from the TNC at ADDRESS (HOST:PORT, [IPv6]:PORT or a serial "
                     "device), recording to a new log named by the start time."),
      QStringLiteral("ADDRESS"));
  parser.addOption(connectTo);
  const QCommandLineOption baud(
      QStringLiteral("baud"),
      QStringLiteral("Serial speed of the TNC named by --connect, %1 by default.")
          .arg(quilmar::kDefaultBaudRate),
      QStringLiteral("N"));
  parser.addOption(baud);
  const QCommandLineOption trends(
      QStringLiteral("trends"),
      QStringLiteral("Open the Trends window on the mission archive (Archive > Trends...)."));
  parser.addOption(trends);
  const QCommandLineOption limitsFile(
      QStringLiteral("limits"),
      QStringLiteral("Judge values by the limits in FILE rather than the user's limits file or "
                     "the default one."),
      QStringLiteral("FILE"));
  parser.addOption(limitsFile);
  if (!ParseCommandLine(parser, help)) {
    return 2;
  }
  const QStringList logs = parser.positionalArguments();
  if (logs.size() > 1) {
    SayOnStandardError(QStringLiteral("only one LOG can be opened at a time\n") +
                       parser.helpText());
    return 2;
  }
  if (!logs.isEmpty() && parser.isSet(connectTo)) {
    SayOnStandardError(QStringLiteral("--connect receives from a TNC: no LOG with it\n") +
                       parser.helpText());
    return 2;
  }
  std::optional<quilmar::LiveChoice> live;
  if (!ChooseLive(parser, connectTo, baud, live)) {
    return 2;
  }
  if (const QString why = live ? quilmar::NotASerialDevice(live->address) : QString();
      !why.isEmpty()) {
    SayOnStandardError(why);
    return 1;
  }
  quilmar::MainWindow window;
  // A refused limits file is said on standard error too (a --screenshot has no one to read
  // the window's message); the window goes on with the default limits.
  std::optional<std::string> givenLimits;
  if (parser.isSet(limitsFile)) {
    givenLimits = QFile::encodeName(parser.value(limitsFile)).toStdString();
  }
  const quilmar::WindowLimitsLoad limits = quilmar::LoadWindowLimits(givenLimits);
  if (!limits.problem.isEmpty()) {
    SayOnStandardError(limits.problem.simplified());
  }
  window.SetLimitsFile(givenLimits);
  window.UseLimits(limits);
  window.SetAlarmSettings(&quilmar::OpenUserSettings);
  // Declared after the main window so the auxiliary windows go first at exit.
  quilmar::AuxWindows aux([&window](int row) { return window.frameView().ValueBox(row); },
                          window.tableModel(), [&window](int i) { window.ShowFrameAt(i); });
  aux.FollowLimits(window.frameLimits());
  QObject::connect(&window, &quilmar::MainWindow::statusBitWindowRequested, &aux,
                   &quilmar::AuxWindows::OpenStatusBitWindow);
  QObject::connect(&window, &quilmar::MainWindow::memoryDumpRequested, &aux,
                   &quilmar::AuxWindows::OpenMemoryDump);
  QObject::connect(&window, &quilmar::MainWindow::infoRequested, &aux,
                   &quilmar::AuxWindows::OpenInfo);
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &aux, &quilmar::AuxWindows::CloseAll);
  auto* archiveMenu = new quilmar::ArchiveMenu(window);
  QObject::connect(&app, &QCoreApplication::aboutToQuit, archiveMenu,
                   &quilmar::ArchiveMenu::CloseAll);
  window.show();
  if (parser.isSet(screenshot)) {
    return TakeScreenshot(window, logs, parser.value(screenshot));
  }
  if (live) {
    // Into the archive too when the Connect dialog was last left so.
    quilmar::RememberedArchiving(*live, &quilmar::OpenUserSettings);
    window.ConnectWhenRunning(*live);
  } else if (!logs.isEmpty()) {
    window.OpenLogWhenRunning(logs.constFirst());
  }
  if (parser.isSet(trends)) {
    QTimer::singleShot(0, archiveMenu, &quilmar::ArchiveMenu::OpenTrends);
  }
  // SIGTERM (a logout, systemd, kill) closes the window as the close box would: the session
  // ends with its recording synced, and one that received nothing leaves no empty file.
  const quilmar::StopSignals stopSignals([] { QCoreApplication::quit(); });
  return app.exec();
}
