// SPDX-License-Identifier: GPL-3.0-or-later
// uievents.cpp - Qt's signals and events turned into the handlers' events; loops, timers, AE.
#include <array>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include "toolkit/listcontrol.h"
#include "toolkit/ui.h"
#include "toolkit/ui_internal.h"

static EventHandlerProc gApplicationHandler = nullptr;
static void* gApplicationUserData = nullptr;

void InstallApplicationEventHandler(EventHandlerProc handler, void* userData) {
    gApplicationHandler = handler;
    gApplicationUserData = userData;
    InstallToolkitEventFilter();
}

void InstallWindowEventHandler(WindowRef window, EventHandlerProc handler, void* userData) {
    if (WindowState* state = FindWindowState(window)) {
        state->handler = handler;
        state->userData = userData;
    }
}

static OSStatus SendToWindow(QWidget* window, const EventRecord& event) {
    WindowState* state = window ? FindWindowState(window) : nullptr;
    if (!state || !state->handler) return kEventNotHandledErr;
    return state->handler(event, state->userData);
}

static OSStatus SendToApplication(const EventRecord& event) {
    if (!gApplicationHandler) return kEventNotHandledErr;
    return gApplicationHandler(event, gApplicationUserData);
}

// Commands

static OSStatus ToolkitCommand(OSType command) {
    switch (command) {
        case kHICommandClose: {
            QWidget* front = FrontWindow();
            if (!front) return kEventNotHandledErr;
            (void)RequestWindowClose(front);
            return 0;
        }
        case kHICommandQuit:
            return AEDispatch(AppleEvent{AppleEventKind::Quit, {}});
        case kHICommandCharacterPalette:
            return StartCharacterPicker();
        default:
            return kEventNotHandledErr;
    }
}

OSStatus SendCommandFrom(QWidget* window, OSType command) {
    EventRecord event{EventKind::ProcessCommand};
    event.command = command;
    event.window = window;
    OSStatus status = SendToWindow(window, event);
    if (status != kEventNotHandledErr) return status;
    status = SendToApplication(event);
    if (status != kEventNotHandledErr) return status;
    return ToolkitCommand(command);
}

OSStatus ProcessHICommand(OSType command) {
    return SendCommandFrom(FrontWindow(), command);
}

void DispatchControlHit(QWidget* control) {
    QPointer<QWidget> window = control->window();
    if (!FindWindowState(window)) return;
    EventRecord event{EventKind::ControlHit};
    event.window = window;
    event.control = control;
    event.command = CommandOfObject(control);
    const OSStatus status = SendToWindow(window, event);
    if (status == 0 || event.command == 0 || !window) return;
    (void)SendCommandFrom(window, event.command);
}

// Controls

static void ConnectLittleArrow(QAbstractButton* arrow) {
    const int16_t part = int16_t(arrow->property("part").toInt());
    arrow->setAutoRepeat(true);
    QObject::connect(arrow, &QAbstractButton::clicked, arrow, [arrow, part] {
        QWidget* arrows = arrow->parentWidget();
        const auto action = reinterpret_cast<ControlActionProc>(
            arrows->property("toolkitControlAction").value<quintptr>());
        if (action) action(arrows, part);
        DispatchControlHit(arrows);
    });
}

void ConnectControls(QWidget* window) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->property("part").isValid()) {
            ConnectLittleArrow(button);
        } else if (!button->property("controlID").isValid() &&
                   !button->property("command").isValid()) {
            continue;
        } else if (button->isCheckable()) {
            // A check box changes without a click too (a screen reader's toggle action); its
            // handler follows the state change, whatever made it.
            QObject::connect(button, &QAbstractButton::toggled, button,
                             [button] { DispatchControlHit(button); });
        } else {
            QObject::connect(button, &QAbstractButton::clicked, button,
                             [button] { DispatchControlHit(button); });
        }
    }
    for (QComboBox* combo : window->findChildren<QComboBox*>()) {
        if (!combo->property("controlID").isValid()) continue;
        QObject::connect(combo, &QComboBox::activated, combo,
                         [combo] { DispatchControlHit(combo); });
    }
    for (QTreeView* list : window->findChildren<QTreeView*>()) MakeListControl(list);

    WindowState* state = FindWindowState(window);
    QObject::connect(state->boundsTimer, &QTimer::timeout, window, [window] {
        EventRecord event{EventKind::WindowBoundsChanged};
        event.window = window;
        (void)SendToWindow(window, event);
    });
}

// The list a click in its rows or in its column headers belongs to, or null.
static QWidget* ListOfMouseTarget(QWidget* widget) {
    QWidget* parent = widget->parentWidget();
    QWidget* list = nullptr;
    if (auto* header = qobject_cast<QHeaderView*>(parent); header && header->viewport() == widget)
        list = qobject_cast<QTreeView*>(header->parentWidget());
    else if (auto* view = qobject_cast<QAbstractItemView*>(parent);
             view && view->viewport() == widget)
        list = view;
    return list && list->property("controlID").isValid() ? list : nullptr;
}

