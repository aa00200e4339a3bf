// The web server under test as a real process; see serve_harness.h.
#include "serve_harness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>

namespace quilmar::testing {
namespace {

// The end of the head, or -1.
qsizetype HeadEnd(const QByteArray& bytes) { return bytes.indexOf("\r\n\r\n"); }

void ReadAnswer(QTcpSocket& socket, HttpAnswer& answer, int timeoutMs) {
  QByteArray bytes;
  QElapsedTimer timer;
  timer.start();
  qsizetype headEnd = -1;
  qint64 length = -1;
  while (timer.elapsed() < timeoutMs) {
    if (headEnd >= 0 && length >= 0 && bytes.size() >= headEnd + 4 + length) {
      break;
    }
    if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0) {
      answer.closed = true;
      break;
    }
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(100)) {
      continue;
    }
    bytes += socket.readAll();
    if (headEnd < 0 && (headEnd = HeadEnd(bytes)) >= 0) {
      answer.head = bytes.left(headEnd);
      const QRegularExpression lengthField(QStringLiteral("(?i)\\r\\ncontent-length: *(\\d+)"));
      const auto match = lengthField.match(QString::fromLatin1(answer.head));
      length = match.hasMatch() ? match.captured(1).toLongLong() : 0;
      answer.status = answer.head.mid(9, 3).toInt();
    }
  }
  if (headEnd >= 0) {
    answer.body = bytes.mid(headEnd + 4, length);
  }
}

}  // namespace

QByteArray HttpAnswer::Header(QByteArrayView name) const {
  for (const QByteArray& line : head.split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && QByteArrayView(line).first(colon).compare(name, Qt::CaseInsensitive) == 0) {
      return line.mid(colon + 1).trimmed();
    }
  }
  return {};
}

HttpAnswer Exchange(quint16 port, const QByteArray& request, int timeoutMs) {
  HttpAnswer answer;
  QTcpSocket socket;
  socket.connectToHost(QStringLiteral("127.0.0.1"), port);
  if (!socket.waitForConnected(timeoutMs)) {
    return answer;
  }
  socket.write(request);
  socket.waitForBytesWritten(timeoutMs);
  ReadAnswer(socket, answer, timeoutMs);
  return answer;
}

HttpAnswer Request(quint16 port, const QByteArray& method, const QByteArray& path,
                   const QList<QByteArray>& headers) {
  QByteArray request = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (const QByteArray& header : headers) {
    request += header + "\r\n";
  }
  return Exchange(port, request + "\r\n");
}

QString ArchiveArgument(const ArchiveLocation& location) {
  if (location.engine == ArchiveEngine::kSqlite) {
    return location.path;
  }
  return "postgresql://" + location.user + "@/" + location.database + "?host=" + location.host;
}

CommandRun RunArchiveCommand(const QStringList& arguments, int timeoutMs) {
  QProcess command;
  command.start(QStringLiteral(QUILMAR_ARCHIVE_EXE), arguments);
  CommandRun run;
  if (!command.waitForFinished(timeoutMs)) {
    command.kill();
    command.waitForFinished();
    return run;
  }
  run.exitCode = command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
  run.out = command.readAllStandardOutput();
  run.err = command.readAllStandardError();
  return run;
}

ServeProcess::~ServeProcess() {
  if (process && process->state() != QProcess::NotRunning) {
    process->terminate();
    if (!process->waitForFinished(10000)) {
      process->kill();
      process->waitForFinished();
    }
  }
}

bool ServeProcess::Start(const QStringList& arguments) {
  process = std::make_unique<QProcess>();
  process->setProcessChannelMode(QProcess::MergedChannels);
  process->start(QStringLiteral(QUILMAR_ARCHIVE_EXE), arguments);
  const QRegularExpression listening(QStringLiteral("on http://[^ ]*:(\\d+)/"));
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 60000) {
    process->waitForReadyRead(200);
    output += QString::fromLocal8Bit(process->readAll());
    if (const auto match = listening.match(output); match.hasMatch()) {
      port = static_cast<quint16>(match.captured(1).toUInt());
      return true;
    }
    if (process->state() == QProcess::NotRunning) {
      output += QString::fromLocal8Bit(process->readAll());
      return false;
    }
  }
  return false;
}

qint64 ServeProcess::ResidentKib() const {
  QFile status(QStringLiteral("/proc/%1/status").arg(Pid()));
  if (!status.open(QIODevice::ReadOnly)) {
    return -1;
  }
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) {
      return line.mid(6).trimmed().split(' ').front().toLongLong();
    }
  }
  return -1;
}

int ServeProcess::WaitForExit(int timeoutMs) {
  if (!process ||
      (process->state() != QProcess::NotRunning && !process->waitForFinished(timeoutMs))) {
    return -1;
  }
  output += QString::fromLocal8Bit(process->readAll());
  return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
}

}  // namespace quilmar::testing
