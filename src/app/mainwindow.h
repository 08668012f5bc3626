// mainwindow.h - the main window: movie list, device pop-up, send options, thumbnail preview.
#pragma once

#include <cstdint>

#include "toolkit/ui.h"

inline constexpr OSType kMainWindowTag = FourCharCode("Pref");
inline constexpr OSType kFileColumn = FourCharCode("FILE");
inline constexpr OSType kTitleColumn = FourCharCode("TITL");
inline constexpr OSType kKindColumn = FourCharCode("KIND");

// The main window's controls.
inline constexpr int32_t kPrefSendButton = 1;        // active while the list holds movies
inline constexpr int32_t kPrefDevicePopup = 2;
inline constexpr int32_t kPrefMovieList = 3;
inline constexpr int32_t kPrefBottomBand = 4;        // holds the send options
inline constexpr int32_t kPrefOptionThumbnail = 5;
inline constexpr int32_t kPrefOptionUnmount = 6;
inline constexpr int32_t kPrefMakeThumbnail = 7;     // under the preview, for one selected movie
inline constexpr int32_t kPrefColumnHeading = 8;     // heads the right-hand column
inline constexpr int32_t kPrefThumbnailWell = 9;
inline constexpr int32_t kPrefThumbnailNote = 11;    // under the button, for one selected movie

// Makes and shows the main window from the preferences; false (after telling the user) when
// it could not be made.
[[nodiscard]] bool DoPref();
// Close (quits, or cancels a running send instead), resizes (kept at least the minimum size and
// remembered), the device pop-up, the list's column widths and the two send options.
OSStatus DialogHandlerPref(const EventRecord& event, void* userData);
// Places the controls for a content area of width by height.
void LayoutPrefDialog(WindowRef window, int16_t width, int16_t height);
