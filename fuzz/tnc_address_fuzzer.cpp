// libFuzzer harness of TNC address parsing: any text (as UTF-8) and a baud rate chosen by the
// input's first byte. A text gives an address or a reason, never both; a TCP address is
// written back (Text) as text that parses to the same host and port; a serial one keeps the
// path and the baud rate as given. Built with Qt Core, the parser's source compiled in.
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "live/tnc_address.h"

namespace {

using namespace quilmar;

void Require(bool holds) {
  if (!holds) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  constexpr int kBaudRates[] = {kDefaultBaudRate,     0,         -1, 1200, 19200, kFastestBaudRate,
                                kFastestBaudRate + 1, 2147483647};
  const int baudRate = kBaudRates[data[0] % std::size(kBaudRates)];
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const ParsedTncAddress parsed = ParseTncAddress(text, baudRate);
  Require(parsed.address.has_value() == parsed.error.isEmpty());
  if (!parsed.address) {
    return 0;
  }
  const TncAddress& address = *parsed.address;
  if (address.kind == TncAddress::Kind::kSerial) {
    Require(address.device == text && address.baudRate == baudRate && baudRate > 0);
    return 0;
  }
  Require(!address.host.isEmpty() && address.port >= 1);
  const ParsedTncAddress again = ParseTncAddress(address.Text(), baudRate);
  Require(again.address.has_value() && again.address->kind == TncAddress::Kind::kTcp);
  Require(again.address->host == address.host && again.address->port == address.port);
  return 0;
}
