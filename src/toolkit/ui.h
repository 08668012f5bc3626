// ui.h - windows, controls, menus, commands and events for the application's plain functions.
//
// Windows and controls are Qt widgets, loaded by name from the interface folder "main.nib" in
// the resource folder (one Qt Designer file per object). Every control carries the dynamic
// properties "signature" ("Rozk") and "controlID"; buttons and menu actions carry "command", a
// four-character command ID. The application installs plain handler functions; the toolkit
// turns Qt's signals and events into calls on them.
#pragma once

#include <cstdint>

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class QAction;
class QMenu;

using OSType = uint32_t;
using OSStatus = int32_t;

// 'Rozk' as a number: the first letter in the high byte.
constexpr OSType FourCharCode(const char (&code)[5]) {
    return OSType(uint8_t(code[0])) << 24 | OSType(uint8_t(code[1])) << 16 |
           OSType(uint8_t(code[2])) << 8 | OSType(uint8_t(code[3]));
}
QString FourCharCodeString(OSType code);

inline constexpr OSType kControlSignature = FourCharCode("Rozk");
inline constexpr OSStatus kEventNotHandledErr = -9874;
inline constexpr OSStatus kUserCanceledErr = -128;

// Standard command IDs the toolkit knows: close the front window, quit, character palette.
inline constexpr OSType kHICommandClose = FourCharCode("clos");
inline constexpr OSType kHICommandQuit = FourCharCode("quit");
inline constexpr OSType kHICommandCharacterPalette = FourCharCode("chrp");

using WindowRef = QWidget*;   // a top-level window: the main window or a dialog
using ControlRef = QWidget*;  // a widget inside a window

struct ControlID {
    OSType signature;
    int32_t id;
};

// ---- Interface files ------------------------------------------------------------------------

struct NibRef;  // an opened interface folder
// Opens the interface folder `name` ("main" -> "main.nib") of the resource folder.
[[nodiscard]] OSStatus CreateNibReference(const QString& name, NibRef** nib);
// Creates the window described by "<name>.ui"; hidden until shown.
[[nodiscard]] OSStatus CreateWindowFromNib(NibRef* nib, const QString& name, WindowRef* window);
// Loads the menu bar "<name>.ui" and makes it the application's menu bar (the main window
// carries it once it exists).
[[nodiscard]] OSStatus SetMenuBarFromNib(NibRef* nib, const QString& name);
void DisposeNibReference(NibRef* nib);

// ---- Windows --------------------------------------------------------------------------------

void SetWindowTag(WindowRef window, OSType tag);  // the window's reference constant
OSType GetWindowTag(WindowRef window);            // 0 for none
// The front window: the active modal dialog, else the active window, else the window shown
// last (a bare X server without a window manager activates nothing).
WindowRef FrontWindow();
// Every window of ours from front to back.
QList<WindowRef> WindowList();
void ShowWindow(WindowRef window);
void SelectWindow(WindowRef window);  // raise and activate
void DisposeWindow(WindowRef window);

struct Rect {
    int16_t top, left, bottom, right;
};
// Content rectangle in global coordinates.
Rect GetWindowContentBounds(WindowRef window);
void SetWindowContentBounds(WindowRef window, const Rect& bounds);
void SetWindowResizeLimits(WindowRef window, int minWidth, int minHeight);
// Available areas of every screen (the menu bar and panels left out), main screen first.
QList<Rect> AvailableScreenBounds();
int GetMBarHeight();  // 0 here: the menu bar is inside the main window

// ---- Controls -------------------------------------------------------------------------------

[[nodiscard]] OSStatus GetControlByID(WindowRef window, const ControlID& id, ControlRef* control);
WindowRef GetControlOwner(ControlRef control);
void ActivateControl(ControlRef control);    // enabled
void DeactivateControl(ControlRef control);  // disabled
bool IsControlActive(ControlRef control);
int32_t GetControl32BitValue(ControlRef control);  // check box 0/1, pop-up item from 1
void SetControl32BitValue(ControlRef control, int32_t value);
Rect GetControlBounds(ControlRef control);  // in window coordinates
void SetControlBounds(ControlRef control, const Rect& bounds);
OSType GetControlCommandID(ControlRef control);

// ---- Menus and commands ---------------------------------------------------------------------

// The menu of the menu bar with this ID (dynamic property "menuID" on the QMenu), or null.
QMenu* GetMenuHandle(int16_t menuID);
// Enables or disables every menu item and button that sends the command.
void EnableMenuCommand(OSType command);
void DisableMenuCommand(OSType command);
bool IsMenuCommandEnabled(OSType command);

// ---- Events ---------------------------------------------------------------------------------

enum class EventKind {
    ProcessCommand,       // a menu item or button sent `command`
    WindowActivated,      // `window` became the front window
    RawKeyUp,             // a key was released over our windows; `charCode`
    ControlHit,           // a control of `window` was used (clicked, toggled, chosen); `control`
    WindowBoundsChanging, // the user is resizing `window`
    WindowBoundsChanged,  // a resize of `window` ended
    WindowClose,          // the user asks to close `window`
};

struct EventRecord {
    EventKind kind;
    OSType command = 0;
    WindowRef window = nullptr;
    ControlRef control = nullptr;
    uint8_t charCode = 0;
};

// A handler answers kEventNotHandledErr to let the toolkit's own handling go on: for a command,
// 'clos' closes the front window and 'quit' sends the quit event; for a close, the window
// closes.
using EventHandlerProc = OSStatus (*)(const EventRecord& event, void* userData);
// The application-level handler (commands, window activation, key releases).
void InstallApplicationEventHandler(EventHandlerProc handler, void* userData);
// A window's own handler (control hits, bounds changes, close).
void InstallWindowEventHandler(WindowRef window, EventHandlerProc handler, void* userData);
// Sends a command as if a menu item had been chosen (tests, and the toolkit's own menu items).
OSStatus ProcessHICommand(OSType command);

using EventLoopTimerProc = void (*)(void* userData);
// First fire after `delaySeconds`, then every `intervalSeconds`.
void InstallEventLoopTimer(double delaySeconds, double intervalSeconds, EventLoopTimerProc proc,
                           void* userData);

void RunApplicationEventLoop();
void QuitApplicationEventLoop();
// A modal loop on one window (the progress window); the window stays shown.
OSStatus RunAppModalLoopForWindow(WindowRef window);
OSStatus QuitAppModalLoopForWindow(WindowRef window);

// ---- Application events: open documents, print, quit -----------------------------------------

// The requests the desktop and other processes send: files named on the command line arrive as
// an open-documents event once the event loop runs; a second start of the program forwards its
// files (or --quit) to the running instance over a local socket and exits with the status its
// handler answered; SIGTERM and SIGINT arrive as the quit event.
enum class AppleEventKind { OpenApplication, OpenDocuments, PrintDocuments, Quit };
struct AppleEvent {
    AppleEventKind kind;
    QStringList files;  // absolute paths, for OpenDocuments and PrintDocuments
};
using AEEventHandlerProc = int16_t (*)(const AppleEvent& event, void* reply, long refcon);
void AEInstallEventHandler(AppleEventKind kind, AEEventHandlerProc handler, long refcon);
// Hands an event to its installed handler and returns the handler's status (-1708 when none).
int16_t AEDispatch(const AppleEvent& event);

// ---- Cursor ---------------------------------------------------------------------------------

void SetBusyCursor();  // the arrow comes back with SetArrowCursor (alerts.h)
