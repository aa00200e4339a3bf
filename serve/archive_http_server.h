// The web server of the archive: GET and HEAD only, the API under /api/ (with the token when
// one is set), the WebSocket /api/live, the login page, and the page's files; every other
// method is answered 405. Runs on Qt HttpServer, bound to the connection guard that keeps
// the bounds Qt HttpServer lacks.
#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <optional>

#include "limits/limit_set.h"
#include "serve/access_token.h"
#include "serve/archive_api.h"
#include "serve/connection_guard.h"
#include "serve/live_push.h"
#include "serve/static_site.h"

namespace quilmar {

class ArchiveReader;

struct ServeSettings {
  ListenAddress listen;
  std::optional<QByteArray> token;  // needed by every /api request when set
  SiteFolders folders;
  GuardLimits guard;
};

class ArchiveHttpServer : public QAbstractHttpServer {
  Q_OBJECT

 public:
  ArchiveHttpServer(const ServeSettings& settings, ArchiveReader& reader, const LimitSet& limits,
                    QObject* parent = nullptr);

  // Listens and starts the live push; false with the reason in error.
  bool Start(QString& error);
  quint16 Port() const;

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  HttpReply Answer(const QHttpServerRequest& request);
  bool Authorized(QByteArrayView authorization, QByteArrayView cookie) const;
  std::optional<HttpReply> CheckUpgrade(const RequestHead& head) const;

  ServeSettings settings;
  ArchiveReader& reader;
  const LimitSet& limits;
  ConnectionGuard* guard;
  LivePush live;
  LatestCache latest;
};

}  // namespace quilmar
