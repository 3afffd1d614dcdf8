// Desktop notices through the freedesktop notification service on the session bus.
#include "desktop_notice.h"

#include "look.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

bool ShowDesktopNotice(const QString& summary, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  const QString service = QStringLiteral("org.freedesktop.Notifications");
  if (!bus.interface() || !bus.interface()->isServiceRegistered(service).value()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                     service, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quillward"));
  call << AppTitle() << uint(0) << QStringLiteral("quillward") << summary << body << QStringList() << hints
       << int(-1);
  return bus.send(call);
}
