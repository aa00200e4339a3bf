// Where a TNC is reached: KISS over TCP (HOST:PORT, [IPv6]:PORT) or a serial device (a path
// such as /dev/ttyUSB0 or a pseudo-terminal, or COMn) at a baud rate.
#pragma once

#include <QString>
#include <optional>

namespace quilmar {

inline constexpr int kDefaultBaudRate = 9600;
// Above what any serial TNC or USB adapter runs: a larger number is a typing error.
inline constexpr int kFastestBaudRate = 4'000'000;

struct TncAddress {
  enum class Kind { kTcp, kSerial };
  Kind kind = Kind::kTcp;
  QString host;                     // without the brackets of an IPv6 address
  quint16 port = 0;                 // TCP only
  QString device;                   // serial only
  int baudRate = kDefaultBaudRate;  // serial only

  // As the user would write it: "localhost:8001", "[::1]:8001", "/dev/ttyUSB0 at 9600 baud".
  QString Text() const;
};

struct ParsedTncAddress {
  std::optional<TncAddress> address;
  QString error;  // why the text is not an address; empty on success
};

ParsedTncAddress ParseTncAddress(const QString& text, int baudRate = kDefaultBaudRate);

// Why the address can never reach a TNC, found before any attempt: a serial path that exists
// and is no terminal device (a file such as /etc/passwd, or /dev/null), which would otherwise be
// retried for ever. Empty when it may be a TNC; a path that does not exist yet (the
// pseudo-terminal of a software TNC not started yet) is waited for like a refused connection.
QString NotASerialDevice(const TncAddress& address);

}  // namespace quilmar
