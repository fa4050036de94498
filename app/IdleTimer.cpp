#include "app/IdleTimer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

void ResetIdleTimer()
{
    static bool g_bInhibited = false;
    if (g_bInhibited)
        return;
    g_bInhibited = true;
    // Without a session bus address Qt would try to launch a bus of its own.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    call << QStringLiteral("veltrip") << QStringLiteral("Tracking the GPS position");
    bus.call(call, QDBus::NoBlock);
}