// The event filter

static uint8_t CharCodeOfKey(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Delete:
            return 127;
        default:
            break;
    }
    const QString text = key->text();
    return !text.isEmpty() && text[0].unicode() < 0x80 ? uint8_t(text[0].unicode()) : 0;
}

// Qt hands one key event to the focus widget and then to each parent that ignores it; the
// application filter sees every step. Only the first is a key release of its own.
static const QEvent* gLastKeyRelease = nullptr;
static QPointer<QWidget> gLastKeyReceiver;

static void OnKeyRelease(QWidget* widget, const QKeyEvent* key) {
    const bool propagated =
        key == gLastKeyRelease && gLastKeyReceiver && gLastKeyReceiver->parentWidget() == widget;
    gLastKeyRelease = key;
    gLastKeyReceiver = widget;
    if (propagated || key->isAutoRepeat() || !FindWindowState(widget->window())) return;
    EventRecord event{EventKind::RawKeyUp};
    event.window = widget->window();
    event.charCode = CharCodeOfKey(key);
    (void)SendToApplication(event);
}

static bool OnClose(QWidget* window, QCloseEvent* close) {
    if (!FindWindowState(window)) return false;
    QPointer<QWidget> guard = window;
    EventRecord event{EventKind::WindowClose};
    event.window = window;
    const OSStatus status = SendToWindow(window, event);
    WindowState* state = guard ? FindWindowState(window) : nullptr;
    if (!state) return false;
    if ((status != 0 && status != kEventNotHandledErr) || !state->closable) {
        close->ignore();
        return true;
    }
    if (state->inModalLoop) {
        // Closing ends the modal run (the dialog hides); the run's owner disposes of the window.
    } else {
        window->setAttribute(Qt::WA_DeleteOnClose);
        UnregisterWindow(window);
    }
    return false;
}

static void OnBoundsChanging(QWidget* window) {
    WindowState* state = FindWindowState(window);
    if (!state) return;
    EventRecord event{EventKind::WindowBoundsChanging};
    event.window = window;
    (void)SendToWindow(window, event);
    // Qt reports no end of a resize: the change counts as ended once it pauses.
    if ((state = FindWindowState(window))) state->boundsTimer->start();
}

// The window manager frames a window shortly after it is shown, and says nothing that Qt
// turns into an event when the window itself stays where it was put: the frame is looked at
// again a few times while the window settles.
static void WatchFrame(QWidget* window) {
    KeepFrameInAvailableArea(window);
    QPointer<QWidget> guard = window;
    for (int delay : {50, 250, 1000})
        QTimer::singleShot(delay, window, [guard] {
            if (guard) KeepFrameInAvailableArea(guard);
        });
}

class ToolkitEventFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::KeyRelease:
                OnKeyRelease(widget, static_cast<QKeyEvent*>(event));
                break;
            case QEvent::Close:
                if (widget->isWindow()) return OnClose(widget, static_cast<QCloseEvent*>(event));
                break;
            case QEvent::Resize:
                // The content's own resize: the main window's menu bar is laid out by then.
                if (WindowContent(widget->window()) == widget) OnBoundsChanging(widget->window());
                break;
            case QEvent::Move:
                if (widget->isWindow()) {
                    KeepFrameInAvailableArea(widget);
                    OnBoundsChanging(widget);
                }
                break;
            case QEvent::Show:
            case QEvent::WindowActivate:
                if (widget->isWindow()) {
                    BringToFrontOfOrder(widget);
                    ScheduleFrontWindowCheck();
                    WatchFrame(widget);
                }
                break;
            case QEvent::Hide:
            case QEvent::WindowDeactivate:
                if (widget->isWindow()) ScheduleFrontWindowCheck();
                break;
            case QEvent::MouseButtonRelease:
                if (QWidget* list = ListOfMouseTarget(widget)) {
                    // After the view has taken the click: the selection and column widths are new.
                    QTimer::singleShot(0, list, [list] { DispatchControlHit(list); });
                }
                break;
            default:
                break;
        }
        return false;
    }
};

void InstallToolkitEventFilter() {
    static QPointer<ToolkitEventFilter> filter;
    if (filter || !QCoreApplication::instance()) return;
    filter = new ToolkitEventFilter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

bool RequestWindowClose(WindowRef window) {
    return window && window->close();
}

// The front window

static QPointer<QWidget> gReportedFront;
static bool gFrontCheckPending = false;

void ScheduleFrontWindowCheck() {
    if (gFrontCheckPending || !QCoreApplication::instance()) return;
    gFrontCheckPending = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        gFrontCheckPending = false;
        QWidget* front = FrontWindow();
        if (front == gReportedFront.data()) return;
        gReportedFront = front;
        if (!front) return;
        EventRecord event{EventKind::WindowActivated};
        event.window = front;
        (void)SendToApplication(event);
    });
}

