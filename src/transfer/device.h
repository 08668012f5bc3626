// SPDX-License-Identifier: GPL-3.0-or-later
// device.h - which mounted volumes are PSP memory sticks, the device pop-up that offers them,
// and the application's short sounds.
#pragma once

#include <cstdint>

#include <QString>

#include "toolkit/ui.h"

// Command IDs of the device pop-up's items: the first device has 21, the next 22, and so on;
// the lone "no device" item has 0.
inline constexpr OSType kFirstDeviceCommand = 21;

// True when the folder (a volume's root, with or without a trailing "/") is a memory stick: a
// FAT volume (unless gPref.debugLocalVolumeAsPSPVolume lets any volume pass) holding the folder
// "PSP" and both marker files "MEMSTICK.IND" and "MSTK_PRO.IND".
bool IsPSP(const char* path);

// Refills the device pop-up of the main window with the memory sticks mounted now, when the
// number of mounted volumes changed since the last scan or force is true (the table is read
// only after the kernel reported a change to it, see MountTableChanged), and points
// gPref.devicePath at the one shown. Plays gPref.mountSound when an unforced scan finds a number
// of devices other than the last one found. 1 when nothing had to be done, else 0 (a null
// window or an unreadable mount table change nothing).
int32_t CreatePSPMenu(WindowRef window, bool force);

// Plays a sound of the sound folders by file name ("Pop.aiff") to its end; an empty name plays
// nothing and answers 0.
[[nodiscard]] int16_t PlaySound(const QString& soundName);
