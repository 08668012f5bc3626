// SPDX-License-Identifier: GPL-3.0-or-later
// unmount.cpp - unmounting over D-Bus (UDisks2), with umount2 and fusermount as the fallback.
#include "toolkit/unmount.h"

#include <sys/mount.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QVariantMap>

#include "toolkit/volumes.h"

static const QString kUDisksService = QStringLiteral("org.freedesktop.UDisks2");
// Unmounting flushes what is still cached for the volume; a slow stick takes its time.
static constexpr int kUnmountTimeoutMs = 120000;
static constexpr int kUnmountBusyAttempts = 5;
static constexpr unsigned long kUnmountBusyPauseMs = 250;

// UDisks2 names a block device's object after the device node, with every byte other than a
// letter or digit written as "_" and two hex digits.
static QString BlockObjectPath(const std::string& source) {
    char resolved[PATH_MAX];
    if (!realpath(source.c_str(), resolved)) return QString();
    const QByteArray name = QFileInfo(QString::fromLocal8Bit(resolved)).fileName().toLocal8Bit();
    QString escaped;
    for (const char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            escaped += QChar(c);
        else
            escaped += QStringLiteral("_%1").arg(uint8_t(c), 2, 16, QChar('0'));
    }
    return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + escaped;
}

enum class ServiceAnswer { Unmounted, Refused, NotHandled };

static ServiceAnswer UnmountWithUDisks(const MountEntry& volume, int16_t* status) {
    if (volume.source.rfind("/dev/", 0) != 0) return ServiceAnswer::NotHandled;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kUDisksService).value())
        return ServiceAnswer::NotHandled;
    const QString object = BlockObjectPath(volume.source);
    if (object.isEmpty()) return ServiceAnswer::NotHandled;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kUDisksService, object, QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
        QStringLiteral("Unmount"));
    call << QVariantMap();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kUnmountTimeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage) {
        *status = kNoErr;
        return ServiceAnswer::Unmounted;
    }
    const QString error = reply.errorName();
    // A device the service does not manage (a loop file it never set up, say) is ours to do.
    if (error.startsWith(QStringLiteral("org.freedesktop.DBus.Error.Unknown")))
        return ServiceAnswer::NotHandled;
    if (error.endsWith(QStringLiteral(".DeviceBusy")))
        *status = kFBsyErr;
    else if (error.endsWith(QStringLiteral(".NotAuthorized")) ||
             error.endsWith(QStringLiteral(".NotAuthorizedCanObtain")))
        *status = kAfpAccessDenied;
    else
        *status = kIOErr;
    return ServiceAnswer::Refused;
}

// fusermount unmounts FUSE volumes for users who may not call umount2; root may call either.
static bool UnmountWithFusermount(const std::string& mountPoint, int16_t* status) {
    for (const char* tool : {"fusermount", "fusermount3"}) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (program.isEmpty()) continue;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, {QStringLiteral("-u"), QString::fromStdString(mountPoint)});
        if (!process.waitForFinished(kUnmountTimeoutMs)) {
            process.kill();
            process.waitForFinished();
            *status = kIOErr;
            return true;
        }
        const bool done = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        const QByteArray output = process.readAll();
        *status = done                                  ? kNoErr
                  : output.contains("busy")             ? kFBsyErr
                  : output.contains("ermission denied") ? kAfpAccessDenied
                                                        : kIOErr;
        return true;
    }
    return false;
}

static int16_t UnmountOnce(const MountEntry& entry) {
    int16_t status = kNoErr;
    if (UnmountWithUDisks(entry, &status) != ServiceAnswer::NotHandled) return status;
    const bool fuse = entry.fileSystemType == "fuse" || entry.fileSystemType.rfind("fuse.", 0) == 0;
    if (fuse && UnmountWithFusermount(entry.mountPoint, &status)) return status;
    if (umount2(entry.mountPoint.c_str(), 0) == 0) return kNoErr;
    return StatusFromErrno(errno);
}

int16_t UnmountVolume(FSVolumeRefNum volume) {
    MountEntry entry;
    if (const int16_t status = FindVolume(volume, &entry); status != kNoErr) return status;
    // Right after a copy, a desktop's indexer or thumbnailer often still reads the new files
    // for a moment; a volume that stays busy for a second is really in use.
    int16_t status = UnmountOnce(entry);
    for (int attempt = 1; attempt < kUnmountBusyAttempts && status == kFBsyErr; ++attempt) {
        QThread::msleep(kUnmountBusyPauseMs);
        status = UnmountOnce(entry);
    }
    return status;
}
