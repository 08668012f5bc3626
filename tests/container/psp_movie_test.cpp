// SPDX-License-Identifier: GPL-3.0-or-later
// psp_movie_test.cpp - title operations on real movies from ffmpeg's PSP muxer, checked by
// decoding every frame before and after.
#include "container/movie.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "atom_builder.h"
#include "ffmpeg_run.h"

using namespace mp4test;

namespace {

struct Variant {
    const char* name;
    const char* encoder;  // ffmpeg's video encoder options
    const char* code;     // what the profile atom names
    bool faststart;       // moov before mdat, so the first title change copies the movie
    const char* title;    // null: made without a title, and so without the metadata atom
};

void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.name;
}

const Variant kVariants[] = {
    {"Mpeg4MoovAtEnd", "-c:v mpeg4", "mp4v", false, "Ma premi\xC3\xA8re vid\xC3\xA9o"},
    {"Mpeg4Faststart", "-c:v mpeg4", "mp4v", true, "Ma premi\xC3\xA8re vid\xC3\xA9o"},
    {"H264MoovAtEnd", "-c:v libx264 -pix_fmt yuv420p", "avc1", false, "Holiday"},
    {"H264Faststart", "-c:v libx264 -pix_fmt yuv420p", "avc1", true, "Holiday"},
    {"Mpeg4Untitled", "-c:v mpeg4", "mp4v", false, nullptr},
    {"H264FaststartUntitled", "-c:v libx264 -pix_fmt yuv420p", "avc1", true, nullptr},
};

// Each movie is made once per process, when a test first needs it; every test works on its
// own copy.
class PspMovieTest : public ::testing::TestWithParam<Variant> {
protected:
    static inline std::unique_ptr<TempDir> made;

    static void TearDownTestSuite() { made.reset(); }

    static bool make(const Variant& v, const std::string& out) {
        return run("ffmpeg -nostdin -v error -y"
                   " -f lavfi -i testsrc=size=320x240:rate=25:duration=2"
                   " -f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 " +
                   std::string(v.encoder) + " -c:a aac -b:a 64k" +
                   (v.faststart ? " -movflags +faststart" : "") +
                   (v.title ? " -metadata title=" + quoted(v.title) : "") + " -f psp " +
                   quoted(out))
            .has_value();
    }

    TempDir dir;
    std::string path = dir.file("movie.mp4");

    void SetUp() override {
        if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        if (!made) made = std::make_unique<TempDir>();
        const std::string source = made->file(std::string(GetParam().name) + ".mp4");
        struct stat st {};
        if (stat(source.c_str(), &st) != 0) {
            ASSERT_TRUE(make(GetParam(), source)) << "ffmpeg could not make the movie";
        }
        writeFile(path, readFile(source));
    }

    std::string title() {
        char* t = GetTitle(path.c_str());
        std::string s = t ? t : "(null)";
        free(t);
        return s;
    }

    ino_t inode() {
        struct stat st {};
        stat(path.c_str(), &st);
        return st.st_ino;
    }
};

TEST_P(PspMovieTest, ReadsTitleAndVideoCoding) {
    EXPECT_EQ(title(), GetParam().title ? GetParam().title : "(null)");
    char code[5] = "none";
    GetMovieType(path.c_str(), code);
    EXPECT_STREQ(code, GetParam().code);
}

TEST_P(PspMovieTest, TitleChangesKeepEveryFrame) {
    const std::string frames = frameChecksums(path);
    ASSERT_GT(std::count(frames.begin(), frames.end(), '\n'), 100) << frames;

    // A movie made without a title has no metadata atom: the first change adds one.
    ASSERT_EQ(SetTitle(path.c_str(), "A title much longer than the one it replaces"), 0);
    EXPECT_EQ(title(), "A title much longer than the one it replaces");
    EXPECT_EQ(frameChecksums(path), frames);

    const ino_t afterFirst = inode();
    ASSERT_EQ(SetTitle(path.c_str(), "Short"), 0);
    EXPECT_EQ(title(), "Short");
    EXPECT_EQ(inode(), afterFirst);  // in place from now on
    EXPECT_EQ(frameChecksums(path), frames);
    char code[5] = "none";
    GetMovieType(path.c_str(), code);
    EXPECT_STREQ(code, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Made, PspMovieTest, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
