// SPDX-License-Identifier: GPL-3.0-or-later
// gestalt.h - the version query: which system and movie toolkit the application runs on.
#pragma once

#include <cstdint>

#include "toolkit/fourcc.h"

inline constexpr OSType kGestaltSystemVersion = FourCharCode("sysv");
inline constexpr OSType kGestaltQuickTimeVersion = FourCharCode("qtim");
inline constexpr OSStatus kGestaltUndefSelectorErr = -5551;

// The system version is one that has every feature the application asks about (0x1049, in
// the old four-digit form). The movie toolkit version is 0 until the movie toolkit reports
// itself with SetMovieToolkitVersion (7.0 once frames can be decoded: 0x07000000).
[[nodiscard]] OSStatus Gestalt(OSType selector, int32_t* response);
void SetMovieToolkitVersion(int32_t version);
