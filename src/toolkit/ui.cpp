// SPDX-License-Identifier: GPL-3.0-or-later
// ui.cpp - interface files, the window registry and order, window bounds, screens and menus.
#include "toolkit/ui.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>
#include <QUiLoader>
#include <QWidget>

#include "toolkit/resources.h"
#include "toolkit/ui_internal.h"

struct NibRef {
    QString folder;
};

static std::unordered_map<const QWidget*, WindowState> gWindows;
static std::vector<QPointer<QWidget>> gWindowOrder;  // front first
static QPointer<QMenuBar> gMenuBar;

QString FourCharCodeString(OSType code) {
    const char bytes[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    return QString::fromLatin1(bytes, 4);
}

OSType CommandOfObject(const QObject* object) {
    const QVariant value = object->property("command");
    if (!value.isValid()) return 0;
    if (value.typeId() == QMetaType::QString) {
        // Shorter codes ("ok") are padded with blanks, as the standard IDs are.
        const QByteArray text = value.toString().toLatin1().leftJustified(4, ' ', true);
        return PackFourCharCode(text.constData());
    }
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? OSType(number) : 0;
}

// Interface files

OSStatus CreateNibReference(const QString& name, NibRef** nib) {
    *nib = nullptr;
    const QString folder = ResourceFolder() + "/" + name + ".nib";
    if (!QFileInfo(folder).isDir()) return kFnfErr;
    *nib = new NibRef{folder};
    return 0;
}

void DisposeNibReference(NibRef* nib) {
    delete nib;
}

// Dialogs load as the toolkit's own dialog class; everything else as Qt makes it.
class InterfaceLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (className != QLatin1String("QDialog"))
            return QUiLoader::createWidget(className, parent, name);
        QDialog* dialog = NewToolkitDialog(parent);
        dialog->setObjectName(name);
        return dialog;
    }
};

static QWidget* LoadInterfaceObject(NibRef* nib, const QString& name) {
    if (!nib) return nullptr;
    QFile file(nib->folder + "/" + name + ".ui");
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    InterfaceLoader loader;
    loader.setWorkingDirectory(QDir(nib->folder));
    // Texts are translated once, at load: the translator is installed before anything loads.
    loader.setLanguageChangeEnabled(false);
    QWidget* widget = loader.load(&file, nullptr);
    // The loader leaves the string lists of the lists' own properties as written; their column
    // titles are translated here, in the context the loader gives the file's other texts: its
    // class, which is the name it is loaded by.
    if (widget) {
        const QByteArray context = name.toUtf8();
        for (QTreeView* list : widget->findChildren<QTreeView*>()) {
            QStringList titles = list->property("columnTitles").toStringList();
            for (QString& title : titles)
                title =
                    QCoreApplication::translate(context.constData(), title.toUtf8().constData());
            if (!titles.isEmpty()) list->setProperty("columnTitles", titles);
        }
    }
    return widget;
}

OSStatus CreateWindowFromNib(NibRef* nib, const QString& name, WindowRef* window) {
    *window = nullptr;
    QWidget* widget = LoadInterfaceObject(nib, name);
    if (!widget) return kCantFindNibObjectErr;
    if (auto* main = qobject_cast<QMainWindow*>(widget); main && gMenuBar) {
        main->setMenuBar(gMenuBar);
        gMenuBar->show();
    }
    RegisterWindow(widget);
    *window = widget;
    return 0;
}

// A shortcut works in whichever of our windows is in front, as the one menu bar of a desktop
// that has one does. Items that must not act on the key press itself ask for a narrower context
// in the interface file (Remove shows Delete but removes on the key's release).
static void AdoptMenuActions(QMenuBar* bar, QWidget* root) {
    for (QAction* action : root->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        action->setParent(bar);
        if (action->shortcutContext() == Qt::WindowShortcut)
            action->setShortcutContext(Qt::ApplicationShortcut);
        const OSType command = CommandOfObject(action);
        if (command == 0) continue;
        QObject::connect(action, &QAction::triggered, action,
                         [command] { (void)ProcessHICommand(command); });
    }
}

