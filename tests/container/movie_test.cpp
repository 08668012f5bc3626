// SPDX-License-Identifier: GPL-3.0-or-later
// movie_test.cpp - title operations and the two rewrites that store a title, on built movies.
#include "container/movie.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "atom_builder.h"
#include "movie_layout.h"

using namespace mp4test;

namespace {

// moov after a copy of the built movies: the metadata atom has moved to its end.
const std::string kCopiedMoov = "moov(mvhd trak(tkhd mdia(minf(stbl(stsd stco)))) uuid)";

Bytes ftypAtom() {
    return box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")}));
}
Bytes mvhdAtom() {
    return box("mvhd", Bytes(100, 0));
}

Bytes mdatAtom(size_t payloadSize, uint8_t seed) {
    Bytes payload(payloadSize);
    for (size_t i = 0; i < payloadSize; ++i) payload[i] = uint8_t(seed + i * 7);
    return box("mdat", payload);
}

Bytes trackWith(const Bytes& table) {
    return container(
        "trak",
        {box("tkhd", Bytes(84, 0)),
         container("mdia",
                   {container("minf", {container("stbl", {box("stsd", Bytes(8, 0)), table})})})});
}

// Builds a movie whose chunk table depends on where its first "mdat" lands: the table's values
// never change the sizes, so one build finds the offset and a second one uses it.
Bytes withMdatAt(const std::function<Bytes(uint32_t)>& build) {
    Bytes probe = build(0);
    return build(uint32_t(find(probe, {"mdat"}).offset));
}

// ftyp, profile, moov (metadata atom first), mdat: the layout that needs the copy.
Bytes moovFirstMovie(const std::u16string& title = u"Old title") {
    return withMdatAt([&](uint32_t at) {
        return cat({ftypAtom(), profWithVideo("mp4v"),
                    container("moov", {usmtWithTitle(title), mvhdAtom(),
                                       trackWith(stco({at + 8, at + 200, at + 999}))}),
                    mdatAtom(1000, 1)});
    });
}

// ftyp, profile, mdat, moov (metadata atom last): a title change is made in place.
Bytes moovLastMovie(const std::u16string& title, size_t mdatPayload = 1000) {
    return withMdatAt([&](uint32_t at) {
        return cat({ftypAtom(), profWithVideo("avc1"), mdatAtom(mdatPayload, 2),
                    container("moov", {mvhdAtom(), trackWith(stco({at + 8, at + 500})),
                                       usmtWithTitle(title)})});
    });
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_ino;
}

class MovieTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("movie.mp4");

    std::string title() {
        char* t = GetTitle(path.c_str());
        std::string s = t ? t : "(null)";
        free(t);
        return s;
    }
};

TEST_F(MovieTest, CopyPutsMetadataAtomAtTheEndAndMovesChunkOffsetsWithMdat) {
    Bytes before = moovFirstMovie(u"Old title");
    writeFile(path, before);
    Found oldMdat = find(before, {"mdat"});
    Found oldMoov = find(before, {"moov"});
    ino_t oldInode = inodeOf(path);

    ASSERT_EQ(SetTitle(path.c_str(), "A longer new title"), 0);

    Bytes after = readFile(path);
    EXPECT_EQ(layoutOf(after), "ftyp uuid mdat " + kCopiedMoov);
    Found usmtAtom = find(after, {"moov", "uuid"});
    EXPECT_EQ(usmtAtom.offset + usmtAtom.size, after.size());
    EXPECT_EQ(slice(after, usmtAtom.offset, usmtAtom.size), usmtWithTitle(u"A longer new title"));
    const int32_t growth = 2 * (19 - 10);
    EXPECT_EQ(find(after, {"moov"}).size, oldMoov.size + growth);

    Found newMdat = find(after, {"mdat"});
    EXPECT_EQ(slice(after, newMdat.offset, newMdat.size),
              slice(before, oldMdat.offset, oldMdat.size));
    const uint64_t shift = newMdat.offset - oldMdat.offset;
    std::vector<uint64_t> expected;
    for (uint64_t o : chunkOffsets(before)) expected.push_back(uint32_t(o + shift));
    EXPECT_EQ(chunkOffsets(after), expected);

    EXPECT_EQ(title(), "A longer new title");
    EXPECT_NE(inodeOf(path), oldInode);
    EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
}

