// The listening socket of the web server; see connection_guard.h.
#include "connection_guard.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <limits>

namespace quilmar {

// The state the guard keeps per connection, a child of its socket: it goes with it.
class SocketWatch : public QObject {
 public:
  explicit SocketWatch(QTcpSocket* socket) : QObject(socket), socket(socket) {
    request.setSingleShot(true);
    idle.setSingleShot(true);
    sinceActivity.start();
  }
  void Touch() {
    sinceActivity.restart();
    if (!upgraded) {
      idle.start();
    }
  }

  QTcpSocket* socket;
  QTimer request;  // the request in progress must be in by then
  QTimer idle;     // nothing read or written for so long
  QElapsedTimer sinceActivity;
  bool upgraded = false;  // a WebSocket now: its own pings keep it, no HTTP deadlines
};

namespace {

// A refused connection is aborted this long after its answer, should the client not read.
constexpr int kRefusedLingerMilliseconds = 2000;

QByteArrayView Trimmed(QByteArrayView text) {
  while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t')) {
    text = text.sliced(1);
  }
  while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.chop(1);
  }
  return text;
}

std::optional<RequestHead> ParseHead(QByteArrayView text) {
  const QList<QByteArray> lines = text.toByteArray().split('\n');
  const QList<QByteArray> parts = Trimmed(lines.front()).toByteArray().split(' ');
  if (parts.size() != 3 || parts[0].isEmpty() || parts[1].isEmpty() ||
      !parts[2].startsWith("HTTP/1.")) {
    return std::nullopt;
  }
  RequestHead head{parts[0], parts[1], parts[2], {}};
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArrayView line = Trimmed(lines[i]);
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || line.first(colon).contains(' ')) {
      return std::nullopt;
    }
    head.fields.append(
        {line.first(colon).toByteArray().toLower(), Trimmed(line.sliced(colon + 1)).toByteArray()});
  }
  return head;
}

HeadVerdict Refuse(int status) { return {HeadVerdict::kRefuse, status, {}}; }

}  // namespace

QByteArray RequestHead::Field(QByteArrayView name) const {
  for (const auto& [key, value] : fields) {
    if (key == name) {
      return value;
    }
  }
  return {};
}

bool RequestHead::WantsClose() const {
  const QByteArray connection = Field("connection").toLower();
  return connection.contains("close") ||
         (version == "HTTP/1.0" && !connection.contains("keep-alive"));
}

HeadVerdict JudgeHead(QByteArrayView buffered, const GuardLimits& limits) {
  // Empty lines between requests are allowed before a request line.
  while (buffered.startsWith("\r\n")) {
    buffered = buffered.sliced(2);
  }
  const qsizetype end = buffered.indexOf("\r\n\r\n");
  if (end < 0 || end > limits.headBytes) {
    return buffered.size() > limits.headBytes ? Refuse(431) : HeadVerdict{};
  }
  auto head = ParseHead(buffered.first(end));
  if (!head) {
    return Refuse(400);
  }
  // Only GET and HEAD are answered: a body has no use, and one of unknown length (chunked)
  // cannot be bounded before it is read.
  if (!head->Field("transfer-encoding").isEmpty()) {
    return Refuse(411);
  }
  if (const QByteArray length = head->Field("content-length"); !length.isEmpty()) {
    bool ok = false;
    const qulonglong bytes = length.toULongLong(&ok);
    if (!ok) {
      return Refuse(400);
    }
    if (bytes > static_cast<qulonglong>(limits.bodyBytes)) {
      return Refuse(413);
    }
  }
  const bool upgrade = head->Field("upgrade").toLower().contains("websocket");
  return {upgrade ? HeadVerdict::kUpgrade : HeadVerdict::kPass, 0, std::move(*head)};
}

void RefuseConnection(QTcpSocket* socket, const HttpReply& reply) {
  // The HTTP server's reader goes first, so it never parses what is refused.
  QObject::disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
  socket->readAll();
  socket->write(SerializedReply(reply, false, true));
  socket->disconnectFromHost();
  QTimer::singleShot(kRefusedLingerMilliseconds, socket, &QAbstractSocket::abort);
}

