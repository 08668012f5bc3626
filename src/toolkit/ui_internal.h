// SPDX-License-Identifier: GPL-3.0-or-later
// ui_internal.h - what the toolkit's window, control and event files share among themselves.
#pragma once

#include <QMargins>
#include <QPointer>

#include "toolkit/ui.h"

class QDialog;
class QMenuBar;
class QObject;
class QTimer;

struct WindowState {
    OSType tag = 0;
    EventHandlerProc handler = nullptr;
    void* userData = nullptr;
    QTimer* boundsTimer = nullptr;  // restarted on every resize or move; fires once they pause
    bool inModalLoop = false;       // while RunAppModalLoopForWindow runs for the window
    bool closable = true;
    QMargins frameMargins;  // the window manager's frame around the window, as last seen
};

// The record of a window of ours, or null for any other widget (an alert, a file dialog).
WindowState* FindWindowState(const QWidget* window);
// Makes a loaded window one of ours: its record, its controls' signals, the event filter.
void RegisterWindow(QWidget* window);
// Forgets a window that is going away (disposed of, or closed by the toolkit).
void UnregisterWindow(QWidget* window);
// Once the window manager has put its frame around the window (or changed it), a frame that
// starts above or left of the available area of the window's screen is moved into it.
void KeepFrameInAvailableArea(QWidget* window);
// Moves a window to the front of the toolkit's own window order.
void BringToFrontOfOrder(QWidget* window);

// A dialog for the interface loader: Escape presses its cancel button, closing it ends a modal run.
QDialog* NewToolkitDialog(QWidget* parent);

// The widget the window's controls live in: the central widget of the main window, the window
// itself otherwise.
QWidget* WindowContent(QWidget* window);

// The "command" property of a control or action as a command ID: four characters, or a number.
OSType CommandOfObject(const QObject* object);

// The menu bar SetMenuBarFromNib installed, or null.
QMenuBar* ApplicationMenuBar();
// Starts the desktop's character picker; kEventNotHandledErr when none is installed.
OSStatus StartCharacterPicker();

// Asks, on the next turn of the event loop, whether the front window changed, and tells the
// application when it did.
void ScheduleFrontWindowCheck();
// A command sent from a window: its handler, then the application's, then the toolkit's own.
OSStatus SendCommandFrom(QWidget* window, OSType command);
// A control was used: its window's handler, then its command if it has one.
void DispatchControlHit(QWidget* control);
// Turns the signals of a new window's controls into control hits.
void ConnectControls(QWidget* window);
// The application-wide filter that turns Qt's events into the handlers' events.
void InstallToolkitEventFilter();
