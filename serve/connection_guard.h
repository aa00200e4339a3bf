// The listening socket of the web server, with the bounds an HTTP server on the open network
// needs and Qt HttpServer does not keep itself: a cap on connections (the one idle longest
// makes room for a new one), a deadline for each request to arrive in full (a client that
// sends a byte now and then is dropped), an idle timeout between requests, and bounds on a
// request's head and body, checked on the bytes as they arrive, before the HTTP server reads
// them. A WebSocket upgrade is checked here too (path and token), since the HTTP server
// would hand the connection over before asking.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QTcpServer>
#include <functional>
#include <optional>

#include "serve/http_reply.h"

namespace quilmar {

// Set by the guard on a socket whose client wants it closed after the reply (HTTP/1.0
// without keep-alive, or "Connection: close").
inline constexpr char kCloseAfterReply[] = "quilmarCloseAfterReply";

struct GuardLimits {
  int maxConnections = 512;
  int headBytes = 16384;  // request line and fields
  qint64 bodyBytes = 65536;
  int requestMilliseconds = 10000;  // from its first byte (or the connection) to its end
  int idleMilliseconds = 30000;     // between requests on a kept-alive connection
};

struct RequestHead {
  QByteArray method;
  QByteArray target;
  QByteArray version;
  QList<QPair<QByteArray, QByteArray>> fields;  // names in lower case, values trimmed
  // The value of the first field of that (lower-case) name; empty when there is none.
  QByteArray Field(QByteArrayView name) const;
  // HTTP/1.0 without keep-alive, or "Connection: close".
  bool WantsClose() const;
};

// What the bytes buffered on a connection allow: wait for more, pass them to the HTTP server,
// let a WebSocket upgrade go ahead, or refuse the request with a status (400, 411, 413, 431).
struct HeadVerdict {
  enum Kind { kWait, kPass, kUpgrade, kRefuse } kind = kWait;
  int status = 0;  // for kRefuse
  RequestHead head;
};
HeadVerdict JudgeHead(QByteArrayView buffered, const GuardLimits& limits);

// Asked before a WebSocket upgrade: nothing to let it through, else the reply refusing it.
using UpgradeCheck = std::function<std::optional<HttpReply>(const RequestHead& head)>;

class SocketWatch;

class ConnectionGuard : public QTcpServer {
  Q_OBJECT

 public:
  ConnectionGuard(const GuardLimits& limits, UpgradeCheck upgradeCheck, QObject* parent = nullptr);

  // Connections open now (WebSockets included).
  int OpenConnections();

 protected:
  void incomingConnection(qintptr descriptor) override;

 private:
  void Inspect(SocketWatch* watch);
  // Drops the connection that waited longest for its next request; false when every one is
  // busy (writing a reply, or a WebSocket).
  bool MakeRoom();
  void Prune();

  GuardLimits limits;
  UpgradeCheck upgradeCheck;
  QList<QPointer<SocketWatch>> watches;
};

// Answers a request the guard refuses, and closes the connection once the answer is out
// (aborting it a moment later should the client not read it). The HTTP server never sees
// the request.
void RefuseConnection(QTcpSocket* socket, const HttpReply& reply);

}  // namespace quilmar
