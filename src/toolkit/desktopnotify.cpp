// SPDX-License-Identifier: GPL-3.0-or-later
// desktopnotify.cpp - desktop notifications and the taskbar entry's progress, over D-Bus.
#include "toolkit/desktopnotify.h"

#include <cmath>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "toolkit/resources.h"

bool ShowDesktopNotification(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the notification carry the application's name and icon.
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), kApplicationID);
    call << QStringLiteral("moviestick") << uint(0) << kApplicationID << summary << body
         << QStringList() << hints << int(-1);
    // Waiting for the answer would hold the window while a missing service is looked for.
    return bus.send(call);
}

// The one value last signalled; negative while no progress is shown.
static double gShownProgress = -1.0;

static void SendLauncherUpdate(double fraction, bool visible) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/com/canonical/unity/launcherentry/moviestick"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), fraction);
    properties.insert(QStringLiteral("progress-visible"), visible);
    update << QStringLiteral("application://%1.desktop").arg(kApplicationID) << properties;
    (void)bus.send(update);
}

void SetTaskbarProgress(double fraction) {
    if (!(fraction >= 0.0)) fraction = 0.0;  // NaN as well
    if (fraction > 1.0) fraction = 1.0;
    if (gShownProgress >= 0.0 && std::fabs(fraction - gShownProgress) < 0.01) return;
    gShownProgress = fraction;
    SendLauncherUpdate(fraction, true);
}

void ClearTaskbarProgress() {
    if (gShownProgress < 0.0) return;
    gShownProgress = -1.0;
    SendLauncherUpdate(0.0, false);
}
