// Reading an archive location; see archive_location.h.
#include "archive_location.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace quilmar {
namespace {

// A query item that is or may be a password: also a key that only holds the word, as in
// "?a?password=..." where a '?' too many joins the parameter to the one before it.
bool IsPasswordItem(QStringView item) {
  const QStringView key = item.left(item.indexOf(QLatin1Char('=')));
  return QUrl::fromPercentEncoding(key.toUtf8())
      .contains(QLatin1String("password"), Qt::CaseInsensitive);
}

// The URI without its password=... parameters, however the key is spelled.
QString WithoutPasswordItems(const QString& text) {
  const qsizetype queryStart = text.indexOf(QLatin1Char('?'));
  if (queryStart < 0) {
    return text;
  }
  QStringList kept;
  for (const QString& item : text.mid(queryStart + 1).split(QLatin1Char('&'))) {
    if (!IsPasswordItem(item)) {
      kept << item;
    }
  }
  return text.left(queryStart) + (kept.isEmpty() ? QString() : "?" + kept.join(QLatin1Char('&')));
}

// A URI that does not parse, as messages may show it: the user's name stays, and everything
// from the colon after it to the last '@' goes (a password may itself hold '@', '/' or '?',
// so the cut may take more than the password, never less), as do the password parameters.
QString WithoutSecrets(const QString& text) {
  const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
  const qsizetype authority = schemeEnd < 0 ? 0 : schemeEnd + 3;
  QString shown = text;
  const qsizetype at = shown.lastIndexOf(QLatin1Char('@'));
  if (at >= authority) {
    qsizetype userEnd = authority;
    while (userEnd < at && !QStringLiteral(":/?#").contains(shown[userEnd])) {
      ++userEnd;
    }
    shown.remove(userEnd, at - userEnd);
  }
  return WithoutPasswordItems(shown);
}

// Qt's reason without the "; source was ..." that repeats the whole URI, password included.
QString ReasonOnly(const QUrl& url) {
  const QString reason = url.errorString();
  return reason.left(reason.indexOf(QLatin1Char(';'))).trimmed();
}

std::optional<ArchiveLocation> ParsePostgresql(const QString& text, QString& error) {
  const QUrl url(text, QUrl::StrictMode);
  if (!url.isValid()) {
    error = QStringLiteral("archive %1: not a PostgreSQL URI: %2")
                .arg(WithoutSecrets(text), ReasonOnly(url));
    return std::nullopt;
  }
  ArchiveLocation location;
  location.engine = ArchiveEngine::kPostgresql;
  location.host = url.host();
  location.port = url.port(-1);
  location.user = url.userName();
  location.password = url.password();
  location.database = url.path().mid(1);
  QStringList options;
  for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
    if (key == QLatin1String("host")) {
      location.host = value;
    } else if (key == QLatin1String("port")) {
      bool number = false;
      location.port = value.toInt(&number);
      if (!number || location.port < 1 || location.port > 65535) {
        error = QStringLiteral("archive %1: not a port: %2").arg(WithoutSecrets(text), value);
        return std::nullopt;
      }
    } else if (key == QLatin1String("user")) {
      location.user = value;
    } else if (key == QLatin1String("dbname")) {
      location.database = value;
    } else if (key == QLatin1String("password")) {
      location.password = value;
    } else {
      options << key + QLatin1Char('=') + value;
    }
  }
  location.options = options.join(QLatin1Char(';'));
  location.display = WithoutPasswordItems(url.toString(QUrl::RemovePassword));
  return location;
}

}  // namespace

std::optional<ArchiveLocation> ParseArchiveLocation(const QString& text, QString& error) {
  if (text.startsWith(QLatin1String("postgresql://")) ||
      text.startsWith(QLatin1String("postgres://"))) {
    return ParsePostgresql(text, error);
  }
  ArchiveLocation location;
  location.path = text.startsWith(QLatin1String("sqlite:")) ? text.mid(7) : text;
  if (location.path.isEmpty()) {
    error = QStringLiteral("no archive file given");
    return std::nullopt;
  }
  location.display = location.path;
  return location;
}

QString DefaultArchiveText() {
  const QString fromEnvironment = qEnvironmentVariable("QUILMAR_HK_ARCHIVE");
  if (!fromEnvironment.isEmpty()) {
    return fromEnvironment;
  }
  // The window program's data folder, whichever of the programs asks.
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
      .filePath(QStringLiteral("quilmar-hk/archive.sqlite"));
}

}  // namespace quilmar