ConnectionGuard::ConnectionGuard(const GuardLimits& limits, UpgradeCheck upgradeCheck,
                                 QObject* parent)
    : QTcpServer(parent), limits(limits), upgradeCheck(std::move(upgradeCheck)) {
  // The connections queued by the system wait for room rather than being refused at once.
  setMaxPendingConnections(limits.maxConnections);
}

void ConnectionGuard::Prune() {
  watches.removeIf([](const auto& watch) { return watch.isNull(); });
}

int ConnectionGuard::OpenConnections() {
  Prune();
  return static_cast<int>(watches.size());
}

bool ConnectionGuard::MakeRoom() {
  SocketWatch* oldest = nullptr;
  for (const auto& watch : watches) {
    if (watch && !watch->upgraded && watch->socket->bytesToWrite() == 0 &&
        (!oldest || watch->sinceActivity.elapsed() > oldest->sinceActivity.elapsed())) {
      oldest = watch;
    }
  }
  if (!oldest) {
    return false;
  }
  oldest->socket->abort();
  oldest->socket->deleteLater();
  watches.removeOne(oldest);
  return true;
}

void ConnectionGuard::incomingConnection(qintptr descriptor) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(descriptor)) {
    delete socket;
    return;
  }
  connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
  Prune();
  if (watches.size() >= limits.maxConnections && !MakeRoom()) {
    HttpReply busy = ErrorReply(503, QStringLiteral("too many connections"));
    busy.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("1")));
    RefuseConnection(socket, busy);
    return;
  }
  // A reply goes out at once: with Nagle's algorithm its last partial segment would wait for
  // the client's delayed acknowledgement of the one before, some 40 ms.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // The socket never buffers more than a request may hold; beyond it the system's buffers
  // fill and the client waits.
  socket->setReadBufferSize(limits.headBytes + limits.bodyBytes + 4096);
  auto* watch = new SocketWatch(socket);
  watches.append(watch);
  watch->request.setInterval(limits.requestMilliseconds);
  watch->idle.setInterval(limits.idleMilliseconds);
  connect(&watch->request, &QTimer::timeout, watch, [watch] {
    RefuseConnection(watch->socket,
                     ErrorReply(408, QStringLiteral("request not complete in time")));
  });
  connect(&watch->idle, &QTimer::timeout, watch, [watch] {
    if (!watch->upgraded) {
      watch->socket->abort();
    }
  });
  // Connected before the HTTP server connects its reader, so this runs first.
  connect(socket, &QIODevice::readyRead, watch, [this, watch] { Inspect(watch); });
  connect(socket, &QIODevice::bytesWritten, watch, [watch] { watch->Touch(); });
  watch->request.start();
  watch->Touch();
  addPendingConnection(socket);
}

void ConnectionGuard::Inspect(SocketWatch* watch) {
  watch->Touch();
  if (watch->upgraded) {
    return;
  }
  QTcpSocket* socket = watch->socket;
  const HeadVerdict verdict = JudgeHead(socket->peek(limits.headBytes + 8), limits);
  switch (verdict.kind) {
    case HeadVerdict::kWait:
      if (!watch->request.isActive()) {
        watch->request.start();
      }
      return;
    case HeadVerdict::kRefuse:
      RefuseConnection(
          socket, ErrorReply(verdict.status, QString::fromLatin1(ReasonPhrase(verdict.status))));
      return;
    case HeadVerdict::kUpgrade:
      if (const auto refusal = upgradeCheck(verdict.head)) {
        RefuseConnection(socket, *refusal);
        return;
      }
      watch->upgraded = true;
      watch->request.stop();
      watch->idle.stop();
      return;
    case HeadVerdict::kPass:
      socket->setProperty(kCloseAfterReply, verdict.head.WantsClose());
      // The request's deadline ends once the HTTP server has read all of it.
      QTimer::singleShot(0, watch, [watch] {
        if (watch->socket->bytesAvailable() == 0) {
          watch->request.stop();
        }
      });
      return;
  }
}

}  // namespace quilmar
