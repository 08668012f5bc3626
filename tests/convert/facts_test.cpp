// SPDX-License-Identifier: GPL-3.0-or-later
// facts_test.cpp - the facts FFmpeg gives about real videos of many kinds, and the decision
// they lead to.
#include "convert/facts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "convert/convert_support.h"
#include "convert/decision.h"

namespace {

std::string Make(const std::string& name, const std::string& args) {
    const std::string path = MakeVideo(name, args);
    if (path.empty()) ADD_FAILURE() << "ffmpeg could not make " << name;
    return path;
}

const std::string kH264 = kHighProfileH264;

TEST(ReadVideoFacts, Hd264InMatroska) {
    const VideoFacts f = ReadVideoFacts(HdMatroska());
    EXPECT_EQ(f.cannotConvert, "");
    EXPECT_EQ(f.container, "matroska");
    EXPECT_EQ(f.video, VideoCoding::kH264);
    EXPECT_EQ(f.videoCodec, "h264");
    EXPECT_TRUE(f.videoDecoder);
    EXPECT_EQ(f.h264Profile, kH264High);
    EXPECT_EQ(f.h264Level, 31);
    EXPECT_EQ(f.width, 1280);
    EXPECT_EQ(f.height, 720);
    EXPECT_EQ(f.frameRate.num, 30 * f.frameRate.den);
    EXPECT_NEAR(f.duration, 2.0, 0.1);
    EXPECT_EQ(f.audio, AudioCoding::kAac);
    EXPECT_EQ(f.audioProfile, kAacLowComplexity);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.sampleRate, 44100);
    EXPECT_EQ(f.title, "Holiday");
}

TEST(ReadVideoFacts, DvdStyleMpeg2WithItsPixelShape) {
    const VideoFacts f = ReadVideoFacts(DvdMpeg2());
    EXPECT_EQ(f.cannotConvert, "");
    EXPECT_EQ(f.container, "mpeg");
    EXPECT_EQ(f.video, VideoCoding::kOther);
    EXPECT_EQ(f.videoCodec, "mpeg2video");
    EXPECT_EQ(f.sampleAspect.num * 9, f.sampleAspect.den * 8);
    EXPECT_EQ(f.frameRate.num * 1001, f.frameRate.den * 30000);
    EXPECT_EQ(f.audio, AudioCoding::kOther);
    EXPECT_EQ(f.audioCodec, "mp2");
}

TEST(ReadVideoFacts, TheIsoFamilyIsToldApartByBrand) {
    const std::string args = PictureSource("160x120", "25", 0.5) + kH264;
    EXPECT_EQ(ReadVideoFacts(Make("brand.mp4", args)).container, "mp4");
    EXPECT_EQ(ReadVideoFacts(Make("brand.mov", args)).container, "mov");
    EXPECT_EQ(ReadVideoFacts(Make("brand.3gp", args)).container, "3gp");
    EXPECT_EQ(ReadVideoFacts(Make("brand.m4v", args + " -f ipod")).container, "mp4");
}

TEST(ReadVideoFacts, Mpeg4ToolsBeyondSimpleProfile) {
    const std::string source = PictureSource("320x240", "25", 0.5);
    const VideoFacts simple = ReadVideoFacts(Make("simple.mp4", source + " -c:v mpeg4"));
    EXPECT_EQ(simple.video, VideoCoding::kMpeg4Part2);
    EXPECT_EQ(simple.mpeg4Profile, kMpeg4Simple);
    EXPECT_FALSE(simple.bFrames || simple.quarterPel || simple.globalMotion);

    const VideoFacts bframes = ReadVideoFacts(Make("asp.mp4", source + " -c:v mpeg4 -bf 2"));
    EXPECT_EQ(bframes.mpeg4Profile, kMpeg4AdvancedSimple);
    EXPECT_TRUE(bframes.bFrames);
    EXPECT_FALSE(bframes.quarterPel);

    const VideoFacts qpel = ReadVideoFacts(Make("qpel.mp4", source + " -c:v mpeg4 -flags +qpel"));
    EXPECT_TRUE(qpel.quarterPel);
    EXPECT_FALSE(qpel.bFrames);
}

TEST(ReadVideoFacts, SurroundSoundAndNoSound) {
    const VideoFacts surround = ReadVideoFacts(CentreSurround());
    EXPECT_EQ(surround.audio, AudioCoding::kOther);
    EXPECT_EQ(surround.audioCodec, "ac3");
    EXPECT_EQ(surround.channels, 6);
    EXPECT_EQ(surround.sampleRate, 48000);

    const VideoFacts silent = ReadVideoFacts(Silent());
    EXPECT_EQ(silent.cannotConvert, "");
    EXPECT_EQ(silent.audio, AudioCoding::kNone);
    EXPECT_EQ(silent.channels, 0);
}

