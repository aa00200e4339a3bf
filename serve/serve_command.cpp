// The archive command's `serve`; see serve_command.h.
#include "serve_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <iostream>

#include "archive/archive_location.h"
#include "limits/limits_file.h"
#include "serve/archive_http_server.h"
#include "serve/archive_reader.h"

namespace quilmar {
namespace {

struct ServeOptions {
  QString archive;
  QString listen = QLatin1String(kDefaultListen);
  QString tokenFile;
  std::optional<QString> limits;
  QString site;
};

int Refuse(const QString& problem) {
  std::cerr << "quilmar-hk-archive: serve: " << problem.toStdString() << '\n';
  return 2;
}

int Fail(const QString& problem) {
  std::cerr << "quilmar-hk-archive: " << problem.toStdString() << '\n';
  return 1;
}

// The options of serve; the reason when they are wrong.
std::optional<QString> ParseServeOptions(const QStringList& arguments, ServeOptions& options) {
  bool seenServe = false;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    QString* target = argument == "--archive"      ? &options.archive
                      : argument == "--listen"     ? &options.listen
                      : argument == "--token-file" ? &options.tokenFile
                      : argument == "--site"       ? &options.site
                                                   : nullptr;
    if (target || argument == "--limits") {
      if (i + 1 >= arguments.size()) {
        return argument + " needs a value";
      }
      if (target) {
        *target = arguments[++i];
      } else {
        options.limits = arguments[++i];
      }
    } else if (argument == "serve" && !seenServe) {
      seenServe = true;
    } else {
      return argument.startsWith("--") ? "unknown option " + argument + " of serve"
                                       : "unexpected argument " + argument;
    }
  }
  return std::nullopt;
}

// True when the first argument that is not --archive and its value is "serve".
bool AsksForServe(const QStringList& arguments) {
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--archive") {
      ++i;
    } else {
      return arguments[i] == "serve";
    }
  }
  return false;
}

}  // namespace

std::optional<int> RunServeIfAsked(const QStringList& arguments) {
  if (!AsksForServe(arguments)) {
    return std::nullopt;
  }
  ServeOptions options;
  if (const auto problem = ParseServeOptions(arguments, options)) {
    std::cerr << "quilmar-hk-archive: " << problem->toStdString() << "\nusage:\n" << kServeUsage;
    return 2;
  }
  QString error;
  ServeSettings settings;
  const auto listen = ParseListenAddress(options.listen, error);
  if (!listen) {
    return Refuse(error);
  }
  settings.listen = *listen;
  if (options.tokenFile.isEmpty() && !IsLoopbackOnly(listen->host)) {
    return Refuse(QStringLiteral("--listen %1 reaches beyond this machine: give --token-file FILE "
                                 "(one line: the token every client must send)")
                      .arg(options.listen));
  }
  if (!options.tokenFile.isEmpty()) {
    settings.token = ReadTokenFile(options.tokenFile, error);
    if (!settings.token) {
      return Refuse(error);
    }
  }
  const LimitsLoad limits =
      LoadLimits(options.limits ? std::optional(QFile::encodeName(*options.limits).toStdString())
                                : std::nullopt);
  if (!limits.limits) {
    return Refuse("limits file refused: " + QString::fromStdString(limits.error.Text()));
  }
  settings.folders.site = options.site.isEmpty() ? DefaultSiteFolder() : options.site;
  if (!QDir(settings.folders.site).exists()) {
    if (!options.site.isEmpty()) {
      return Refuse("--site " + options.site + ": no such folder");
    }
    std::cerr << "quilmar-hk-archive: serve: the page's folder "
              << settings.folders.site.toStdString() << " is missing; the API is served alone\n";
  }
  const auto location = ParseArchiveLocation(
      options.archive.isEmpty() ? DefaultArchiveText() : options.archive, error);
  if (!location) {
    return Refuse(error);
  }
  ArchiveReader reader;
  if (!reader.Open(*location, error)) {
    return Fail(error);
  }
  ArchiveHttpServer server(settings, reader, *limits.limits);
  if (!server.Start(error)) {
    return Fail(error);
  }
  const QString host = listen->host.protocol() == QAbstractSocket::IPv6Protocol
                           ? "[" + listen->host.toString() + "]"
                           : listen->host.toString();
  std::cout << "quilmar-hk-archive: serving " << location->display.toStdString() << " on http://"
            << host.toStdString() << ':' << server.Port() << "/ ("
            << (settings.token ? "token needed" : "no token: this machine only") << ")"
            << std::endl;
  return QCoreApplication::exec();
}

}  // namespace quilmar
