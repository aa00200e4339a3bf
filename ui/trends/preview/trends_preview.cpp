// trends-preview ARCHIVE [--show ROW,ROW] [--last SECONDS] [--screenshot FILE.png]: opens the
// Trends window on an archive by itself, for trying it out before it has a menu entry, with
// parameters ticked by catalogue row and the window saved as a picture if asked.
#include <QApplication>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <iostream>

#include "archive/archive_location.h"
#include "ui/trends/trends_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() < 2) {
    std::cerr << "Usage: trends-preview ARCHIVE [--show ROW,ROW] [--last SECONDS]"
                 " [--screenshot FILE.png]\n";
    return 2;
  }
  QString error;
  const auto location = quilmar::ParseArchiveLocation(arguments[1], error);
  if (!location) {
    std::cerr << error.toStdString() << '\n';
    return 1;
  }
  quilmar::TrendsWindow window(*location);
  window.show();
  QString screenshot;
  for (int i = 2; i + 1 < arguments.size(); i += 2) {
    if (arguments[i] == "--show") {
      for (const QString& row : arguments[i + 1].split(',')) {
        window.ShowParameter(row.toInt(), true);
      }
    } else if (arguments[i] == "--last") {
      window.ShowLast(arguments[i + 1].toDouble());
    } else if (arguments[i] == "--screenshot") {
      screenshot = arguments[i + 1];
    }
  }
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(500, &window, [&] {
      window.grab().save(screenshot);
      application.quit();
    });
  }
  return application.exec();
}
