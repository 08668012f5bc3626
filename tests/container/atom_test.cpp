// SPDX-License-Identifier: GPL-3.0-or-later
// atom_test.cpp - the atom tree reader: tree shape, what is not a movie, cost and failures.
#include "container/atom.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "atom_builder.h"

namespace {

using namespace mp4test;

struct FreeInfo {
    void operator()(MovieInfo* info) const { FreeMovieInfo(info, nullptr); }
};
using InfoPtr = std::unique_ptr<MovieInfo, FreeInfo>;

std::string TypeOf(const AtomInfo* atom) {
    return atom->type[0] ? std::string(atom->type, 4) : "root";
}

// The tree as text: types in file order, children in parentheses.
std::string Shape(const AtomInfo* first) {
    std::string out;
    for (const AtomInfo* a = first; a; a = static_cast<const AtomInfo*>(a->next)) {
        if (!out.empty()) out += ' ';
        out += TypeOf(a);
        if (a->child) out += "(" + Shape(static_cast<const AtomInfo*>(a->child)) + ")";
    }
    return out;
}

std::string Shape(const InfoPtr& info) {
    return Shape(static_cast<AtomInfo*>(info->root->child));
}

Bytes Ftyp() {
    return box("ftyp", cat({ascii("MSNV"), be32(0), ascii("MSNVisom")}));
}

// A "moov" with every container kind the reader descends into, and leaves that are not.
Bytes FullMoov() {
    Bytes stbl = container("stbl", {box("stsd", Bytes(8)), stco({48, 1048})});
    Bytes minf = container("minf", {box("vmhd", Bytes(12)), stbl});
    Bytes mdia = container("mdia", {box("mdhd", Bytes(24)), minf});
    Bytes trak = container("trak", {box("tkhd", Bytes(84)), mdia});
    Bytes udta = container("udta", {box("meta", Bytes(4))});
    return container("moov", {box("mvhd", Bytes(100)), trak, udta, usmtWithTitle(u"Title")});
}

Bytes Mdat(size_t payload = 16) {
    return box("mdat", Bytes(payload, 0xAB));
}

class AtomTree : public testing::Test {
protected:
    std::string Write(const Bytes& bytes) {
        std::string path = dir.file("movie.mp4");
        writeFile(path, bytes);
        return path;
    }
    MovieInfo* ParseRaw(const Bytes& bytes, AtomInfoProc freeProc) {
        FILE* f = fopen(Write(bytes).c_str(), "rb");
        if (!f) ADD_FAILURE() << "cannot open the test file";
        MovieInfo* info = f ? GetMovieInfo(f, freeProc) : nullptr;
        if (f) fclose(f);
        return info;
    }
    InfoPtr Parse(const Bytes& bytes) { return InfoPtr(ParseRaw(bytes, nullptr)); }

