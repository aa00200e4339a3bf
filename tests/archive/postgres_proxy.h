// A TCP port on the loopback in front of the test PostgreSQL server's Unix socket, for what a
// Unix socket cannot show: a connection's TCP options, and a connection lost at the worst
// moment. Armed with LoseCommitAnswer(n), the n-th COMMIT a client sends reaches the server,
// and once the server has answered, both sides are cut without the answer: the transaction
// is committed and the client does not know it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace quilmar::testing {

class PostgresProxy {
 public:
  // socketFolder: where the server's .s.PGSQL.5432 is.
  explicit PostgresProxy(const QString& socketFolder)
      : serverPath(socketFolder.toLocal8Bit() + "/.s.PGSQL.5432") {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::listen(listener, 16) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port = ntohs(address.sin_port);
    }
    if (::pipe2(wake, O_CLOEXEC) == 0) {
      thread = std::thread([this] { Run(); });
    }
  }
  ~PostgresProxy() {
    if (thread.joinable()) {
      [[maybe_unused]] const ssize_t ignored = ::write(wake[1], "x", 1);
      thread.join();
    }
    for (const Pair& pair : pairs) {
      ::close(pair.client);
      ::close(pair.server);
    }
    ::close(listener);
    ::close(wake[0]);
    ::close(wake[1]);
  }
  PostgresProxy(const PostgresProxy&) = delete;
  PostgresProxy& operator=(const PostgresProxy&) = delete;

  // 0 when no port could be had.
  quint16 Port() const { return port; }
  // Counting from now, the n-th COMMIT loses its answer.
  void LoseCommitAnswer(int n) {
    const std::lock_guard lock(mutex);
    commitsToLose = n;
  }
  // How many COMMIT answers were lost so far.
  int CommitAnswersLost() const { return answersLost.load(); }

 private:
  struct Pair {
    int client = -1;
    int server = -1;
    QByteArray fromClient;     // bytes of a message not complete yet
    bool started = false;      // the startup message went through
    bool cutOnAnswer = false;  // a COMMIT to lose the answer of went to the server
  };

  void Run() {
    for (;;) {
      std::vector<pollfd> watched{{wake[0], POLLIN, 0}, {listener, POLLIN, 0}};
      for (const Pair& pair : pairs) {
        watched.push_back({pair.client, POLLIN, 0});
        watched.push_back({pair.server, POLLIN, 0});
      }
      if (::poll(watched.data(), watched.size(), -1) < 0) {
        continue;
      }
      if (watched[0].revents != 0) {
        return;
      }
      for (std::size_t i = 0; 2 + 2 * i < watched.size(); ++i) {
        const bool client = watched[2 + 2 * i].revents != 0;
        const bool server = watched[3 + 2 * i].revents != 0;
        if ((client && !FromClient(pairs[i])) || (server && !FromServer(pairs[i]))) {
          ::close(pairs[i].client);
          ::close(pairs[i].server);
          pairs[i].client = pairs[i].server = -1;
        }
      }
      std::erase_if(pairs, [](const Pair& pair) { return pair.client < 0; });
      if (watched[1].revents != 0) {
        Accept();
      }
    }
  }

  void Accept() {
    Pair pair;
    pair.client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    pair.server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, serverPath.constData(), sizeof address.sun_path - 1);
    if (pair.client < 0 ||
        ::connect(pair.server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(pair.client);
      ::close(pair.server);
      return;
    }
    pairs.push_back(pair);
  }

  // Passes the client's bytes on, whole messages at a time, watching for COMMIT.
  bool FromClient(Pair& pair) {
    char buffer[65536];
    const ssize_t got = ::read(pair.client, buffer, sizeof buffer);
    if (got <= 0) {
      return false;
    }
    pair.fromClient.append(buffer, got);
    for (;;) {
      // Before the startup message (an SSL request may come first) a message has no type byte.
      const int head = pair.started ? 1 : 0;
      if (pair.fromClient.size() < head + 4) {
        return true;
      }
      const std::uint32_t length = BigEndian(pair.fromClient.constData() + head);
      const qsizetype total = head + static_cast<qsizetype>(length);
      if (pair.fromClient.size() < total) {
        return true;
      }
      const QByteArray message = pair.fromClient.left(total);
      pair.fromClient.remove(0, total);
      if (!pair.started) {
        pair.started = BigEndian(message.constData() + 4) == kProtocolVersion3;
      } else if (message[0] == 'Q' && message.mid(5).trimmed().toUpper().startsWith("COMMIT")) {
        const std::lock_guard lock(mutex);
        pair.cutOnAnswer = pair.cutOnAnswer || --commitsToLose == 0;
      }
      if (!WriteAll(pair.server, message)) {
        return false;
      }
    }
  }

  // The server's bytes go to the client, unless they answer the COMMIT to lose.
  bool FromServer(Pair& pair) {
    char buffer[65536];
    const ssize_t got = ::read(pair.server, buffer, sizeof buffer);
    if (got <= 0) {
      return false;
    }
    if (pair.cutOnAnswer) {
      ++answersLost;
      return false;
    }
    return WriteAll(pair.client, QByteArray(buffer, got));
  }

  static bool WriteAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
      const ssize_t sent = ::send(fd, bytes.constData() + done,
                                  static_cast<std::size_t>(bytes.size() - done), MSG_NOSIGNAL);
      if (sent <= 0) {
        return false;
      }
      done += sent;
    }
    return true;
  }

  static std::uint32_t BigEndian(const char* bytes) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return ntohl(value);
  }

  static constexpr std::uint32_t kProtocolVersion3 = 196608;

  const QByteArray serverPath;
  int listener = -1;
  int wake[2] = {-1, -1};
  quint16 port = 0;
  std::vector<Pair> pairs;  // the proxy thread's own
  std::mutex mutex;
  int commitsToLose = 0;
  std::atomic<int> answersLost{0};
  std::thread thread;
};

}  // namespace quilmar::testing
