// SPDX-License-Identifier: GPL-3.0-or-later
// uuid_test.cpp - the user-metadata and profile atoms: parsing, title edits, conversions, writing.
#include "container/uuid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "atom_builder.h"
#include "movie_layout.h"

using namespace mp4test;

namespace {

const Bytes kFtyp = box("ftyp", cat({ascii("MSNV"), be32(0), ascii("MSNVisom")}));
const Bytes kMvhd = box("mvhd", Bytes(100, 0));
const Bytes kMdat = box("mdat", Bytes(64, 0xAA));
const Bytes kAttr = {0x55, 0xC4, 0x00, 0x00};
const int64_t kFirstChildOffset = int64_t(kFtyp.size() + 8 + kMvhd.size());  // after mvhd

// ftyp, the top-level extras, moov (mvhd and the children), mdat.
Bytes movieWith(const Bytes& moovChildren, const Bytes& topLevel = {}) {
    return cat({kFtyp, topLevel, box("moov", cat({kMvhd, moovChildren})), kMdat});
}

// ftyp, mdat, moov: the last child of moov ends the file.
Bytes movieEndingWith(const Bytes& moovChildren) {
    return cat({kFtyp, kMdat, box("moov", cat({kMvhd, moovChildren}))});
}

// The usual four entries with exactly this title payload, and `tail` after them.
Bytes usmtWithPayload(const Bytes& payload, const Bytes& tail = {}) {
    return usmt({{1, kAttr, payload},
                 {3, kAttr, utf16be(u"2008/01/01")},
                 {4, kAttr, {}},
                 {5, {0, 0, 0, 0}, be32(1)}},
                tail);
}

Bytes foreignUuid() {
    return box("uuid", cat({ascii("ABCD"), Bytes(18, 0x11)}));
}

Bytes toUcs(const Bytes& utf8) {
    Bytes out(utf8.size() * 2);
    out.resize(utf8ucs(out.data(), utf8.data(), utf8.size()));
    return out;
}

Bytes toUtf8(const Bytes& ucs) {
    Bytes out(ucs.size() / 2 * 3);
    out.resize(ucs2utf8(out.data(), ucs.data(), ucs.size()));
    return out;
}

class UuidTest : public ::testing::Test {
protected:
    void TearDown() override { reset(); }

    // Releases the parsed movie, so that one test can go through several files.
    void reset() {
        uuidFree(&uuid_.box);
        uuid_ = {};
        FreeMovieInfo(info_, nullptr);
        info_ = nullptr;
        if (file_) fclose(file_);
        file_ = nullptr;
    }

    void open(const Bytes& bytes, const char* mode = "r+b") {
        reset();
        writeFile(path_, bytes);
        ASSERT_NE(file_ = fopen(path_.c_str(), mode), nullptr);
        ASSERT_NE(info_ = GetMovieInfo(file_, nullptr), nullptr);
    }

    void parse(const Bytes& bytes, const char* mode = "r+b") {
        ASSERT_NO_FATAL_FAILURE(open(bytes, mode));
        ASSERT_EQ(uuidParse(file_, info_, &uuid_), 0);
    }

    std::string title() {
        char* t = uuidGetTitle(&uuid_);
        std::string s = t ? t : "(null)";
        free(t);
        return s;
    }

    const MtdtEntry& entry(int i) const { return uuid_.box.entries[i]; }
    Bytes payload(int i) const {
        return Bytes(entry(i).text, entry(i).text + entry(i).entrySize - 10);
    }

