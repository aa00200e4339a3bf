// The web server under test as a real process: `quilmar-hk-archive serve` started on a free
// port of 127.0.0.1 and ended with the test, the archive command run beside it, and plain HTTP
// over TCP written byte by byte as a client (or an attacker) would.
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

#include "archive/archive_location.h"

namespace quilmar::testing {

struct HttpAnswer {
  int status = 0;  // 0: no answer
  QByteArray head;
  QByteArray body;
  bool closed = false;  // the server closed the connection after it
  QByteArray Header(QByteArrayView name) const;
  QJsonDocument Json() const { return QJsonDocument::fromJson(body); }
};

// Sends the bytes on a new connection and reads one answer, up to timeoutMs.
HttpAnswer Exchange(quint16 port, const QByteArray& request, int timeoutMs = 10000);
// A GET (or another method) of the path with the extra header lines ("Name: value").
HttpAnswer Request(quint16 port, const QByteArray& method, const QByteArray& path,
                   const QList<QByteArray>& headers = {});
inline HttpAnswer Get(quint16 port, const QByteArray& path, const QList<QByteArray>& headers = {}) {
  return Request(port, "GET", path, headers);
}

// The archive as the command line names it.
QString ArchiveArgument(const ArchiveLocation& location);

struct CommandRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};
CommandRun RunArchiveCommand(const QStringList& arguments, int timeoutMs = 120000);

// A serve process. Start returns once it printed where it listens, or false (with what it
// wrote in Output()) when it ended first.
class ServeProcess {
 public:
  ~ServeProcess();
  bool Start(const QStringList& arguments);
  quint16 Port() const { return port; }
  qint64 Pid() const { return process ? process->processId() : 0; }
  // Resident memory in KiB, from /proc.
  qint64 ResidentKib() const;
  // Waits for the process to end by itself; its exit status, or -1 when it did not.
  int WaitForExit(int timeoutMs);
  QString Output() const { return output; }

 private:
  std::unique_ptr<QProcess> process;
  quint16 port = 0;
  QString output;
};

}  // namespace quilmar::testing
