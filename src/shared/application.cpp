// SPDX-License-Identifier: GPL-3.0-or-later
// application.cpp - the lower layers' view of the application, and the calls it installs.
#include "shared/application.h"

#include "shared/ids.h"
#include "toolkit/listcontrol.h"

int32_t gSysVersion = 0;
int32_t gQuickTimeVersion = 0;
ControlRef gUpdateControl = nullptr;

static ApplicationInterface installed;

void InstallApplicationInterface(const ApplicationInterface& application) {
    installed = application;
}

void UpdateMenus() {
    if (installed.updateMenus) installed.updateMenus();
}

ControlRef GetDataBrowserControl(WindowRef window) {
    if (!window) {
        for (WindowRef candidate : WindowList()) {
            if (GetWindowTag(candidate) == kMainWindowTag) {
                window = candidate;
                break;
            }
        }
    }
    return window ? FindControl(window, kPrefMovieList) : nullptr;
}

uint32_t CountSelectedMovies(WindowRef window) {
    uint32_t count = 0;
    if (GetDataBrowserItemCount(GetDataBrowserControl(window), kDataBrowserNoItem, false,
                                kDataBrowserItemIsSelected, &count) != 0)
        return 0;
    return count;
}
