// SPDX-License-Identifier: GPL-3.0-or-later
// convert_test.cpp - real videos converted for the PSP, read back with FFmpeg and with the
// movie container engine: streams, picture, bars, rates, sound, duration, title and kind; and
// conversions that are cancelled or fail.
#include "convert/convert.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "container/movie.h"
#include "convert/convert_support.h"
#include "convert/decision.h"

namespace {

using Clock = std::chrono::steady_clock;

class Conversion : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveConversionEncoders()) GTEST_SKIP() << "this FFmpeg lacks libx264 or aac";
    }

    std::string Out(const std::string& name) const { return ConvertTestDir() + "/" + name; }

    // The source converted into a new file of that name; empty, after a failure, when making
    // the source or converting it failed.
    std::string Converted(const std::string& source, const std::string& name,
                          const ConvertRequest& request = {}) const {
        if (source.empty()) {
            ADD_FAILURE() << "ffmpeg could not make the source of " << name;
            return "";
        }
        const ConvertResult result = ConvertToFile(source, Out(name), request);
        if (result.status != ConvertStatus::kDone) {
            ADD_FAILURE() << "converting into " << name << " failed: " << result.cause;
            return "";
        }
        EXPECT_EQ(result.cause, "");
        return Out(name);
    }
};

std::string TitleOf(const std::string& path) {
    char* title = GetTitle(path.c_str());
    const std::string text = title ? title : "(none)";
    std::free(title);
    return text;
}

std::string KindOf(const std::string& path) {
    char code[5] = {};
    GetMovieType(path.c_str(), code);
    return code;
}

double Fps(AVRational r) {
    return r.den ? av_q2d(r) : 0;
}

// Everything a converted movie must be, for a source of that duration: H.264 Main 3.0 at
// 480 x 272 with square pixels and at most 29.97 frames a second, AAC-LC stereo 48 kHz when
// there was sound, as long as the source, with the title and kind the engine reads, and a
// movie the PSP plays as it is by our own decision.
void ExpectPspMovie(const std::string& path, double duration, bool sound,
                    const std::string& title) {
    const Probed movie = Probe(path);
    ASSERT_TRUE(movie.opened) << path;
    ASSERT_EQ(movie.streams.size(), sound ? 2u : 1u);
    const ProbedStream* video = movie.First(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->codec, AV_CODEC_ID_H264);
    EXPECT_EQ(video->profile, FF_PROFILE_H264_MAIN);
    EXPECT_EQ(video->level, 30);
    EXPECT_EQ(video->width, 480);
    EXPECT_EQ(video->height, 272);
    EXPECT_EQ(video->sampleAspect.num, video->sampleAspect.den);
    EXPECT_LE(Fps(video->frameRate), 30000.0 / 1001 + 0.01);
    EXPECT_NEAR(movie.duration, duration, 0.1);
    EXPECT_NEAR(video->duration, duration, 0.1);
    if (sound) {
        const ProbedStream* audio = movie.First(AVMEDIA_TYPE_AUDIO);
        ASSERT_NE(audio, nullptr);
        EXPECT_EQ(audio->codec, AV_CODEC_ID_AAC);
        EXPECT_EQ(audio->profile, FF_PROFILE_AAC_LOW);
        EXPECT_EQ(audio->channels, 2);
        EXPECT_EQ(audio->sampleRate, 48000);
        EXPECT_NEAR(audio->duration, duration, 0.1);
    }
    EXPECT_EQ(TitleOf(path), title);
    EXPECT_EQ(KindOf(path), "avc1");
    const PlaybackDecision decision = DecidePlayback(ReadVideoFacts(path), false);
    EXPECT_EQ(decision.verdict, Playback::kPlaysAsIs)
        << (decision.reasons.empty() ? "" : decision.reasons[0]);
}

ConvertRequest Titled(const std::string& title) {
    ConvertRequest request;
    request.title = title;
    return request;
}

TEST_F(Conversion, HdH264InMatroskaBecomesAPspMovie) {
    const std::string out = Converted(HdMatroska(), "hd.mp4", Titled("Holiday"));
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, true, "Holiday");
    // 30 frames a second go a thousandth slower, not half as fast.
    EXPECT_NEAR(Fps(Probe(out).First(AVMEDIA_TYPE_VIDEO)->frameRate), 29.97, 0.1);
    // The bit rates asked for, give or take the rate control's start on a short clip.
    const double kbps = double(std::filesystem::file_size(out)) * 8 / 2.0 / 1000;
    EXPECT_GT(kbps, 0.5 * (kStandardVideoKbps + kAudioKbps));
    EXPECT_LT(kbps, 1.5 * (kStandardVideoKbps + kAudioKbps));
}

