// A KISS-over-TCP stream to a TNC on a plain socket: the connection is made, watched and read
// here rather than by QTcpSocket, which tests a finished connect by calling connect() again;
// when the TNC sent bytes and reset the connection at once, that second call fails and the
// bytes already received were thrown away with the socket. Here the outcome of a connect is
// read from SO_ERROR, and a connection that was made is read to its last byte before it is
// reported lost. Keepalive probes find a TNC host that vanished without closing (a cable, a
// suspended laptop, a NAT that forgot the mapping) within about half a minute.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace quilmar {
class HostLookup;
}

namespace quilmar {

// Keepalive: the first probe after this many idle seconds, then one every kKeepAliveInterval,
// the peer declared dead after kKeepAliveProbes unanswered ones. A TNC that is alive but
// silent between passes answers the probes and stays connected.
inline constexpr int kKeepAliveIdleSeconds = 10;
inline constexpr int kKeepAliveIntervalSeconds = 5;
inline constexpr int kKeepAliveProbes = 3;

class TcpStream : public QObject {
  Q_OBJECT

 public:
  explicit TcpStream(QObject* parent = nullptr);
  ~TcpStream() override;

  // Looks the host up and connects to its addresses in turn.
  void Open(const QString& host, quint16 port);
  // Closes the socket; no further signal is emitted.
  void Close();

 signals:
  // The connection was made; the bytes that follow are the TNC's.
  void Connected();
  // The bytes of one read.
  void BytesReceived(const QByteArray& bytes);
  // No connection could be made, or the one made was lost (wasConnected), with the reason.
  void Failed(const QString& reason, bool wasConnected);

 private:
  void ConnectNext();
  void OnConnectFinished();
  void OnEstablished();
  void OnReadable();
  void Fail(const QString& reason, bool wasConnected);
  void CloseSocket();
  void DropNotifier();
  void DropLookup();

  QList<QHostAddress> addresses;
  quint16 port = 0;
  QString lastError;
  int fd = -1;
  HostLookup* lookup = nullptr;  // while the host's name is looked up
  QSocketNotifier* notifier = nullptr;
  QByteArray buffer;
};

}  // namespace quilmar