TEST_F(MovieTest, TitleChangeAfterTheCopyIsInPlace) {
    writeFile(path, moovFirstMovie());
    ASSERT_EQ(SetTitle(path.c_str(), "First"), 0);
    Bytes before = readFile(path);
    ino_t inode = inodeOf(path);

    ASSERT_EQ(SetTitle(path.c_str(), "Second one"), 0);

    Bytes after = readFile(path);
    EXPECT_EQ(inodeOf(path), inode);
    EXPECT_EQ(after.size(), before.size() + 2 * 5);
    EXPECT_EQ(title(), "Second one");
}

TEST_F(MovieTest, InPlaceShorterTitleTruncatesByTheDifference) {
    Bytes before = moovLastMovie(u"Eight ch");
    writeFile(path, before);
    Found moov = find(before, {"moov"});
    Found usmtAtom = find(before, {"moov", "uuid"});
    ino_t inode = inodeOf(path);

    ASSERT_EQ(SetTitle(path.c_str(), "Four"), 0);

    Bytes after = readFile(path);
    EXPECT_EQ(inodeOf(path), inode);
    ASSERT_EQ(after.size(), before.size() - 8);
    EXPECT_EQ(readBE(after, moov.offset, 4), moov.size - 8);
    // Only the size of moov and the metadata atom itself have changed.
    Bytes expected = before;
    expected.resize(usmtAtom.offset);
    append(expected, usmtWithTitle(u"Four"));
    std::copy_n(be32(moov.size - 8).begin(), 4, expected.begin() + moov.offset);
    EXPECT_EQ(after, expected);
}

TEST_F(MovieTest, InPlaceLongerTitleGrowsByTheDifference) {
    Bytes before = moovLastMovie(u"Four");
    writeFile(path, before);
    Found moov = find(before, {"moov"});
    Found usmtAtom = find(before, {"moov", "uuid"});

    ASSERT_EQ(SetTitle(path.c_str(), "Twelve chars"), 0);

    Bytes after = readFile(path);
    ASSERT_EQ(after.size(), before.size() + 16);
    EXPECT_EQ(readBE(after, moov.offset, 4), moov.size + 16);
    EXPECT_EQ(slice(after, usmtAtom.offset, after.size() - usmtAtom.offset),
              usmtWithTitle(u"Twelve chars"));
    EXPECT_EQ(slice(after, 0, moov.offset), slice(before, 0, moov.offset));
}

TEST_F(MovieTest, CopyShiftsCo64Tables) {
    const uint64_t far = 0x100000005ull;  // beyond 4 GiB: lies in no mdat of this file
    Bytes before = withMdatAt([&](uint32_t at) {
        return cat({ftypAtom(),
                    container("moov", {usmtWithTitle(u"t"), mvhdAtom(),
                                       trackWith(co64({at + 8ull, at + 64ull, far}))}),
                    mdatAtom(100, 3)});
    });
    writeFile(path, before);

    ASSERT_EQ(SetTitle(path.c_str(), "title"), 0);

    Bytes after = readFile(path);
    const uint64_t shift = find(after, {"mdat"}).offset - find(before, {"mdat"}).offset;
    std::vector<uint64_t> old = chunkOffsets(before, "co64");
    EXPECT_EQ(chunkOffsets(after, "co64"),
              (std::vector<uint64_t>{old[0] + shift, old[1] + shift, far + shift}));
}

TEST_F(MovieTest, ChunkOffsetIntoALaterMdatMovesWithThatMdat) {
    // ftyp, mdat, moov, mdat: the first mdat stays put, the second moves forward by moov's size.
    auto build = [](uint32_t first, uint32_t second, uint32_t secondSize) {
        return cat({ftypAtom(), mdatAtom(100, 4),
                    container("moov", {usmtWithTitle(u"t"), mvhdAtom(),
                                       trackWith(stco({first + 8, second + 8, second + 40,
                                                       second + secondSize}))}),
                    mdatAtom(200, 5)});
    };
    Bytes probe = build(0, 0, 0);
    Found first = find(probe, {"mdat"});
    Found second = find(probe, {"mdat"}, 1);
    Bytes before = build(uint32_t(first.offset), uint32_t(second.offset), second.size);
    writeFile(path, before);

    ASSERT_EQ(SetTitle(path.c_str(), "title"), 0);

    Bytes after = readFile(path);
    ASSERT_EQ(layoutOf(after), "ftyp mdat mdat " + kCopiedMoov);
    EXPECT_EQ(find(after, {"mdat"}, 1).offset, second.offset - find(before, {"moov"}).size);
    const uint32_t moved = uint32_t(find(after, {"mdat"}, 1).offset);
    const uint32_t s = uint32_t(second.offset);
    // The last entry points just past the second mdat, so it follows the first one.
    EXPECT_EQ(chunkOffsets(after),
              (std::vector<uint64_t>{first.offset + 8, moved + 8, moved + 40, s + second.size}));
}

