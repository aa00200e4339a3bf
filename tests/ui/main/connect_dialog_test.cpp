// The Connect dialog's TCP fields: what the operator typed is taken as typed or refused with
// the reason, never quietly changed into another port or tried forever.
#include "ui/live/connect_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace quilmar {
namespace {

TEST(ConnectDialogTest, HostAndPortAreTakenAsTypedOrRefusedWithTheReason) {
  const struct {
    const char* host;
    const char* port;
    const char* problem;  // nullptr when the dialog accepts
    quint16 portTaken;
  } kCases[] = {
      {"localhost", "8001", nullptr, 8001},
      {"[2001:db8::7]", "65535", nullptr, 65535},
      {"localhost", "0", "not '0'", 0},
      {"localhost", "70000", "not '70000'", 0},
      {"localhost", "80a", "not '80a'", 0},
      {"localhost", "", "from 1 to 65535", 0},
      {"localhost:8001", "8001", "'localhost:8001' is not a host", 0},
      {"[::1]:8001", "8001", "'[::1]:8001' is not a host", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.host) + " " + c.port);
    ConnectDialog dialog;
    dialog.findChild<QRadioButton*>(QStringLiteral("TcpChoice"))->setChecked(true);
    dialog.findChild<QLineEdit*>(QStringLiteral("Host"))->setText(QString::fromLatin1(c.host));
    dialog.findChild<QLineEdit*>(QStringLiteral("Port"))->setText(QString::fromLatin1(c.port));
    dialog.accept();
    const QString problem = dialog.findChild<QLabel*>(QStringLiteral("Problem"))->text();
    if (c.problem == nullptr) {
      EXPECT_EQ(dialog.result(), QDialog::Accepted) << problem.toStdString();
      EXPECT_EQ(dialog.Choice().address.port, c.portTaken);
    } else {
      EXPECT_NE(dialog.result(), QDialog::Accepted);
      EXPECT_TRUE(problem.contains(QLatin1String(c.problem))) << problem.toStdString();
    }
  }
}

}  // namespace
}  // namespace quilmar
