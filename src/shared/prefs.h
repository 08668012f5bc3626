// SPDX-License-Identifier: GPL-3.0-or-later
// prefs.h - the preferences record: every setting and the device choice, loaded and saved.
#pragma once

#include <cstdint>

#include <QString>

#include "toolkit/ui.h"

// The smallest main window content the layout fits into.
inline constexpr int16_t kMainWindowMinWidth = 603;
inline constexpr int16_t kMainWindowMinHeight = 361;
// The list's "PSP" column, as wide as this by default; the window opens wider than its smallest
// by as much, so that the column is seen beside the other two without scrolling.
inline constexpr int16_t kDefaultPspColumnWidth = 120;

struct Preferences {
    char devicePath[4096];  // root of the chosen device, ending in "/"; empty for none; not stored
    int32_t pspMenuSelect;  // item of the device pop-up, from 1
    bool optionThumbnail;   // send each movie's thumbnail with it
    bool optionUnmount;     // unmount the device after a send that ended well
    QString mountSound;     // played when a new device appears
    QString copyDoneSound;  // played when a send ends
    int32_t thumbnailArrowSecs1;       // the thumbnail dialog's first step, in seconds
    int32_t thumbnailArrowSecs2;       // its second step
    int32_t filenameColumWidth;        // width of the list's file-name column
    int32_t titleColumWidth;           // width of the list's title column
    int32_t pspColumWidth;             // width of the list's "PSP" column (the video kind)
    Rect windowBounds;                 // the main window's content rectangle, global coordinates
    int32_t doubleClickAction;         // 2 open the movies, 3 thumbnail dialog, 4 edit the title,
                                       // 99 show item IDs
    bool debugLocalVolumeAsPSPVolume;  // the device test skips its file-system check
    bool firmware330;   // the PSP runs firmware 3.30 or later: H.264 up to 720 x 480 plays
    int32_t videoKbps;  // converted movies' video bit rate: 768 "Standard" or 1500 "High"
};

extern Preferences gPref;

// Fills gPref with the defaults and then with what the store holds; on the first run stores
// the sound names and the double-click action. Always true.
bool GetCFPreferences();
// Writes the settings the application changes while it runs. Always true.
bool SaveCFPreferences();
// Writes the thumbnail dialog's two step sizes to the store at once.
void SaveThumbnailSteps();
// True when the rectangle may not be used for the main window: too small, or with no point of
// its top edge on one of the screens.
bool IsBadWindowPosition(const Rect& bounds);
// The same test against the given screens' available areas.
bool IsBadWindowPositionOn(const Rect& bounds, const QList<Rect>& screens);
// Where the main window opens when nothing (usable) is stored.
Rect DefaultWindowBounds();
