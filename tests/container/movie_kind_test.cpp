// SPDX-License-Identifier: GPL-3.0-or-later
// movie_kind_test.cpp - the video kind of movies with and without the PSP's profile atom, and the
// summary the movie list reads of a movie.
#include <gtest/gtest.h>

#include <string>

#include "atom_builder.h"
#include "container/movie.h"

using namespace mp4test;

namespace {

Bytes ftypAtom() {
    return box("ftyp", cat({ascii("isom"), be32(0x200), ascii("isomiso2")}));
}

Bytes hdlr(const std::string& handler) {
    return box("hdlr", cat({be32(0), be32(0), ascii(handler), Bytes(12, 0), Bytes(1, 0)}));
}

// An ES descriptor holding a decoder configuration of the given object type.
Bytes esds(uint8_t objectType, uint8_t esFlags = 0) {
    Bytes es = {0x00, 0x01, esFlags};
    if (esFlags & 0x80) append(es, {0x00, 0x02});
    if (esFlags & 0x40) append(es, {0x03, 'a', 'b', 'c'});
    const Bytes config = {0x04, 0x0D, objectType, 0x11, 0x00, 0x00, 0x00, 0x00,
                          0x01, 0x00, 0x00,       0x00, 0x01, 0x00, 0x00};
    append(es, config);
    // The ES descriptor's length in the four-byte form some muxers write.
    const Bytes descriptor = cat({{0x03, 0x80, 0x80, 0x80, uint8_t(es.size())}, es});
    return box("esds", cat({be32(0), descriptor}));
}

// A track of the given handler whose single sample entry is `entryType` with `children` after
// the visual fields.
Bytes track(const std::string& handler, const std::string& entryType, const Bytes& children = {}) {
    const Bytes entry = box(entryType, cat({Bytes(78, 0), children}));
    const Bytes stsd = box("stsd", cat({be32(0), be32(1), entry}));
    return container("trak", {box("tkhd", Bytes(84)),
                              container("mdia", {box("mdhd", Bytes(24)), hdlr(handler),
                                                 container("minf", {container("stbl", {stsd})})})});
}

Bytes movieOf(std::initializer_list<Bytes> tracks, const Bytes& topLevel = {}) {
    Bytes moov = box("mvhd", Bytes(100));
    for (const Bytes& t : tracks) append(moov, t);
    return cat({ftypAtom(), topLevel, box("mdat", Bytes(16, 0x44)), box("moov", moov)});
}

class MovieKindTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("movie.mp4");

    std::string type(const Bytes& movie) {
        writeFile(path, movie);
        char code[5] = "none";
        GetMovieType(path.c_str(), code);
        return code;
    }
    MovieSummary summary(const Bytes& movie) {
        writeFile(path, movie);
        return ReadMovieSummary(path.c_str());
    }
};

TEST_F(MovieKindTest, WithoutAProfileTheFirstVideoTrackDecides) {
    const Bytes sound = track("soun", "mp4a");
    EXPECT_EQ(type(movieOf({sound, track("vide", "avc1"), track("vide", "mp4v")})), "avc1");
    EXPECT_EQ(type(movieOf({track("vide", "mp4v", esds(0x20))})), "mp4v");
    EXPECT_EQ(type(movieOf({track("vide", "hvc1")})), "hvc1");
    // No video track, or one whose sample description is empty: the buffer is left alone.
    EXPECT_EQ(type(movieOf({sound})), "none");
    EXPECT_EQ(type(movieOf({})), "none");
    const Bytes empty = container(
        "trak",
        {container("mdia", {hdlr("vide"),
                            container("minf", {container("stbl", {box("stsd", Bytes(8))})})})});
    EXPECT_EQ(type(movieOf({empty})), "none");
    EXPECT_FALSE(summary(movieOf({empty})).kind);
    EXPECT_EQ(MovieSummaryProblem(summary(movieOf({empty}))), "not a PSP video format");
}

TEST_F(MovieKindTest, AProfileThatNamesACodingStillDecides) {
    EXPECT_EQ(type(movieOf({track("vide", "avc1")}, profWithVideo("mp4v"))), "mp4v");
    // A profile without a video entry names nothing: the track does.
    const Bytes audioOnly = prof({{"APRF", cat({be32(0), be32(2), ascii("mp4a")})}});
    EXPECT_EQ(type(movieOf({track("vide", "avc1")}, audioOnly)), "avc1");
}

