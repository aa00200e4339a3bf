// Fresh archives for tests; see test_archives.h.
#include "test_archives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <optional>

namespace quilmar::testing {
namespace {

const QString kPostgresBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

QTemporaryDir& Folder() {
  static QTemporaryDir folder(QDir::tempPath() + "/quilmar-archive-test-XXXXXX");
  return folder;
}

// Runs a PostgreSQL program, as the postgres user when we are root (the server refuses to
// run as root).
bool RunPostgres(const QString& program, const QStringList& arguments, QString& output) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  if (geteuid() == 0) {
    process.start("runuser",
                  QStringList{"-u", "postgres", "--", kPostgresBin + program} + arguments);
  } else {
    process.start(kPostgresBin + program, arguments);
  }
  process.waitForFinished(120000);
  output = QString::fromLocal8Bit(process.readAll());
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

struct Server {
  QString directory;  // data folder, and the socket's folder
  bool running = false;
};

std::optional<Server>& TheServer() {
  static std::optional<Server> server;
  return server;
}

const Server* StartServer() {
  if (TheServer()) {
    return TheServer()->running ? &*TheServer() : nullptr;
  }
  Server& server = TheServer().emplace();
  server.directory = Folder().filePath("postgres");
  QDir().mkpath(server.directory);
  if (geteuid() == 0) {
    // The folder is ours; the server's user must own it. The temporary folder above it must
    // let that user through.
    chmod(Folder().path().toLocal8Bit().constData(), 0755);
    QProcess::execute("chown", {"postgres", server.directory});
  }
  QString output;
  if (!RunPostgres("initdb",
                   {"-D", server.directory, "-A", "trust", "-U", "postgres", "--no-sync", "-E",
                    "UTF8", "--locale=C"},
                   output)) {
    ADD_FAILURE() << "initdb failed: " << output.toStdString();
    return nullptr;
  }
  const QString options = "-k " + server.directory + " -c listen_addresses= -F";
  if (!RunPostgres("pg_ctl",
                   {"-D", server.directory, "-o", options, "-l", server.directory + "/server.log",
                    "-w", "start"},
                   output)) {
    ADD_FAILURE() << "pg_ctl start failed: " << output.toStdString();
    return nullptr;
  }
  server.running = true;
  return &server;
}

}  // namespace

QString TestFolder() { return Folder().path(); }

ArchiveLocation FreshArchive(ArchiveEngine engine) {
  static std::atomic<int> counter{0};
  const int number = counter.fetch_add(1);
  ArchiveLocation location;
  location.engine = engine;
  if (engine == ArchiveEngine::kSqlite) {
    location.path = Folder().filePath(QStringLiteral("archive-%1.sqlite").arg(number));
    location.display = location.path;
    return location;
  }
  const Server* server = StartServer();
  if (server == nullptr) {
    return {};
  }
  location.host = server->directory;
  location.user = "postgres";
  location.database = QStringLiteral("archive_%1").arg(number);
  location.display = "postgresql://postgres@/" + location.database;
  {
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "quilmar-test-admin");
    admin.setHostName(location.host);
    admin.setUserName("postgres");
    admin.setDatabaseName("postgres");
    if (!admin.open() || !admin.exec("CREATE DATABASE " + location.database).isActive()) {
      ADD_FAILURE() << "cannot create a database: " << admin.lastError().text().toStdString();
    }
    admin.close();
  }
  QSqlDatabase::removeDatabase("quilmar-test-admin");
  return location;
}

bool AddPasswordRole(const QString& role, const QString& password) {
  if (!StartServer()) {
    return false;
  }
  // The server's own pg_hba.conf, made by the initdb above; the first matching line counts.
  QFile rules(TheServer()->directory + "/pg_hba.conf");
  if (!rules.open(QIODevice::ReadWrite)) {
    return false;
  }
  const QByteArray trust = rules.readAll();
  rules.seek(0);
  rules.write("local all " + role.toUtf8() + " scram-sha-256\n" + trust);
  rules.close();
  QString output;
  if (!RunPostgres("pg_ctl", {"-D", TheServer()->directory, "reload"}, output)) {
    return false;
  }
  bool created = false;
  {
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "quilmar-test-admin");
    admin.setHostName(TheServer()->directory);
    admin.setUserName("postgres");
    admin.setDatabaseName("postgres");
    QSqlQuery create(admin);
    // Not a bound value: CREATE ROLE takes none; the test's own constant texts.
    created = admin.open() && create.exec(QStringLiteral("CREATE ROLE %1 LOGIN SUPERUSER "
                                                         "PASSWORD '%2'")
                                              .arg(role, password));
    admin.close();
  }
  QSqlDatabase::removeDatabase("quilmar-test-admin");
  // The reload is a signal to the server: wait until it asks the role for a password.
  for (int attempt = 0; created && attempt < 100; ++attempt) {
    bool asked = false;
    {
      QSqlDatabase probe = QSqlDatabase::addDatabase("QPSQL", "quilmar-test-probe");
      probe.setHostName(TheServer()->directory);
      probe.setUserName(role);
      probe.setDatabaseName("postgres");
      asked = !probe.open();
      probe.close();
    }
    QSqlDatabase::removeDatabase("quilmar-test-probe");
    if (asked) {
      return true;
    }
    QThread::msleep(50);
  }
  return false;
}

bool StopPostgres() {
  QString output;
  return TheServer() && TheServer()->running &&
         RunPostgres("pg_ctl", {"-D", TheServer()->directory, "-m", "immediate", "-w", "stop"},
                     output);
}

bool RestartPostgres() {
  QString output;
  const QString options = "-k " + TheServer()->directory + " -c listen_addresses= -F";
  return RunPostgres("pg_ctl",
                     {"-D", TheServer()->directory, "-o", options, "-l",
                      TheServer()->directory + "/server.log", "-w", "start"},
                     output);
}

void StopTestArchives() {
  if (TheServer() && TheServer()->running) {
    QString output;
    RunPostgres("pg_ctl", {"-D", TheServer()->directory, "-m", "immediate", "-w", "stop"}, output);
    TheServer()->running = false;
  }
  Folder().remove();
}

}  // namespace quilmar::testing
