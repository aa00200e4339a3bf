// The page's files as the server hands them out; see static_site.h.
#include "static_site.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <array>
#include <utility>

namespace quilmar {
namespace {

// A page file is far smaller; a larger one is not served whole from memory.
constexpr qint64 kLargestFile = 16 * 1024 * 1024;

constexpr std::array<std::pair<const char*, const char*>, 14> kMediaTypes{{
    {"html", "text/html; charset=utf-8"},
    {"js", "text/javascript; charset=utf-8"},
    {"mjs", "text/javascript; charset=utf-8"},
    {"css", "text/css; charset=utf-8"},
    {"json", "application/json"},
    {"map", "application/json"},
    {"svg", "image/svg+xml"},
    {"png", "image/png"},
    {"ico", "image/x-icon"},
    {"woff2", "font/woff2"},
    {"woff", "font/woff"},
    {"txt", "text/plain; charset=utf-8"},
    {"webmanifest", "application/manifest+json"},
    {"wasm", "application/wasm"},
}};

constexpr char kJavascriptPrefix[] = "/javascript/";

}  // namespace

std::optional<QString> ResolveSitePath(QByteArrayView encodedPath, const SiteFolders& folders) {
  if (!encodedPath.startsWith('/')) {
    return std::nullopt;
  }
  QString root = folders.site;
  QByteArrayView rest = encodedPath.sliced(1);
  if (encodedPath.startsWith(kJavascriptPrefix)) {
    root = folders.javascript;
    rest = encodedPath.sliced(sizeof kJavascriptPrefix - 1);
  } else if (rest.isEmpty()) {
    rest = "index.html";
  }
  QStringList segments;
  for (const QByteArray& encoded : rest.toByteArray().split('/')) {
    const QByteArray decoded = QByteArray::fromPercentEncoding(encoded);
    if (decoded.isEmpty() || decoded == "." || decoded == ".." || decoded.contains('/') ||
        decoded.contains('\\') || decoded.contains('\0')) {
      return std::nullopt;
    }
    segments << QString::fromUtf8(decoded);
  }
  return root + u'/' + segments.join(u'/');
}

QByteArray MediaTypeOf(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  for (const auto& [known, type] : kMediaTypes) {
    if (suffix == QLatin1String(known)) {
      return type;
    }
  }
  return "application/octet-stream";
}

HttpReply SiteFileReply(QByteArrayView encodedPath, const SiteFolders& folders) {
  const auto path = ResolveSitePath(encodedPath, folders);
  QFile file(path.value_or(QString()));
  if (!path || !QFileInfo(*path).isFile() || !file.open(QIODevice::ReadOnly) ||
      file.size() > kLargestFile) {
    HttpReply missing = ErrorReply(404, QStringLiteral("no such page"));
    missing.contentType = "text/plain; charset=utf-8";
    missing.body = "404 no such page\n";
    return missing;
  }
  HttpReply reply;
  reply.contentType = MediaTypeOf(*path);
  reply.body = file.readAll();
  // The system's libraries change with a package update only; the page's own files are asked
  // again each time so a new version shows at once.
  reply.cacheControl =
      encodedPath.startsWith(kJavascriptPrefix) ? "public, max-age=86400" : "no-cache";
  return reply;
}

QString DefaultSiteFolder() {
  const QString program = QCoreApplication::applicationDirPath();
  const QString build = QDir(QStringLiteral(QUILMAR_SERVE_BUILD_DIR)).absolutePath();
  if (program == build || program.startsWith(build + u'/')) {
    return QStringLiteral(QUILMAR_SERVE_SOURCE_SITE);
  }
  return QStringLiteral(QUILMAR_SERVE_INSTALLED_SITE);
}

}  // namespace quilmar
