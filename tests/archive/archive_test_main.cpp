// The archive tests' main: Qt SQL needs an application object, and the PostgreSQL server the
// tests may have started is stopped when they end.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "test_archives.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  quilmar::testing::StopTestArchives();
  return status;
}
