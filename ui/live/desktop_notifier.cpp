// Desktop notifications; see desktop_notifier.h.
#include "desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace quilmar {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
// Shown until the user closes it: an alarm should not go unseen.
constexpr int kNeverExpires = 0;

}  // namespace

DesktopNotifier::DesktopNotifier() : bus(QDBusConnection::sessionBus()) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus) : bus(bus) {}

bool DesktopNotifier::Notify(const QString& summary, const QString& body) {
  if (!bus.isConnected()) {
    return false;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                     QString::fromLatin1(kService), QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(2)));  // critical
  call << QStringLiteral("QUILMAR-1 HK") << 0u << QStringLiteral("dialog-warning") << summary
       << body << QStringList() << hints << kNeverExpires;
  bus.asyncCall(call);
  return true;
}

}  // namespace quilmar
