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

}  // namespace quilmar
