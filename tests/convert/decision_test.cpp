// SPDX-License-Identifier: GPL-3.0-or-later
// decision_test.cpp - which videos the PSP plays as they are, which are converted, and why.
#include "convert/decision.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

// A movie the PSP plays: MP4, H.264 Main 3.0 at 480 x 272, 29.97 fps, AAC-LC stereo 48 kHz.
VideoFacts PlayableH264() {
    VideoFacts f;
    f.container = "mp4";
    f.video = VideoCoding::kH264;
    f.videoCodec = "h264";
    f.videoDecoder = true;
    f.h264Profile = kH264Main;
    f.h264Level = 30;
    f.width = 480;
    f.height = 272;
    f.frameRate = {30000, 1001};
    f.duration = 10;
    f.audio = AudioCoding::kAac;
    f.audioCodec = "aac";
    f.audioDecoder = true;
    f.audioProfile = kAacLowComplexity;
    f.channels = 2;
    f.sampleRate = 48000;
    return f;
}

VideoFacts PlayableMpeg4() {
    VideoFacts f = PlayableH264();
    f.video = VideoCoding::kMpeg4Part2;
    f.videoCodec = "mpeg4";
    f.h264Profile = f.h264Level = kUnknownProfile;
    f.mpeg4Profile = kMpeg4Simple;
    f.width = 320;
    f.height = 240;
    return f;
}

TEST(DecidePlayback, MoviesWithinEveryLimitPlayAsTheyAre) {
    for (const VideoFacts& f : {PlayableH264(), PlayableMpeg4()}) {
        const PlaybackDecision d = DecidePlayback(f, false);
        EXPECT_EQ(d.verdict, Playback::kPlaysAsIs) << f.videoCodec;
        EXPECT_TRUE(d.reasons.empty());
    }
    VideoFacts f = PlayableH264();
    f.h264Profile = kH264Baseline;
    f.h264Level = 13;
    f.frameRate = {30, 1};         // exactly 30 is still within
    f.audio = AudioCoding::kNone;  // a silent movie
    EXPECT_EQ(DecidePlayback(f, false).verdict, Playback::kPlaysAsIs);
    f = PlayableH264();
    f.channels = 1;
    f.sampleRate = 22050;
    EXPECT_EQ(DecidePlayback(f, false).verdict, Playback::kPlaysAsIs);
}

struct Broken {
    const char* name;
    std::function<void(VideoFacts*)> change;
    const char* reason;
};

void PrintTo(const Broken& b, std::ostream* os) {
    *os << b.name;
}

class OneLimitBroken : public testing::TestWithParam<Broken> {};

