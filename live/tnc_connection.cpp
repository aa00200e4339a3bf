// The TNC connection and its retries; see tnc_connection.h.
#include "tnc_connection.h"

#include <QSerialPort>
#include <algorithm>

namespace quilmar {
namespace {

constexpr int kLongestRetrySeconds = 30;
constexpr int kConnectTimeoutMs = 10'000;
// What one read may take from the kernel: bounds memory when the reader falls behind.
constexpr qint64 kReadBufferSize = 256 * 1024;

}  // namespace

TncConnection::TncConnection(TncAddress address, QObject* parent)
    : QObject(parent), address(std::move(address)) {
  retryTimer.setSingleShot(true);
  connectTimeout.setSingleShot(true);
  connect(&retryTimer, &QTimer::timeout, this, &TncConnection::Attempt);
  connect(&connectTimeout, &QTimer::timeout, this,
          [this] { OnFailure(QStringLiteral("timed out")); });
}

TncConnection::~TncConnection() { Stop(); }

int TncConnection::RetryDelaySeconds(int failuresInRow) {
  const int doublings = std::clamp(failuresInRow - 1, 0, 5);
  return std::min(1 << doublings, kLongestRetrySeconds);
}

void TncConnection::Start() {
  if (state == State::kIdle) {
    failuresInRow = 0;
    Attempt();
  }
}

void TncConnection::RetryNow() {
  if (state == State::kWaiting) {
    retryTimer.stop();
    Attempt();
  }
}

void TncConnection::Stop() {
  retryTimer.stop();
  connectTimeout.stop();
  state = State::kIdle;
  CloseDevice();
}

// Deleted later: the closing object's signal may be the one running.
void TncConnection::CloseDevice() {
  if (tcp != nullptr) {
    tcp->disconnect(this);
    tcp->Close();
    tcp->deleteLater();
    tcp = nullptr;
  }
  if (serial != nullptr) {
    serial->disconnect(this);
    serial->close();
    serial->deleteLater();
    serial = nullptr;
  }
}

void TncConnection::Attempt() {
  state = State::kConnecting;
  if (address.kind == TncAddress::Kind::kSerial) {
    AttemptSerial();
    return;
  }
  tcp = new TcpStream(this);
  connect(tcp, &TcpStream::Connected, this, &TncConnection::OnConnected);
  connect(tcp, &TcpStream::BytesReceived, this, &TncConnection::BytesReceived);
  // The stream has read every byte of a lost connection before it reports the loss.
  connect(tcp, &TcpStream::Failed, this, [this](const QString& reason) { OnFailure(reason); });
  connectTimeout.start(kConnectTimeoutMs);
  tcp->Open(address.host, address.port);
}

// A serial port opens at once or not at all; raw 8N1 without flow control, as TNCs speak KISS.
void TncConnection::AttemptSerial() {
  auto* port = new QSerialPort(address.device, this);
  serial = port;
  port->setReadBufferSize(kReadBufferSize);
  connect(port, &QSerialPort::readyRead, this, &TncConnection::OnReadable);
  connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError e) {
    if (e != QSerialPort::NoError && state == State::kConnected) {
      OnFailure(port->errorString());
    }
  });
  const bool opened =
      port->open(QIODevice::ReadOnly) && port->setBaudRate(address.baudRate) &&
      port->setDataBits(QSerialPort::Data8) && port->setParity(QSerialPort::NoParity) &&
      port->setStopBits(QSerialPort::OneStop) && port->setFlowControl(QSerialPort::NoFlowControl);
  if (!opened) {
    OnFailure(port->errorString());
    return;
  }
  OnConnected();
}

void TncConnection::OnConnected() {
  connectTimeout.stop();
  state = State::kConnected;
  failuresInRow = 0;
  emit StateChanged(QStringLiteral("connected to %1").arg(address.Text()));
  emit Connected();
  // Bytes may have arrived together with the connection.
  if (serial != nullptr && serial->bytesAvailable() > 0) {
    OnReadable();
  }
}

void TncConnection::OnReadable() {
  while (serial != nullptr && serial->bytesAvailable() > 0) {
    const QByteArray bytes = serial->read(kReadBufferSize);
    if (bytes.isEmpty()) {
      break;
    }
    emit BytesReceived(bytes);
  }
}

void TncConnection::OnFailure(const QString& reason) {
  if (state != State::kConnecting && state != State::kConnected) {
    return;
  }
  const bool wasConnected = state == State::kConnected;
  // What the TNC sent before closing still belongs to the stream.
  if (wasConnected) {
    OnReadable();
    if (state != State::kConnected) {
      return;  // a receiver stopped the connection
    }
  }
  connectTimeout.stop();
  CloseDevice();
  state = State::kWaiting;
  ++failuresInRow;
  int delay = RetryDelaySeconds(failuresInRow);
  if (retryCapSeconds > 0) {
    delay = std::min(delay, retryCapSeconds);
  }
  const QString what = wasConnected
                           ? QStringLiteral("connection lost: %1").arg(reason)
                           : QStringLiteral("cannot connect to %1: %2").arg(address.Text(), reason);
  retryTimer.start(delay * 1000);
  emit StateChanged(QStringLiteral("%1; retrying in %2 s").arg(what).arg(delay));
}

}  // namespace quilmar
