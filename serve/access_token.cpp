// Who may read the archive over HTTP; see access_token.h.
#include "access_token.h"

#include <QFile>
#include <QList>

namespace quilmar {
namespace {

// A token file is a line or two; anything larger is no token file.
constexpr qint64 kTokenFileLimit = 4096;

bool TokenCharacter(char c) {
  return c > 0x20 && c < 0x7f && c != ';' && c != ',' && c != '"' && c != '\\';
}

QByteArrayView Trimmed(QByteArrayView text) {
  qsizetype first = 0;
  qsizetype end = text.size();
  while (first < end && (text[first] == ' ' || text[first] == '\t')) {
    ++first;
  }
  while (end > first && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  return text.sliced(first, end - first);
}

}  // namespace

std::optional<QByteArray> ReadTokenFile(const QString& path, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("token file %1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  const QByteArray text = file.read(kTokenFileLimit);
  const qsizetype lineEnd = text.indexOf('\n');
  QByteArray token = text.left(lineEnd < 0 ? text.size() : lineEnd).trimmed();
  if (token.size() < kMinimumTokenLength) {
    error = QStringLiteral(
                "token file %1: the token on its first line needs at least %2 "
                "characters")
                .arg(path)
                .arg(kMinimumTokenLength);
    return std::nullopt;
  }
  for (const char c : token) {
    if (!TokenCharacter(c)) {
      error = QStringLiteral(
                  "token file %1: the token may hold visible ASCII characters only, "
                  "without ; , \" and \\")
                  .arg(path);
      return std::nullopt;
    }
  }
  return token;
}

bool TokensEqual(QByteArrayView given, QByteArrayView expected) {
  unsigned difference = given.size() == expected.size() ? 0U : 1U;
  for (qsizetype i = 0; i < expected.size(); ++i) {
    const char other = i < given.size() ? given[i] : '\0';
    difference |= static_cast<unsigned char>(other ^ expected[i]);
  }
  return difference == 0;
}

bool RequestCarriesToken(QByteArrayView authorization, QByteArrayView cookie,
                         QByteArrayView token) {
  const QByteArrayView scheme = "bearer ";
  const QByteArrayView header = Trimmed(authorization);
  if (header.size() > scheme.size() &&
      header.first(scheme.size()).compare(scheme, Qt::CaseInsensitive) == 0 &&
      TokensEqual(Trimmed(header.sliced(scheme.size())), token)) {
    return true;
  }
  const QByteArrayView name = kTokenCookie;
  for (const QByteArray& pair : cookie.toByteArray().split(';')) {
    const QByteArrayView item = Trimmed(pair);
    if (item.size() > name.size() && item.startsWith(name) && item[name.size()] == '=' &&
        TokensEqual(item.sliced(name.size() + 1), token)) {
      return true;
    }
  }
  return false;
}

std::optional<ListenAddress> ParseListenAddress(const QString& text, QString& error) {
  const qsizetype colon = text.lastIndexOf(u':');
  bool portOk = false;
  const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&portOk);
  if (colon < 0 || !portOk || port > 65535) {
    error = "--listen " + text + ": not HOST:PORT (127.0.0.1:8470, [::1]:8470, 0.0.0.0:8470)";
    return std::nullopt;
  }
  QString host = text.left(colon);
  const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
  if (bracketed) {
    host = host.mid(1, host.size() - 2);
  }
  ListenAddress address;
  address.port = static_cast<quint16>(port);
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
    address.host = QHostAddress(QHostAddress::LocalHost);
    return address;
  }
  // An IPv6 address needs its brackets, so that its last group is never taken for the port.
  if (!address.host.setAddress(host) ||
      (address.host.protocol() == QAbstractSocket::IPv6Protocol) != bracketed) {
    error = "--listen " + text + ": " + host + " is not an IP address (or localhost)";
    return std::nullopt;
  }
  return address;
}

bool IsLoopbackOnly(const QHostAddress& host) { return host.isLoopback(); }

}  // namespace quilmar