    TempDir dir_;
    std::string path_ = dir_.file("movie.mp4");
    FILE* file_ = nullptr;
    MovieInfo* info_ = nullptr;
    UuidInfo uuid_{};
};

// Each bad candidate comes before a good atom: the search must pass over it, neither stopping
// nor reading into its neighbour.
TEST_F(UuidTest, ParseSkipsForeignAndDamagedCandidates) {
    const Bytes t = utf16be(u"bad");
    const Bytes entries = usmtWithTitle(u"bad");
    const Bytes code(USMTCODE, USMTCODE + 16);
    const struct {
        const char* what;
        Bytes atoms;
    } cases[] = {
        {"foreign", foreignUuid()},
        {"three entries", usmt({{1, kAttr, t}, {3, kAttr, t}, {4, kAttr, t}})},
        {"five entries",
         usmt({{1, kAttr, t}, {3, kAttr, t}, {4, kAttr, t}, {5, kAttr, t}, {6, kAttr, t}})},
        {"entry size 9", usmt({{1, kAttr, t}, {3, kAttr, {}, 9}, {4, kAttr, t}, {5, kAttr, t}})},
        {"entry overruns the atom",
         usmt({{1, kAttr, t}, {3, kAttr, t}, {4, kAttr, t}, {5, kAttr, t, 200}})},
        {"wrong tag", box("uuid", cat({code, be32(10), ascii("MTDX"), be16(4)}))},
        // An atom shorter than its head, followed by one that reads like the rest of it.
        {"short atom",
         cat({box("uuid", code),
              box("MTDT", cat({be16(4), Bytes(entries.begin() + 34, entries.end())}))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(parse(movieWith(cat({c.atoms, usmtWithTitle(u"good")}))));
        ASSERT_EQ(uuid_.found, 1);
        EXPECT_EQ(uuid_.atom->offset, kFirstChildOffset + int64_t(c.atoms.size()));
        EXPECT_EQ(title(), "good");
    }
}

TEST_F(UuidTest, ParseFindsNothingWithoutAValidAtom) {
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(cat({foreignUuid(), box("free")}))));
    EXPECT_EQ(uuid_.found, 0);
    EXPECT_EQ(uuidGetTitle(&uuid_), nullptr);

    // The file ends inside the bytes after the entries, which could not be written back.
    Bytes file = movieEndingWith(usmtWithPayload(utf16be(u"cut"), Bytes(8, 0x77)));
    file.resize(file.size() - 3);
    ASSERT_NO_FATAL_FAILURE(parse(file));
    EXPECT_EQ(uuid_.found, 0);
    EXPECT_EQ(uuid_.box.entries, nullptr);

    MovieInfo* noMoov = NewMovieInfo();
    EXPECT_EQ(uuidParse(file_, noMoov, &uuid_), kUuidNoMoov);
    FreeMovieInfo(noMoov, nullptr);
}

TEST_F(UuidTest, AtFileEndOnlyWhenTheAtomEndsTheFile) {
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithTitle(u"t"))));
    EXPECT_EQ(uuid_.found + uuid_.atFileEnd, 1);
    ASSERT_NO_FATAL_FAILURE(parse(movieEndingWith(usmtWithTitle(u"t"))));
    EXPECT_EQ(uuid_.found + uuid_.atFileEnd, 2);
}

TEST_F(UuidTest, GetTitleConvertsTheFirstTitleEntry) {
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmt({{3, kAttr, utf16be(u"date")},
                                                  {1, kAttr, utf16be(u"Caf\u00e9 \u20ac")},
                                                  {1, kAttr, utf16be(u"second")},
                                                  {4, kAttr, {}}}))));
    EXPECT_EQ(title(), "Caf\xC3\xA9 \xE2\x82\xAC");
    // No terminator, and an odd last byte that is no code unit.
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithPayload({0x00, 0x41, 0x00, 0x42, 0x43}))));
    EXPECT_EQ(title(), "AB");
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithPayload({}))));  // entry size 10
    EXPECT_EQ(title(), "");
    ASSERT_NO_FATAL_FAILURE(
        parse(movieWith(usmt({{2, kAttr, {}}, {3, kAttr, {}}, {4, kAttr, {}}, {5, kAttr, {}}}))));
    EXPECT_EQ(uuidGetTitle(&uuid_), nullptr);
    EXPECT_EQ(uuidSetTitle(&uuid_, "title"), 0);
}