// "mdat" stored with a 64-bit size, as cameras write it: the copy keeps its 16-byte header, and
// chunk offsets move with its content.
TEST_F(MovieTest, CopyKeepsA64BitMdatHeaderAndShiftsItsChunks) {
    auto build = [](uint32_t content) {
        return cat({ftypAtom(),
                    container("moov", {usmtWithTitle(u"t"), mvhdAtom(),
                                       trackWith(stco({content, content + 90}))}),
                    be32(1), ascii("mdat"), be64(16 + 100), Bytes(100, 0x61)});
    };
    const size_t at = build(0).size() - 116;
    Bytes before = build(uint32_t(at + 16));
    writeFile(path, before);

    ASSERT_EQ(SetTitle(path.c_str(), "sixty-four"), 0);

    Bytes after = readFile(path);
    EXPECT_EQ(layoutOf(after), "ftyp mdat " + kCopiedMoov);
    const Found mdat = find(after, {"mdat"});
    EXPECT_EQ(mdat.headerSize, 16u);
    EXPECT_EQ(slice(after, mdat.offset, 116), slice(before, at, 116));
    EXPECT_EQ(chunkOffsets(after), (std::vector<uint64_t>{mdat.offset + 16, mdat.offset + 106}));
    EXPECT_EQ(title(), "sixty-four");
}

// A last "mdat" of size 0 runs to the end of the file; once "moov" follows it, it needs its
// real size.
TEST_F(MovieTest, CopyGivesAnOpenEndedMdatItsRealSize) {
    auto build = [](uint32_t content) {
        return cat({ftypAtom(),
                    container("moov", {usmtWithTitle(u"t"), mvhdAtom(),
                                       trackWith(stco({content, content + 10}))}),
                    be32(0), ascii("mdat"), Bytes(300, 0x62)});
    };
    const size_t at = build(0).size() - 308;
    Bytes before = build(uint32_t(at + 8));
    writeFile(path, before);

    ASSERT_EQ(SetTitle(path.c_str(), "open"), 0);

    Bytes after = readFile(path);
    EXPECT_EQ(layoutOf(after), "ftyp mdat " + kCopiedMoov);
    const Found mdat = find(after, {"mdat"});
    EXPECT_FALSE(mdat.toEnd);
    EXPECT_EQ(mdat.size, 308u);
    EXPECT_EQ(slice(after, mdat.offset + 8, 300), Bytes(300, 0x62));
    EXPECT_EQ(chunkOffsets(after), (std::vector<uint64_t>{mdat.offset + 8, mdat.offset + 18}));
}

// In place, "moov" keeps the form of its size: 0 (to the end of the file) or 64 bits.
TEST_F(MovieTest, InPlaceKeepsTheFormOfTheMoovSize) {
    const Bytes children = cat({mvhdAtom(), usmtWithTitle(u"t")});
    const Bytes head = cat({ftypAtom(), box("mdat", Bytes(40, 0x63))});
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "size 0" : "64-bit size");
        const Bytes moovHeader = open ? cat({be32(0), ascii("moov")})
                                      : cat({be32(1), ascii("moov"), be64(16 + children.size())});
        writeFile(path, cat({head, moovHeader, children}));

        ASSERT_EQ(SetTitle(path.c_str(), "a longer title"), 0);

        const Bytes expectedHeader =
            open ? moovHeader
                 : cat({be32(1), ascii("moov"),
                        be64(16 + children.size() + usmtWithTitle(u"a longer title").size() -
                             usmtWithTitle(u"t").size())});
        EXPECT_EQ(readFile(path),
                  cat({head, expectedHeader, mvhdAtom(), usmtWithTitle(u"a longer title")}));
        EXPECT_EQ(title(), "a longer title");
    }
}

