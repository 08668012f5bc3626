// listview_stubs.h - stand-ins for the list view's state and removal until the list view exists.
//
// STUB: the list view replaces this file and listview_stubs.cpp with its own declarations.
#pragma once

#include "toolkit/ui.h"

// True while a title cell is being edited: the Delete keys then edit the text.
extern bool gEditTitleNow;

// Asks, then removes the selected movies. STUB: nothing is selectable yet; answers 0.
[[nodiscard]] OSStatus RemoveSelectedListItem();