TEST_F(UuidTest, SetTitleMovesEverySizeByTheDifference) {
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithTitle(u"xyz"))));  // four code units
    const uint32_t size = uuid_.box.uuidSize;
    const uint32_t mtdt = uuid_.box.mtdtSize;

    ASSERT_EQ(uuidSetTitle(&uuid_, "abc"), 1);
    EXPECT_EQ(payload(0), Bytes({0x00, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00, 0x00}));
    EXPECT_EQ(uuid_.box.uuidSize, size);
    EXPECT_EQ(uuid_.growth, 0);

    ASSERT_EQ(uuidSetTitle(&uuid_, "abcd"), 1);
    EXPECT_EQ(entry(0).entrySize, 20);
    EXPECT_EQ(uuid_.box.mtdtSize, mtdt + 2);
    EXPECT_EQ(uuid_.box.uuidSize, size + 2);
    EXPECT_EQ(uuid_.growth, 2);

    ASSERT_EQ(uuidSetTitle(&uuid_, "a"), 1);  // growth counts from the parse
    EXPECT_EQ(uuid_.growth, -4);
    EXPECT_EQ(uuid_.box.uuidSize, size - 4);
}

TEST_F(UuidTest, SetTitleRefusesWhatCannotBeStored) {
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithTitle(u"keep"))));
    const uint32_t size = uuid_.box.uuidSize;
    // A cut-off 4-byte sequence swallows the NUL: nothing is left to store.
    EXPECT_EQ(uuidSetTitle(&uuid_, "\xF0"), 0);
    // One code unit too many would wrap the 16-bit entry size.
    EXPECT_EQ(uuidSetTitle(&uuid_, std::string(32762, 'a').c_str()), kUuidTitleTooLong);
    EXPECT_EQ(title(), "keep");
    EXPECT_EQ(uuid_.box.uuidSize, size);
    EXPECT_EQ(uuid_.growth, 0);
    ASSERT_EQ(uuidSetTitle(&uuid_, std::string(32761, 'a').c_str()), 1);
    EXPECT_EQ(entry(0).entrySize, 65534);

    // The metadata size is never checked against the block, but must not be taken below zero.
    Bytes file = movieWith(usmtWithTitle(u"long title"));
    std::copy_n(be32(4).begin(), 4, file.begin() + kFirstChildOffset + 24);
    ASSERT_NO_FATAL_FAILURE(parse(file));
    EXPECT_EQ(uuidSetTitle(&uuid_, "t"), kUuidTitleTooLong);
    EXPECT_EQ(title(), "long title");
}

TEST(TitleConversion, Utf8ToUcsDecodesLenientlyOneUnitPerCharacter) {
    EXPECT_EQ(toUcs({0x41, 0xC3, 0xA9}), Bytes({0x00, 0x41, 0x00, 0xE9}));
    EXPECT_EQ(toUcs({0xE2, 0x82, 0xAC}), Bytes({0x20, 0xAC}));
    EXPECT_EQ(toUcs({0xC3, 0x41}), Bytes({0x00, 0xC0}));  // the 41 is swallowed
    EXPECT_EQ(toUcs({0x80, 0x41, 0xFF, 0xF8, 0x42}), Bytes({0x00, 0x41, 0x00, 0x42}));
    EXPECT_EQ(toUcs({0x41, 0xE2, 0x82}), Bytes({0x00, 0x41}));  // cut off at the end
}

// Characters beyond U+FFFF (emoji, rare CJK) are stored as surrogate pairs and read back whole;
// a surrogate without its partner reads as U+FFFD, so the title stays valid UTF-8.
TEST(TitleConversion, CharactersBeyondTheBasicPlaneTravelAsSurrogatePairs) {
    const Bytes clapper = {0xF0, 0x9F, 0x8E, 0xAC};  // U+1F3AC
    EXPECT_EQ(toUcs(clapper), Bytes({0xD8, 0x3C, 0xDF, 0xAC}));
    EXPECT_EQ(toUtf8(toUcs(clapper)), clapper);
    const Bytes last = {0xF4, 0x8F, 0xBF, 0xBF};  // U+10FFFF
    EXPECT_EQ(toUtf8(toUcs(last)), last);
    EXPECT_EQ(toUcs({0xF4, 0x90, 0x80, 0x80}), Bytes({0x00, 0x20}));  // past U+10FFFF: a space
    const Bytes fffd = {0xEF, 0xBF, 0xBD};
    EXPECT_EQ(toUtf8({0xD8, 0x3D, 0x00, 0x41}), cat({fffd, {0x41}}));
    EXPECT_EQ(toUtf8({0xDE, 0x00}), fffd);
    EXPECT_EQ(toUtf8({0xD8, 0x3D}), fffd);  // the pair cut off at the end
}