TEST_F(MovieTest, BadChunkTableFailsTheCopyAndLeavesTheMovieAsItWas) {
    const std::vector<std::pair<const char*, Bytes>> tables = {
        {"stco count too high", box("stco", cat({be32(0), be32(3), be32(1), be32(2)}))},
        {"co64 count too high", box("co64", cat({be32(0), be32(2), be64(1)}))},
        {"stco shorter than its head", box("stco", be32(0))},
    };
    for (const auto& [what, table] : tables) {
        SCOPED_TRACE(what);
        Bytes movie = cat({ftypAtom(), container("moov", {usmtWithTitle(u"t"), trackWith(table)}),
                           mdatAtom(100, 6)});
        writeFile(path, movie);
        MovieError why = MovieError::none;
        EXPECT_EQ(SetTitleWithCause(path.c_str(), "new", &why), 1);
        EXPECT_EQ(why, MovieError::damaged);
        EXPECT_EQ(readFile(path), movie);
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
    }
}

// moov holding these children, padded with a "free" atom to 8 KiB when `wholePages` is set:
// the data behind it then moves by whole pages, which the kernel copies, else the buffer loop.
Bytes moovOf(const Bytes& children, bool wholePages) {
    if (!wholePages) return box("moov", children);
    return box("moov", cat({children, box("free", Bytes(8192 - 16 - children.size(), 0))}));
}

TEST_F(MovieTest, MediaDataCutShortFailsTheCopyAndLeavesTheMovieAsItWas) {
    const struct {
        uint32_t declared;
        bool wholePages;
    } cases[] = {{2000, false}, {3u << 20, false}, {3u << 20, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.declared << (c.wholePages ? " by pages" : ""));
        Bytes movie = cat({ftypAtom(), moovOf(cat({usmtWithTitle(u"t"), mvhdAtom()}), c.wholePages),
                           boxWithSize(c.declared, "mdat", Bytes(c.declared / 2, 0x5A))});
        writeFile(path, movie);
        EXPECT_EQ(SetTitle(path.c_str(), "new"), 1);
        EXPECT_EQ(readFile(path), movie);
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
    }
}

TEST_F(MovieTest, CopyOfMediaDataLargerThanTheBufferIsExact) {
    // Out of the page cache, the copy reads past it, on a thread of its own; the movie is then
    // longer than what reading its first piece through the cache brings in ahead.
    for (const bool wholePages : {false, true})
        for (const bool cold : {false, true}) {
            const size_t payload = (cold ? 6 : 2) * kCopyBufferSize + 12345;
            SCOPED_TRACE(wholePages ? "moved by whole pages" : "moved within a page");
            SCOPED_TRACE(cold ? "from the disk" : "from the page cache");
            Bytes before = withMdatAt([&](uint32_t at) {
                Bytes children =
                    cat({usmtWithTitle(u"t"), mvhdAtom(), trackWith(stco({at + 8, at + 3000000}))});
                return cat({ftypAtom(), moovOf(children, wholePages), mdatAtom(payload, 7),
                            box("free", Bytes(16, 0xEE))});
            });
            writeFile(path, before);
            if (cold) {
                const int fd = open(path.c_str(), O_RDONLY);
                ASSERT_GE(fd, 0);
                ASSERT_EQ(fdatasync(fd), 0);
                posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                close(fd);
            }

            ASSERT_EQ(SetTitle(path.c_str(), "big"), 0);

            Bytes after = readFile(path);
            Found oldMdat = find(before, {"mdat"});
            Found newMdat = find(after, {"mdat"});
            // The media data moves by whole pages: where moov leaves less, a "free" atom before
            // it takes up the rest of a page.
            const uint64_t moovSize = find(before, {"moov"}).size;
            if (wholePages) {
                EXPECT_EQ(newMdat.offset, oldMdat.offset - moovSize);
                EXPECT_EQ(layoutOf(after).rfind("ftyp mdat free moov", 0), 0u) << layoutOf(after);
            } else {
                EXPECT_EQ(layoutOf(after).rfind("ftyp free mdat free moov", 0), 0u)
                    << layoutOf(after);
                const Found room = find(after, {"free"});
                EXPECT_EQ(room.offset, oldMdat.offset - moovSize);
                EXPECT_GE(room.size, 8u);
                EXPECT_EQ(newMdat.offset, room.offset + room.size);
                EXPECT_EQ((oldMdat.offset - newMdat.offset) % 4096, 0u);
                EXPECT_TRUE(slice(after, room.offset + 8, room.size - 8) ==
                            Bytes(room.size - 8, 0));
            }
            // The media data and the atom behind it, byte for byte.
            EXPECT_TRUE(slice(after, newMdat.offset, newMdat.size + 24) ==
                        slice(before, oldMdat.offset, oldMdat.size + 24));
            EXPECT_EQ(chunkOffsets(after),
                      (std::vector<uint64_t>{newMdat.offset + 8, newMdat.offset + 3000000}));
        }
}

