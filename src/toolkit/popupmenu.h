// SPDX-License-Identifier: GPL-3.0-or-later
// popupmenu.h - the items of a pop-up control: their texts and command IDs.
#pragma once

#include <QString>

#include "toolkit/ui.h"

// Every call here does nothing (or answers 0 / an empty text) for a control that is no pop-up.
void DeletePopupMenuItems(ControlRef popup);
void AppendPopupMenuItem(ControlRef popup, const QString& text, OSType command);
int CountPopupMenuItems(ControlRef popup);
// Items are numbered from 1, as the pop-up's value numbers them.
QString GetPopupMenuItemText(ControlRef popup, int item);
OSType GetPopupMenuItemCommandID(ControlRef popup, int item);
