// SPDX-License-Identifier: GPL-3.0-or-later
// ui.h - windows, controls, menus, commands and events for the application's plain functions.
//
// Windows and controls are Qt widgets, loaded by name from the interface folder "main.nib" in
// the resource folder (one Qt Designer file per object). Every control carries the dynamic
// properties "signature" ("Rozk") and "controlID"; buttons and menu actions carry "command", a
// four-character command ID (a string; a number for the small numeric IDs). The application
// installs plain handler functions; the toolkit turns Qt's signals and events into calls on them.
//
// What the toolkit reads from an interface file besides those three properties:
// - a window whose root is a QMainWindow is the main window: it carries the menu bar, and its
//   content is its central widget (the area below the menu bar);
// - "closable" false on a window's root: the window has no close button and the toolkit's own
//   close handling refuses to close it (the progress window closes only when its job ends);
// - a QMenu's "menuID" (int) names it for GetMenuHandle;
// - a list control (QTreeView) lists its columns in "columns" (the property IDs, a string list
//   in display order, e.g. FILE, TITL) and their header texts in "columnTitles";
// - "nameFollowsText" true on a QLabel: its accessible name is the text it shows (the name in
//   the file only while it shows nothing), for lines whose text is the news, such as progress;
// - little arrows are a QWidget holding two QToolButtons whose "part" property is 20 (up) and
//   21 (down); the QWidget's "minimum", "maximum" and "value" properties are its range and value.
#pragma once

#include <cstdint>

#include <QList>
#include <QString>
#include <QStringList>

#include "toolkit/fileref.h"  // kParamErr, shared with the file calls
#include "toolkit/fourcc.h"

class QAction;
class QImage;
class QMenu;
class QWidget;

QString FourCharCodeString(OSType code);

inline constexpr OSType kControlSignature = FourCharCode("Rozk");
inline constexpr OSStatus kEventNotHandledErr = -9874;
inline constexpr OSStatus kUserCanceledErr = -128;
inline constexpr OSStatus kCantFindNibObjectErr = -10960;  // no such window or menu bar in it
inline constexpr OSStatus kUnknownControlErr = -30584;     // no control with that ID

// Standard command IDs the toolkit knows: close the front window, quit, character palette, and
// the OK and Cancel buttons of dialogs.
inline constexpr OSType kHICommandClose = FourCharCode("clos");
inline constexpr OSType kHICommandQuit = FourCharCode("quit");
inline constexpr OSType kHICommandCharacterPalette = FourCharCode("chrp");
inline constexpr OSType kHICommandOK = FourCharCode("ok  ");
inline constexpr OSType kHICommandCancel = FourCharCode("not!");

using WindowRef = QWidget*;   // a top-level window: the main window or a dialog
using ControlRef = QWidget*;  // a widget inside a window

struct ControlID {
    OSType signature;
    int32_t id;
};

// Interface files

struct NibRef;  // an opened interface folder
// Opens the interface folder `name` ("main" -> "main.nib") of the resource folder; kFnfErr when
// there is none.
[[nodiscard]] OSStatus CreateNibReference(const QString& name, NibRef** nib);
// Creates the window described by "<name>.ui"; hidden until shown. -10960 when the folder has
// no such file or it holds no window.
[[nodiscard]] OSStatus CreateWindowFromNib(NibRef* nib, const QString& name, WindowRef* window);
// Loads the menu bar "<name>.ui" and makes it the application's menu bar (the main window
// carries it once it exists).
[[nodiscard]] OSStatus SetMenuBarFromNib(NibRef* nib, const QString& name);
void DisposeNibReference(NibRef* nib);

// Windows

void SetWindowTag(WindowRef window, OSType tag);  // the window's reference constant
OSType GetWindowTag(WindowRef window);            // 0 for none, and for null
// The front window: the active modal dialog, else the active window, else the window of ours
// shown or selected last (a bare X server without a window manager activates nothing). Alerts
// count too while they are up; they carry no tag.
WindowRef FrontWindow();
// Every window of ours that is not disposed of, shown or hidden, from front to back.
QList<WindowRef> WindowList();
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
void SelectWindow(WindowRef window);  // show, raise and activate
// Destroys the window and its controls at once. Windows closed by the toolkit's own close
// handling are disposed of by the toolkit; never dispose of a window twice.
void DisposeWindow(WindowRef window);

