// SPDX-License-Identifier: GPL-3.0-or-later
// real_movie_test.cpp - the movies people have: plain MP4 files from ffmpeg's mp4 muxer, without
// any PSP atom, given a title and a kind; every frame checked before and after.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "atom_builder.h"
#include "container/movie.h"
#include "ffmpeg_run.h"
#include "movie_layout.h"

using namespace mp4test;

namespace {

struct Variant {
    const char* name;
    const char* streams;  // ffmpeg's inputs and encoder options
    bool faststart;       // moov before mdat, so the first title change copies the movie
    const char* coding;   // the sample entry the list sees ("" for no video track)
    int kind;
};

void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.name;
}

#define VIDEO " -f lavfi -i testsrc=size=320x240:rate=25:duration=2"
#define AUDIO " -f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 -c:a aac -b:a 64k"

const Variant kVariants[] = {
    {"Mpeg4", VIDEO AUDIO " -c:v mpeg4", false, "mp4v", kMovieKindMpeg4},
    {"Mpeg4Faststart", VIDEO AUDIO " -c:v mpeg4", true, "mp4v", kMovieKindMpeg4},
    {"H264", VIDEO AUDIO " -c:v libx264 -pix_fmt yuv420p", false, "avc1", kMovieKindAvc},
    {"H264Faststart", VIDEO AUDIO " -c:v libx264 -pix_fmt yuv420p", true, "avc1", kMovieKindAvc},
    {"H265", VIDEO " -c:v libx265 -pix_fmt yuv420p -tag:v hvc1 -x265-params log-level=none", true,
     "hvc1", kMovieKindNone},
    {"Mpeg2", VIDEO " -c:v mpeg2video", false, "mp2v", kMovieKindNone},
    {"AudioOnly", AUDIO, false, "", kMovieKindNone},
};

// Each movie is made once per process, when a test first needs it; every test works on its
// own copy.
class RealMovieTest : public ::testing::TestWithParam<Variant> {
protected:
    static inline std::unique_ptr<TempDir> made;

    static void TearDownTestSuite() { made.reset(); }

    TempDir dir;
    std::string path = dir.file("movie.mp4");

    void SetUp() override {
        if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        if (!made) made = std::make_unique<TempDir>();
        const Variant& v = GetParam();
        const std::string source = made->file(std::string(v.name) + ".mp4");
        struct stat st {};
        if (stat(source.c_str(), &st) != 0) {
            const std::string command = std::string("ffmpeg -nostdin -v error -y") + v.streams +
                                        (v.faststart ? " -movflags +faststart" : "") + " -f mp4 " +
                                        quoted(source);
            if (!run(command)) GTEST_SKIP() << "ffmpeg could not make the movie: " << command;
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

TEST_P(RealMovieTest, KindComesFromTheVideoTrack) {
    const Variant& v = GetParam();
    const MovieSummary s = ReadMovieSummary(path.c_str());
    EXPECT_EQ(s.error, MovieError::none);
    EXPECT_FALSE(s.title);
    EXPECT_EQ(s.kind, v.kind);
    EXPECT_EQ(s.hasVideo, *v.coding != '\0');
    if (*v.coding) {
        EXPECT_EQ(std::string(s.coding, 4), v.coding);
    }
    char code[5] = "none";
    GetMovieType(path.c_str(), code);
    EXPECT_STREQ(code, *v.coding ? v.coding : "none");
}

TEST_P(RealMovieTest, TitleIsAddedThenChangedInPlaceWithEveryFrameKept) {
    const std::string frames = frameChecksums(path);
    ASSERT_GT(std::count(frames.begin(), frames.end(), '\n'), 40) << frames;

    ASSERT_EQ(SetTitle(path.c_str(), "Les vacances \xC3\xA0 la mer"), 0);
    EXPECT_EQ(title(), "Les vacances \xC3\xA0 la mer");
    EXPECT_EQ(frameChecksums(path), frames);
    const Bytes first = readFile(path);
    const Found moov = find(first, {"moov"});
    EXPECT_EQ(moov.offset + moov.size, first.size());
    EXPECT_EQ(moov.children.back().type, "uuid");

    const ino_t afterFirst = inode();
    ASSERT_EQ(SetTitle(path.c_str(), "Short"), 0);
    EXPECT_EQ(title(), "Short");
    EXPECT_EQ(inode(), afterFirst);  // in place from now on
    EXPECT_EQ(readFile(path).size(), first.size() - 2 * (21 - 5));
    EXPECT_EQ(frameChecksums(path), frames);
    EXPECT_EQ(ReadMovieSummary(path.c_str()).kind, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Made, RealMovieTest, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

// A "stsz" whose size was lowered by 32 or so inside a fast-start movie: its last bytes read as
// a child that reaches past the sample table, and the movie still parses. A copy would carry
// that into the new file. (Some cuts make the next header unreadable: such a file is no movie.)
TEST(RealDamagedMovie, ASampleTableCutShortIsNeverRewritten) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    ASSERT_TRUE(run("ffmpeg -nostdin -v error -y" VIDEO AUDIO " -c:v mpeg4 -movflags +faststart"
                    " -f mp4 " +
                    quoted(path)));
    const Bytes original = readFile(path);
    const Found stsz = find(original, {"moov", "trak", "mdia", "minf", "stbl", "stsz"});
    bool tried = false;
    for (uint32_t cut = 32; cut <= 96 && !tried; cut += 4) {
        Bytes movie = original;
        std::copy_n(be32(uint32_t(stsz.size - cut)).begin(), 4, movie.begin() + stsz.offset);
        writeFile(path, movie);
        if (ReadMovieSummary(path.c_str()).error != MovieError::none) continue;
        tried = true;
        SCOPED_TRACE(cut);
        MovieError why = MovieError::none;
        EXPECT_EQ(SetTitleWithCause(path.c_str(), "X", &why), 1);
        EXPECT_EQ(why, MovieError::damaged);
        EXPECT_EQ(readFile(path), movie);
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
    }
    EXPECT_TRUE(tried) << "no cut of the sample table left a movie that parses";
}

}  // namespace