OSStatus SetMenuBarFromNib(NibRef* nib, const QString& name) {
    const std::unique_ptr<QWidget> root(LoadInterfaceObject(nib, name));
    auto* bar = root ? root->findChild<QMenuBar*>() : nullptr;
    if (!bar) return kCantFindNibObjectErr;
    bar->setParent(nullptr);
    AdoptMenuActions(bar, root.get());
    delete gMenuBar;
    gMenuBar = bar;
    InstallToolkitEventFilter();
    for (const auto& [window, state] : gWindows) {
        if (auto* main = qobject_cast<QMainWindow*>(const_cast<QWidget*>(window))) {
            main->setMenuBar(bar);
            bar->show();
            break;
        }
    }
    return 0;
}

QMenuBar* ApplicationMenuBar() {
    return gMenuBar;
}

// The window registry

WindowState* FindWindowState(const QWidget* window) {
    const auto found = gWindows.find(window);
    return found == gWindows.end() ? nullptr : &found->second;
}

void RegisterWindow(QWidget* window) {
    WindowState& state = gWindows[window];
    const QVariant closable = window->property("closable");
    state.closable = !closable.isValid() || closable.toBool();
    if (!state.closable) {
        window->setWindowFlags(window->windowFlags() | Qt::CustomizeWindowHint);
        window->setWindowFlag(Qt::WindowCloseButtonHint, false);
    }
    state.boundsTimer = new QTimer(window);
    state.boundsTimer->setSingleShot(true);
    state.boundsTimer->setInterval(200);
    QObject::connect(window, &QObject::destroyed, [window] { UnregisterWindow(window); });
    gWindowOrder.insert(gWindowOrder.begin(), window);
    ConnectControls(window);
    InstallToolkitEventFilter();
}

void UnregisterWindow(QWidget* window) {
    gWindows.erase(window);
    std::erase_if(gWindowOrder, [window](const QPointer<QWidget>& w) {
        return w.isNull() || w.data() == window;
    });
    ScheduleFrontWindowCheck();
}

void BringToFrontOfOrder(QWidget* window) {
    const auto found = std::find(gWindowOrder.begin(), gWindowOrder.end(), window);
    if (found == gWindowOrder.end()) return;
    std::rotate(gWindowOrder.begin(), found, found + 1);
}

QWidget* WindowContent(QWidget* window) {
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->centralWidget())
        return main->centralWidget();
    return window;
}

// Windows

void SetWindowTag(WindowRef window, OSType tag) {
    if (WindowState* state = FindWindowState(window)) state->tag = tag;
}

OSType GetWindowTag(WindowRef window) {
    const WindowState* state = window ? FindWindowState(window) : nullptr;
    return state ? state->tag : 0;
}

WindowRef FrontWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (const QPointer<QWidget>& window : gWindowOrder)
        if (window && window->isVisible()) return window;
    return nullptr;
}

QList<WindowRef> WindowList() {
    QList<WindowRef> list;
    for (const QPointer<QWidget>& window : gWindowOrder)
        if (window) list.append(window);
    // The window the user works in leads even when the toolkit's order has not seen it yet.
    const WindowRef front = FrontWindow();
    if (list.removeOne(front)) list.prepend(front);
    return list;
}

void ShowWindow(WindowRef window) {
    window->show();
    BringToFrontOfOrder(window);
    ScheduleFrontWindowCheck();
}

void HideWindow(WindowRef window) {
    window->hide();
    ScheduleFrontWindowCheck();
}

void SelectWindow(WindowRef window) {
    window->show();
    window->raise();
    window->activateWindow();
    BringToFrontOfOrder(window);
    ScheduleFrontWindowCheck();
}

void DisposeWindow(WindowRef window) {
    if (!window) return;
    if (WindowState* state = FindWindowState(window); state && state->inModalLoop)
        (void)QuitAppModalLoopForWindow(window);
    UnregisterWindow(window);
    delete window;
}

// A hidden window lays itself out only when shown; the content's geometry must be right now.
static void UpdateLayoutOfHiddenWindow(QWidget* window) {
    if (window->isVisible()) return;
    if (QLayout* layout = window->layout()) {
        layout->invalidate();
        layout->activate();
    }
}

static Rect MakeRect(const QRect& r) {
    return Rect{int16_t(r.top()), int16_t(r.left()), int16_t(r.top() + r.height()),
                int16_t(r.left() + r.width())};
}

