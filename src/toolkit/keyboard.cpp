// SPDX-License-Identifier: GPL-3.0-or-later
// keyboard.cpp - Command-period seen by an application event filter and latched between polls.
#include "toolkit/keyboard.h"

#include <limits>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QPointer>

// Events are let in at most this often; a long walk calls the query thousands of times a second.
static constexpr qint64 kPollIntervalMs = 50;

// A press that nobody asked about for this long arrived while no long operation was running
// (through the ordinary event loop, or in an alert's loop): it must not stop the next one.
static constexpr qint64 kStaleAfterMs = 500;

static bool gPeriodHeld = false;
static bool gPressLatched = false;
static bool gPolling = false;
static qint64 gLastQueryMs = std::numeric_limits<qint64>::min() / 2;
static qint64 gLastPollMs = std::numeric_limits<qint64>::min() / 2;

static bool IsCommandPeriodKey(const QKeyEvent* key) {
    if (!(key->modifiers() & Qt::ControlModifier)) return false;
    if (key->key() == Qt::Key_Period) return true;
    // The keypad's decimal key gives a comma on layouts whose decimal separator is one.
    return (key->modifiers() & Qt::KeypadModifier) && key->key() == Qt::Key_Comma;
}

static bool IsInputEvent(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            // Only the window manager's close button; the application's own closes go through.
            return event->spontaneous();
        default:
            return false;
    }
}

class KeyboardWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress: {
                const auto* key = static_cast<const QKeyEvent*>(event);
                if (IsCommandPeriodKey(key)) {
                    gPressLatched = true;
                    gPeriodHeld = true;
                } else if (!(key->modifiers() & Qt::ControlModifier)) {
                    gPeriodHeld = false;
                }
                break;
            }
            case QEvent::KeyRelease: {
                const auto* key = static_cast<const QKeyEvent*>(event);
                // Auto-repeat sends a release before each repeated press while the key stays down.
                if (!key->isAutoRepeat() &&
                    (key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma ||
                     key->key() == Qt::Key_Control))
                    gPeriodHeld = false;
                break;
            }
            case QEvent::ApplicationDeactivate:
                // The release would go to another application.
                gPeriodHeld = false;
                break;
            case QEvent::ShortcutOverride:
                // Accepted, a shortcut does not fire; the key press that follows is thrown away.
                if (gPolling) {
                    event->accept();
                    return true;
                }
                break;
            default:
                break;
        }
        if (gPolling && IsInputEvent(event)) return true;
        return QObject::eventFilter(watched, event);
    }
};

static QElapsedTimer& Clock() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock;
}

static void InstallWatchOnce() {
    static QPointer<KeyboardWatch> watch;
    if (watch || !QCoreApplication::instance()) return;
    watch = new KeyboardWatch(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watch);
}

bool KeyboardCommandPeriodPressed() {
    InstallWatchOnce();
    const qint64 now = Clock().elapsed();
    if (now - gLastQueryMs > kStaleAfterMs) gPressLatched = false;
    gLastQueryMs = now;

    if (!gPolling && now - gLastPollMs >= kPollIntervalMs) {
        gPolling = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        gPolling = false;
        gLastPollMs = Clock().elapsed();
        gLastQueryMs = gLastPollMs;
    }

    const bool pressed = gPressLatched || gPeriodHeld;
    gPressLatched = false;
    return pressed;
}
