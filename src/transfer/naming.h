// SPDX-License-Identifier: GPL-3.0-or-later
// naming.h - the device's movie folders under MP_ROOT and its file names (M4V00001.MP4).
#pragma once

#include <cstdint>

#include <QString>

#include "toolkit/fileref.h"

// The calls that touch the device (GetPSPRef, CreateDirectory, GetMaxNumber) run on the copy's
// I/O worker when made from the copy thread, which yields meanwhile.

// Movie kinds: 'mp4v' movies go to MP_ROOT/100MNV01 as M4V*, 'avc1' movies to
// MP_ROOT/101ANV01 as MAQ*.
inline constexpr int16_t kMovieKindMP4V = 2;
inline constexpr int16_t kMovieKindAVC1 = 3;
inline constexpr int32_t kMaxPSPFileNumber = 99999;

// Finds the movie folder for the kind on the device whose root is given, creating MP_ROOT and
// the folder when they are missing; every kind other than 3 takes the 'mp4v' folder. True when
// the folder is there now; folder receives it.
bool GetPSPRef(const char* rootPath, FSRef* folder, int16_t movieKind);

// Creates the folder `name` in the existing folder `parentPath`. The file calls' status (0, -48
// when the name exists, -44 on a read-only volume, -43 for a missing parent, ...).
[[nodiscard]] int16_t CreateDirectory(const char* parentPath, const char* name);

// The highest number in use in the folder: of every entry whose name, as the device shows it,
// is 12 bytes long, the 5 bytes after the first 3 read as a decimal number (from the first
// digit up to the first non-digit, so "A1B2C" counts 0). 0 when there is none.
int32_t GetMaxNumber(const FSRef* folder);

// prefix + number with 5 digits + suffix ("M4V", 123, ".MP4" gives "M4V00123.MP4"). A null
// QString for a prefix that is not 3 bytes, a suffix that is not 4 bytes, or a number outside
// 0 to 99999.
QString CreatePSPStyleFileName(const char* prefix, int32_t number, const char* suffix);