    TempDir dir;
};

TEST(AtomFields, AllOnesAreAValueAndOnlyShortReadsFail) {
    unsigned char bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    FILE* f = fmemopen(bytes, sizeof bytes, "rb");
    EXPECT_EQ(GetUINT32(f), 4294967295);
    EXPECT_EQ(GetUINT16(f), 65535);
    EXPECT_EQ(GetUINT16(f), kAtomErr);
    rewind(f);
    AtomHeader header;
    EXPECT_EQ(GetAtomHeader(f, &header), kAtomErr);
    fseek(f, 4, SEEK_SET);
    EXPECT_EQ(GetUINT32(f), kAtomErr);
    fclose(f);
}

TEST(AtomFields, WrittenFieldsAreBigEndianAndTypesKeepTheirByteOrder) {
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    const AtomHeader written = {0x00010203, {'m', 'o', 'o', 'v'}};
    EXPECT_EQ(PutUINT32(f, 0xA1B2C3D4), 0);
    EXPECT_EQ(PutUINT16(f, 0xE5F6), 0);
    EXPECT_EQ(PutAtomHeader(f, &written), 0);

    rewind(f);
    unsigned char bytes[14];
    ASSERT_EQ(fread(bytes, 1, sizeof bytes, f), sizeof bytes);
    const Bytes expected = cat({be32(0xA1B2C3D4), be16(0xE5F6), be32(0x00010203), ascii("moov")});
    EXPECT_EQ(Bytes(bytes, bytes + sizeof bytes), expected);
    fseek(f, 6, SEEK_SET);
    AtomHeader read;
    ASSERT_EQ(GetAtomHeader(f, &read), 0);
    EXPECT_EQ(read.size, written.size);
    EXPECT_EQ(std::string(read.type, 4), "moov");
    fclose(f);
}

TEST_F(AtomTree, DescendsIntoTheSixContainerKindsOnly) {
    const Bytes file = cat({Ftyp(), FullMoov(), Mdat()});
    InfoPtr info = Parse(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(Shape(info),
              "ftyp moov(mvhd trak(tkhd mdia(mdhd minf(vmhd stbl(stsd stco)))) udta(meta) uuid) "
              "mdat");
    EXPECT_EQ(info->fileSize, file.size());
    EXPECT_EQ(info->fileLength, int64_t(file.size()));
    EXPECT_EQ(info->moov->offset, int64_t(Ftyp().size()));
    EXPECT_EQ(info->moov->size, FullMoov().size());
    EXPECT_EQ(info->mdat->offset, int64_t(Ftyp().size() + FullMoov().size()));
    EXPECT_EQ(info->mdat->size, Mdat().size());
}

TEST_F(AtomTree, MdatBeforeMoovIsFoundTheSame) {
    InfoPtr info = Parse(cat({Ftyp(), Mdat(40), FullMoov()}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->mdat->offset, int64_t(Ftyp().size()));
    EXPECT_EQ(info->moov->offset, int64_t(Ftyp().size() + Mdat(40).size()));
}

// Only top-level atoms count, and a leaf's payload is never taken for atoms, however it looks.
TEST_F(AtomTree, WithoutTopLevelMoovAndMdatItIsNotAMovie) {
    const Bytes moov = container("moov", {box("mvhd", Bytes(100))});
    EXPECT_FALSE(Parse({}));
    EXPECT_FALSE(Parse(cat({Ftyp(), moov})));
    EXPECT_FALSE(Parse(cat({Ftyp(), Mdat()})));
    EXPECT_FALSE(Parse(cat({Ftyp(), container("trak", {moov}), Mdat()})));
    EXPECT_FALSE(Parse(cat({Ftyp(), box("free", moov), Mdat()})));
    EXPECT_FALSE(Parse(cat({Ftyp(), box("mdat", moov)})));
    EXPECT_FALSE(Parse(cat({Ftyp(), box("MOOV", Bytes(8)), Mdat()})));
}

TEST_F(AtomTree, SizesZeroOneAndBelowEightFailAtEveryLevel) {
    // A size of 1 announces a 64-bit size, here 0; a size of 0 is refused inside containers and
    // before other top-level atoms (it would swallow them), and runs to the end of the file as
    // the last top-level atom (LargeAndOpenEndedSizes).
    for (uint32_t size : {0u, 1u, 7u}) {
        SCOPED_TRACE(size);
        const Bytes bad = boxWithSize(size, "free", Bytes(8));
        EXPECT_FALSE(Parse(cat({Ftyp(), bad, FullMoov(), Mdat()})));
        if (size != 0) {
            EXPECT_FALSE(Parse(cat({Ftyp(), FullMoov(), Mdat(), bad})));
        }
        EXPECT_FALSE(Parse(cat({Ftyp(), container("moov", {box("mvhd"), bad}), Mdat()})));
        Bytes deep = container("stbl", {box("stsd"), bad});
        deep = container("minf", {deep});
        deep = container("mdia", {deep});
        deep = container("moov", {container("trak", {deep})});
        EXPECT_FALSE(Parse(cat({Ftyp(), deep, Mdat()})));
    }
    EXPECT_TRUE(Parse(cat({Ftyp(), boxWithSize(8, "free"), FullMoov(), Mdat()})));
}

TEST_F(AtomTree, LargeAndOpenEndedSizes) {
    // A container and a leaf with 64-bit sizes: the children begin after the 16-byte header.
    const Bytes mvhd = box("mvhd", Bytes(20));
    const Bytes moov64 = cat({be32(1), ascii("moov"), be64(16 + mvhd.size()), mvhd});
    const Bytes mdat64 = cat({be32(1), ascii("mdat"), be64(16 + 40), Bytes(40, 0xCD)});
    InfoPtr info = Parse(cat({Ftyp(), moov64, mdat64, box("free")}));
    ASSERT_TRUE(info);
    EXPECT_EQ(Shape(info), "ftyp moov(mvhd) mdat free");
    EXPECT_EQ(info->moov->headerSize, 16);
    EXPECT_EQ(info->moov->size, moov64.size());
    EXPECT_EQ(static_cast<AtomInfo*>(info->moov->child)->offset, info->moov->offset + 16);
    EXPECT_EQ(info->mdat->size, 56u);

    // Size 0 as the last top-level atom: the rest of the file, however long.
    const Bytes open = cat({be32(0), ascii("mdat"), Bytes(1000, 0xEF)});
    info = Parse(cat({Ftyp(), FullMoov(), open}));
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->mdat->toFileEnd);
    EXPECT_EQ(info->mdat->size, open.size());
    EXPECT_FALSE(info->moov->toFileEnd);

    // 64-bit sizes that cannot hold the header, or that no file reaches.
    for (uint64_t size : {uint64_t(15), uint64_t(1) << 63}) {
        const Bytes bad = cat({be32(1), ascii("mdat"), be64(size), Bytes(16)});
        EXPECT_FALSE(Parse(cat({Ftyp(), FullMoov(), bad}))) << size;
    }
}

TEST_F(AtomTree, TruncationFailsOnlyWhereAHeaderCannotBeRead) {
    Bytes file = cat({Ftyp(), FullMoov(), Mdat(1000)});
    file.resize(file.size() - 900);
    InfoPtr info = Parse(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->mdat->size, 1008u);

    // The file ends where the next child of "moov" would begin, or inside its header.
    const Bytes children = cat({box("mvhd"), container("trak", {box("tkhd")})});
    const Bytes moov = cat({be32(uint32_t(8 + children.size() + 16)), ascii("moov"), children});
    EXPECT_FALSE(Parse(cat({Ftyp(), Mdat(), moov})));
    EXPECT_FALSE(Parse(cat({Ftyp(), Mdat(), moov, be32(16)})));
    // A few bytes after the last atom are an unreadable header, not padding.
    EXPECT_FALSE(Parse(cat({Ftyp(), FullMoov(), Mdat(), be32(8)})));
}

TEST_F(AtomTree, ChildReachingPastItsContainerEndsOnlyThatLevel) {
    const Bytes moov = cat({be32(8 + 16), ascii("moov"), boxWithSize(400, "mvhd", Bytes(8))});
    InfoPtr info = Parse(cat({Ftyp(), moov, box("free"), Mdat()}));
    ASSERT_TRUE(info);
    EXPECT_EQ(Shape(info), "ftyp moov(mvhd) free mdat");
    EXPECT_EQ(info->mdat->offset, int64_t(Ftyp().size() + moov.size() + 8));
}

std::vector<std::string>* gFreed;

void RecordFree(AtomInfo* atom) {
    gFreed->push_back(TypeOf(atom));
}

TEST_F(AtomTree, FreeCallbackSeesEveryNodeOnceAfterItsDescendants) {
    std::vector<std::string> freed;
    gFreed = &freed;
    const Bytes moov = container("moov", {box("mvhd"), container("trak", {box("tkhd")})});
    MovieInfo* info = ParseRaw(cat({Ftyp(), moov, Mdat()}), RecordFree);
    ASSERT_NE(info, nullptr);
    FreeMovieInfo(info, RecordFree);
    EXPECT_EQ(freed,
              (std::vector<std::string>{"mdat", "tkhd", "trak", "mvhd", "moov", "ftyp", "root"}));

    // A failed parse releases what it had built, through the same callback.
    freed.clear();
    const Bytes badTrak = container("trak", {box("tkhd"), boxWithSize(7, "edts")});
    const Bytes bad = container("moov", {box("mvhd"), badTrak});
    EXPECT_EQ(ParseRaw(cat({Ftyp(), bad, Mdat()}), RecordFree), nullptr);
    EXPECT_EQ(freed, (std::vector<std::string>{"tkhd", "trak", "mvhd", "moov", "ftyp", "root"}));
    gFreed = nullptr;
}

TEST_F(AtomTree, DeepNestingParsesAndFreesWithoutExhaustingTheStack) {
    constexpr uint32_t kDepth = 200000;
    Bytes file = Ftyp();
    for (uint32_t i = 0; i < kDepth; ++i)
        append(file, cat({be32(8 * (kDepth - i)), ascii("trak")}));
    append(file, container("moov", {box("mvhd")}));
    append(file, Mdat());
    InfoPtr info = Parse(file);
    ASSERT_TRUE(info);
    uint32_t depth = 0;
    for (auto* n = static_cast<HireList*>(info->root->child->next); n; n = n->child) ++depth;
    EXPECT_EQ(depth, kDepth);
}

TEST_F(AtomTree, PrintShowsOneLinePerNodeIndentedByAncestors) {
    const Bytes trak = container("trak", {box("tkhd", Bytes(84))});
    const Bytes moov = container("moov", {box("mvhd", Bytes(100)), trak});
    InfoPtr info = Parse(cat({Ftyp(), moov, Mdat()}));
    ASSERT_TRUE(info);
    testing::internal::CaptureStdout();
    PrintAtomTree(info.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "root\n"
              "+'ftyp'\toffset = 0(0x0)\tsize = 24(0x18)\n"
              "+'moov'\toffset = 24(0x18)\tsize = 216(0xd8)\n"
              "++'mvhd'\toffset = 32(0x20)\tsize = 108(0x6c)\n"
              "++'trak'\toffset = 140(0x8c)\tsize = 100(0x64)\n"
              "+++'tkhd'\toffset = 148(0x94)\tsize = 92(0x5c)\n"
              "+'mdat'\toffset = 240(0xf0)\tsize = 24(0x18)\n");
}

// A sparse file of just over 4 GiB: "moov" lies beyond 2^32, after an "mdat" of nearly 4 GiB.
TEST_F(AtomTree, FilesBeyondFourGibibytesParseToTheirRealEnd) {
    constexpr int64_t kMoovAt = 24 + 0xFFFFFFF0LL;
    const std::string path = Write(cat({Ftyp(), be32(0xFFFFFFF0), ascii("mdat")}));
    FILE* f = fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    const Bytes moov = container("moov", {box("mvhd")});
    ASSERT_EQ(fseeko(f, kMoovAt, SEEK_SET), 0);
    ASSERT_EQ(fwrite(moov.data(), 1, moov.size(), f), moov.size());
    ASSERT_EQ(fflush(f), 0);

    InfoPtr info(GetMovieInfo(f, nullptr));
    fclose(f);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->fileLength, kMoovAt + 16);
    EXPECT_EQ(info->fileSize, uint32_t(kMoovAt + 16));
    EXPECT_EQ(info->moov->offset, kMoovAt);
    testing::internal::CaptureStdout();
    PrintAtomTree(info.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "root\n"
              "+'ftyp'\toffset = 0(0x0)\tsize = 24(0x18)\n"
              "+'mdat'\toffset = 24(0x18)\tsize = -16(0xfffffff0)\n"
              "+'moov'\toffset = 8(0x8)\tsize = 16(0x10)\n"
              "++'mvhd'\toffset = 16(0x10)\tsize = 8(0x8)\n");
}

// An unbuffered stream over memory that counts what the reader asks of it, and fails on request.
struct CountingStream {
    Bytes bytes;
    off64_t pos = 0;
    long bytesRead = 0;
    int reads = 0;
    int seeks = 0;
    int failRead = -1;  // the number of the read call that fails, or -1
    int failSeek = -1;