TEST_F(MovieTest, ALongMoveByPartOfAPageGrowsTheFreeAtomBeforeTheMediaData) {
    // ffmpeg's layout: an 8-byte "free" atom between the metadata and the media data. The copy
    // grows it, so that the media data moves by whole pages, and adds no atom of its own; a short
    // media data moves as it is.
    for (const size_t payload : {size_t(kCopyBufferSize) * 2 + 333, size_t(1000)}) {
        SCOPED_TRACE(payload);
        Bytes before = withMdatAt([&](uint32_t at) {
            Bytes children = cat({usmtWithTitle(u"t"), mvhdAtom(), trackWith(stco({at + 8}))});
            return cat({ftypAtom(), box("moov", children), box("free", {}), mdatAtom(payload, 3)});
        });
        writeFile(path, before);
        ASSERT_EQ(SetTitle(path.c_str(), "longer title"), 0);

        Bytes after = readFile(path);
        EXPECT_EQ(layoutOf(after), "ftyp free mdat " + kCopiedMoov);
        const Found oldMdat = find(before, {"mdat"});
        const Found newMdat = find(after, {"mdat"});
        const uint64_t moved = oldMdat.offset - newMdat.offset;
        if (payload > kCopyBufferSize) {
            EXPECT_EQ(moved % 4096, 0u);
            EXPECT_GT(find(after, {"free"}).size, 8u);
        } else {
            EXPECT_EQ(moved, find(before, {"moov"}).size);
        }
        EXPECT_TRUE(slice(after, newMdat.offset, newMdat.size) ==
                    slice(before, oldMdat.offset, oldMdat.size));
        EXPECT_EQ(chunkOffsets(after), std::vector<uint64_t>{newMdat.offset + 8});
        // The next change is made in place, the file's length kept.
        ASSERT_EQ(SetTitle(path.c_str(), "x"), 0);
        EXPECT_EQ(readFile(path).size(), after.size() - 2 * (strlen("longer title") - 1));
    }
}

TEST_F(MovieTest, NullTitleWritesNothing) {
    Bytes movie = moovFirstMovie();
    writeFile(path, movie);
    EXPECT_EQ(SetTitle(path.c_str(), nullptr), 0);
    EXPECT_EQ(readFile(path), movie);
    EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
}

TEST_F(MovieTest, TitleTooLongToStoreIsRefusedWithoutWriting) {
    const std::string tooLong(33000, 'a');  // 66002 bytes of UTF-16: beyond a 16-bit entry
    for (const Bytes& movie : {moovFirstMovie(), moovLastMovie(u"t")}) {
        writeFile(path, movie);
        EXPECT_EQ(SetTitle(path.c_str(), tooLong.c_str()), 1);
        EXPECT_EQ(readFile(path), movie);
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
    }
}

// The metadata atom the PSP's own movies carry, for a movie that has none yet.
Bytes addedAtom(const std::u16string& title, const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    char date[32];
    struct tm local {};
    localtime_r(&st.st_mtime, &local);
    strftime(date, sizeof date, "%Y/%m/%d %H:%M:%S", &local);
    return usmt(
        {{11, {0x55, 0xC4, 0x00, 0x00}, {0x02, 0x1C}},
         {4, {0x15, 0xC7, 0x00, 0x01}, utf16be(u"moviestick")},
         {1, {0x15, 0xC7, 0x00, 0x01}, utf16be(title)},
         {3, {0x55, 0xC4, 0x00, 0x01}, utf16be(std::u16string(date, date + strlen(date)))}});
}

