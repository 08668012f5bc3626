// SPDX-License-Identifier: GPL-3.0-or-later
// startup.h - the application's spine: its events, commands and menus, the idle tick, About.
#pragma once

#include <cstdint>

#include "shared/application.h"
#include "shared/ids.h"
#include "toolkit/ui.h"

inline constexpr int16_t kErrAEEventNotHandled = -1708;

// The application's event handlers, as installed.
extern AEEventHandlerProc gAELaunchApp;
extern AEEventHandlerProc gAEOpenDoc;
extern AEEventHandlerProc gAEPrintDoc;
extern AEEventHandlerProc gAEQuit;

void CreateRoutineDescriptor();
void DoInstallAE();

int16_t AELaunchApp(const AppleEvent& event, void* reply, long refcon);
// AEOpenDoc, which adds the documents to the movie list, is in movielist/opening.h.
// Refused: printing is not offered (-1708).
int16_t AEPrintDoc(const AppleEvent& event, void* reply, long refcon);
// While a transfer runs, asks it to stop and answers -128 without quitting; otherwise ends the
// application's event loop.
int16_t AEQuit(const AppleEvent& event, void* reply, long refcon);
// What closing the main window and quitting share: during a send, asks it to stop and answers
// -128 (the application goes on); otherwise ends the application's event loop and answers 0.
int16_t QuitUnlessSending();

// Commands, window activation and key releases, dispatched by the front window's tag.
OSStatus ApplicationHandler(const EventRecord& event, void* userData);
// Enables the commands that make sense for the front window and the movie list.
void DoMenuControl();
// The 0.1 s tick.
void IdleProc(void* userData);

// Shows the About window, making it the first time; there is never more than one.
[[nodiscard]] OSStatus DoAbout();
WindowRef GetAboutWindow();

// An interface folder found under the upper-case name "MAIN.nib" is given its right name, the
// user is told, and false says that the application must end (it uses the folder from its next
// start on). True when there was nothing to repair.
[[nodiscard]] bool RepairNibFile();