// Loops and timers

void InstallEventLoopTimer(double delaySeconds, double intervalSeconds, EventLoopTimerProc proc,
                           void* userData) {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(int(delaySeconds * 1000));
    const int interval = int(intervalSeconds * 1000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, interval, proc, userData] {
        timer->setInterval(interval);
        proc(userData);
    });
    timer->start();
}

namespace {

// Wakes the resting idle timer at every event but a timer's, its own included.
class IdleWake : public QObject {
public:
    explicit IdleWake(QTimer* timer) : QObject(timer), timer_(timer) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Started only when it rests: a stream of events must not keep postponing the tick.
        if (event->type() != QEvent::Timer && !timer_->isActive()) timer_->start();
        return QObject::eventFilter(watched, event);
    }

private:
    QTimer* timer_;
};

QPointer<QTimer> gIdleTimer;

}  // namespace

void InstallIdleTimer(double intervalSeconds, EventLoopTimerProc proc, void* userData) {
    delete gIdleTimer.data();
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(int(intervalSeconds * 1000));
    QObject::connect(timer, &QTimer::timeout, timer, [proc, userData] { proc(userData); });
    QCoreApplication::instance()->installEventFilter(new IdleWake(timer));
    gIdleTimer = timer;
    timer->start();
}

void RestIdleTimer() {
    if (gIdleTimer) gIdleTimer->stop();
}

static QEventLoop* gApplicationLoop = nullptr;
static bool gQuitPending = false;

void RunApplicationEventLoop() {
    // Only QuitApplicationEventLoop ends the application, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    if (std::exchange(gQuitPending, false)) return;
    QEventLoop loop;
    gApplicationLoop = &loop;
    loop.exec();
    gApplicationLoop = nullptr;
}

void QuitApplicationEventLoop() {
    if (gApplicationLoop)
        gApplicationLoop->quit();
    else
        gQuitPending = true;
}

// Dialogs loaded from interface files are of this class: Qt's own dialog, with Escape pressing
// the cancel button and a close that never counts as a cancel.
class ToolkitDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    // Escape: the cancel button (the standard Cancel command, or the progress window's command
    // 2) is pressed, so the window's handler decides; a dialog without one is asked to close,
    // never just hidden.
    void reject() override {
        if (!FindWindowState(this)) {
            QDialog::reject();
            return;
        }
        for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
            const OSType command = CommandOfObject(button);
            if ((command == kHICommandCancel || command == 2) && button->isEnabled()) {
                button->click();
                return;
            }
        }
        (void)RequestWindowClose(this);
    }

    // The event filter has asked the window's handler by now. QDialog would turn the close into
    // reject(), which here presses the cancel button; the plain close hides the window, which
    // also ends a modal run.
    void closeEvent(QCloseEvent* event) override { QWidget::closeEvent(event); }
};

QDialog* NewToolkitDialog(QWidget* parent) {
    return new ToolkitDialog(parent);
}

OSStatus RunAppModalLoopForWindow(WindowRef window) {
    WindowState* state = FindWindowState(window);
    auto* dialog = qobject_cast<QDialog*>(window);
    if (!state || !dialog || state->inModalLoop) return kParamErr;
    if (window->windowModality() != Qt::ApplicationModal) {
        // Qt applies a modality only when the window is shown.
        window->hide();
        window->setWindowModality(Qt::ApplicationModal);
    }
    state->inModalLoop = true;
    SelectWindow(window);
    QPointer<QDialog> guard = dialog;
    (void)dialog->exec();
    if (guard && (state = FindWindowState(window))) state->inModalLoop = false;
    return 0;
}

OSStatus QuitAppModalLoopForWindow(WindowRef window) {
    WindowState* state = FindWindowState(window);
    if (!state || !state->inModalLoop) return kParamErr;
    // Hiding ends QDialog::exec. done() would also send the window a close event, which the
    // window's handler would take for the user closing it.
    window->hide();
    ScheduleFrontWindowCheck();
    return 0;
}

// Application events

struct AppleEventHandler {
    AEEventHandlerProc proc = nullptr;
    long refcon = 0;
};
static std::array<AppleEventHandler, 4> gAppleEventHandlers;

void AEInstallEventHandler(AppleEventKind kind, AEEventHandlerProc handler, long refcon) {
    gAppleEventHandlers[size_t(kind)] = AppleEventHandler{handler, refcon};
}

int16_t AEDispatch(const AppleEvent& event) {
    const AppleEventHandler& handler = gAppleEventHandlers[size_t(event.kind)];
    if (!handler.proc) return -1708;
    return handler.proc(event, nullptr, handler.refcon);
}

void SetBusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}