// MPEG-2 and MPEG-1 video can be stored under 'mp4v'; the PSP plays only MPEG-4 part 2 there.
TEST_F(MovieKindTest, Mpeg2AndMpeg1UnderMp4vAreToldApart) {
    const struct {
        Bytes children;
        const char* coding;
        int kind;
    } cases[] = {
        {esds(0x20), "mp4v", kMovieKindMpeg4},
        {esds(0x61), "mp2v", kMovieKindNone},
        {esds(0x60, 0xC0), "mp2v", kMovieKindNone},  // with a dependency and a URL first
        {esds(0x6A), "mp1v", kMovieKindNone},
        {{}, "mp4v", kMovieKindMpeg4},                     // no "esds": taken as it says
        {box("esds", Bytes(4)), "mp4v", kMovieKindMpeg4},  // an empty one
        {cat({box("btrt", Bytes(12)), esds(0x61)}), "mp2v", kMovieKindNone},
    };
    for (const auto& c : cases) {
        const MovieSummary s = summary(movieOf({track("vide", "mp4v", c.children)}));
        EXPECT_EQ(std::string(s.coding, 4), c.coding);
        EXPECT_EQ(s.kind, c.kind) << c.coding;
    }
    EXPECT_EQ(MovieSummaryProblem(summary(movieOf({track("vide", "mp4v", esds(0x61))}))),
              "not a PSP video format: MPEG-2");
}

TEST_F(MovieKindTest, SummaryHoldsTitleKindCodingAndWhyItCannotGo) {
    MovieSummary s =
        summary(cat({ftypAtom(), box("mdat", Bytes(8)),
                     container("moov", {track("vide", "avc1"), usmtWithTitle(u"Caf\u00E9")})}));
    EXPECT_EQ(s.error, MovieError::none);
    EXPECT_EQ(s.title.value_or("(none)"), "Caf\xC3\xA9");
    EXPECT_EQ(s.kind, kMovieKindAvc);
    EXPECT_EQ(std::string(s.coding, 4), "avc1");
    EXPECT_TRUE(s.hasVideo);
    EXPECT_EQ(MovieSummaryProblem(s), "");

    s = summary(movieOf({track("vide", "hev1")}));
    EXPECT_FALSE(s.title);
    EXPECT_EQ(s.kind, kMovieKindNone);
    EXPECT_EQ(MovieSummaryProblem(s), "not a PSP video format: H.265");

    s = summary(movieOf({track("soun", "mp4a")}));
    EXPECT_FALSE(s.hasVideo);
    EXPECT_EQ(MovieSummaryProblem(s), "no video track");

    s = summary(ascii("plain text"));
    EXPECT_EQ(s.error, MovieError::notAMovie);
    EXPECT_EQ(MovieSummaryProblem(s), "not an MP4 movie");
    EXPECT_EQ(ReadMovieSummary(dir.file("gone.mp4").c_str()).error, MovieError::noSuchFile);
}

TEST(VideoCodingName, NamesKnownCodingsAndSpellsOutTheRest) {
    EXPECT_EQ(VideoCodingName("hvc1"), "H.265");
    EXPECT_EQ(VideoCodingName("hev1"), "H.265");
    EXPECT_EQ(VideoCodingName("avc1"), "AVC");
    EXPECT_EQ(VideoCodingName("mp4v"), "MPEG-4");
    EXPECT_EQ(VideoCodingName("mp2v"), "MPEG-2");
    EXPECT_EQ(VideoCodingName("av01"), "AV1");
    EXPECT_EQ(VideoCodingName("vp09"), "VP9");
    EXPECT_EQ(VideoCodingName("zq9x"), "zq9x");
    EXPECT_EQ(VideoCodingName("a\n\xFFz"), "a??z");
    EXPECT_EQ(MovieKindOfCoding("mp4v"), kMovieKindMpeg4);
    EXPECT_EQ(MovieKindOfCoding("avc1"), kMovieKindAvc);
    EXPECT_EQ(MovieKindOfCoding("avc3"), kMovieKindNone);
}

}  // namespace
