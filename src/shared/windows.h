// SPDX-License-Identifier: GPL-3.0-or-later
// windows.h - making the application's windows from the interface folder.
#pragma once

#include <QString>

#include "toolkit/ui.h"

// Whether LoadTaggedWindow tells the user which step failed.
enum class LoadFailure { silent, told };

// Makes the window "<name>" of the interface folder "main", hidden, and gives it the tag. 0 with
// the window in *window; else the failing step's status (a stop alert names the step when
// failure is LoadFailure::told) and *window is null.
// Where the top left corner of a window of width by height goes to centre it over the outer
// rectangle: lower by half the menu bar's height, so that it looks centred below the bar.
struct WindowOrigin {
    int left;
    int top;
};
WindowOrigin CentredOver(const Rect& outer, int width, int height);

[[nodiscard]] OSStatus LoadTaggedWindow(const QString& name, OSType tag, LoadFailure failure,
                                        WindowRef* window);