TEST_F(MovieTest, MovieWithoutMetadataIsGivenTheAtomByTheCopy) {
    Bytes before = withMdatAt([&](uint32_t at) {
        return cat({ftypAtom(), container("moov", {mvhdAtom(), trackWith(stco({at + 8, at + 50}))}),
                    mdatAtom(100, 8)});
    });
    writeFile(path, before);
    EXPECT_EQ(GetTitle(path.c_str()), nullptr);
    const Bytes atom = addedAtom(u"New", path);

    ASSERT_EQ(SetTitle(path.c_str(), "New"), 0);

    Bytes after = readFile(path);
    EXPECT_EQ(layoutOf(after), "ftyp mdat " + kCopiedMoov);
    EXPECT_EQ(slice(after, after.size() - atom.size(), atom.size()), atom);
    EXPECT_EQ(find(after, {"moov"}).size, find(before, {"moov"}).size + atom.size());
    const uint64_t shift = find(after, {"mdat"}).offset - find(before, {"mdat"}).offset;
    EXPECT_EQ(chunkOffsets(after), (std::vector<uint64_t>{chunkOffsets(before)[0] + shift,
                                                          chunkOffsets(before)[1] + shift}));
    EXPECT_EQ(title(), "New");

    const ino_t inode = inodeOf(path);
    ASSERT_EQ(SetTitle(path.c_str(), "Newer"), 0);
    EXPECT_EQ(inodeOf(path), inode);
    EXPECT_EQ(title(), "Newer");
}

// "moov" ends the file: the atom is appended to it, and nothing else changes but its size.
TEST_F(MovieTest, MovieWithoutMetadataEndingInMoovIsGivenTheAtomInPlace) {
    Bytes before = withMdatAt([&](uint32_t at) {
        return cat({ftypAtom(), mdatAtom(100, 9),
                    container("moov", {mvhdAtom(), trackWith(stco({at + 8}))})});
    });
    writeFile(path, before);
    const Bytes atom = addedAtom(u"Título", path);
    const ino_t inode = inodeOf(path);

    ASSERT_EQ(SetTitle(path.c_str(), "T\xC3\xADtulo"), 0);

    Bytes expected = cat({before, atom});
    const Found moov = find(before, {"moov"});
    std::copy_n(be32(uint32_t(moov.size + atom.size())).begin(), 4, expected.begin() + moov.offset);
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(inodeOf(path), inode);
    EXPECT_EQ(title(), "T\xC3\xADtulo");
}

TEST_F(MovieTest, RepairAddsNoMetadataAtom) {
    Bytes movie = cat({ftypAtom(), container("moov", {mvhdAtom()}), mdatAtom(100, 8)});
    writeFile(path, movie);
    int repaired = -1;
    EXPECT_EQ(FixBadTitle(path.c_str(), &repaired), 1);
    EXPECT_EQ(repaired, 0);
    EXPECT_EQ(SetTitle(path.c_str(), nullptr), 1);
    EXPECT_EQ(readFile(path), movie);
}

TEST_F(MovieTest, TitlesBeyondTheBasicPlaneAreStoredWhole) {
    writeFile(path, moovLastMovie(u"t"));
    const char* title16 =
        "D\xC3\xAD"
        "a \xF0\x9F\x8E\xAC";  // "Día" and a clapper board
    ASSERT_EQ(SetTitle(path.c_str(), title16), 0);
    EXPECT_EQ(title(), title16);
    EXPECT_EQ(slice(readFile(path), find(readFile(path), {"moov", "uuid"}).offset,
                    find(readFile(path), {"moov", "uuid"}).size),
              usmtWithTitle(u"D\u00EDa \U0001F3AC"));
}

TEST_F(MovieTest, GetTitleReadsAMovieItMayNotWrite) {
    if (geteuid() == 0) GTEST_SKIP() << "root opens read-only files for writing";
    writeFile(path, moovLastMovie(u"t"));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(title(), "t");
    EXPECT_EQ(SetTitle(path.c_str(), "new"), 1);
}

TEST_F(MovieTest, CopyKeepsThePermissions) {
    writeFile(path, moovFirstMovie());
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(SetTitle(path.c_str(), "new"), 0);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Through a symbolic link the copy must replace the movie the link names, not the link.
TEST_F(MovieTest, CopyThroughASymbolicLinkRewritesItsTargetAndKeepsTheLink) {
    writeFile(path, moovFirstMovie());
    const std::string link = path + ".link.mp4";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_EQ(SetTitle(link.c_str(), "through the link"), 0);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    char* title = GetTitle(path.c_str());
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, "through the link");
    free(title);
}

