// TNC addresses as operators write them: TCP hosts and ports, bracketed IPv6, serial devices.
#include "live/tnc_address.h"

#include <gtest/gtest.h>

namespace quilmar {
namespace {

struct AddressCase {
  const char* text;
  int baudRate;
  bool valid;
  TncAddress::Kind kind;
  const char* host;
  quint16 port;
  const char* device;
  const char* shown;  // Text() of the parsed address
};

constexpr auto kTcp = TncAddress::Kind::kTcp;
constexpr auto kSerial = TncAddress::Kind::kSerial;

const AddressCase kAddressCases[] = {
    {"localhost:8001", 9600, true, kTcp, "localhost", 8001, "", "localhost:8001"},
    {"[::1]:8001", 9600, true, kTcp, "::1", 8001, "", "[::1]:8001"},
    {"192.0.2.7:65535", 9600, true, kTcp, "192.0.2.7", 65535, "", "192.0.2.7:65535"},
    {"localhost:0", 9600, false, kTcp, "", 0, "", ""},
    {"localhost:65536", 9600, false, kTcp, "", 0, "", ""},
    {"localhost:+80", 9600, false, kTcp, "", 0, "", ""},
    {"::1:8001", 9600, false, kTcp, "", 0, "", ""},
    {"[::1]8001", 9600, false, kTcp, "", 0, "", ""},
    {":8001", 9600, false, kTcp, "", 0, "", ""},
    {"localhost", 9600, false, kTcp, "", 0, "", ""},
    {"", 9600, false, kTcp, "", 0, "", ""},
    {"[/]:8", 9600, false, kTcp, "", 0, "", ""},
    {"[[x]:1", 9600, false, kTcp, "", 0, "", ""},
    {"bad host:8001", 9600, false, kTcp, "", 0, "", ""},
    {"[fe80::1%1]:8001", 9600, true, kTcp, "fe80::1%1", 8001, "", "[fe80::1%1]:8001"},
    {"/dev/tty%1", 9600, true, kSerial, "", 0, "/dev/tty%1", "/dev/tty%1 at 9600 baud"},
    {"/dev/ttyUSB0", kDefaultBaudRate, true, kSerial, "", 0, "/dev/ttyUSB0",
     "/dev/ttyUSB0 at 9600 baud"},
    {"/dev/ttyUSB0", 19200, true, kSerial, "", 0, "/dev/ttyUSB0", "/dev/ttyUSB0 at 19200 baud"},
    {"/tmp/kisstnc", kDefaultBaudRate, true, kSerial, "", 0, "/tmp/kisstnc",
     "/tmp/kisstnc at 9600 baud"},
    {"COM3", 4800, true, kSerial, "", 0, "COM3", "COM3 at 4800 baud"},
    {"/dev/ttyUSB0", 0, false, kSerial, "", 0, "", ""},
};

TEST(TncAddressTest, ParsesEveryFormAndRefusesTheRest) {
  for (const AddressCase& c : kAddressCases) {
    SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.baudRate));
    const ParsedTncAddress parsed = ParseTncAddress(QString::fromUtf8(c.text), c.baudRate);
    ASSERT_EQ(parsed.address.has_value(), c.valid) << parsed.error.toStdString();
    if (!c.valid) {
      EXPECT_FALSE(parsed.error.isEmpty());
      continue;
    }
    const TncAddress& address = *parsed.address;
    EXPECT_EQ(address.kind, c.kind);
    EXPECT_EQ(address.host.toStdString(), c.host);
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.device.toStdString(), c.device);
    if (c.kind == kSerial) {
      EXPECT_EQ(address.baudRate, c.baudRate);
    }
    EXPECT_EQ(address.Text().toStdString(), c.shown);
  }
}

}  // namespace
}  // namespace quilmar
