// SPDX-License-Identifier: GPL-3.0-or-later
// convert.h - converting a video into a movie the PSP plays: H.264 Main profile level 3.0 at
// 480 x 272, AAC-LC stereo at 48 kHz, in the PSP's MP4 layout with its title.
//
// Nothing here touches the program's globals or any toolkit: a conversion runs on whatever
// thread calls it, and several may run at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "convert/facts.h"

// Video bit rates in kbit/s: the "Standard" and "High" choices.
inline constexpr int kStandardVideoKbps = 768;
inline constexpr int kHighVideoKbps = 1500;
inline constexpr int kAudioKbps = 128;

struct ConvertRequest {
    std::string source;  // path of the video
    // Where the movie goes: an empty file open for writing. The caller made it (under the
    // device's name), and syncs it, or removes it when the conversion did not end in kDone.
    int outputFd = -1;
    std::string title;  // UTF-8; the movie carries it in the PSP's metadata
    int videoKbps = kStandardVideoKbps;
    // Seconds of the movie converted so far, of the total (0 when unknown). Called on the
    // converting thread, often: it must be quick and must not block.
    std::function<void(double done, double total)> progress;
    // Set from any thread to stop the conversion; it returns kCancelled within half a second.
    const std::atomic<bool>* cancel = nullptr;
};

enum class ConvertStatus {
    kDone,
    kCancelled,
    kNoEncoder,     // this FFmpeg lacks libx264 or its AAC encoder
    kSourceFailed,  // the video cannot be read or decoded
    kWriteFailed,   // the output refused bytes (a full disk, a stick pulled out)
    kFailed,        // anything else (memory, an encoder that refused)
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::kFailed;
    std::string cause;  // what happened, in plain words; "cancelled" for kCancelled
};

// True when this FFmpeg has both encoders a conversion needs.
[[nodiscard]] bool HaveConversionEncoders();

// Converts the source into the output. Blocks until done, failed or cancelled.
[[nodiscard]] ConvertResult ConvertForPsp(const ConvertRequest& request);

// The bytes the converted movie will take, for the free-space check: the video and sound bit
// rates over the duration, and 5 % for the container and the encoder's overshoot.
[[nodiscard]] int64_t EstimateConvertedBytes(const VideoFacts& facts, int videoKbps);
