// SPDX-License-Identifier: GPL-3.0-or-later
// track.h - the video coding of a movie's first video track, read from its sample description.
#pragma once

#include <cstdio>

#include "container/atom.h"

// Codes given to 'mp4v' sample entries whose elementary stream is MPEG-2 or MPEG-1 video: the
// sample entry names them like MPEG-4 part 2, which they are not.
inline constexpr char kCodingMpeg2[4] = {'m', 'p', '2', 'v'};
inline constexpr char kCodingMpeg1[4] = {'m', 'p', '1', 'v'};

// The first "trak" of "moov" whose handler is 'vide': 0 with the type of its first sample entry
// in `out` (kCodingMpeg2 or kCodingMpeg1 for such 'mp4v' entries; four zero bytes when its
// sample description is empty or unreadable); kUuidNotFound without a video track; kAtomErr when
// a seek or read fails. Reads a few hundred bytes at most.
[[nodiscard]] int trackReadVideoCoding(FILE* stream, MovieInfo* info, char* out);