TEST(TitleConversion, UcsToUtf8EncodesEveryUnitOnItsOwn) {
    EXPECT_EQ(toUtf8({0x00, 0x41, 0x00, 0xE9}), Bytes({0x41, 0xC3, 0xA9}));
    EXPECT_EQ(toUtf8({0x07, 0xFF, 0x20, 0xAC}), Bytes({0xDF, 0xBF, 0xE2, 0x82, 0xAC}));
}

TEST(TitleConversion, OnlyWellFormedUtf8IsValid) {
    const std::vector<std::pair<const char*, Bytes>> invalid = {
        {"stray continuation", {0x41, 0x80}},
        {"lead without continuation", {0xC3, 0x41}},
        {"cut off", {0xE2, 0x82}},
        {"overlong slash", {0xC0, 0xAF}},
        {"overlong three bytes", {0xE0, 0x80, 0xAF}},
        {"overlong four bytes", {0xF0, 0x80, 0x80, 0xAF}},
        {"UTF-16 surrogate", {0xED, 0xA0, 0x80}},
        {"past U+10FFFF", {0xF4, 0x90, 0x80, 0x80}},
        {"F5 lead", {0xF5, 0x80, 0x80, 0x80}},
        {"FF", {0xFF}},
    };
    for (const auto& [what, bytes] : invalid)
        EXPECT_FALSE(utf8IsValid(bytes.data(), bytes.size())) << what;
    const Bytes valid = {0x44, 0xC3, 0xAD, 0x61, 0x20, 0xE2, 0x82, 0xAC, 0xF0, 0x9F,
                         0x8E, 0xAC, 0xEF, 0xBF, 0xBF, 0xF4, 0x8F, 0xBF, 0xBF};
    EXPECT_TRUE(utf8IsValid(valid.data(), valid.size()));
    EXPECT_TRUE(utf8IsValid(nullptr, 0));
}

TEST_F(UuidTest, FixBadTitleRepairsOnlyWidenedUtf8) {
    const Bytes widened = {0x00, 0x43, 0x00, 0x61, 0x00, 0x66, 0x00, 0xC3, 0x00, 0xA9, 0x00, 0x00};
    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithPayload(widened))));
    const uint32_t size = uuid_.box.uuidSize;
    ASSERT_EQ(uuidFixBadTitle(&uuid_), 1);
    EXPECT_EQ(payload(0), Bytes({0x00, 0x43, 0x00, 0x61, 0x00, 0x66, 0x00, 0xE9, 0x00, 0x00}));
    EXPECT_EQ(uuid_.box.uuidSize, size - 2);
    EXPECT_EQ(uuid_.growth, -2);

    // Only ASCII; one unit above 0x00FF; an odd length.
    for (const Bytes& good :
         {utf16be(u"Plain"), utf16be(u"\u0100\u00c3\u00a9"), Bytes{0, 0xC3, 0}}) {
        ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithPayload(good))));
        EXPECT_EQ(uuidFixBadTitle(&uuid_), 0);
        EXPECT_EQ(payload(0), good);
    }
}