struct Rect {
    int16_t top, left, bottom, right;
};
// Content rectangle in global coordinates (for the main window: below its menu bar).
Rect GetWindowContentBounds(WindowRef window);
void SetWindowContentBounds(WindowRef window, const Rect& bounds);
// The window with its frame, as far as the window manager tells.
Rect GetWindowStructureBounds(WindowRef window);
// Moves the window's frame to (left, top) without raising it.
void MoveWindowStructure(WindowRef window, int left, int top);
// The smallest content size the user can resize to; 0, 0 lifts the limit.
void SetWindowResizeLimits(WindowRef window, int minWidth, int minHeight);
// Available areas of every screen (the panels left out), main screen first. A point lies in a
// rectangle when top <= v < bottom and left <= h < right.
QList<Rect> AvailableScreenBounds();
int GetMBarHeight();  // 0 here: the menu bar is inside the main window

// Controls

[[nodiscard]] OSStatus GetControlByID(WindowRef window, const ControlID& id, ControlRef* control);
// The window's control with our signature and that number, or null.
ControlRef FindControl(WindowRef window, int32_t id);
// The signature and number of a control; -30584 when it has none.
[[nodiscard]] OSStatus GetControlID(ControlRef control, ControlID* id);
WindowRef GetControlOwner(ControlRef control);
void ActivateControl(ControlRef control);    // enabled
void DeactivateControl(ControlRef control);  // disabled
bool IsControlActive(ControlRef control);
// Check box 0/1, pop-up item from 1 (0 when it has none), progress bar, slider, little arrows.
// A value set is pinned to the control's minimum and maximum.
int32_t GetControl32BitValue(ControlRef control);
void SetControl32BitValue(ControlRef control, int32_t value);
int32_t GetControl32BitMinimum(ControlRef control);
void SetControl32BitMinimum(ControlRef control, int32_t minimum);
int32_t GetControl32BitMaximum(ControlRef control);
void SetControl32BitMaximum(ControlRef control, int32_t maximum);
// The text of a static text, text field or button.
QString GetControlText(ControlRef control);
void SetControlText(ControlRef control, const QString& text);
// The picture an image well shows, scaled to fit; null empties it.
void SetImageWellPicture(ControlRef well, const QImage* picture);
Rect GetControlBounds(ControlRef control);  // in the content coordinates of its window
void SetControlBounds(ControlRef control, const Rect& bounds);
void Draw1Control(ControlRef control);  // repaints it now
// What a screen reader calls the control, where its text or the interface file cannot say it.
void SetControlAccessibleName(ControlRef control, const QString& name);
OSType GetControlCommandID(ControlRef control);  // 0 for none

// Little arrows call their action with the part pressed, once per click and repeatedly while
// the arrow is held.
inline constexpr int16_t kControlUpButtonPart = 20;
inline constexpr int16_t kControlDownButtonPart = 21;
using ControlActionProc = void (*)(ControlRef control, int16_t part);
void SetControlAction(ControlRef control, ControlActionProc action);

// List controls: column widths by the column's property ID (see "columns" above). The default
// width is the one every column has that was given none.
[[nodiscard]] OSStatus GetListColumnWidth(ControlRef list, OSType property, int16_t* width);
[[nodiscard]] OSStatus SetListColumnWidth(ControlRef list, OSType property, int16_t width);
void SetListDefaultColumnWidth(ControlRef list, int16_t width);

// Menus and commands

// The menu of the menu bar with this ID (dynamic property "menuID" on the QMenu), or null.
// Menus need not be shown in the bar: the list's contextual menu is one of them.
QMenu* GetMenuHandle(int16_t menuID);
// Enables or disables every menu item that sends the command (buttons are controls: they follow
// ActivateControl). "chrp" stays disabled when no character picker is installed.
void EnableMenuCommand(OSType command);
void DisableMenuCommand(OSType command);
bool IsMenuCommandEnabled(OSType command);  // false when no menu item sends it

// Events

enum class EventKind {
    ProcessCommand,        // a menu item or button sent `command`
    WindowActivated,       // `window` became the front window
    RawKeyUp,              // a key was released over our windows; `charCode`
    ControlHit,            // a control of `window` was used (clicked, toggled, chosen); `control`.
                           // A check box reports every change of its state but the program's own
    WindowBoundsChanging,  // the user is resizing or moving `window`
    WindowBoundsChanged,   // a resize or move of `window` ended (it paused for 200 ms)
    WindowClose,           // the user asks to close `window`
};