TEST_F(Conversion, HevcInMp4BecomesAPspMovie) {
    const std::string out = Converted(HevcMp4(), "hevc.mp4", Titled("Phone"));
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, true, "Phone");
}

// A 4:3 DVD picture fills the height and gets black bars of 58 columns at each side.
TEST_F(Conversion, FourThreeMpeg2GetsBlackBarsAtTheSides) {
    const std::string out = Converted(DvdMpeg2(), "dvd.mp4", Titled("DVD"));
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, true, "DVD");

    const Picture picture = DecodePicture(out, 10);
    ASSERT_EQ(picture.width, 480);
    ASSERT_EQ(picture.height, 272);
    const auto black = [&](int x, int y) {
        return picture.Y(x, y) <= 20 && std::abs(picture.U(x, y) - 128) <= 4 &&
               std::abs(picture.V(x, y) - 128) <= 4;
    };
    // Whole macroblocks of bar are black exactly; the columns of bar that share a macroblock
    // with the picture carry a little of its coding noise.
    for (int y = 0; y < 272; y += 3) {
        for (int x = 0; x < 48; x += 2) {
            EXPECT_TRUE(black(x, y)) << x << "," << y;
            EXPECT_TRUE(black(479 - x, y)) << 479 - x << "," << y;
        }
        for (int x = 48; x < 56; ++x) {
            EXPECT_LT(picture.Y(x, y), 40) << x << "," << y;
            EXPECT_LT(picture.Y(479 - x, y), 40) << 479 - x << "," << y;
        }
    }
    // The picture starts right after the bar: the test pattern's red column at its left.
    for (int y = 40; y < 232; y += 8) EXPECT_GT(picture.V(62, y), 160) << y;
}

TEST_F(Conversion, SixtyFramesASecondBecomeTwentyNineNinetySeven) {
    const std::string out = Converted(Fast60(), "fast.mp4");
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, true, "");
    const ProbedStream* video = Probe(out).First(AVMEDIA_TYPE_VIDEO);
    EXPECT_NEAR(Fps(video->frameRate), 29.97, 0.05);
    EXPECT_NEAR(double(video->frames), 2.0 * 29.97, 2);
}

TEST_F(Conversion, SurroundSoundIsDownMixedWithItsCentre) {
    const std::string out = Converted(CentreSurround(), "surround.mp4");
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, true, "");
    // The tone was on the centre channel alone: it reaches both sides, equally.
    const std::vector<double> levels = ChannelLevels(out);
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_GT(levels[0], 0.03);
    EXPECT_NEAR(levels[0], levels[1], 0.01);
}

TEST_F(Conversion, AVideoWithoutSoundGetsNoSoundTrack) {
    const std::string out = Converted(Silent(), "silent.mp4", Titled("Quiet"));
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, false, "Quiet");
}

// Sound that starts half a second after the pictures gets silence in front, so the movie's
// sound starts with its pictures and stays in step with them.
TEST_F(Conversion, LateSoundKeepsItsPlace) {
    const std::string source =
        MakeVideo("late.mkv", PictureSource("320x240", "25", 2) + " -itsoffset 0.5" +
                                  ToneSource(1.5) + kHighProfileH264 + " -c:a aac");
    const std::string out = Converted(source, "late.mp4");
    ASSERT_FALSE(out.empty());
    ExpectPspMovie(out, 2.0, true, "");
}

// Camera pictures in full range come out in the range players show: white at 235, not 255.
TEST_F(Conversion, FullRangeWhiteBecomesVideoWhite) {
    const std::string source = MakeVideo("fullrange.mp4",
                                         " -f lavfi -i color=white:size=320x240:rate=25:duration=1"
                                         " -vf scale=out_range=full,format=yuv420p -color_range pc"
                                         " -c:v libx264 -x264-params fullrange=on");
    const std::string out = Converted(source, "fullrange-out.mp4");
    ASSERT_FALSE(out.empty());
    const Picture picture = DecodePicture(out, 5);
    ASSERT_EQ(picture.width, 480);
    EXPECT_NEAR(picture.Y(240, 136), 235, 3);
}

TEST_F(Conversion, TheTitleCanBeEditedLaterAndIsKeptWritable) {
    // Without a title the movie still carries the metadata atom, so a title can be set later.
    const std::string untitled = Converted(Silent(), "untitled.mp4");
    ASSERT_FALSE(untitled.empty());
    EXPECT_EQ(TitleOf(untitled), "");
    ASSERT_EQ(SetTitle(untitled.c_str(), "Later"), 0);
    EXPECT_EQ(TitleOf(untitled), "Later");

    // Bytes that are not UTF-8 would make the muxer drop the entry; they go instead.
    const std::string mangled =
        Converted(Silent(), "mangled.mp4", Titled("Caf\xE9 \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xA5"));
    ASSERT_FALSE(mangled.empty());
    EXPECT_EQ(TitleOf(mangled), "Caf \xC3\xA9t\xC3\xA9  ");
}

