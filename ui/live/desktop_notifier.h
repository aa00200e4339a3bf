// Desktop notifications through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications Notify). The call is sent and never waited for, so a slow or
// missing notification daemon cannot hold up reception; without a bus it does nothing.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace quilmar {

class DesktopNotifier {
 public:
  // The session bus by default; a test hands in a bus of its own.
  DesktopNotifier();
  explicit DesktopNotifier(const QDBusConnection& bus);

  void UseBus(const QDBusConnection& newBus) { bus = newBus; }
  // False when there is no bus to send to.
  bool Notify(const QString& summary, const QString& body);

 private:
  QDBusConnection bus;
};

}  // namespace quilmar