struct EventRecord {
    EventKind kind;
    OSType command = 0;
    WindowRef window = nullptr;
    ControlRef control = nullptr;
    uint8_t charCode = 0;  // 8 Backspace, 127 Delete, 13 Return, 27 Escape, else ASCII or 0
};

// A handler answers kEventNotHandledErr to let the event go on. Where events go:
// - ControlHit: the window's handler. Unless it answers 0, a control with a command then sends
//   that command from its window.
// - ProcessCommand: the handler of the window it came from (the button's window; the front
//   window for menu items), then the application's handler, then the toolkit: "clos" asks the
//   front window to close, "quit" dispatches the quit application event, "chrp" starts the
//   character picker.
// - WindowClose: the window's handler. Answering 0 or kEventNotHandledErr lets the window close
//   (it is disposed of, unless it runs a modal loop, which then ends); any other status (the main
//   window answers -128 during a send) keeps it open.
// - WindowBoundsChanging and WindowBoundsChanged: the window's handler; the status is not used.
// - WindowActivated and RawKeyUp: the application's handler.
using EventHandlerProc = OSStatus (*)(const EventRecord& event, void* userData);
// The application-level handler (commands, window activation, key releases).
void InstallApplicationEventHandler(EventHandlerProc handler, void* userData);
// A window's own handler (control hits, commands, bounds changes, close); null removes it.
void InstallWindowEventHandler(WindowRef window, EventHandlerProc handler, void* userData);
// Sends a command as a menu item does (from the front window); returns the status of whoever
// handled it, kEventNotHandledErr when nobody did.
OSStatus ProcessHICommand(OSType command);
// The close request the window manager's close button sends; true when the window closed.
bool RequestWindowClose(WindowRef window);

using EventLoopTimerProc = void (*)(void* userData);
// First fire after `delaySeconds`, then every `intervalSeconds`; lives until the process ends.
void InstallEventLoopTimer(double delaySeconds, double intervalSeconds, EventLoopTimerProc proc,
                           void* userData);
// The idle timer: fires every `intervalSeconds` like the timer above, but rests once its proc
// calls RestIdleTimer, and wakes to fire one interval after the application next receives an
// event that is not a timer's: input, a window shown, closed or activated, a socket notifier's
// news (a mount or unmount heard on the mount table), a queued call. While it rests the event
// loop sleeps until something happens. One idle timer: installing another replaces it.
void InstallIdleTimer(double intervalSeconds, EventLoopTimerProc proc, void* userData);
// Called by the idle proc when nothing is left for it until the next event; nothing when no
// idle timer is installed.
void RestIdleTimer();

// Runs until QuitApplicationEventLoop; a quit asked for before the loop runs ends it at once.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();
// A modal loop on one window (the progress window, the thumbnail dialog): shows it over the
// others and returns when it is quit or the window closes; the window stays for its owner to
// dispose of.
OSStatus RunAppModalLoopForWindow(WindowRef window);
// -50 when no modal loop runs for the window.
OSStatus QuitAppModalLoopForWindow(WindowRef window);

// Application events: open documents, print, quit

// The requests the desktop and other processes send: files named on the command line arrive as
// an open-documents event once the event loop runs; a second start of the program forwards its
// files (or --quit) to the running instance over a local socket and exits with the status its
// handler answered; SIGTERM and SIGINT arrive as the quit event (instance.h).
enum class AppleEventKind { OpenApplication, OpenDocuments, PrintDocuments, Quit };
struct AppleEvent {
    AppleEventKind kind;
    QStringList files;  // absolute paths, for OpenDocuments and PrintDocuments
};
using AEEventHandlerProc = int16_t (*)(const AppleEvent& event, void* reply, long refcon);
// Installs the handler for one kind, replacing the one before; null removes it.
void AEInstallEventHandler(AppleEventKind kind, AEEventHandlerProc handler, long refcon);
// Hands an event to its installed handler and returns the handler's status (-1708 when none).
int16_t AEDispatch(const AppleEvent& event);

// Cursor

void SetBusyCursor();  // the arrow comes back with SetArrowCursor (alerts.h)