TEST(ReadVideoFacts, WhyAFileCannotBeConverted) {
    VideoFacts f = ReadVideoFacts(ConvertTestDir() + "/nothing-here.mkv");
    EXPECT_EQ(f.cannotConvert, "the file is missing");
    EXPECT_EQ(f.video, VideoCoding::kNone);

    const std::string text = ConvertTestDir() + "/notes.mkv";
    std::ofstream(text) << "not a movie at all\n";
    EXPECT_EQ(ReadVideoFacts(text).cannotConvert, "not a video FFmpeg can read");

    f = ReadVideoFacts(Make("tone.wav", ToneSource(0.5)));
    EXPECT_EQ(f.cannotConvert, "no video stream");
    EXPECT_EQ(f.video, VideoCoding::kNone);

    // A song's cover picture is a video stream to FFmpeg, but no movie.
    const std::string cover = Make("cover.jpg", PictureSource("64x64", "1", 1) + " -frames:v 1");
    f = ReadVideoFacts(Make("song.mp3", ToneSource(0.5) + " -i '" + cover +
                                            "' -map 0:a -map 1:v -c:v mjpeg -c:a libmp3lame"
                                            " -disposition:v attached_pic -id3v2_version 3"));
    EXPECT_EQ(f.cannotConvert, "no video stream");
}

// Whether a file goes straight to the mov demuxer is told from its first bytes, not its name:
// what starts as an ISO media file but is none, and other containers under an MP4 name, are
// read as a probe reads them.
TEST(ReadVideoFacts, TheFirstBytesNotTheNameChooseTheDemuxer) {
    const std::string args = PictureSource("160x120", "25", 0.5) + kH264;
    const VideoFacts ts = ReadVideoFacts(Make("stream.mp4", args + " -f mpegts"));
    EXPECT_EQ(ts.cannotConvert, "");
    EXPECT_EQ(ts.container, "mpegts");
    EXPECT_EQ(ts.video, VideoCoding::kH264);

    const VideoFacts mp4 = ReadVideoFacts(Make("named.mkv", args + " -f mp4"));
    EXPECT_EQ(mp4.container, "mp4");
    EXPECT_EQ(mp4.width, 160);

    // An "ftyp" box and nothing a movie needs after it: the mov demuxer refuses it, and the
    // probe finds nothing either.
    const std::string lone = ConvertTestDir() + "/lone-ftyp.mp4";
    std::ofstream(lone, std::ios::binary) << std::string(
                                                 "\0\0\0\x14"
                                                 "ftypisom\0\0\0\0isom",
                                                 20)
                                          << std::string(64, 'x');
    EXPECT_EQ(ReadVideoFacts(lone).cannotConvert, "not a video FFmpeg can read");
    EXPECT_EQ(ReadVideoFacts(lone).video, VideoCoding::kNone);
}

TEST(ReadVideoFacts, AVideoCodingWithoutDecoder) {
    const std::string source = Make("hidden.mp4", PictureSource("160x120", "25", 0.5) + kH264);
    std::string bytes;
    {
        std::ifstream in(source, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t at = bytes.find("avc1", bytes.find("stsd"));
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, "zq9x");
    const std::string path = ConvertTestDir() + "/hidden-coding.mp4";
    std::ofstream(path, std::ios::binary) << bytes;

    const VideoFacts f = ReadVideoFacts(path);
    EXPECT_FALSE(f.videoDecoder);
    EXPECT_EQ(f.cannotConvert.rfind("no decoder for its video", 0), 0u) << f.cannotConvert;
    EXPECT_EQ(DecidePlayback(f, false).verdict, Playback::kCannotConvert);
}

// The facts of real files lead to the right decision: a movie made for the PSP plays as it is,
// the same streams in another container or at a larger size do not.
TEST(ReadVideoFacts, LeadToTheDecision) {
    const std::string streams = PictureSource("480x272", "30000/1001", 1) + ToneSource(1, 48000) +
                                " -pix_fmt yuv420p -c:v libx264 -profile:v main -level 3.0"
                                " -c:a aac";
    const VideoFacts ready = ReadVideoFacts(Make("ready.mp4", streams + " -f psp"));
    const PlaybackDecision plays = DecidePlayback(ready, false);
    EXPECT_EQ(plays.verdict, Playback::kPlaysAsIs)
        << (plays.reasons.empty() ? "" : plays.reasons[0]);

    const VideoFacts inMkv = ReadVideoFacts(Make("ready.mkv", streams));
    EXPECT_EQ(DecidePlayback(inMkv, false).reasons,
              std::vector<std::string>{"it is matroska, not MP4"});

    const VideoFacts hd = ReadVideoFacts(HdMatroska());
    EXPECT_EQ(DecidePlayback(hd, false).verdict, Playback::kNeedsConverting);
}

}  // namespace

// An MP4's facts come from its header alone, without decoding: they must be what a full probe
// of the same streams in another container finds.
TEST(ReadVideoFacts, AnMp4HeaderTellsWhatAProbeTells) {
    const std::string args = PictureSource("640x360", "25", 1) + ToneSource(1, 48000) +
                             " -pix_fmt yuv420p -c:v libx264 -profile:v main -level 3.0 -c:a aac"
                             " -ac 1";
    const VideoFacts mp4 = ReadVideoFacts(Make("header.mp4", args));
    const VideoFacts mkv = ReadVideoFacts(Make("header.mkv", args));
    for (const VideoFacts* f : {&mp4, &mkv}) {
        EXPECT_EQ(f->cannotConvert, "");
        EXPECT_EQ(f->h264Profile, kH264Main);
        EXPECT_EQ(f->h264Level, 30);
        EXPECT_EQ(f->width, 640);
        EXPECT_EQ(f->frameRate.num, 25 * f->frameRate.den);
        EXPECT_EQ(f->audioProfile, kAacLowComplexity);
        EXPECT_EQ(f->channels, 1);
        EXPECT_EQ(f->sampleRate, 48000);
    }
    EXPECT_NEAR(mp4.duration, mkv.duration, 0.1);
}
