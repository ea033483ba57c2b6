// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications through the freedesktop notification service on the session bus.
#include "platform/platform.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

bool Platform::notifyDesktop(const QString&, const QString&) {
    return false;
}

bool DesktopPlatform::notifyDesktop(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    if (!bus.interface()->isServiceRegistered(service).value()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
    call << QString::fromLatin1(kApplicationTitle) << quint32(0)
         << QStringLiteral("org.tervane640.Tervane640") << title << text << QStringList() << QVariantMap()
         << qint32(-1);
    // Sent without waiting for the answer: the window never blocks on the desktop.
    return bus.send(call);
}
