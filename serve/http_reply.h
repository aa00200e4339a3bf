// One HTTP reply as the server writes it: status, type, body and the headers every reply
// carries (no sniffing of types, a content security policy allowing this server alone, a
// cache rule). HEAD gets the same head without the body.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

namespace quilmar {

inline constexpr char kContentSecurityPolicy[] =
    "default-src 'self'; object-src 'none'; base-uri 'none'; frame-ancestors 'none'; "
    "form-action 'self'";

struct HttpReply {
  int status = 200;
  QByteArray contentType;
  QByteArray body;
  QByteArray cacheControl = "no-store";
  QList<QPair<QByteArray, QByteArray>> headers;  // further ones: Allow, Location, ...
};

HttpReply JsonReply(const QJsonObject& object, int status = 200);
// {"error": message}
HttpReply ErrorReply(int status, const QString& message);

// "Not Found" for 404, ...; "Unknown" for a status not listed.
QByteArray ReasonPhrase(int status);

// The reply as it goes on the wire; the body left out for HEAD (its length still given).
// close adds "Connection: close".
QByteArray SerializedReply(const HttpReply& reply, bool headOnly, bool close);

}  // namespace quilmar