TEST_F(UuidTest, WriteReproducesTheAtomByteForByte) {
    Bytes original = movieWith(usmt({{1, kAttr, utf16be(u"title")},
                                     {7, {1, 2, 3, 4}, {}},
                                     {0xFFFFFFFF, kAttr, {1, 2, 3}},
                                     {5, kAttr, {9}}},
                                    {0xDE, 0xAD, 0xBE, 0xEF, 0x00}));
    ASSERT_NO_FATAL_FAILURE(parse(original));
    ASSERT_EQ(write_uuid(file_, &uuid_), 0);
    EXPECT_EQ(readFile(path_), original);

    original = movieEndingWith(usmtWithTitle(u"xyz"));
    ASSERT_NO_FATAL_FAILURE(parse(original));
    ASSERT_EQ(uuidSetTitle(&uuid_, "abcd"), 1);
    ASSERT_EQ(write_uuid(file_, &uuid_), 0);
    original.resize(size_t(uuid_.atom->offset));
    EXPECT_EQ(readFile(path_), cat({original, usmtWithTitle(u"abcd")}));

    ASSERT_NO_FATAL_FAILURE(parse(movieWith(usmtWithTitle(u"t")), "rb"));
    EXPECT_EQ(write_uuid(file_, &uuid_), kAtomErr);
}

// The atom's size field says how many bytes were written, whatever the field in memory holds;
// the metadata's own size goes back as it was read, even where it disagrees.
TEST_F(UuidTest, WrittenSizeIsTheBytesTheAtomTook) {
    const Bytes atom = usmtWithTitle(u"title");
    ASSERT_NO_FATAL_FAILURE(parse(movieEndingWith(atom)));
    const uint32_t mtdtSize = uuid_.box.mtdtSize;
    for (uint32_t wrong : {0u, 8u, uint32_t(atom.size()) + 100, 0xFFFFFFFFu}) {
        SCOPED_TRACE(wrong);
        uuid_.box.uuidSize = wrong;
        uuid_.box.mtdtSize = mtdtSize + 1;
        size_t size = 0;
        unsigned char* bytes = uuidBytes(&uuid_, &size);
        ASSERT_TRUE(bytes);
        const Bytes written(bytes, bytes + size);
        free(bytes);
        ASSERT_EQ(written.size(), atom.size());
        EXPECT_EQ(readBE(written, 0, 4), atom.size());
        EXPECT_EQ(readBE(written, 24, 4), mtdtSize + 1);
        EXPECT_TRUE(slice(written, 28, size - 28) == slice(atom, 28, atom.size() - 28));
    }
}

class VprfTest : public UuidTest {
protected:
    int readVprf(const Bytes& file) {
        open(file);
        return info_ ? uuidReadVPRF(file_, info_, out_) : 99;
    }
    std::string out() const { return std::string(out_, 4); }
    char out_[4] = {'X', 'X', 'X', 'X'};
};

TEST_F(VprfTest, FindsTheVideoCodingPastOtherEntriesAndForeignAtoms) {
    // The profile's first two entries have bodies of different lengths.
    ASSERT_EQ(readVprf(movieWith({}, cat({foreignUuid(), profWithVideo("avc1")}))), 0);
    EXPECT_EQ(out(), "avc1");
}

TEST_F(VprfTest, NotFoundAndReadFailureLeaveTheOutputAlone) {
    const Bytes vprf = cat({be32(0), be32(1), ascii("mp4v")});
    // Read again from inside itself, this entry would pass for a VPRF entry naming "mp4v".
    const ProfEntrySpec tooShort = {std::string("\0\0\0\x08", 4), cat({ascii("VPRF"), vprf})};
    Bytes shortEntry = movieWith({}, prof({tooShort, {"APRF", Bytes(4, 0)}}));
    std::copy_n(be32(4).begin(), 4, shortEntry.begin() + kFtyp.size() + 32);
    Bytes truncated = cat({kFtyp, box("moov", kMvhd), kMdat, profWithVideo("avc1")});
    truncated.resize(truncated.size() - 20);  // inside the VPRF entry

    const struct {
        const char* what;
        Bytes file;
        int status;
    } cases[] = {
        {"no profile atom", movieWith({}, foreignUuid()), kUuidNotFound},
        {"no VPRF entry", movieWith({}, prof({{"FPRF", Bytes(12, 0)}})), kUuidNotFound},
        {"profile inside moov", movieWith(profWithVideo("mp4v")), kUuidNotFound},
        {"entry shorter than its head", shortEntry, kUuidNotFound},
        {"truncated", truncated, kAtomErr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readVprf(c.file), c.status);
        EXPECT_EQ(out(), "XXXX");
    }
}

}  // namespace