// Each limit on its own sends the movie to conversion, with its own reason and no other.
TEST_P(OneLimitBroken, GivesExactlyItsReason) {
    const VideoFacts base = GetParam().name[0] == 'm' ? PlayableMpeg4() : PlayableH264();
    VideoFacts f = base;
    GetParam().change(&f);
    const PlaybackDecision d = DecidePlayback(f, false);
    EXPECT_EQ(d.verdict, Playback::kNeedsConverting);
    ASSERT_EQ(d.reasons.size(), 1u);
    EXPECT_EQ(d.reasons[0], GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, OneLimitBroken,
    testing::Values(
        Broken{"matroska", [](VideoFacts* f) { f->container = "matroska"; },
               "it is matroska, not MP4"},
        Broken{"quicktime", [](VideoFacts* f) { f->container = "mov"; }, "it is mov, not MP4"},
        Broken{"hevc",
               [](VideoFacts* f) {
                   f->video = VideoCoding::kOther;
                   f->videoCodec = "hevc";
               },
               "its video is hevc, not MPEG-4 or H.264"},
        Broken{"high", [](VideoFacts* f) { f->h264Profile = kH264High; },
               "its H.264 video is High profile, above Main"},
        Broken{"extended", [](VideoFacts* f) { f->h264Profile = kH264Extended; },
               "its H.264 video is Extended profile, above Main"},
        Broken{"level31", [](VideoFacts* f) { f->h264Level = 31; },
               "its H.264 video is level 3.1, above 3.0"},
        Broken{"unknownLevel", [](VideoFacts* f) { f->h264Level = kUnknownProfile; },
               "its H.264 video is level unknown, above 3.0"},
        Broken{"wider", [](VideoFacts* f) { f->width = 482; },
               "its picture is 482 x 272, larger than 480 x 272"},
        Broken{"taller", [](VideoFacts* f) { f->height = 274; },
               "its picture is 480 x 274, larger than 480 x 272"},
        Broken{"fps3001",
               [](VideoFacts* f) {
                   f->frameRate = Ratio{3001, 100};
               },
               "it has 30.01 frames a second, more than 30"},
        Broken{"fps60",
               [](VideoFacts* f) {
                   f->frameRate = Ratio{60, 1};
               },
               "it has 60 frames a second, more than 30"},
        Broken{"fps5994",
               [](VideoFacts* f) {
                   f->frameRate = Ratio{60000, 1001};
               },
               "it has 59.94 frames a second, more than 30"},
        Broken{"unknownRate", [](VideoFacts* f) { f->frameRate = {}; },
               "its frame rate is unknown"},
        Broken{"mp3",
               [](VideoFacts* f) {
                   f->audio = AudioCoding::kOther;
                   f->audioCodec = "mp3";
               },
               "its sound is mp3, not AAC"},
        Broken{"heAac", [](VideoFacts* f) { f->audioProfile = 4; },
               "its sound is AAC, but not AAC-LC"},
        Broken{"surround", [](VideoFacts* f) { f->channels = 6; },
               "its sound has 6 channels, not mono or stereo"},
        Broken{"96kHz", [](VideoFacts* f) { f->sampleRate = 96000; },
               "its sound is sampled at 96000 Hz, more than 48000"},
        Broken{"mpeg4AdvancedSimple", [](VideoFacts* f) { f->mpeg4Profile = kMpeg4AdvancedSimple; },
               "its MPEG-4 video is Advanced Simple profile, above Simple"},
        Broken{"mpeg4NoProfile", [](VideoFacts* f) { f->mpeg4Profile = kUnknownProfile; },
               "its MPEG-4 video is not Simple profile"},
        Broken{"mpeg4BFrames", [](VideoFacts* f) { f->bFrames = true; },
               "its MPEG-4 video has B-frames"},
        Broken{"mpeg4QuarterPel", [](VideoFacts* f) { f->quarterPel = true; },
               "its MPEG-4 video uses quarter-pel"},
        Broken{"mpeg4GlobalMotion", [](VideoFacts* f) { f->globalMotion = true; },
               "its MPEG-4 video uses global motion"}),
    [](const testing::TestParamInfo<Broken>& info) { return info.param.name; });

TEST(DecidePlayback, EveryBrokenLimitIsGiven) {
    VideoFacts f = PlayableH264();
    f.container = "matroska";
    f.width = 1920;
    f.height = 1080;
    f.h264Profile = kH264High;
    f.h264Level = 40;
    f.channels = 6;
    const PlaybackDecision d = DecidePlayback(f, true);
    EXPECT_EQ(d.verdict, Playback::kNeedsConverting);
    EXPECT_EQ(d.reasons.size(), 5u);
}

TEST(DecidePlayback, LaterFirmwarePlaysLargerH264PicturesOnly) {
    VideoFacts f = PlayableH264();
    f.width = 720;
    f.height = 480;
    EXPECT_EQ(DecidePlayback(f, false).verdict, Playback::kNeedsConverting);
    EXPECT_EQ(DecidePlayback(f, true).verdict, Playback::kPlaysAsIs);
    f.height = 576;  // a PAL DVD's picture is larger still
    const PlaybackDecision pal = DecidePlayback(f, true);
    ASSERT_EQ(pal.reasons.size(), 1u);
    EXPECT_EQ(pal.reasons[0], "its picture is 720 x 576, larger than 720 x 480");

    VideoFacts mpeg4 = PlayableMpeg4();
    mpeg4.width = 720;
    mpeg4.height = 480;
    EXPECT_EQ(DecidePlayback(mpeg4, true).verdict, Playback::kNeedsConverting);
}

TEST(DecidePlayback, WhatStopsTheConversionIsTheOnlyReason) {
    VideoFacts none;
    none.cannotConvert = "the file is missing";
    PlaybackDecision d = DecidePlayback(none, false);
    EXPECT_EQ(d.verdict, Playback::kCannotConvert);
    EXPECT_EQ(d.reasons, std::vector<std::string>{"the file is missing"});

    VideoFacts f = PlayableH264();
    f.container = "matroska";
    f.cannotConvert = "no decoder for its sound (truehd)";
    d = DecidePlayback(f, false);
    EXPECT_EQ(d.verdict, Playback::kCannotConvert);
    EXPECT_EQ(d.reasons, std::vector<std::string>{"no decoder for its sound (truehd)"});
}

TEST(DecidePlayback, AMovieThatPlaysNeedsNoDecoder) {
    VideoFacts f = PlayableH264();
    f.videoDecoder = false;
    f.cannotConvert = "no decoder for its video (h264)";
    EXPECT_EQ(DecidePlayback(f, false).verdict, Playback::kPlaysAsIs);
}

}  // namespace
