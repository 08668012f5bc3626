// SPDX-License-Identifier: GPL-3.0-or-later
// facts.h - what a video file holds, as far as playing it on the PSP or converting it for the
// PSP goes: its container, video and audio codings with their profiles, picture and title.
//
// The record is plain data, so that whatever reads a file (FFmpeg here, a cheaper reader of MP4
// atoms later) can fill it, and the decision in decision.h reads only this.
#pragma once

#include <string>

// A fraction such as a frame rate (30000/1001) or a sample aspect ratio (8/9); 0/1 when unknown.
struct Ratio {
    int num = 0;
    int den = 1;
};

enum class VideoCoding { kNone, kMpeg4Part2, kH264, kOther };
enum class AudioCoding { kNone, kAac, kOther };

// A profile or level nobody reported.
inline constexpr int kUnknownProfile = -1;

// H.264 profile_idc values.
inline constexpr int kH264Baseline = 66;
inline constexpr int kH264Main = 77;
inline constexpr int kH264Extended = 88;
inline constexpr int kH264High = 100;

// MPEG-4 part 2 profiles, numbered as FFmpeg numbers them.
inline constexpr int kMpeg4Simple = 0;
inline constexpr int kMpeg4AdvancedSimple = 15;

// AAC profiles (MPEG-4 audio object type - 1, as FFmpeg numbers them).
inline constexpr int kAacLowComplexity = 1;

struct VideoFacts {
    // Empty when the video can be converted; otherwise why not, in plain words: the file
    // cannot be read, holds no video stream, or FFmpeg has no decoder for its video or sound.
    // (A movie that plays as it is needs no decoder: see decision.h.)
    std::string cannotConvert;

    // "mp4", "mov", "3gp", "matroska", "avi", "mpeg", "mpegts", ... (FFmpeg's name for the
    // others).
    std::string container;

    VideoCoding video = VideoCoding::kNone;
    std::string videoCodec;             // FFmpeg's short name: "h264", "hevc", "mpeg2video", ...
    bool videoDecoder = false;          // FFmpeg can decode it
    int h264Profile = kUnknownProfile;  // profile_idc
    int h264Level = kUnknownProfile;    // level_idc: 30 is level 3.0
    int mpeg4Profile = kUnknownProfile;
    // Tools of MPEG-4 part 2 beyond Simple profile, where the stream tells.
    bool bFrames = false;
    bool quarterPel = false;
    bool globalMotion = false;
    int width = 0;
    int height = 0;
    Ratio sampleAspect{1, 1};
    Ratio frameRate;      // frames per second
    double duration = 0;  // seconds

    AudioCoding audio = AudioCoding::kNone;  // kNone: no audio stream
    std::string audioCodec;
    bool audioDecoder = false;
    int audioProfile = kUnknownProfile;
    int channels = 0;
    int sampleRate = 0;

    std::string title;  // UTF-8, from the file's metadata; empty when it has none
};

// The facts about the video at the path, read with FFmpeg. A file FFmpeg cannot open, or that
// holds no video, comes back with `cannotConvert` set and `video` kNone.
[[nodiscard]] VideoFacts ReadVideoFacts(const std::string& path);
