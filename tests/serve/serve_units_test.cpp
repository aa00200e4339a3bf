// The server's pieces that decide alone: the token in a request, the listen address, the
// verdict on a request's head as it arrives, a path in the site, a value's text.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "serve/access_token.h"
#include "serve/api_json.h"
#include "serve/connection_guard.h"
#include "serve/static_site.h"

namespace quilmar {
namespace {

constexpr char kToken[] = "s3cret-token-0123456789";

TEST(ServeToken, HeaderOrCookieCarriesIt) {
  struct Case {
    const char* authorization;
    const char* cookie;
    bool carries;
  };
  const Case cases[] = {
      {"Bearer s3cret-token-0123456789", "", true},
      {"bearer   s3cret-token-0123456789  ", "", true},
      {"Bearer s3cret-token-012345678", "", false},    // a prefix of it
      {"Bearer s3cret-token-01234567890", "", false},  // it and more
      {"Bearer S3cret-token-0123456789", "", false},
      {"Basic s3cret-token-0123456789", "", false},
      {"s3cret-token-0123456789", "", false},
      {"Bearer", "", false},
      {"", "", false},
      {"", "quilmar_token=s3cret-token-0123456789", true},
      {"", "theme=dark; quilmar_token=s3cret-token-0123456789; lang=en", true},
      {"", "xquilmar_token=s3cret-token-0123456789", false},
      {"", "quilmar_token=s3cret-token-0123456789x", false},
      {"", "quilmar_token=", false},
      {"Bearer wrong-token-000000000000", "quilmar_token=s3cret-token-0123456789", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.authorization) + " | " + c.cookie);
    EXPECT_EQ(RequestCarriesToken(c.authorization, c.cookie, kToken), c.carries);
  }
}

TEST(ServeToken, TokenFileFirstLine) {
  struct Case {
    QByteArray text;
    std::optional<QByteArray> token;
  };
  const Case cases[] = {
      {"s3cret-token-0123456789\n", "s3cret-token-0123456789"},
      {"  s3cret-token-0123456789 \r\nsecond line\n", "s3cret-token-0123456789"},
      {"short\n", std::nullopt},
      {"", std::nullopt},
      {"s3cret token 0123456789\n", std::nullopt},
      {"s3cret;token=0123456789\n", std::nullopt},
  };
  QTemporaryDir folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    const QString path = folder.filePath(QStringLiteral("token"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(c.text);
    file.close();
    QString error;
    EXPECT_EQ(ReadTokenFile(path, error), c.token) << error.toStdString();
    EXPECT_EQ(error.isEmpty(), c.token.has_value());
  }
}

TEST(ServeListen, AddressAndWhetherItLeavesTheMachine) {
  struct Case {
    const char* text;
    bool valid;
    quint16 port;
    bool loopback;
  };
  const Case cases[] = {
      {"127.0.0.1:8470", true, 8470, true},
      {"localhost:0", true, 0, true},
      {"127.1.2.3:80", true, 80, true},
      {"[::1]:8470", true, 8470, true},
      {"0.0.0.0:8470", true, 8470, false},
      {"192.168.1.20:8470", true, 8470, false},
      {"[::]:8470", true, 8470, false},
      {"::1:8470", false, 0, false},  // an IPv6 address needs its brackets
      {"127.0.0.1", false, 0, false},
      {"127.0.0.1:65536", false, 0, false},
      {"127.0.0.1:-1", false, 0, false},
      {"ground-station:8470", false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    QString error;
    const auto address = ParseListenAddress(QString::fromLatin1(c.text), error);
    ASSERT_EQ(address.has_value(), c.valid) << error.toStdString();
    if (address) {
      EXPECT_EQ(address->port, c.port);
      EXPECT_EQ(IsLoopbackOnly(address->host), c.loopback);
    }
  }
}

TEST(ServeGuard, VerdictOnTheBytesOfARequest) {
  GuardLimits limits;
  limits.headBytes = 100;
  limits.bodyBytes = 10;
  struct Case {
    QByteArray bytes;
    HeadVerdict::Kind kind;
    int status;
  };
  const QByteArray get = "GET / HTTP/1.1\r\nHost: a\r\n";
  const Case cases[] = {
      {"GET / HTTP/1.1\r\nHo", HeadVerdict::kWait, 0},
      {get + "\r\n", HeadVerdict::kPass, 0},
      {"\r\n\r\n" + get + "\r\n", HeadVerdict::kPass, 0},  // empty lines before a request
      {get + "X: " + QByteArray(90, 'a'), HeadVerdict::kRefuse, 431},  // no end in sight
      {get + "X: " + QByteArray(90, 'a') + "\r\n\r\n", HeadVerdict::kRefuse, 431},
      {get + "Content-Length: 10\r\n\r\n", HeadVerdict::kPass, 0},
      {get + "Content-Length: 11\r\n\r\n", HeadVerdict::kRefuse, 413},
      {get + "content-length: 99999999999999999999\r\n\r\n", HeadVerdict::kRefuse, 400},
      {get + "Content-Length: -1\r\n\r\n", HeadVerdict::kRefuse, 400},
      {get + "Transfer-Encoding: chunked\r\n\r\n", HeadVerdict::kRefuse, 411},
      {"GET /\r\n\r\n", HeadVerdict::kRefuse, 400},
      {"GET / HTTP/1.1\r\nno colon here\r\n\r\n", HeadVerdict::kRefuse, 400},
      {get + "Upgrade: WebSocket\r\nConnection: Upgrade\r\n\r\n", HeadVerdict::kUpgrade, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes.toStdString());
    const HeadVerdict verdict = JudgeHead(c.bytes, limits);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_EQ(verdict.status, c.status);
  }
}

TEST(ServeGuard, ClientsThatWantTheConnectionClosed) {
  struct Case {
    QByteArray version;
    QByteArray connection;
    bool close;
  };
  const Case cases[] = {
      {"HTTP/1.1", "", false}, {"HTTP/1.1", "close", true},       {"HTTP/1.1", "Close", true},
      {"HTTP/1.0", "", true},  {"HTTP/1.0", "keep-alive", false}, {"HTTP/1.1", "keep-alive", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.version + " " + c.connection).toStdString());
    RequestHead head{"GET", "/", c.version, {}};
    if (!c.connection.isEmpty()) {
      head.fields.append({"connection", c.connection});
    }
    EXPECT_EQ(head.WantsClose(), c.close);
  }
}

TEST(ServeSite, PathsStayInTheirFolder) {
  const SiteFolders folders{QStringLiteral("/srv/site"), QStringLiteral("/usr/share/javascript")};
  struct Case {
    const char* path;
    std::optional<QString> file;
  };
  const Case cases[] = {
      {"/", QStringLiteral("/srv/site/index.html")},
      {"/app.js", QStringLiteral("/srv/site/app.js")},
      {"/img/a%20b.png", QStringLiteral("/srv/site/img/a b.png")},
      {"/javascript/chart.js/chart.min.js",
       QStringLiteral("/usr/share/javascript/chart.js/chart.min.js")},
      {"/../etc/passwd", std::nullopt},
      {"/img/../../etc/passwd", std::nullopt},
      {"/%2e%2e/etc/passwd", std::nullopt},
      {"/%2E%2E%2Fetc%2Fpasswd", std::nullopt},
      {"/..%2f..%2fetc/passwd", std::nullopt},
      {"/javascript/../../etc/passwd", std::nullopt},
      {"/javascript/%2e%2e/%2e%2e/etc/passwd", std::nullopt},
      {"/..%5c..%5cetc", std::nullopt},
      {"/a%00.html", std::nullopt},
      {"/./index.html", std::nullopt},
      {"//etc/passwd", std::nullopt},
      {"/img/", std::nullopt},
      {"relative", std::nullopt},
      // Decoded once only: %252e is the file named "%2e", inside the site.
      {"/%252e%252e", QStringLiteral("/srv/site/%2e%2e")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ResolveSitePath(c.path, folders), c.file);
  }
}

TEST(ServeSite, MediaTypes) {
  struct Case {
    const char* name;
    const char* type;
  };
  const Case cases[] = {
      {"index.html", "text/html; charset=utf-8"},
      {"app.js", "text/javascript; charset=utf-8"},
      {"Chart.MIN.JS", "text/javascript; charset=utf-8"},
      {"style.css", "text/css; charset=utf-8"},
      {"favicon.svg", "image/svg+xml"},
      {"data.json", "application/json"},
      {"notes", "application/octet-stream"},
      {"archive.sqlite", "application/octet-stream"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MediaTypeOf(QString::fromLatin1(c.name)), QByteArray(c.type));
  }
}

TEST(ServeJson, ValueTexts) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    int row;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {18, 4.03921556472778, "4.039"},  // Battery Volts
      {18, 4.0, "4"},
      {29, -12.5, "-12.5"},  // Temp Battery
      {29, -0.0001, "0"},
      {9, 1234.5678, "1234.568"},  // Solar Side 2 Curr
      {4, 2, "EMERGENCY"},         // Power Level
      {4, 7, "7"},                 // a reading the word table does not list
      {3, 17, "17"},               // Reset Counter
      {85, nan, "NaN"},
      {85, inf, "Infinity"},
      {85, -inf, "-Infinity"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row) + " " + std::to_string(c.value));
    EXPECT_EQ(ValueText(c.row, c.value).toStdString(), c.text);
  }
}

TEST(ServeJson, TimesInUtcWithMilliseconds) {
  struct Case {
    std::int64_t ms;
    const char* text;
  };
  const Case cases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {1772719331250, "2026-03-05T14:02:11.250Z"},
      {1781282467001, "2026-06-12T16:41:07.001Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsoTimeOfMs(c.ms).toStdString(), c.text);
    const auto parsed = ParseQueryTime(QString::fromLatin1(c.text));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->toMSecsSinceEpoch(), c.ms);
  }
  EXPECT_FALSE(ParseQueryTime(QStringLiteral("yesterday")).has_value());
  EXPECT_FALSE(ParseQueryTime(QString()).has_value());
  // An offset is honoured; a time without one is UTC.
  EXPECT_EQ(ParseQueryTime(QStringLiteral("2026-03-05T15:02:11.250+01:00"))->toMSecsSinceEpoch(),
            1772719331250);
  EXPECT_EQ(ParseQueryTime(QStringLiteral("2026-03-05T14:02:11.250"))->toMSecsSinceEpoch(),
            1772719331250);
}

}  // namespace
}  // namespace quilmar
