// quilmar-hk-archive: the mission archive of every frame of every pass and station.
#include <QCoreApplication>

#include "archive_command.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("quilmar-hk"));
  return quilmar::RunArchiveCommand(QCoreApplication::arguments().mid(1));
}