TEST_F(Conversion, ProgressClimbsToTheWholeMovie) {
    ConvertRequest request;
    std::vector<std::pair<double, double>> calls;
    request.progress = [&](double done, double total) { calls.emplace_back(done, total); };
    ASSERT_FALSE(Converted(Silent(), "progress.mp4", request).empty());
    ASSERT_GT(calls.size(), 10u);
    for (size_t i = 1; i < calls.size(); ++i) {
        EXPECT_GT(calls[i].first, calls[i - 1].first);
        EXPECT_EQ(calls[i].second, calls[0].second);
    }
    EXPECT_NEAR(calls[0].second, 2.0, 0.1);
    EXPECT_EQ(calls.back().first, calls.back().second);
}

// Cancelled from another thread a little way in, the conversion ends within half a second,
// with nothing else reported as its cause.
TEST_F(Conversion, ACancelMidWayEndsItPromptly) {
    const std::string source = HdMatroska();
    ASSERT_FALSE(source.empty());
    std::atomic<bool> cancel{false};
    std::atomic<double> done{0};
    ConvertRequest request;
    request.cancel = &cancel;
    request.progress = [&](double seconds, double) { done = seconds; };
    ConvertResult result;
    Clock::time_point ended;
    std::thread worker([&] {
        result = ConvertToFile(source, Out("cancelled.mp4"), request);
        ended = Clock::now();
    });
    while (done < 0.5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Clock::time_point asked = Clock::now();
    cancel = true;
    worker.join();
    EXPECT_EQ(result.status, ConvertStatus::kCancelled);
    EXPECT_EQ(result.cause, "cancelled");
    EXPECT_LT(done.load(), 1.9);
    const double latency = std::chrono::duration<double>(ended - asked).count();
    EXPECT_LT(latency, 0.5);
    RecordProperty("cancel_latency_ms", int(latency * 1000));

    const ConvertResult before = ConvertToFile(source, Out("cancelled-before.mp4"), request);
    EXPECT_EQ(before.status, ConvertStatus::kCancelled);
}

// A small tmpfs that fills up half-way through a movie (root only).
class SmallDisk {
public:
    SmallDisk() : path_(ConvertTestDir() + "/small") {
        std::filesystem::create_directories(path_);
        mounted_ =
            std::system(("mount -t tmpfs -o size=96k tmpfs '" + path_ + "' 2>/dev/null").c_str()) ==
            0;
    }
    ~SmallDisk() {
        if (mounted_) (void)std::system(("umount '" + path_ + "'").c_str());
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool mounted_ = false;
};

TEST_F(Conversion, ADiskThatFillsUpIsAWriteFailure) {
    const std::string source = HdMatroska();
    ASSERT_FALSE(source.empty());
    SmallDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs mount here (it needs root)";
    const ConvertResult result = ConvertToFile(source, disk.path() + "/full.mp4");
    EXPECT_EQ(result.status, ConvertStatus::kWriteFailed);
    EXPECT_EQ(result.cause, "the disk is full");
}

TEST_F(Conversion, AFullDiskIsAWriteFailure) {
    const std::string source = Silent();
    ASSERT_FALSE(source.empty());
    ConvertRequest request;
    request.source = source;
    request.outputFd = open("/dev/full", O_WRONLY);
    ASSERT_GE(request.outputFd, 0);
    ConvertResult result = ConvertForPsp(request);
    close(request.outputFd);
    EXPECT_EQ(result.status, ConvertStatus::kWriteFailed);
    EXPECT_EQ(result.cause, "the disk is full");

    // A descriptor open for reading only refuses every byte.
    const std::string out = Out("readonly.mp4");
    close(open(out.c_str(), O_WRONLY | O_CREAT, 0644));
    request.outputFd = open(out.c_str(), O_RDONLY);
    result = ConvertForPsp(request);
    close(request.outputFd);
    EXPECT_EQ(result.status, ConvertStatus::kWriteFailed);
    EXPECT_NE(result.cause.find("could not be written"), std::string::npos) << result.cause;
}

TEST_F(Conversion, SourcesThatCannotBeConverted) {
    ConvertResult result = ConvertToFile(Out("missing.mkv"), Out("missing.mp4"));
    EXPECT_EQ(result.status, ConvertStatus::kSourceFailed);
    EXPECT_EQ(result.cause, "the file is missing");

    result = ConvertToFile(MakeVideo("tone.wav", ToneSource(0.5)), Out("tone.mp4"));
    EXPECT_EQ(result.status, ConvertStatus::kSourceFailed);
    EXPECT_EQ(result.cause, "no video stream");
}

}  // namespace
