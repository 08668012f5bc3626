// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnaildialog.h - the dialog that plays a movie so that the user can pick the frame its
// thumbnail is made from, stepping back and forth by two adjustable steps.
#pragma once

#include <cstdint>

#include "toolkit/ui.h"

// Runs the dialog for the first selected movie of the main window's list; true when a thumbnail
// file was written.
[[nodiscard]] bool DoMakeThumbnail(WindowRef parent);
// The dialog's handler: the step buttons, OK, Cancel, and the layout when its bounds change.
OSStatus DialogHandlerThumbnail(const EventRecord& event, void* userData);
// The little arrows' action: one up or down per call, pinned to the control's range, stored in
// the preferences in memory and shown beside the arrows.
void LittleArrowActionProc(ControlRef control, int16_t part);
// Places the buttons and the stepping panel for a content area of width by height.
void LayoutThumbnailDialog(WindowRef window, int16_t width, int16_t height);
