// The server tests' main: Qt needs an application object (sockets, WebSockets, Qt SQL), and
// the PostgreSQL server the tests may have started is stopped when they end.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "../archive/test_archives.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  quilmar::testing::StopTestArchives();
  return status;
}
