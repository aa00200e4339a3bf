// Who may read the archive over HTTP. On the loopback interface everyone on the machine may;
// beyond it the server needs a token file, and every API request must carry the token, as
// "Authorization: Bearer TOKEN" (scripts) or the cookie quilmar_token=TOKEN (the page, set by
// the login page). Tokens are compared in constant time.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QString>
#include <optional>

namespace quilmar {

inline constexpr char kTokenCookie[] = "quilmar_token";
// A shorter token is refused: a guessable one would protect nothing.
inline constexpr int kMinimumTokenLength = 16;

// The token: the file's first line without surrounding blanks. nullopt with the reason in
// error when the file cannot be read, or the token is too short or holds characters a header
// or a cookie cannot carry (anything but visible ASCII other than ';', ',' and '"').
std::optional<QByteArray> ReadTokenFile(const QString& path, QString& error);

// True when the two are equal, in a time that depends only on the expected token's length.
bool TokensEqual(QByteArrayView given, QByteArrayView expected);

// True when the request's Authorization header (Bearer scheme, any case) or its Cookie header
// (the quilmar_token cookie) carries the token.
bool RequestCarriesToken(QByteArrayView authorization, QByteArrayView cookie, QByteArrayView token);

// Where the server listens: "HOST:PORT" with HOST an IPv4 address, "[IPv6]" or "localhost",
// PORT 0..65535. nullopt with the reason in error otherwise.
struct ListenAddress {
  QHostAddress host;
  quint16 port = 0;
};
std::optional<ListenAddress> ParseListenAddress(const QString& text, QString& error);

// True when only this machine can reach the address (127.0.0.0/8, ::1).
bool IsLoopbackOnly(const QHostAddress& host);

}  // namespace quilmar
