// SPDX-License-Identifier: GPL-3.0-or-later
// decision.cpp - the PSP's limits on the movies it plays, in one table, and the decision made
// from them.
#include "convert/decision.h"

#include <cstdint>
#include <cstdio>

namespace {

std::string h264ProfileName(int profile) {
    switch (profile) {
        case kH264Baseline:
            return "Baseline";
        case kH264Main:
            return "Main";
        case kH264Extended:
            return "Extended";
        case kH264High:
            return "High";
        case 110:
            return "High 10";
        case 122:
            return "High 4:2:2";
        case 244:
            return "High 4:4:4";
        case kUnknownProfile:
            return "unknown";
        default:
            return std::to_string(profile);
    }
}

std::string h264LevelName(int level) {
    if (level == kUnknownProfile) return "unknown";
    return std::to_string(level / 10) + "." + std::to_string(level % 10);
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// Frames a second to two decimals, without trailing zeros: "60", "59.94", "30.01".
std::string rateText(Ratio rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", double(rate.num) / rate.den);
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out;
}

bool isH264(const VideoFacts& f) {
    return f.video == VideoCoding::kH264;
}
bool isMpeg4(const VideoFacts& f) {
    return f.video == VideoCoding::kMpeg4Part2;
}
bool hasAac(const VideoFacts& f) {
    return f.audio == AudioCoding::kAac;
}

// The largest picture the PSP plays: its screen, or with firmware 3.30 and later, for H.264, a
// DVD-sized picture that it scales down itself.
struct Size {
    int width;
    int height;
};
Size largestPicture(const VideoFacts& f, bool firmware330OrLater) {
    if (firmware330OrLater && isH264(f)) return {720, 480};
    return {480, 272};
}

struct Limit {
    bool (*breaks)(const VideoFacts& f, bool firmware330OrLater);
    std::string (*reason)(const VideoFacts& f, bool firmware330OrLater);
};

// Every limit that a movie must meet to play on the PSP unchanged. A video that breaks any of
// them is converted; one that meets all of them is copied as it is.
const Limit kLimits[] = {
    // The movie player opens MP4 files only: any other container is rewritten, whatever it
    // holds.
    {[](const VideoFacts& f, bool) { return f.container != "mp4"; },
     [](const VideoFacts& f, bool) { return "it is " + f.container + ", not MP4"; }},
    // It decodes two video codings only.
    {[](const VideoFacts& f, bool) { return !isH264(f) && !isMpeg4(f); },
     [](const VideoFacts& f, bool) {
         return "its video is " + f.videoCodec + ", not MPEG-4 or H.264";
     }},
    // MPEG-4 part 2 at Simple profile only. A stream that names no profile may use any tool,
    // so it counts as above Simple.
    {[](const VideoFacts& f, bool) { return isMpeg4(f) && f.mpeg4Profile != kMpeg4Simple; },
     [](const VideoFacts& f, bool) {
         return f.mpeg4Profile == kMpeg4AdvancedSimple
                    ? std::string("its MPEG-4 video is Advanced Simple profile, above Simple")
                    : std::string("its MPEG-4 video is not Simple profile");
     }},
    // The Simple-profile tools are checked as well, for streams whose profile claims less
    // than they use: B-frames ...
    {[](const VideoFacts& f, bool) { return isMpeg4(f) && f.bFrames; },
     [](const VideoFacts&, bool) { return std::string("its MPEG-4 video has B-frames"); }},
    // ... quarter-pel motion ...
    {[](const VideoFacts& f, bool) { return isMpeg4(f) && f.quarterPel; },
     [](const VideoFacts&, bool) { return std::string("its MPEG-4 video uses quarter-pel"); }},
    // ... and global motion compensation (sprites).
    {[](const VideoFacts& f, bool) { return isMpeg4(f) && f.globalMotion; },
     [](const VideoFacts&, bool) { return std::string("its MPEG-4 video uses global motion"); }},
    // H.264 up to Main profile; Baseline (constrained or not) is within what Main decodes.
    {[](const VideoFacts& f, bool) {
         return isH264(f) && f.h264Profile != kH264Baseline && f.h264Profile != kH264Main;
     },
     [](const VideoFacts& f, bool) {
         return "its H.264 video is " + h264ProfileName(f.h264Profile) + " profile, above Main";
     }},
    // H.264 up to level 3.0, the decoder's speed and memory; an unknown level may be anything.
    {[](const VideoFacts& f, bool) {
         return isH264(f) && (f.h264Level == kUnknownProfile || f.h264Level > 30);
     },
     [](const VideoFacts& f, bool) {
         return "its H.264 video is level " + h264LevelName(f.h264Level) + ", above 3.0";
     }},
    // The picture must fit the largest one the player takes (see largestPicture).
    {[](const VideoFacts& f, bool later) {
         const Size most = largestPicture(f, later);
         return f.width > most.width || f.height > most.height;
     },
     [](const VideoFacts& f, bool later) {
         const Size most = largestPicture(f, later);
         return "its picture is " + sizeText(f.width, f.height) + ", larger than " +
                sizeText(most.width, most.height);
     }},
    // At most 30 frames a second; a rate nobody knows may be more.
    {[](const VideoFacts& f, bool) {
         return f.frameRate.num <= 0 || int64_t(f.frameRate.num) > 30 * int64_t(f.frameRate.den);
     },
     [](const VideoFacts& f, bool) {
         return f.frameRate.num <= 0
                    ? std::string("its frame rate is unknown")
                    : "it has " + rateText(f.frameRate) + " frames a second, more than 30";
     }},
    // Sound, when there is any, in AAC ...
    {[](const VideoFacts& f, bool) { return f.audio == AudioCoding::kOther; },
     [](const VideoFacts& f, bool) { return "its sound is " + f.audioCodec + ", not AAC"; }},
    // ... of the Low Complexity profile (not HE-AAC, whose extra layer it ignores) ...
    {[](const VideoFacts& f, bool) { return hasAac(f) && f.audioProfile != kAacLowComplexity; },
     [](const VideoFacts&, bool) { return std::string("its sound is AAC, but not AAC-LC"); }},
    // ... in mono or stereo ...
    {[](const VideoFacts& f, bool) { return hasAac(f) && (f.channels < 1 || f.channels > 2); },
     [](const VideoFacts& f, bool) {
         return "its sound has " + std::to_string(f.channels) + " channels, not mono or stereo";
     }},
    // ... at up to 48 kHz.
    {[](const VideoFacts& f, bool) {
         return hasAac(f) && (f.sampleRate <= 0 || f.sampleRate > 48000);
     },
     [](const VideoFacts& f, bool) {
         return "its sound is sampled at " + std::to_string(f.sampleRate) + " Hz, more than 48000";
     }},
};

}  // namespace

PlaybackDecision DecidePlayback(const VideoFacts& facts, bool firmware330OrLater) {
    if (facts.video == VideoCoding::kNone) {
        const std::string why =
            facts.cannotConvert.empty() ? "no video stream" : facts.cannotConvert;
        return {Playback::kCannotConvert, {why}};
    }
    std::vector<std::string> reasons;
    for (const Limit& limit : kLimits) {
        if (limit.breaks(facts, firmware330OrLater))
            reasons.push_back(limit.reason(facts, firmware330OrLater));
    }
    if (reasons.empty()) return {Playback::kPlaysAsIs, {}};
    // What stops the conversion matters more than why it was wanted.
    if (!facts.cannotConvert.empty()) return {Playback::kCannotConvert, {facts.cannotConvert}};
    return {Playback::kNeedsConverting, std::move(reasons)};
}
