// SPDX-License-Identifier: GPL-3.0-or-later
// mainwindow.h - the main window: movie list, device pop-up, send options, thumbnail preview.
#pragma once

#include <cstdint>

#include "shared/ids.h"
#include "toolkit/ui.h"

// Makes and shows the main window from the preferences; false (after telling the user) when
// it could not be made.
[[nodiscard]] bool DoPref();
// Close (quits, or cancels a running send instead), resizes (kept at least the minimum size and
// remembered), the device pop-up, the list's column widths and the two send options.
OSStatus DialogHandlerPref(const EventRecord& event, void* userData);
// Places the controls for a content area of width by height.
void LayoutPrefDialog(WindowRef window, int16_t width, int16_t height);
