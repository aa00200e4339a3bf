// Runs the window tests inside one QApplication, offscreen unless a display is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "ui/look/look.h"

// Qt, fontconfig and the graphics stack keep caches alive until exit; LeakSanitizer would
// report them as leaks of the program. Given here rather than through the environment so the
// suppressions hold however the tests are started.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n"
         "leak:libfreetype\n"
         "leak:libglib\n"
         "leak:libQt6Gui\n"
         "leak:libQt6Widgets\n"
         "leak:libQt6Charts\n"
         "leak:libQt6Core\n";
}

extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

int main(int argc, char** argv) {
  // ctest lists the tests at build time without the test environment, so default here too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // Settings the windows keep (the recent logs) go to a test folder, never the user's own.
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setFont(quilmar::DialogFont());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
