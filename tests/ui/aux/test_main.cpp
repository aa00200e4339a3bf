// Runs the window tests inside one QApplication, offscreen unless a display is asked for.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/main/look.h"

int main(int argc, char** argv) {
  // ctest lists the tests at build time without the test environment, so default here too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QApplication::setFont(quilmar::DialogFont());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
