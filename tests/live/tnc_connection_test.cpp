// The TNC connection against TNCs of the test on the loopback: the back-off between attempts,
// and a TNC that sends its bytes and resets the connection at once.
#include "live/tnc_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <functional>

namespace quilmar {
namespace {

TEST(TncConnectionTest, RetryDelayDoublesUpToHalfAMinute) {
  const int expected[] = {1, 2, 4, 8, 16, 30, 30, 30};
  const int failures[] = {1, 2, 3, 4, 5, 6, 7, 1000};
  for (std::size_t i = 0; i < std::size(failures); ++i) {
    SCOPED_TRACE(failures[i]);
    EXPECT_EQ(TncConnection::RetryDelaySeconds(failures[i]), expected[i]);
  }
}

// A listening TCP socket on a free loopback port, closed with the test.
class Listener {
 public:
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(fd, 8) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port = ntohs(address.sin_port);
    }
  }
  ~Listener() { ::close(fd); }

  // The next connection, once the client's connect reached the listener; -1 after 5 s.
  int Accept() {
    pollfd ready{fd, POLLIN, 0};
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
      if (::poll(&ready, 1, 0) == 1) {
        return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return -1;
  }

  quint16 port = 0;

 private:
  int fd = -1;
};

TncAddress Loopback(quint16 port) {
  TncAddress address;
  address.host = QStringLiteral("127.0.0.1");
  address.port = port;
  return address;
}

// Runs the event loop until done() or 5 s passed.
bool RunUntil(const std::function<bool()>& done) {
  for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
    if (done()) {
      return true;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

// The bytes a TNC sent before resetting the connection, however soon, are all handed over,
// and the connection shows as made and lost.
TEST(TncConnectionTest, BytesBeforeAnImmediateResetAreAllReceived) {
  Listener listener;
  ASSERT_NE(listener.port, 0);
  const QByteArray sent = QByteArray("\xC0\x00KISS bytes of a pass\xC0", 23).repeated(40);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TncConnection connection(Loopback(listener.port));
    QByteArray received;
    QStringList lines;
    QObject::connect(&connection, &TncConnection::BytesReceived,
                     [&](const QByteArray& bytes) { received += bytes; });
    QObject::connect(&connection, &TncConnection::StateChanged,
                     [&](const QString& line) { lines << line; });
    connection.Start();
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_EQ(::send(peer, sent.constData(), sent.size(), 0), sent.size());
    const linger reset{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(peer);
    RunUntil([&] { return lines.join(u'\n').contains(QStringLiteral("connection lost")); });
    EXPECT_EQ(received.size(), sent.size());
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("connected to 127.0.0.1:")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("connection lost: "))) << lines[1].toStdString();
  }
}

// Each loss after a connection that was made waits 1 s again, not 2, 4 ...
TEST(TncConnectionTest, BackOffStartsAgainAfterAConnectionWasMade) {
  Listener listener;
  ASSERT_NE(listener.port, 0);
  TncConnection connection(Loopback(listener.port));
  QStringList losses;
  QObject::connect(&connection, &TncConnection::StateChanged, [&](const QString& line) {
    if (line.startsWith(QStringLiteral("connection lost"))) {
      losses << line;
    }
  });
  connection.Start();
  for (int round = 0; round < 2; ++round) {
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ::close(peer);
    ASSERT_TRUE(RunUntil([&] { return losses.size() > round; }));
  }
  for (const QString& line : losses) {
    EXPECT_TRUE(line.endsWith(QStringLiteral("retrying in 1 s"))) << line.toStdString();
  }
}

// A serial TNC that goes away (its USB cable pulled, Direwolf's pseudo-terminal closed) while a
// receiver is still busy with the bytes before: what the port read meanwhile is handed over
// before the loss is reported. The receiver runs the event loop, as the window does while it
// shows a frame.
TEST(TncConnectionTest, BytesBeforeASerialFailureAreAllReceived) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  TncAddress address;
  address.kind = TncAddress::Kind::kSerial;
  address.device = QString::fromLocal8Bit(name);
  TncConnection connection(address);
  const QByteArray first(
      "\xC0\x00"
      "first frame\xC0",
      14);
  const QByteArray last("\xC0\x00last frame before the loss\xC0", 29);
  QByteArray received;
  QStringList lines;
  QObject::connect(&connection, &TncConnection::StateChanged,
                   [&](const QString& line) { lines << line; });
  QObject::connect(&connection, &TncConnection::BytesReceived, [&](const QByteArray& bytes) {
    const bool firstRead = received.isEmpty();
    received += bytes;
    if (!firstRead) {
      return;
    }
    // The last bytes arrive and the port is gone while this receiver is still busy.
    ASSERT_EQ(::write(master, last.constData(), last.size()), last.size());
    for (QDeadlineTimer deadline(300); !deadline.hasExpired();) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ::close(std::exchange(master, -1));
    for (QDeadlineTimer deadline(300); !deadline.hasExpired();) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  });
  connection.Start();
  ASSERT_TRUE(connection.IsConnected()) << lines.join(u'\n').toStdString();
  ASSERT_EQ(::write(master, first.constData(), first.size()), first.size());
  RunUntil([&] { return lines.join(u'\n').contains(QStringLiteral("connection lost")); });
  EXPECT_EQ(received, first + last);
  EXPECT_TRUE(lines.join(u'\n').contains(QStringLiteral("connection lost")))
      << lines.join(u'\n').toStdString();
  connection.Stop();
  if (master >= 0) {
    ::close(master);
  }
}

}  // namespace
}  // namespace quilmar
