// The auxiliary windows as a group: where new ones appear, what happens to them when the main
// window closes by its close box, and File > Exit closing them all.
#include "ui/aux/aux_windows.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

#include "tests/ui/aux/aux_fixture.h"
#include "ui/aux/info_window.h"
#include "ui/aux/memory_dump_window.h"
#include "ui/aux/status_bit_window.h"

namespace quilmar::testing {
namespace {

class AuxWindowsTest : public AuxFixture {
 protected:
  QList<QWidget*> OpenAll() {
    QList<QWidget*> windows;
    for (int row = 69; row <= 74; ++row) {
      aux->OpenStatusBitWindow(row);
      windows << aux->statusBitWindow(row);
    }
    aux->OpenMemoryDump();
    aux->OpenInfo();
    windows << aux->memoryDumpWindow() << aux->infoWindow();
    return windows;
  }
};

TEST_F(AuxWindowsTest, NewWindowsCascadeDownTheRightOfTheMainWindow) {
  mainWindow->setGeometry(10, 20, 300, 200);
  mainWindow->show();
  const QPoint first = mainWindow->frameGeometry().topRight() + QPoint(9, 0);
  const QPoint step(28, 28);
  aux->OpenStatusBitWindow(69);
  aux->OpenStatusBitWindow(70);
  EXPECT_EQ(aux->statusBitWindow(69)->pos(), first);
  EXPECT_EQ(aux->statusBitWindow(70)->pos(), first + step);

  // A closed window's place is the first free one again.
  aux->statusBitWindow(69)->close();
  FlushDeletes();
  aux->OpenStatusBitWindow(74);
  EXPECT_EQ(aux->statusBitWindow(74)->pos(), first);

  // A window too wide for the room right of the main window stays whole on the screen, one
  // place further down.
  aux->OpenMemoryDump();
  const QRect dump = aux->memoryDumpWindow()->frameGeometry();
  EXPECT_EQ(dump.top(), first.y() + 2 * step.y());
  EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(dump));

  // Bringing an open window to the front leaves it where the user put it.
  aux->statusBitWindow(70)->move(500, 300);
  aux->OpenStatusBitWindow(70);
  EXPECT_EQ(aux->statusBitWindow(70)->pos(), QPoint(500, 300));
}

// The main window's close box hides it; the status windows keep following its value boxes,
// and the program runs on until the last window is closed.
TEST_F(AuxWindowsTest, OutliveTheMainWindowsCloseBox) {
  mainWindow->show();
  const QList<QWidget*> windows = OpenAll();
  boxes[69]->setText("10000000");
  aux->statusBitWindow(69)->Refresh();

  int closed = 0;
  QStringList kept;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (closed == 0) {
      mainWindow->close();
      StatusBitWindow* window = aux->statusBitWindow(69);
      window->Refresh();
      kept << Child<QLineEdit>(window, "Text1")->text() << Child(window, "Label2_0")->text();
    } else {
      windows[closed - 1]->close();
    }
    ++closed;
  });
  closer.start(10);
  QTimer::singleShot(5000, [] { QCoreApplication::exit(2); });  // the loop ran away
  const QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
  const int exitCode = QApplication::exec();  // ends when the last window closes

  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(closed, 1 + windows.size());
  EXPECT_EQ(lastClosed.count(), 1);
  EXPECT_EQ(kept, (QStringList{"10000000", "bit 7 [1]: ADCS has plausible TIME information"}));
}

TEST_F(AuxWindowsTest, ExitClosesEveryWindow) {
  const QList<QWidget*> windows = OpenAll();
  const QObject* timer = aux->statusBitWindow(73)->findChild<QObject*>("Timer1");
  QSignalSpy timerGone(timer, &QObject::destroyed);
  aux->CloseAll();
  for (const QWidget* window : windows) {
    EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
  }
  FlushDeletes();
  EXPECT_EQ(timerGone.count(), 1);
  for (int row = 69; row <= 74; ++row) {
    EXPECT_EQ(aux->statusBitWindow(row), nullptr) << row;
  }
  EXPECT_EQ(aux->memoryDumpWindow(), nullptr);
  EXPECT_EQ(aux->infoWindow(), nullptr);
}

}  // namespace
}  // namespace quilmar::testing
