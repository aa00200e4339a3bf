// The WebSocket /api/live; see live_push.h.
#include "live_push.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDriver>
#include <QSqlQuery>

#include "archive/trend_query.h"
#include "serve/api_json.h"
#include "serve/archive_reader.h"

namespace quilmar {
namespace {

// A page sends nothing but pongs; anything larger is refused by the socket.
constexpr qint64 kIncomingBytes = 1024;
// A page that has not answered two pings is gone.
constexpr qint64 kSilentMilliseconds = 2 * LivePush::kPingMilliseconds + 5000;
constexpr char kLastPongProperty[] = "quilmarLastPong";
// The WebSocket close code "try again later", which Qt names no constant for.
constexpr int kTryAgainLater = 1013;

QJsonValue FrameTime(Archive& archive, std::int64_t key) {
  QSqlQuery query(archive.Database());
  query.prepare(QStringLiteral("SELECT time_ms FROM frame WHERE id = ?"));
  query.addBindValue(QVariant::fromValue(static_cast<qint64>(key)));
  if (!query.exec() || !query.next() || query.isNull(0)) {
    return QJsonValue();
  }
  return IsoTimeOfMs(query.value(0).toLongLong());
}

}  // namespace

LivePush::LivePush(ArchiveReader& reader, QObject* parent) : QObject(parent), reader(reader) {
  poll.setInterval(kPollMilliseconds);
  soon.setInterval(kNotifyDelayMilliseconds);
  soon.setSingleShot(true);
  ping.setInterval(kPingMilliseconds);
  connect(&poll, &QTimer::timeout, this, &LivePush::Check);
  connect(&soon, &QTimer::timeout, this, &LivePush::Check);
  connect(&ping, &QTimer::timeout, this, &LivePush::Ping);
}

void LivePush::Start() {
  Check();
  QSqlDriver* driver = reader.Store().Database().driver();
  if (reader.Store().IsPostgresql() && driver->hasFeature(QSqlDriver::EventNotifications) &&
      driver->subscribeToNotification(QLatin1String(kFramesChannel))) {
    // Bursts of notifications (an import's batches) make one look, not one each.
    connect(driver, &QSqlDriver::notification, this, [this] {
      if (!soon.isActive()) {
        soon.start();
      }
    });
  }
  poll.start();
  ping.start();
}

void LivePush::Add(std::unique_ptr<QWebSocket> socket) {
  QWebSocket* client = socket.release();
  client->setParent(this);
  if (clients.size() >= kMostClients) {
    client->close(static_cast<QWebSocketProtocol::CloseCode>(kTryAgainLater),
                  QStringLiteral("too many pages"));
    client->deleteLater();
    return;
  }
  client->setMaxAllowedIncomingFrameSize(kIncomingBytes);
  client->setMaxAllowedIncomingMessageSize(kIncomingBytes);
  client->setProperty(kLastPongProperty, QDateTime::currentMSecsSinceEpoch());
  clients.append(client);
  connect(client, &QWebSocket::pong, client, [client] {
    client->setProperty(kLastPongProperty, QDateTime::currentMSecsSinceEpoch());
  });
  connect(client, &QWebSocket::disconnected, this, [this, client] {
    clients.removeOne(client);
    client->deleteLater();
  });
}

void LivePush::Check() {
  const auto newest = NewestFrameKey(reader.Store());
  if (!newest) {
    reader.ReopenAfterFailure();
    return;  // tried again at the next look
  }
  const std::int64_t previous = lastKey;
  lastKey = *newest;
  if (previous < 0 || *newest <= previous || clients.isEmpty()) {
    return;
  }
  const QJsonObject message{
      {QStringLiteral("type"), QStringLiteral("frame")},
      {QStringLiteral("key"), static_cast<qint64>(*newest)},
      {QStringLiteral("time"), FrameTime(reader.Store(), *newest)},
  };
  const QString text = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
  const QList<QWebSocket*> current = clients;  // a failed send may drop a client
  for (QWebSocket* client : current) {
    client->sendTextMessage(text);
  }
}

void LivePush::Ping() {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const QList<QWebSocket*> current = clients;  // abort drops the client from the list
  for (QWebSocket* client : current) {
    if (now - client->property(kLastPongProperty).toLongLong() > kSilentMilliseconds) {
      client->abort();
    } else {
      client->ping();
    }
  }
}

}  // namespace quilmar
