// SPDX-License-Identifier: GPL-3.0-or-later
// ids.h - the names every layer uses for the application's windows, commands and controls.
#pragma once

#include <cstdint>

#include "toolkit/ui.h"

// The main window and its list's columns.
inline constexpr OSType kMainWindowTag = FourCharCode("Pref");
inline constexpr OSType kFileColumn = FourCharCode("FILE");
inline constexpr OSType kTitleColumn = FourCharCode("TITL");
inline constexpr OSType kKindColumn = FourCharCode("KIND");

// The main window's controls.
inline constexpr int32_t kPrefSendButton = 1;  // active while the list holds movies
inline constexpr int32_t kPrefDevicePopup = 2;
inline constexpr int32_t kPrefMovieList = 3;
inline constexpr int32_t kPrefBottomBand = 4;  // holds the send options
inline constexpr int32_t kPrefOptionThumbnail = 5;
inline constexpr int32_t kPrefOptionUnmount = 6;
inline constexpr int32_t kPrefMakeThumbnail = 7;  // under the preview, for one selected movie
inline constexpr int32_t kPrefColumnHeading = 8;  // heads the right-hand column
inline constexpr int32_t kPrefThumbnailWell = 9;
inline constexpr int32_t kPrefThumbnailNote = 11;   // under the button, for one selected movie
inline constexpr int32_t kPrefFirmware330 = 12;     // check box: firmware 3.30 or later
inline constexpr int32_t kPrefConvertQuality = 13;  // pop-up: 1 Standard, 2 High bit rate

// Window tags besides the main window's (kMainWindowTag).
inline constexpr OSType kWindowTagProgress = FourCharCode("Prog");
inline constexpr OSType kWindowTagAbout = FourCharCode("Abou");
inline constexpr OSType kWindowTagThumbnail = FourCharCode("Thmb");

// Commands of menu items and buttons.
inline constexpr OSType kCommandOpen = FourCharCode("open");
inline constexpr OSType kCommandRemove = FourCharCode("Remv");
inline constexpr OSType kCommandTitlesFromFileNames = FourCharCode("FtoT");
inline constexpr OSType kCommandMakeThumbnail = FourCharCode("MThm");
inline constexpr OSType kCommandSend = FourCharCode("Send");
inline constexpr OSType kCommandAbout = FourCharCode("Abou");
inline constexpr OSType kCommandEditTitle = FourCharCode("EdTl");
inline constexpr OSType kCommandConvert = FourCharCode("Conv");

// Making thumbnails needs a movie toolkit above this version.
inline constexpr int32_t kLastQuickTimeWithoutThumbnails = 0x05FFFFFF;
