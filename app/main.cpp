// The window program: quilmar-hk [LOG] [--screenshot FILE] [--connect ADDRESS].
#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <cstdio>
#include <optional>

#include "core/version.h"
#include "ui/aux/aux_windows.h"
#include "ui/main/connect_dialog.h"
#include "ui/main/frame_view.h"
#include "ui/main/look.h"
#include "ui/main/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QString::fromLatin1(quilmar::kDesktopId));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(quilmar::kVersionText));
  QApplication::setFont(quilmar::DialogFont());
  QCommandLineParser parser;
  parser.addHelpOption();
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
  parser.process(app);
  std::optional<quilmar::LiveChoice> live;
  if (parser.isSet(connectTo)) {
    const quilmar::ParsedTncAddress parsed = quilmar::ParseTncAddress(parser.value(connectTo));
    if (!parsed.address) {
      std::fprintf(stderr, "quilmar-hk: %s\n", qUtf8Printable(parsed.error));
      return 2;
    }
    live = quilmar::LiveChoice{*parsed.address,
                               quilmar::DefaultRecordingPath(QDateTime::currentDateTimeUtc())};
  }
  quilmar::MainWindow window;
  // Declared after the main window so the auxiliary windows go first at exit.
  quilmar::AuxWindows aux([&window](int row) { return window.frameView().ValueBox(row); },
                          window.frameTable(), [&window](int i) { window.ShowFrameAt(i); });
  QObject::connect(&window, &quilmar::MainWindow::statusBitWindowRequested, &aux,
                   &quilmar::AuxWindows::OpenStatusBitWindow);
  QObject::connect(&window, &quilmar::MainWindow::memoryDumpRequested, &aux,
                   &quilmar::AuxWindows::OpenMemoryDump);
  QObject::connect(&window, &quilmar::MainWindow::infoRequested, &aux,
                   &quilmar::AuxWindows::OpenInfo);
  QObject::connect(&window, &quilmar::MainWindow::framesAppended, &aux,
                   &quilmar::AuxWindows::TableGrew);
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &aux, &quilmar::AuxWindows::CloseAll);
  window.show();
  const QStringList logs = parser.positionalArguments();
  if (parser.isSet(screenshot)) {
    if (!logs.isEmpty()) {
      window.OpenLog(logs.constFirst());
    }
    QApplication::processEvents();
    return window.grab().save(parser.value(screenshot), "PNG") ? 0 : 1;
  }
  if (live) {
    window.ConnectWhenRunning(*live);
  } else if (!logs.isEmpty()) {
    window.OpenLogWhenRunning(logs.constFirst());
  }
  return app.exec();
}
