// The window program: quilmar-hk [LOG] [--screenshot FILE].
#include <QApplication>
#include <QCommandLineParser>

#include "core/version.h"
#include "ui/aux/aux_windows.h"
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
  parser.process(app);
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
  if (!logs.isEmpty()) {
    window.OpenLogWhenRunning(logs.constFirst());
  }
  return app.exec();
}
