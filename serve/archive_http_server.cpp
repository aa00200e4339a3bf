// The web server of the archive; see archive_http_server.h.
#include "archive_http_server.h"

#include <QHttpServerRequest>
#include <QTcpSocket>
#include <QUrl>

#include "serve/archive_api.h"
#include "serve/archive_reader.h"
#include "serve/login_page.h"

namespace quilmar {
namespace {

QByteArray HeaderOf(const QHttpServerRequest& request, QByteArrayView name) {
  for (const auto& [key, value] : request.headers()) {
    if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0) {
      return value;
    }
  }
  return {};
}

bool IsApiPath(QByteArrayView path) { return path == "/api" || path.startsWith("/api/"); }

// The host (and port) of an Origin or Host value: "https://name:8470" gives "name:8470".
QByteArrayView HostPart(QByteArrayView value) {
  const qsizetype scheme = value.indexOf("://");
  return scheme < 0 ? value : value.sliced(scheme + 3);
}

}  // namespace

ArchiveHttpServer::ArchiveHttpServer(const ServeSettings& settings, ArchiveReader& reader,
                                     const LimitSet& limits, QObject* parent)
    : QAbstractHttpServer(parent),
      settings(settings),
      reader(reader),
      limits(limits),
      guard(new ConnectionGuard(
          settings.guard, [this](const RequestHead& head) { return CheckUpgrade(head); }, this)),
      live(reader) {
  connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] {
    while (hasPendingWebSocketConnections()) {
      live.Add(nextPendingWebSocketConnection());
    }
  });
}

bool ArchiveHttpServer::Start(QString& error) {
  if (!guard->listen(settings.listen.host, settings.listen.port)) {
    error = QStringLiteral("cannot listen on %1 port %2: %3")
                .arg(settings.listen.host.toString())
                .arg(settings.listen.port)
                .arg(guard->errorString());
    return false;
  }
  bind(guard);
  live.Start();
  return true;
}

quint16 ArchiveHttpServer::Port() const { return guard->serverPort(); }

bool ArchiveHttpServer::Authorized(QByteArrayView authorization, QByteArrayView cookie) const {
  return !settings.token || RequestCarriesToken(authorization, cookie, *settings.token);
}

std::optional<HttpReply> ArchiveHttpServer::CheckUpgrade(const RequestHead& head) const {
  const QByteArrayView target = head.target;
  const qsizetype question = target.indexOf('?');
  if ((question < 0 ? target : target.first(question)) != "/api/live") {
    return ErrorReply(404, QStringLiteral("no WebSocket here (it is /api/live)"));
  }
  if (!Authorized(head.Field("authorization"), head.Field("cookie"))) {
    return ErrorReply(401, QStringLiteral("a valid token is needed"));
  }
  // A page of another site may not open the feed with this site's cookie.
  const QByteArray origin = head.Field("origin");
  if (!origin.isEmpty() && HostPart(origin).compare(head.Field("host"), Qt::CaseInsensitive)) {
    return ErrorReply(403, QStringLiteral("a page of another site"));
  }
  return std::nullopt;
}

HttpReply ArchiveHttpServer::Answer(const QHttpServerRequest& request) {
  const auto method = request.method();
  if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Head) {
    HttpReply refused = ErrorReply(405, QStringLiteral("the archive is read-only: GET and HEAD"));
    refused.headers.append(qMakePair(QByteArray("Allow"), QByteArray("GET, HEAD")));
    return refused;
  }
  const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
  const bool authorized =
      Authorized(HeaderOf(request, "authorization"), HeaderOf(request, "cookie"));
  if (IsApiPath(path)) {
    if (!authorized) {
      HttpReply refused = ErrorReply(401, QStringLiteral("a valid token is needed"));
      refused.headers.append(qMakePair(QByteArray("WWW-Authenticate"), QByteArray("Bearer")));
      return refused;
    }
    if (path == "/api/live") {
      return ErrorReply(400, QStringLiteral("/api/live is a WebSocket"));
    }
    return AnswerApi(reader, limits, latest, path, request.query());
  }
  if (auto login = LoginPageReply(path, settings.folders)) {
    return *login;
  }
  if (!authorized) {
    HttpReply redirect;
    redirect.status = 302;
    redirect.headers.append(qMakePair(QByteArray("Location"), QByteArray("/login")));
    return redirect;
  }
  return SiteFileReply(path, settings.folders);
}

bool ArchiveHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  // A WebSocket upgrade the guard let through (its path and token checked) is answered by the
  // HTTP server's WebSocket handshake once this returns; nothing is written here.
  if (HeaderOf(request, "upgrade").toLower().contains("websocket")) {
    return true;
  }
  const bool headOnly = request.method() == QHttpServerRequest::Method::Head;
  const bool close = socket->property(kCloseAfterReply).toBool();
  socket->write(SerializedReply(Answer(request), headOnly, close));
  if (close) {
    socket->disconnectFromHost();
  }
  return true;
}

void ArchiveHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
  socket->write(SerializedReply(ErrorReply(404, QStringLiteral("no such page")),
                                request.method() == QHttpServerRequest::Method::Head, false));
}

}  // namespace quilmar
