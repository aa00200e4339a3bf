// Host names looked up on a thread; see host_lookup.h.
#include "host_lookup.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <mutex>
#include <string>
#include <thread>

namespace quilmar {

// Shared by the lookup thread and the object: the thread writes one byte to the pipe when the
// answer is in; whichever of the two lets go last closes the pipe.
struct HostLookup::Shared {
  int fds[2] = {-1, -1};
  std::mutex mutex;
  QList<QHostAddress> addresses;
  QString error;

  ~Shared() {
    for (const int fd : fds) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
};

void HostLookup::LookUp(const std::shared_ptr<Shared>& shared, const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  {
    const std::lock_guard lock(shared->mutex);
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
      shared->addresses << QHostAddress(entry->ai_addr);
    }
    if (status != 0) {
      shared->error = status == EAI_NONAME ? QStringLiteral("Host not found")
                                           : QString::fromLocal8Bit(::gai_strerror(status));
    }
  }
  if (found != nullptr) {
    ::freeaddrinfo(found);
  }
  const char byte = 0;
  [[maybe_unused]] const ssize_t ignored = ::write(shared->fds[1], &byte, 1);
}

HostLookup::HostLookup(const QString& host, QObject* parent)
    : QObject(parent), shared(std::make_shared<Shared>()) {
  if (::pipe2(shared->fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    shared->error = QStringLiteral("cannot look the host up");
    QMetaObject::invokeMethod(this, &HostLookup::OnAnswered, Qt::QueuedConnection);
    return;
  }
  notifier = new QSocketNotifier(shared->fds[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &HostLookup::OnAnswered);
  std::thread(LookUp, shared, host.toStdString()).detach();
}

HostLookup::~HostLookup() = default;

void HostLookup::OnAnswered() {
  if (notifier != nullptr) {
    notifier->setEnabled(false);
  }
  QList<QHostAddress> addresses;
  QString error;
  {
    const std::lock_guard lock(shared->mutex);
    addresses = shared->addresses;
    error = shared->error;
  }
  emit Finished(addresses, error);
}

}  // namespace quilmar
