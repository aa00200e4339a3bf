// The page's files as the server hands them out: the site folder, and /javascript/ from the
// system's shared JavaScript libraries (Debian's libjs-* packages), each with its media type
// and cache rule. A path that would leave its folder is never resolved, however it is
// spelled (../, percent-encoded dots and slashes, backslashes, NUL).
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "serve/http_reply.h"

namespace quilmar {

inline constexpr char kSystemJavascript[] = "/usr/share/javascript";

struct SiteFolders {
  QString site;                                           // the page's own files
  QString javascript = QLatin1String(kSystemJavascript);  // served under /javascript/
};

// The file a request path names (still percent-encoded, as on the request line): "/" is the
// site's index.html, "/javascript/x" the library folder's x, anything else the site's file.
// nullopt when a segment is empty, "." or "..", or holds '/', '\' or NUL once decoded.
std::optional<QString> ResolveSitePath(QByteArrayView encodedPath, const SiteFolders& folders);

// The media type by the name's suffix ("text/html; charset=utf-8", ...);
// application/octet-stream for a suffix not listed.
QByteArray MediaTypeOf(const QString& fileName);

// The reply for a site path: the file with its type and cache rule, or 404.
HttpReply SiteFileReply(QByteArrayView encodedPath, const SiteFolders& folders);

// The site folder of this program: the source tree's when it runs from the build tree, the
// installed one otherwise.
QString DefaultSiteFolder();

}  // namespace quilmar
