// The TCP stream to a TNC; see tcp_stream.h.
#include "tcp_stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "host_lookup.h"

namespace quilmar {
namespace {

// What one read takes from the kernel; the event loop runs between reads, so a stop request
// or a signal is seen however fast the TNC sends.
constexpr qsizetype kReadSize = 256 * 1024;
// Unacknowledged data or probes for this long declare the peer dead, as the probes above do.
constexpr unsigned kUserTimeoutMs =
    (kKeepAliveIdleSeconds + kKeepAliveIntervalSeconds * kKeepAliveProbes) * 1000;

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

socklen_t ToSockaddr(const QHostAddress& address, quint16 port, sockaddr_storage& storage) {
  std::memset(&storage, 0, sizeof storage);
  if (address.protocol() == QAbstractSocket::IPv4Protocol) {
    auto& in = reinterpret_cast<sockaddr_in&>(storage);
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    in.sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof in;
  }
  auto& in6 = reinterpret_cast<sockaddr_in6&>(storage);
  in6.sin6_family = AF_INET6;
  in6.sin6_port = htons(port);
  const Q_IPV6ADDR bytes = address.toIPv6Address();
  std::memcpy(&in6.sin6_addr, bytes.c, sizeof bytes.c);
  if (!address.scopeId().isEmpty()) {
    bool number = false;
    in6.sin6_scope_id = address.scopeId().toUInt(&number);
    if (!number) {
      in6.sin6_scope_id = ::if_nametoindex(address.scopeId().toLocal8Bit().constData());
    }
  }
  return sizeof in6;
}

// Best effort: a system without one of these options still receives, only without the probes.
void TurnOnKeepAlive(int fd) {
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleSeconds, sizeof(int));
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalSeconds, sizeof(int));
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof(int));
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUserTimeoutMs, sizeof kUserTimeoutMs);
}

}  // namespace

TcpStream::TcpStream(QObject* parent) : QObject(parent) {}

TcpStream::~TcpStream() { Close(); }

void TcpStream::Open(const QString& host, quint16 toPort) {
  Close();
  port = toPort;
  lastError.clear();
  if (QHostAddress literal; literal.setAddress(host)) {
    addresses = {literal};
    ConnectNext();
    return;
  }
  lookup = new HostLookup(host, this);
  connect(lookup, &HostLookup::Finished, this,
          [this](const QList<QHostAddress>& found, const QString& error) {
            DropLookup();
            addresses = found;
            lastError = error;
            ConnectNext();
          });
}

void TcpStream::Close() {
  DropLookup();
  addresses.clear();
  CloseSocket();
}

// The lookup's answer may be the signal that is running: it is deleted later.
void TcpStream::DropLookup() {
  if (lookup != nullptr) {
    lookup->disconnect(this);
    lookup->deleteLater();
    lookup = nullptr;
  }
}

// The notifier may be the one whose signal is running: it is disabled now and deleted later.
void TcpStream::DropNotifier() {
  if (notifier != nullptr) {
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
  }
}

void TcpStream::CloseSocket() {
  DropNotifier();
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

// Tries the next address of the host; a host with none left is a failure with the last reason.
void TcpStream::ConnectNext() {
  CloseSocket();
  if (addresses.isEmpty()) {
    Fail(lastError.isEmpty() ? QStringLiteral("Host not found") : lastError, false);
    return;
  }
  sockaddr_storage storage;
  const socklen_t length = ToSockaddr(addresses.takeFirst(), port, storage);
  fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    lastError = SystemError(errno);
    ConnectNext();
    return;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&storage), length) == 0) {
    OnEstablished();
    return;
  }
  if (errno != EINPROGRESS) {
    lastError = SystemError(errno);
    ConnectNext();
    return;
  }
  notifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
  connect(notifier, &QSocketNotifier::activated, this, &TcpStream::OnConnectFinished);
}

// The socket became writable: the connect finished one way or the other. A connection that
// was made and already reset by the TNC reports ECONNRESET here, yet its bytes are readable.
void TcpStream::OnConnectFinished() {
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
    error = errno;
  }
  if (error == 0 || error == ECONNRESET || error == EPIPE) {
    OnEstablished();
    return;
  }
  lastError = SystemError(error);
  ConnectNext();
}

void TcpStream::OnEstablished() {
  DropNotifier();
  addresses.clear();
  TurnOnKeepAlive(fd);
  notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &TcpStream::OnReadable);
  emit Connected();
}

void TcpStream::OnReadable() {
  buffer.resize(kReadSize);
  const ssize_t got = ::read(fd, buffer.data(), static_cast<std::size_t>(kReadSize));
  if (got > 0) {
    buffer.resize(got);
    emit BytesReceived(buffer);
  } else if (got == 0) {
    Fail(QStringLiteral("The remote host closed the connection"), true);
  } else if (errno != EAGAIN && errno != EINTR) {
    Fail(SystemError(errno), true);
  }
}

void TcpStream::Fail(const QString& reason, bool wasConnected) {
  Close();
  emit Failed(reason, wasConnected);
}

}  // namespace quilmar
