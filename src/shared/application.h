// SPDX-License-Identifier: GPL-3.0-or-later
// application.h - what the layers below the application know of it: the versions it read at
// start-up, the main window's movie list, and the calls they make into it.
#pragma once

#include <cstdint>

#include "toolkit/ui.h"

// The system and movie-toolkit versions, read once at start-up; 0 when unknown.
extern int32_t gSysVersion;
extern int32_t gQuickTimeVersion;
// The movie list whose selection display the next idle tick refreshes, or null.
extern ControlRef gUpdateControl;

// The calls that go up from the lower layers into the application. The application fills them
// in when it makes its main window; until then they do nothing.
struct ApplicationInterface {
    // Enables the commands that make sense for the front window and the movie list.
    void (*updateMenus)() = nullptr;
};

void InstallApplicationInterface(const ApplicationInterface& application);

// Asks the application to enable its commands anew, after the list or its selection changed.
void UpdateMenus();

// The movie list of the window, or of the main window when window is null; null when there is
// none.
ControlRef GetDataBrowserControl(WindowRef window);

// The movies selected in the window's movie list (the main window's when window is null); 0 when
// they cannot be counted.
uint32_t CountSelectedMovies(WindowRef window = nullptr);
