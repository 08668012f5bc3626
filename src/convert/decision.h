// SPDX-License-Identifier: GPL-3.0-or-later
// decision.h - whether a video plays on the PSP as it is, must be converted first, or cannot be
// converted at all, with the reasons in plain words.
#pragma once

#include <string>
#include <vector>

#include "convert/facts.h"

enum class Playback { kPlaysAsIs, kNeedsConverting, kCannotConvert };

struct PlaybackDecision {
    Playback verdict = Playback::kCannotConvert;
    // Every limit of the PSP the video breaks, or why it cannot be converted; empty when it
    // plays as it is.
    std::vector<std::string> reasons;
};

// The decision for a video with these facts. Firmware 3.30 and later play H.264 pictures up to
// 720 x 480; earlier firmware plays nothing larger than its screen.
[[nodiscard]] PlaybackDecision DecidePlayback(const VideoFacts& facts, bool firmware330OrLater);
