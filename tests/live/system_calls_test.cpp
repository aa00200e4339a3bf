// What live/ asks of the system, seen from inside: a read of the TNC's socket interrupted by a
// signal (EINTR) is no lost connection, and the recording reaches the disk (fsync) at the end
// and every few seconds while bytes arrive. The link wraps read, fsync and fdatasync for
// live/'s code (-Wl,--wrap, see CMakeLists.txt): they pass through to the system's calls, and a
// test can make the next socket read fail with EINTR or count the syncs of a file.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <functional>

#include "live/kiss_recording.h"
#include "live/tnc_connection.h"

namespace {

std::atomic<bool> interruptNextSocketRead{false};
std::atomic<int> socketReadsInterrupted{0};
std::atomic<ino_t> syncedInode{0};  // the file whose syncs are counted
std::atomic<int> syncs{0};

bool IsInternetSocket(int fd) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  return ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
         (address.ss_family == AF_INET || address.ss_family == AF_INET6);
}

void CountSync(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) == 0 && status.st_ino == syncedInode.load()) {
    ++syncs;
  }
}

}  // namespace

extern "C" {
ssize_t __real_read(int fd, void* buffer, size_t size);
int __real_fsync(int fd);
int __real_fdatasync(int fd);

ssize_t __wrap_read(int fd, void* buffer, size_t size) {
  if (interruptNextSocketRead.load() && IsInternetSocket(fd) &&
      interruptNextSocketRead.exchange(false)) {
    ++socketReadsInterrupted;
    errno = EINTR;
    return -1;
  }
  return __real_read(fd, buffer, size);
}

int __wrap_fsync(int fd) {
  CountSync(fd);
  return __real_fsync(fd);
}

int __wrap_fdatasync(int fd) {
  CountSync(fd);
  return __real_fdatasync(fd);
}
}

namespace quilmar {
namespace {

// Runs the event loop until done() or `ms` passed.
bool RunUntil(const std::function<bool()>& done, int ms = 5000) {
  for (QDeadlineTimer deadline(ms); !deadline.hasExpired();) {
    if (done()) {
      return true;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

// A read of the TNC's socket that a signal interrupted is tried again: the connection stays,
// and every byte arrives.
TEST(SystemCallsTest, InterruptedReadIsNoLostConnection) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
  TncAddress tnc;
  tnc.host = QStringLiteral("127.0.0.1");
  tnc.port = ntohs(address.sin_port);
  TncConnection connection(tnc);
  QByteArray received;
  QStringList lines;
  QObject::connect(&connection, &TncConnection::BytesReceived,
                   [&](const QByteArray& bytes) { received += bytes; });
  QObject::connect(&connection, &TncConnection::StateChanged,
                   [&](const QString& line) { lines << line; });
  connection.Start();
  pollfd ready{listener, POLLIN, 0};
  ASSERT_TRUE(RunUntil([&] { return ::poll(&ready, 1, 0) == 1; }));
  const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(RunUntil([&] { return connection.IsConnected(); }));
  const QByteArray sent(
      "\xC0\x00"
      "first frame\xC0\xC0\x00second frame\xC0",
      29);
  socketReadsInterrupted = 0;
  interruptNextSocketRead = true;
  ASSERT_EQ(::send(peer, sent.constData(), 14, MSG_NOSIGNAL), 14);
  ASSERT_TRUE(RunUntil([&] { return socketReadsInterrupted > 0; }));
  ASSERT_EQ(::send(peer, sent.constData() + 14, sent.size() - 14, MSG_NOSIGNAL), sent.size() - 14);
  RunUntil([&] { return received.size() == sent.size(); }, 2000);
  EXPECT_EQ(received, sent);
  EXPECT_TRUE(connection.IsConnected());
  EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("connection lost")))
      << lines.join(u'\n').toStdString();
  interruptNextSocketRead = false;
  connection.Stop();
  ::close(peer);
  ::close(listener);
}

// The recording is synced at the end of a session, and every few seconds while it goes on, so
// that a power cut loses at most those seconds.
TEST(SystemCallsTest, RecordingReachesTheDisk) {
  struct Case {
    const char* name;
    bool close;  // the session ends; else it goes on past the sync interval
  };
  const Case cases[] = {{"at the end", true}, {"while the session goes on", false}};
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = folder.filePath(QString::fromUtf8(c.name) + QStringLiteral(".kss"));
    KissRecording recording;
    ASSERT_TRUE(recording.Open(path)) << recording.Error().toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &status), 0);
    syncedInode = status.st_ino;
    syncs = 0;
    ASSERT_TRUE(recording.Append(QByteArray("\xC0\x00received bytes\xC0", 17)));
    if (c.close) {
      ASSERT_TRUE(recording.Close()) << recording.Error().toStdString();
    } else {
      RunUntil([] { return syncs > 0; }, 3000);
    }
    EXPECT_GE(syncs.load(), 1);
    syncedInode = 0;
  }
}

}  // namespace
}  // namespace quilmar
