// A live session's test bench: a TNC serving KISS over TCP on the loopback interface, and a
// main window that waits for the frames it sends.
#pragma once

#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>

#include "core/parameter_catalogue.h"
#include "main_window_fixture.h"
#include "ui/frame/frame_view.h"

namespace quilmar::testing {

inline constexpr int kGraphTab = 3;

// A TNC serving KISS over TCP on a free port of the loopback interface.
class TncServer {
 public:
  TncServer() { EXPECT_TRUE(server.listen(QHostAddress::LocalHost)); }

  LiveChoice Choice(const QString& recordingPath) const {
    LiveChoice choice;
    choice.address.host = QStringLiteral("127.0.0.1");
    choice.address.port = server.serverPort();
    choice.recordingPath = recordingPath;
    return choice;
  }

  bool WaitForClient() {
    if (!QTest::qWaitFor([this] { return server.hasPendingConnections(); }, 5000)) {
      return false;
    }
    client = server.nextPendingConnection();
    return true;
  }

  void Send(const Bytes& bytes, std::size_t from = 0, std::size_t count = SIZE_MAX) {
    count = std::min(count, bytes.size() - from);
    client->write(reinterpret_cast<const char*>(bytes.data() + from), static_cast<qint64>(count));
    client->flush();
  }

  QTcpServer server;
  QTcpSocket* client = nullptr;
};

inline Bytes ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray all = file.readAll();
  return Bytes(all.begin(), all.end());
}

class LiveSessionTest : public MainWindowTest {
 protected:
  // Stored and handed to the window: the table grows as bytes are read, the window hears of
  // it on the next pass of the event loop.
  bool WaitForFrames(int count) {
    return QTest::qWaitFor(
        [&] { return window->frameTable().frameCount == count && ScrollBar()->maximum() == count; },
        10000);
  }

  // What the user sees of the table: position, missing list, shown frame, hex dump.
  QStringList Seen() const {
    QStringList seen{PositionText(), Find<QLabel>("Label9")->text(), HexArea()->toPlainText()};
    const FrameTable& table = window->frameTable();
    for (int i = 1; i <= table.frameCount; ++i) {
      seen << QString::fromStdString(table.Record(i).hexDump);
    }
    for (int row = 0; row < kParameterCount; ++row) {
      seen << window->frameView().ValueBox(row)->text();
    }
    return seen;
  }

  TncServer tnc;
};

inline Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

}  // namespace quilmar::testing
