// The login page: a person pastes the server's token, the page checks it against the API,
// keeps it in the quilmar_token cookie and goes to the page. Static (built in), served
// without a token; its script is a file of its own, as the content security policy allows
// no inline script.
#pragma once

#include <QByteArrayView>
#include <optional>

#include "serve/http_reply.h"

namespace quilmar {

// The reply for /login, /login.js and /login.css; nothing for any other path.
std::optional<HttpReply> LoginPageReply(QByteArrayView path);

}  // namespace quilmar
