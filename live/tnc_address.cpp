// Parsing of TNC addresses; see tnc_address.h.
#include "tnc_address.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace quilmar {
namespace {

const QString kForms = QStringLiteral("HOST:PORT, [IPv6]:PORT or a serial device path");

bool IsSerialDevice(const QString& text) {
  static const QRegularExpression comPort(QStringLiteral("^COM[0-9]+$"),
                                          QRegularExpression::CaseInsensitiveOption);
  return text.startsWith(u'/') || comPort.match(text).hasMatch();
}

std::optional<quint16> ParsePort(const QString& text) {
  bool ok = false;
  const uint port = text.toUInt(&ok, 10);
  // toUInt accepts a leading '+' and blanks; a port is plain digits.
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  if (!ok || !digits.match(text).hasMatch() || port == 0 || port > 65535) {
    return std::nullopt;
  }
  return static_cast<quint16>(port);
}

ParsedTncAddress Failure(QString error) { return {std::nullopt, std::move(error)}; }

// Host names and IP literals are letters, digits and . - _, IPv6 adds ':' and a zone after
// '%' (fe80::1%eth0). Anything else ('/', brackets, blanks) is a typing error, and a host
// such as "/" would be written back as a serial device path.
bool IsHostText(const QString& host) {
  return std::all_of(host.begin(), host.end(), [](QChar c) {
    return c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_' || c == u':' || c == u'%';
  });
}

ParsedTncAddress ParseTcp(const QString& text) {
  QString host;
  QString portText;
  if (text.startsWith(u'[')) {
    const qsizetype close = text.indexOf(u']');
    if (close < 0 || close + 1 >= text.size() || text[close + 1] != u':') {
      return Failure(QStringLiteral("'%1' is not an address: an IPv6 address is written "
                                    "[ADDRESS]:PORT, as in [::1]:8001")
                         .arg(text));
    }
    host = text.mid(1, close - 1);
    portText = text.mid(close + 2);
  } else {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
      return Failure(QStringLiteral("'%1' is not an address: no port (%2)").arg(text, kForms));
    }
    if (text.indexOf(u':', colon + 1) >= 0) {
      return Failure(QStringLiteral("'%1' is not an address: an IPv6 address needs brackets, "
                                    "as in [::1]:8001")
                         .arg(text));
    }
    host = text.left(colon);
    portText = text.mid(colon + 1);
  }
  if (host.isEmpty()) {
    return Failure(QStringLiteral("'%1' is not an address: no host (%2)").arg(text, kForms));
  }
  if (!IsHostText(host)) {
    return Failure(QStringLiteral("'%1' is not an address: '%2' is not a host name or an IP "
                                  "address")
                       .arg(text, host));
  }
  const std::optional<quint16> port = ParsePort(portText);
  if (!port) {
    return Failure(
        QStringLiteral("'%1' is not an address: the port must be a number from 1 to 65535")
            .arg(text));
  }
  TncAddress address;
  address.host = host;
  address.port = *port;
  return {address, {}};
}

}  // namespace

QString TncAddress::Text() const {
  if (kind == Kind::kSerial) {
    return QStringLiteral("%1 at %2 baud").arg(device, QString::number(baudRate));
  }
  const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
  // One arg() call: a '%1' inside the host must not be taken for a placeholder.
  return QStringLiteral("%1:%2").arg(shown, QString::number(port));
}

ParsedTncAddress ParseTncAddress(const QString& text, int baudRate) {
  if (text.isEmpty()) {
    return Failure(QStringLiteral("no address given (%1)").arg(kForms));
  }
  if (IsSerialDevice(text)) {
    if (baudRate <= 0) {
      return Failure(QStringLiteral("the baud rate must be a positive number"));
    }
    TncAddress address;
    address.kind = TncAddress::Kind::kSerial;
    address.device = text;
    address.baudRate = baudRate;
    return {address, {}};
  }
  return ParseTcp(text);
}

QString NotASerialDevice(const TncAddress& address) {
  if (address.kind != TncAddress::Kind::kSerial || !QFileInfo::exists(address.device)) {
    return {};
  }
  // Opened without waiting for a modem line and without becoming the controlling terminal.
  const int fd = ::open(QFile::encodeName(address.device).constData(),
                        O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return {};  // busy or not permitted now: the attempts say why and go on
  }
  const bool terminal = ::isatty(fd) == 1;
  ::close(fd);
  return terminal ? QString()
                  : QStringLiteral("%1 is not a serial device (a TNC's port or pseudo-terminal)")
                        .arg(address.device);
}

}  // namespace quilmar