TEST_F(MovieTest, GetMovieTypeReadsTheProfileOrKeepsTheBuffer) {
    char code[5] = "none";
    writeFile(path, moovLastMovie(u"t"));
    GetMovieType(path.c_str(), code);
    EXPECT_STREQ(code, "avc1");

    writeFile(path, cat({ftypAtom(), container("moov", {mvhdAtom()}), mdatAtom(10, 9)}));
    GetMovieType(path.c_str(), code);
    EXPECT_STREQ(code, "avc1");
}

TEST_F(MovieTest, FixBadTitleRepairsWidenedUtf8AndLeavesAsciiAlone) {
    // "Café" whose UTF-8 bytes were stored one per code unit.
    Bytes widened = {0, 'C', 0, 'a', 0, 'f', 0, 0xC3, 0, 0xA9, 0, 0};
    auto movieWithTitle = [](const Bytes& payload) {
        return cat({ftypAtom(), mdatAtom(10, 10),
                    container("moov", {usmt({{1, {0x55, 0xC4, 0, 0}, payload},
                                             {3, {0x55, 0xC4, 0, 0}, utf16be(u"d")},
                                             {4, {0x55, 0xC4, 0, 0}, utf16be(u"e")},
                                             {5, {0, 0, 0, 0}, be32(1)}})})});
    };
    writeFile(path, movieWithTitle(widened));
    int repaired = -1;
    ASSERT_EQ(FixBadTitle(path.c_str(), &repaired), 0);
    EXPECT_EQ(repaired, 1);
    EXPECT_EQ(title(), "Caf\xC3\xA9");

    Bytes ascii = movieWithTitle(utf16be(u"Cafe"));
    writeFile(path, ascii);
    ASSERT_EQ(FixBadTitle(path.c_str(), &repaired), 0);
    EXPECT_EQ(repaired, 0);
    EXPECT_EQ(readFile(path), ascii);
}

// A tmpfs of a few pages that the test fills to the last byte; needs root.
class FullDiskTest : public MovieTest {
protected:
    std::string mountPoint = dir.file("small");
    bool mounted = false;

    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
        ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
        if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs: " << strerror(errno);
        mounted = true;
        path = mountPoint + "/movie.mp4";
    }
    void TearDown() override {
        if (mounted) umount2(mountPoint.c_str(), MNT_DETACH);
    }

    void fillDisk() {
        FILE* f = fopen((mountPoint + "/filler").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        setvbuf(f, nullptr, _IONBF, 0);
        const Bytes page(4096, 0);
        while (fwrite(page.data(), 1, page.size(), f) == page.size()) {
        }
        fclose(f);
    }

    // The movie padded to exactly two pages, so that any growth needs a page more.
    Bytes twoPages(const std::function<Bytes(size_t)>& build) {
        return build(1000 + 8192 - build(1000).size());
    }
};

TEST_F(FullDiskTest, InPlaceGrowthOnAFullDiskLeavesTheMovieAsItWas) {
    Bytes movie = twoPages([](size_t pad) { return moovLastMovie(u"t", pad); });
    ASSERT_EQ(movie.size(), 8192u);
    writeFile(path, movie);
    fillDisk();

    MovieError why = MovieError::none;
    const char* longer = "a title that needs more room than the old one";
    EXPECT_EQ(SetTitleWithCause(path.c_str(), longer, &why), 1);
    EXPECT_EQ(why, MovieError::noRoom);
    EXPECT_EQ(readFile(path), movie);
}

TEST_F(FullDiskTest, CopyOnAFullDiskLeavesTheMovieAsItWas) {
    Bytes movie = twoPages([](size_t pad) {
        return cat(
            {ftypAtom(), container("moov", {usmtWithTitle(u"t"), mvhdAtom()}), mdatAtom(pad, 11)});
    });
    writeFile(path, movie);
    fillDisk();

    MovieError why = MovieError::none;
    EXPECT_EQ(SetTitleWithCause(path.c_str(), "x", &why), 1);
    EXPECT_EQ(why, MovieError::noRoom);
    EXPECT_EQ(readFile(path), movie);
    EXPECT_EQ(listDir(mountPoint), (std::vector<std::string>{"filler", "movie.mp4"}));
}

}  // namespace
