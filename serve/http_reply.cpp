// One HTTP reply as the server writes it; see http_reply.h.
#include "http_reply.h"

#include <QJsonDocument>
#include <array>
#include <utility>

namespace quilmar {
namespace {

constexpr std::array<std::pair<int, const char*>, 16> kReasons{{
    {200, "OK"},
    {204, "No Content"},
    {302, "Found"},
    {304, "Not Modified"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {408, "Request Timeout"},
    {411, "Length Required"},
    {413, "Content Too Large"},
    {414, "URI Too Long"},
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {503, "Service Unavailable"},
    {505, "HTTP Version Not Supported"},
}};

}  // namespace

HttpReply JsonReply(const QJsonObject& object, int status) {
  HttpReply reply;
  reply.status = status;
  reply.contentType = "application/json";
  reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
  return reply;
}

HttpReply ErrorReply(int status, const QString& message) {
  return JsonReply(QJsonObject{{QStringLiteral("error"), message}}, status);
}

QByteArray ReasonPhrase(int status) {
  for (const auto& [code, text] : kReasons) {
    if (code == status) {
      return text;
    }
  }
  return "Unknown";
}

QByteArray SerializedReply(const HttpReply& reply, bool headOnly, bool close) {
  QByteArray out;
  out.reserve(512 + (headOnly ? 0 : reply.body.size()));
  out += "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + ReasonPhrase(reply.status) + "\r\n";
  if (!reply.contentType.isEmpty()) {
    out += "Content-Type: " + reply.contentType + "\r\n";
  }
  out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
  out += "Cache-Control: " + reply.cacheControl + "\r\n";
  out += "X-Content-Type-Options: nosniff\r\n";
  out += QByteArray("Content-Security-Policy: ") + kContentSecurityPolicy + "\r\n";
  out += "Referrer-Policy: no-referrer\r\n";
  for (const auto& [name, value] : reply.headers) {
    out += name + ": " + value + "\r\n";
  }
  if (close) {
    out += "Connection: close\r\n";
  }
  out += "\r\n";
  if (!headOnly) {
    out += reply.body;
  }
  return out;
}

}  // namespace quilmar
