// SPDX-License-Identifier: GPL-3.0-or-later
// desktopnotify.h - desktop notifications and the taskbar entry's progress, over D-Bus.
#pragma once

#include <QString>

// Shows a notification through the desktop's notification service. It is sent without waiting
// for an answer; false when there is no session bus to send it on. A desktop without the
// service simply shows nothing.
bool ShowDesktopNotification(const QString& summary, const QString& body);

// The progress (0 to 1) on the application's taskbar or dock entry, for the docks that listen to
// the launcher entry signal (KDE's task manager, the GNOME docks); elsewhere nothing. Only a
// change of at least a hundredth is signalled, since the progress window updates ten times a
// second.
void SetTaskbarProgress(double fraction);
// Takes the progress off the entry again; nothing when none is shown.
void ClearTaskbarProgress();
