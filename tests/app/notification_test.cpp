// SPDX-License-Identifier: GPL-3.0-or-later
// notification_test.cpp - what the desktop hears over D-Bus: the notification at the end of a
// send and the taskbar entry's progress, caught on a private session bus.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include "shared/messages.h"
#include "toolkit/desktopnotify.h"

namespace {

// A notification service that keeps every Notify call it is sent and answers it.
class NotificationService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return QString(); }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify") return false;
        calls << message;
        connection.send(message.createReply(QVariant::fromValue(uint(calls.size()))));
        return true;
    }
    QList<QDBusMessage> calls;
};

}  // namespace

// Keeps every launcher entry signal it hears.
class LauncherListener : public QObject {
    Q_OBJECT
public:
    QList<QDBusMessage> updates;
public slots:
    void Heard(const QDBusMessage& message) { updates << message; }
};

namespace {

// A dbus-daemon of this test's own, made the session bus of this process. Each test runs in a
// process of its own, so the program's session bus connection is made to it.
class PrivateBus : public testing::Test {
protected:
    void SetUp() override {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address"});
        if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(10000))
            GTEST_SKIP() << "no dbus-daemon to start here";
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        if (address.isEmpty()) GTEST_SKIP() << "dbus-daemon gave no address";
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        desktop = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, "desktop-side"));
        ASSERT_TRUE(desktop->isConnected());
    }
    void TearDown() override {
        desktop.reset();
        QDBusConnection::disconnectFromBus("desktop-side");
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(5000);
        }
    }

    void OfferNotifications() {
        ASSERT_TRUE(desktop->registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(desktop->registerVirtualObject("/org/freedesktop/Notifications", &service));
    }

    QProcess daemon;
    std::unique_ptr<QDBusConnection> desktop;
    NotificationService service;
};

}  // namespace

TEST_F(PrivateBus, AFinishedSendTellsHowManyMoviesWentWhereAndWhetherToUnplug) {
    OfferNotifications();
    EXPECT_FALSE(NotifySendDone(0, "PSP", true));  // nothing went: nothing to tell
    ASSERT_TRUE(NotifySendDone(3, "PSP_STICK", true));
    ASSERT_TRUE(NotifySendDone(1, "Other", false));
    ASSERT_TRUE(QTest::qWaitFor([this] { return service.calls.size() == 2; }, 10000));

    // Notify(app, replaces, icon, summary, body, actions, hints, timeout)
    const QList<QVariant> first = service.calls[0].arguments();
    ASSERT_EQ(first.size(), 8);
    EXPECT_EQ(first[0].toString(), "moviestick");
    EXPECT_EQ(first[2].toString(), "io.github.moviestick.moviestick");
    const QString body = first[4].toString();
    EXPECT_TRUE(body.contains("3 movies") && body.contains("PSP_STICK")) << body.toStdString();
    EXPECT_TRUE(body.contains("safe to unplug")) << body.toStdString();
    EXPECT_FALSE(first[3].toString().isEmpty());

    const QString second = service.calls[1].arguments()[4].toString();
    EXPECT_TRUE(second.contains("1 movie ") && second.contains("Other")) << second.toStdString();
    EXPECT_FALSE(second.contains("unplug")) << second.toStdString();
}

TEST_F(PrivateBus, WithoutANotificationServiceNothingBreaks) {
    // Sent and not waited for: the bus simply finds nobody to deliver it to.
    EXPECT_TRUE(NotifySendDone(2, "PSP", false));
    SetTaskbarProgress(0.5);
    ClearTaskbarProgress();
}

TEST_F(PrivateBus, TheTaskbarEntryFollowsTheProgressInHundredthsAndIsClearedAtTheEnd) {
    LauncherListener listener;
    ASSERT_TRUE(desktop->connect(QString(), QString(), "com.canonical.Unity.LauncherEntry",
                                 "Update", &listener, SLOT(Heard(QDBusMessage))));
    // A call answered by the bus comes back only after the bus has taken the match rule.
    ASSERT_TRUE(desktop->interface()->isServiceRegistered("org.freedesktop.DBus").value());
    SetTaskbarProgress(0.0);
    SetTaskbarProgress(0.004);  // too small a change to tell
    SetTaskbarProgress(0.25);
    SetTaskbarProgress(7.0);  // past the end reads as the end
    ClearTaskbarProgress();
    ClearTaskbarProgress();  // nothing shown any more
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.updates.size() >= 4; }, 10000));
    QTest::qWait(100);
    ASSERT_EQ(listener.updates.size(), 4);

    QList<double> progress;
    QList<bool> visible;
    for (const QDBusMessage& update : listener.updates) {
        ASSERT_EQ(update.arguments().size(), 2);
        EXPECT_EQ(update.arguments()[0].toString(),
                  "application://io.github.moviestick.moviestick.desktop");
        const QVariantMap properties = qdbus_cast<QVariantMap>(update.arguments()[1]);
        progress << properties.value("progress").toDouble();
        visible << properties.value("progress-visible").toBool();
    }
    EXPECT_EQ(progress, (QList<double>{0.0, 0.25, 1.0, 0.0}));
    EXPECT_EQ(visible, (QList<bool>{true, true, true, false}));
}

TEST(NoBus, WithoutASessionBusTheNotificationIsRefusedQuietly) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/moviestick-no-bus");
    EXPECT_FALSE(ShowDesktopNotification("summary", "body"));
    SetTaskbarProgress(0.5);
    ClearTaskbarProgress();
}

#include "notification_test.moc"
