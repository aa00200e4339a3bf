// Reading an archive location; see archive_location.h.
#include "archive_location.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace quilmar {
namespace {

std::optional<ArchiveLocation> ParsePostgresql(const QString& text, QString& error) {
  const QUrl url(text, QUrl::StrictMode);
  if (!url.isValid()) {
    error = QStringLiteral("not a PostgreSQL URI: %1").arg(url.errorString());
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
      location.port = value.toInt();
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
  QUrl shown = url;
  shown.setPassword(QString());
  QUrlQuery query(shown);
  query.removeAllQueryItems(QStringLiteral("password"));
  shown.setQuery(query);
  location.display = shown.toString();
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