    static ssize_t Read(void* cookie, char* buf, size_t size) {
        auto* s = static_cast<CountingStream*>(cookie);
        if (s->reads++ == s->failRead) return -1;
        const off64_t left = off64_t(s->bytes.size()) - s->pos;
        const size_t n = left > 0 ? std::min(size, size_t(left)) : 0;
        memcpy(buf, s->bytes.data() + s->pos, n);
        s->pos += off64_t(n);
        s->bytesRead += long(n);
        return ssize_t(n);
    }
    static int Seek(void* cookie, off64_t* offset, int whence) {
        auto* s = static_cast<CountingStream*>(cookie);
        if (s->seeks++ == s->failSeek) return -1;
        const off64_t end = off64_t(s->bytes.size());
        const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : end;
        s->pos = base + *offset;
        *offset = s->pos;
        return 0;
    }

    MovieInfo* Parse() {
        reads = seeks = 0;
        bytesRead = 0;
        FILE* f = fopencookie(this, "rb", {Read, nullptr, Seek, nullptr});
        setvbuf(f, nullptr, _IONBF, 0);
        MovieInfo* info = GetMovieInfo(f, nullptr);
        fclose(f);
        return info;
    }
};

// 16 atoms; the payloads, including a 1 MiB "mdat", are never read.
TEST(AtomTreeCost, OnlyHeadersAreReadWithAtMostOneSeekPerAtom) {
    CountingStream s{cat({Ftyp(), FullMoov(), Mdat(1 << 20)})};
    InfoPtr info(s.Parse());
    ASSERT_TRUE(info);
    EXPECT_EQ(s.bytesRead, 8 * 16);
    EXPECT_LE(s.seeks, 16 + 3);
}

// Every read and every seek the reader makes is checked: failing any one of them gives no tree.
TEST(AtomTreeCost, AnyFailedReadOrSeekGivesNoTree) {
    CountingStream s{cat({Ftyp(), FullMoov(), Mdat(1 << 20)})};
    ASSERT_TRUE(InfoPtr(s.Parse()));
    const int reads = s.reads;
    const int seeks = s.seeks;
    for (int i = 0; i < reads; ++i) {
        s.failRead = i;
        EXPECT_FALSE(InfoPtr(s.Parse())) << "read " << i;
    }
    s.failRead = -1;
    for (int i = 0; i < seeks; ++i) {
        s.failSeek = i;
        EXPECT_FALSE(InfoPtr(s.Parse())) << "seek " << i;
    }
}

}  // namespace
