#include "DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

bool DesktopNotice::available()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(Service);
}

void DesktopNotice::show(const QString &title, const QString &text)
{
    QDBusMessage notify = QDBusMessage::createMethodCall(Service, Path, Service, "Notify");
    constexpr int ServerDecidesHowLong = -1;
    notify << QString("Tozelo") << 0u << QString("network-wired") << title << text << QStringList() << QVariantMap()
           << ServerDecidesHowLong;
    QDBusConnection::sessionBus().send(notify);
}
