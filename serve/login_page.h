// The login page: a person pastes the server's token, the page checks it against the API,
// keeps it in the quilmar_token cookie and goes to the page. Served without a token, with the
// few files it needs (its script, the style sheet, the icon): the site's login.html when the
// site has one, else a plain page built in. Its script is a file of its own, as the content
// security policy allows no inline script.
#pragma once

#include <QByteArrayView>
#include <optional>

#include "serve/http_reply.h"
#include "serve/static_site.h"

namespace quilmar {

// The reply for /login and the files it needs (/login.js, /login.css, /style.css,
// /favicon.svg); nothing for any other path, which needs the token.
std::optional<HttpReply> LoginPageReply(QByteArrayView path, const SiteFolders& folders);

}  // namespace quilmar
