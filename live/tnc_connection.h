// A connection to a TNC that hands over KISS bytes as they arrive: TCP or a serial port,
// opened again after every loss or refusal with a growing pause (1, 2, 4 ... 30 s, back to
// 1 s once a connection succeeded), until stopped. Each change of state is reported as one
// line of text, for standard error or a status bar.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "tcp_stream.h"
#include "tnc_address.h"

class QSerialPort;

namespace quilmar {

class TncConnection : public QObject {
  Q_OBJECT

 public:
  explicit TncConnection(TncAddress address, QObject* parent = nullptr);
  ~TncConnection() override;

  // Starts connecting; does nothing when already started.
  void Start();
  // Closes the connection and cancels any retry; no further signal is emitted.
  void Stop();
  bool IsConnected() const { return state == State::kConnected; }
  const TncAddress& Address() const { return address; }

  // The pause before the next attempt after failures in a row (1, 2, 4 ... 30 s).
  static int RetryDelaySeconds(int failuresInRow);

  // True while a pause before the next attempt runs.
  bool IsWaitingToRetry() const { return state == State::kWaiting; }
  // Ends the pause and tries at once; does nothing unless a retry waits.
  void RetryNow();
  // The longest pause of the attempts to come, in seconds; 0 leaves the growing pause alone.
  void SetRetryCap(int seconds) { retryCapSeconds = seconds; }

 signals:
  // A connection was made: the bytes that follow start a new KISS stream.
  void Connected();
  // The bytes of one read, as received.
  void BytesReceived(const QByteArray& bytes);
  // "connected to localhost:8001", "connection lost: ...; retrying in 4 s", ...
  void StateChanged(const QString& line);

 private:
  enum class State { kIdle, kConnecting, kConnected, kWaiting };

  void Attempt();
  void AttemptSerial();
  void OnConnected();
  void OnReadable();
  void OnFailure(const QString& reason);
  void CloseDevice();

  TncAddress address;
  State state = State::kIdle;
  TcpStream* tcp = nullptr;       // owned by this object, while a TCP attempt or connection runs
  QSerialPort* serial = nullptr;  // owned by this object, while a serial port is open
  QTimer retryTimer;
  QTimer connectTimeout;
  int failuresInRow = 0;
  int retryCapSeconds = 0;
};

}  // namespace quilmar