Rect GetWindowContentBounds(WindowRef window) {
    UpdateLayoutOfHiddenWindow(window);
    const QWidget* content = WindowContent(window);
    const QPoint origin = window->geometry().topLeft() + content->mapTo(window, QPoint(0, 0));
    return MakeRect(QRect(origin, content->size()));
}

void SetWindowContentBounds(WindowRef window, const Rect& bounds) {
    UpdateLayoutOfHiddenWindow(window);
    const QWidget* content = WindowContent(window);
    const QPoint offset = content->mapTo(window, QPoint(0, 0));
    const int extraWidth = window->width() - content->width();
    const int extraHeight = window->height() - content->height();
    window->setGeometry(bounds.left - offset.x(), bounds.top - offset.y(),
                        bounds.right - bounds.left + extraWidth,
                        bounds.bottom - bounds.top + extraHeight);
    UpdateLayoutOfHiddenWindow(window);
}

Rect GetWindowStructureBounds(WindowRef window) {
    return MakeRect(window->frameGeometry());
}

void MoveWindowStructure(WindowRef window, int left, int top) {
    window->move(left, top);
}

void SetWindowResizeLimits(WindowRef window, int minWidth, int minHeight) {
    QWidget* content = WindowContent(window);
    content->setMinimumSize(minWidth, minHeight);
    if (content != window) {
        // The main window's own minimum follows from its layout: content plus menu bar.
        window->setMinimumSize(0, 0);
        if (QLayout* layout = window->layout()) {
            layout->invalidate();
            layout->activate();
        }
    }
}

QList<Rect> AvailableScreenBounds() {
    QList<Rect> bounds;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) bounds.append(MakeRect(primary->availableGeometry()));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) bounds.append(MakeRect(screen->availableGeometry()));
    return bounds;
}

int GetMBarHeight() {
    return 0;
}

// A window is placed by its content (the old platform's rule), but under a window manager the
// title bar sits above the content: placed near the top of the screen, it would be out of
// reach and the window could not be dragged. The frame is known only once the window manager
// has put it on, so the correction comes then.
void KeepFrameInAvailableArea(QWidget* window) {
    WindowState* state = FindWindowState(window);
    if (!state || !window->isVisible()) return;
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                           frame.right() - inner.right(), frame.bottom() - inner.bottom());
    if (margins == state->frameMargins) return;
    state->frameMargins = margins;
    QScreen* screen = window->screen();
    if (margins.isNull() || !screen) return;
    const QRect area = screen->availableGeometry();
    const QPoint corner(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
    if (corner != frame.topLeft()) window->move(corner);  // move() places the frame
}

// Menus

QMenu* GetMenuHandle(int16_t menuID) {
    if (!gMenuBar) return nullptr;
    for (QMenu* menu : gMenuBar->findChildren<QMenu*>()) {
        const QVariant id = menu->property("menuID");
        if (id.isValid() && id.toInt() == menuID) return menu;
    }
    return nullptr;
}

static QList<QAction*> ActionsSending(OSType command) {
    QList<QAction*> actions;
    if (!gMenuBar) return actions;
    for (QAction* action : gMenuBar->findChildren<QAction*>())
        if (CommandOfObject(action) == command) actions.append(action);
    return actions;
}

static QString CharacterPickerProgram() {
    for (const char* name : {"gnome-characters", "kcharselect", "gucharmap"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty()) return path;
    }
    return {};
}

void EnableMenuCommand(OSType command) {
    if (command == kHICommandCharacterPalette && CharacterPickerProgram().isEmpty()) return;
    for (QAction* action : ActionsSending(command)) action->setEnabled(true);
}

void DisableMenuCommand(OSType command) {
    for (QAction* action : ActionsSending(command)) action->setEnabled(false);
}

bool IsMenuCommandEnabled(OSType command) {
    const QList<QAction*> actions = ActionsSending(command);
    return !actions.isEmpty() && actions.first()->isEnabled();
}

// Started, not waited for: the picker is an application of its own.
OSStatus StartCharacterPicker() {
    const QString program = CharacterPickerProgram();
    if (program.isEmpty()) return kEventNotHandledErr;
    return QProcess::startDetached(program, {}) ? 0 : kEventNotHandledErr;
}
