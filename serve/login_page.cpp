// The login page; see login_page.h.
#include "login_page.h"

#include <QFileInfo>
#include <array>

namespace quilmar {
namespace {

constexpr char kLoginHtml[] = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>QUILMAR-1 archive: log in</title>
<link rel="stylesheet" href="/login.css">
<script src="/login.js" defer></script>
</head>
<body>
<main>
<h1>QUILMAR-1 archive</h1>
<form id="login">
<label for="token">Access token</label>
<input id="token" name="token" type="password" autocomplete="current-password" required autofocus>
<button type="submit">Log in</button>
<p id="message" role="status"></p>
</form>
</main>
</body>
</html>
)";

constexpr char kLoginScript[] =
    R"(// Checks the pasted token against the API, keeps it in a cookie and opens the page.
"use strict";
document.getElementById("login").addEventListener("submit", async (event) => {
  event.preventDefault();
  const token = document.getElementById("token").value.trim();
  const message = document.getElementById("message");
  message.textContent = "Checking...";
  let answer;
  try {
    answer = await fetch("/api/parameters", { headers: { Authorization: "Bearer " + token } });
  } catch (error) {
    message.textContent = "The server does not answer.";
    return;
  }
  if (answer.status === 401) {
    message.textContent = "Wrong token.";
    return;
  }
  const secure = location.protocol === "https:" ? "; Secure" : "";
  document.cookie = "quilmar_token=" + encodeURIComponent(token) +
      "; Path=/; SameSite=Strict; Max-Age=31536000" + secure;
  location.replace("/");
});
)";

constexpr char kLoginStyle[] = R"(body { font-family: sans-serif; margin: 0; background: #f4f5f7; }
main { max-width: 22em; margin: 12vh auto; padding: 1.5em; background: #fff; border-radius: 6px;
       box-shadow: 0 1px 4px rgba(0, 0, 0, 0.15); }
h1 { font-size: 1.2em; margin-top: 0; }
label, input, button { display: block; width: 100%; box-sizing: border-box; }
input { margin: 0.4em 0 1em; padding: 0.4em; font-size: 1em; }
button { padding: 0.5em; font-size: 1em; }
#message { min-height: 1.2em; color: #a00; }
)";

HttpReply Page(const char* type, const char* body) {
  HttpReply reply;
  reply.contentType = type;
  reply.body = body;
  reply.cacheControl = "no-cache";
  return reply;
}

struct PublicFile {
  const char* path;  // as requested
  const char* site;  // the site's file that answers it
  const char* type;  // the built-in one's type, or nullptr when there is none
  const char* builtIn;
};

constexpr std::array<PublicFile, 5> kPublicFiles{{
    {"/login", "/login.html", "text/html; charset=utf-8", kLoginHtml},
    {"/login.js", "/login.js", "text/javascript; charset=utf-8", kLoginScript},
    {"/login.css", "/login.css", "text/css; charset=utf-8", kLoginStyle},
    {"/style.css", "/style.css", nullptr, nullptr},
    {"/favicon.svg", "/favicon.svg", nullptr, nullptr},
}};

}  // namespace

std::optional<HttpReply> LoginPageReply(QByteArrayView path, const SiteFolders& folders) {
  for (const PublicFile& file : kPublicFiles) {
    if (path != file.path) {
      continue;
    }
    // The built-in page comes as a set: the site's page goes with the site's script.
    const bool siteHasPage = QFileInfo(folders.site + QLatin1String("/login.html")).isFile();
    if (siteHasPage || !file.type) {
      return SiteFileReply(file.site, folders);
    }
    return Page(file.type, file.builtIn);
  }
  return std::nullopt;
}

}  // namespace quilmar
