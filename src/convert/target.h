// SPDX-License-Identifier: GPL-3.0-or-later
// target.h - what the PSP gets: where a video's picture goes in its 480 x 272 frame, the frame
// rate it is converted at, and the title as its metadata atom can hold it.
#pragma once

#include <string>

#include "convert/facts.h"

inline constexpr int kPspWidth = 480;
inline constexpr int kPspHeight = 272;
// The fastest rate the PSP's player shows, that of NTSC video.
inline constexpr Ratio kPspFrameRate{30000, 1001};

struct Placement {
    int x = 0;
    int y = 0;
    int width = kPspWidth;
    int height = kPspHeight;
};

// Where a picture of that coded size and sample aspect ratio goes in the PSP's frame: as large
// as fits with its shape kept, centred between black bars. The PSP's pixels are square.
[[nodiscard]] Placement PlacePicture(int width, int height, Ratio sampleAspect);

// The frame rate a video coming at `input` frames a second is converted at: its own up to the
// PSP's rate; a faster one is divided by a whole number (60 to 30, 50 to 25), and then capped.
[[nodiscard]] Ratio ConvertedFrameRate(Ratio input);

// The title as the muxer can write it into the PSP's metadata atom, one UTF-16 code unit per
// character: bytes that are not UTF-8 dropped, characters beyond 16 bits made spaces (as the
// title editor stores them), ended at a NUL, and cut at a character to 766 bytes, the most the
// movie list keeps.
[[nodiscard]] std::string PspTitle(const std::string& title);
