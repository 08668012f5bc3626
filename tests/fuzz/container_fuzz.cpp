// SPDX-License-Identifier: GPL-3.0-or-later
// container_fuzz.cpp - fuzz target of the movie container engine: parse, read, retitle a file.
//
// The input is written as a movie file into a private folder and run through every reader, then
// retitled, which takes the in-place rewrite when the user-metadata atom ends the file and the
// copy through a temporary file otherwise. The last input byte picks the title (see
// TitleForInput). Where the outcome is known from the parse made beforehand, it is checked: a
// failed or empty rewrite leaves the file as it was, a movie whose atoms do not nest is never
// written, and every successful rewrite (of a movie that had the metadata atom or was given one)
// leaves a file that parses, ends with exactly the edited atom and moves every chunk offset with
// its "mdat".
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "container/atom.h"
#include "container/movie.h"
#include "container/track.h"
#include "container/uuid.h"

namespace {

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "container_fuzz: invariant broken: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) Fail(what);
}

// One folder per process, reused by every input; removed at exit.
std::string gDir;
std::string gPath;

void RemoveWorkDir() {
    if (DIR* d = opendir(gDir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                unlink((gDir + "/" + e->d_name).c_str());
        }
        closedir(d);
    }
    rmdir(gDir.c_str());
}

void SetUpWorkDir() {
    if (!gDir.empty()) return;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/container-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) Fail("cannot create the work folder");
    gDir = pattern;
    gPath = gDir + "/movie.mp4";
    std::atexit(RemoveWorkDir);
}

int CountDirEntries() {
    int n = 0;
    if (DIR* d = opendir(gDir.c_str())) {
        while (dirent* e = readdir(d))
            n += std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0;
        closedir(d);
    }
    return n;
}

void WriteWholeFile(const Bytes& bytes) {
    FILE* f = std::fopen(gPath.c_str(), "wb");
    if (!f) Fail("cannot write the input file");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        Fail("cannot write the input file");
    std::fclose(f);
}

Bytes ReadWholeFile() {
    Bytes bytes;
    FILE* f = std::fopen(gPath.c_str(), "rb");
    if (!f) Fail("the movie file vanished");
    unsigned char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

AtomInfo* First(AtomInfo* node) {
    return static_cast<AtomInfo*>(node->child);
}
AtomInfo* Next(AtomInfo* node) {
    return static_cast<AtomInfo*>(node->next);
}
AtomInfo* Last(AtomInfo* node) {
    return static_cast<AtomInfo*>(node->childTail);
}

int64_t End(const AtomInfo* node) {
    return node->offset + int64_t(node->size);
}

bool IsType(const AtomInfo* node, const char* type) {
    return std::memcmp(node->type, type, 4) == 0;
}

// A file whose every atom lies inside its container and inside the file, with one top-level
// "moov": the only files the engine may rewrite. Files that are not tidy parse too (an overlong
// last child only ends its level), but copying one would move bytes across atom boundaries.
bool IsTidyLevel(AtomInfo* parent, int64_t end) {
    for (AtomInfo* a = First(parent); a; a = Next(a)) {
        if (End(a) > end) return false;
        if (a->child && !IsTidyLevel(a, End(a))) return false;
    }
    return true;
}

bool IsTidy(MovieInfo* info, int64_t length) {
    int moovs = 0;
    for (AtomInfo* a = First(info->root); a; a = Next(a)) moovs += IsType(a, "moov");
    return moovs == 1 && IsTidyLevel(info->root, length);
}

// Chunk-offset tables, 32-bit ("stco") and 64-bit ("co64").
void CollectChunkTables(AtomInfo* node, std::vector<AtomInfo*>& out) {
    for (AtomInfo* a = First(node); a; a = Next(a)) {
        if (IsType(a, "stco") || IsType(a, "co64")) out.push_back(a);
        CollectChunkTables(a, out);
    }
}

std::vector<AtomInfo*> TopLevel(MovieInfo* info, const char* type) {
    std::vector<AtomInfo*> out;
    for (AtomInfo* a = First(info->root); a; a = Next(a))
        if (IsType(a, type)) out.push_back(a);
    return out;
}

uint64_t ReadBe(const Bytes& b, int64_t at, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | b[at + i];
    return v;
}

bool SameRange(const Bytes& a, int64_t aAt, const Bytes& b, int64_t bAt, int64_t n) {
    return aAt + n <= int64_t(a.size()) && bAt + n <= int64_t(b.size()) &&
           std::memcmp(a.data() + aAt, b.data() + bAt, size_t(n)) == 0;
}

// The bytes write_uuid produces for this atom, as if it began at offset 0.
Bytes SerializeUuid(const UuidInfo& uuid) {
    AtomInfo at0 = *uuid.atom;
    at0.offset = 0;
    UuidInfo copy = uuid;
    copy.atom = &at0;
    char* buf = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&buf, &len);
    if (!mem) Fail("open_memstream");
    int status = write_uuid(mem, &copy);
    std::fclose(mem);
    Bytes out(buf, buf + len);
    std::free(buf);
    Check(status == 0, "write_uuid fails on a memory stream");
    return out;
}

// What the file said before the title operation.
struct Before {
    Bytes bytes;
    MovieInfo* info = nullptr;
    UuidInfo uuid{};
    bool tidy = false;
};

enum class Op { kSetTitle, kFixBadTitle };

struct Request {
    Op op = Op::kSetTitle;
    bool nullTitle = false;
    std::string title;
};

// The last byte chooses: below 0x80 an ASCII title of up to 47 letters; 0x80 to 0xBF a mix of
// 1- to 4-byte UTF-8 sequences; 0xC0 to 0xEF raw input bytes (ending at the first NUL); 0xF0 to
// 0xFD a title of 30,000 to 35,200 letters, on both sides of what a 16-bit entry size can hold;
// 0xFE no title; 0xFF the repair of a badly encoded title instead.
Request TitleForInput(const uint8_t* data, size_t size) {
    Request r;
    uint8_t s = size ? data[size - 1] : 0;
    if (s < 0x80) {
        for (int i = 0; i < s % 48; ++i) r.title += char('a' + i % 26);
    } else if (s < 0xC0) {
        static const char* const kPieces[] = {"A", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xAC"};
        for (int i = 0; i < (s & 0x3F); ++i) r.title += kPieces[(i * 7 + s) % 4];
    } else if (s < 0xF0) {
        size_t from = size / 2, n = s & 0x3F;
        for (size_t i = from; i < size && i < from + n && data[i]; ++i) r.title += char(data[i]);
    } else if (s < 0xFE) {
        r.title.assign(30000 + size_t(s - 0xF0) * 400, 'x');
    } else if (s == 0xFE) {
        r.nullTitle = true;
    } else {
        r.op = Op::kFixBadTitle;
    }
    return r;
}

void ReadEverything(Before& b) {
    FILE* f = std::fopen(gPath.c_str(), "rb");
    if (!f) Fail("cannot open the input file");
    b.info = GetMovieInfo(f, nullptr);
    char* title = nullptr;
    if (b.info) {
        b.tidy = IsTidy(b.info, int64_t(b.bytes.size()));
        if (uuidParse(f, b.info, &b.uuid) == 0 && b.uuid.found) {
            title = uuidGetTitle(&b.uuid);
            Bytes atom = SerializeUuid(b.uuid);
            Check(atom.size() == b.uuid.box.uuidSize &&
                      SameRange(b.bytes, b.uuid.atom->offset, atom, 0, int64_t(atom.size())),
                  "the atom as read is not written back byte for byte");
        }
        // The profile atom decides; without one, the first video track's sample entry.
        char code[5] = "none";
        char viaPath[5] = "none";
        int status = uuidReadVPRF(f, b.info, code);
        if (status == kUuidNotFound) {
            status = trackReadVideoCoding(f, b.info, code);
            if (status == 0 && std::memcmp(code, "\0\0\0\0", 4) == 0) status = kUuidNotFound;
        }
        GetMovieType(gPath.c_str(), viaPath);
        Check(status == 0 ? std::memcmp(code, viaPath, 4) == 0 : std::strcmp(viaPath, "none") == 0,
              "GetMovieType disagrees with the profile atom and the video track");
        const MovieSummary summary = ReadMovieSummary(gPath.c_str());
        Check(summary.error == MovieError::none &&
                  summary.kind == (status == 0 ? MovieKindOfCoding(code) : 0),
              "the summary's kind disagrees with GetMovieType");
    }
    std::fclose(f);

    char* viaPath = GetTitle(gPath.c_str());
    Check((title == nullptr) == (viaPath == nullptr), "GetTitle disagrees with uuidGetTitle");
    if (title) Check(std::strcmp(title, viaPath) == 0, "GetTitle disagrees with uuidGetTitle");
    std::free(title);
    std::free(viaPath);
    Check(ReadWholeFile() == b.bytes, "a reader changed the file");
}

// In place: everything before the atom is kept but the "moov" size.
void CheckInPlace(const Before& b, const Bytes& now, uint64_t moovSize) {
    Bytes expect(b.bytes.begin(), b.bytes.begin() + b.uuid.atom->offset);
    const AtomInfo* moov = b.info->moov;
    // The size in the form it had: 32 bits, 64 bits after a 1, or still 0 to the end.
    const int width = moov->toFileEnd ? 0 : moov->headerSize == 16 ? 8 : 4;
    const int64_t at = moov->offset + (width == 8 ? 8 : 0);
    for (int i = 0; i < width; ++i) expect[at + i] = uint8_t(moovSize >> (8 * (width - 1 - i)));
    Check(SameRange(now, 0, expect, 0, int64_t(expect.size())),
          "the in-place rewrite changed bytes before the atom");
}

// Through a copy: the other top-level atoms in their order, then "moov"; "mdat" payloads kept;
// every chunk offset into an "mdat", 32-bit or 64-bit, moved with it.
void CheckCopied(const Before& b, MovieInfo* after, const Bytes& now) {
    AtomInfo* oldA = First(b.info->root);
    AtomInfo* newA = First(after->root);
    for (; oldA; oldA = Next(oldA)) {
        if (oldA == b.info->moov) continue;
        Check(newA && std::memcmp(newA->type, oldA->type, 4) == 0 && newA->size == oldA->size,
              "the copy changed the order of the top-level atoms");
        // Chunk-offset tables are adjusted wherever they are, a top-level container's too.
        // One that ran to the end of the file has its real size now; its content is kept.
        const int64_t kept = oldA->toFileEnd ? oldA->headerSize : 0;
        if (oldA->toFileEnd)
            Check(ReadBe(now, newA->offset, 4) == (newA->headerSize == 16 ? 1 : newA->size),
                  "an atom that ran to the end of the file did not get its size");
        if (!oldA->child && !IsType(oldA, "stco") && !IsType(oldA, "co64"))
            Check(SameRange(now, newA->offset + kept, b.bytes, oldA->offset + kept,
                            int64_t(oldA->size) - kept),
                  "the copy changed a top-level atom");
        newA = Next(newA);
    }
    Check(newA == after->moov && !Next(newA), "the copy did not put \"moov\" last");

    std::vector<AtomInfo*> oldMdats = TopLevel(b.info, "mdat");
    std::vector<AtomInfo*> newMdats = TopLevel(after, "mdat");
    std::vector<AtomInfo*> oldTables, newTables;
    CollectChunkTables(b.info->moov, oldTables);
    CollectChunkTables(after->moov, newTables);
    Check(oldTables.size() == newTables.size(), "the copy lost a chunk-offset table");
    for (size_t t = 0; t < oldTables.size(); ++t) {
        const AtomInfo* o = oldTables[t];
        const AtomInfo* n = newTables[t];
        Check(o->size == n->size && IsType(o, n->type), "the copy changed a chunk-offset table");
        const int width = IsType(o, "stco") ? 4 : 8;
        const uint64_t mask = width == 4 ? 0xFFFFFFFFu : ~uint64_t(0);
        for (int64_t at = o->headerSize + 8; at + width <= int64_t(o->size); at += width) {
            uint64_t was = ReadBe(b.bytes, o->offset + at, width);
            uint64_t is = ReadBe(now, n->offset + at, width);
            for (size_t m = 0; m < oldMdats.size(); ++m) {
                if (was < uint64_t(oldMdats[m]->offset) || was >= uint64_t(End(oldMdats[m])))
                    continue;
                uint64_t moved = uint64_t((newMdats[m]->offset + newMdats[m]->headerSize) -
                                          (oldMdats[m]->offset + oldMdats[m]->headerSize));
                Check(is == ((was + moved) & mask),
                      "a chunk offset did not move with its \"mdat\"");
            }
        }
    }
}

void CheckAfterWrite(const Before& b, const UuidInfo& edited, const Bytes& now) {
    Bytes atom = SerializeUuid(edited);
    Check(atom.size() == edited.box.uuidSize, "the edited atom does not serialize to its size");
    Check(int64_t(now.size()) == int64_t(b.bytes.size()) + edited.growth,
          "the file did not change in length by the atom's growth");
    Check(SameRange(now, int64_t(now.size() - atom.size()), atom, 0, int64_t(atom.size())),
          "the file does not end with the edited atom");

    FILE* f = std::fopen(gPath.c_str(), "rb");
    if (!f) Fail("cannot reopen the rewritten file");
    MovieInfo* after = GetMovieInfo(f, nullptr);
    Check(after != nullptr, "the rewritten file does not parse");
    const uint64_t moovSize = b.info->moov->size + uint64_t(int64_t(edited.growth));
    Check(after->moov->size == moovSize, "\"moov\" did not grow with the atom");
    Check(End(after->moov) == int64_t(now.size()), "\"moov\" does not end the rewritten file");
    AtomInfo* last = Last(after->moov);
    Check(last && last->offset == int64_t(now.size() - atom.size()),
          "the edited atom is not the last child of \"moov\"");

    UuidInfo again{};
    if (uuidParse(f, after, &again) == 0 && again.found && again.atom == last) {
        char* want = uuidGetTitle(&edited);
        char* got = uuidGetTitle(&again);
        Check((want == nullptr) == (got == nullptr) && (!want || std::strcmp(want, got) == 0),
              "the title read back is not the title written");
        Check(again.atFileEnd, "the rewritten atom is not seen at the end of the file");
        std::free(want);
        std::free(got);
    }
    uuidFree(&again.box);

    if (b.uuid.atFileEnd)
        CheckInPlace(b, now, moovSize);
    else
        CheckCopied(b, after, now);
    FreeMovieInfo(after, nullptr);
    std::fclose(f);
}

// Repeats the edit on a copy of the parsed atom, to know what the engine should write.
int EditInMemory(const Request& r, UuidInfo& edited) {
    if (r.op == Op::kFixBadTitle) return uuidFixBadTitle(&edited);
    if (r.nullTitle) return 0;
    return uuidSetTitle(&edited, r.title.c_str());
}

UuidInfo CopyOf(const UuidInfo& u) {
    UuidInfo c = u;
    c.box.entries = nullptr;
    c.box.tail = nullptr;
    if (u.box.entries) {
        c.box.entries = static_cast<MtdtEntry*>(std::calloc(u.box.entryCount, sizeof(MtdtEntry)));
        for (int i = 0; i < u.box.entryCount; ++i) {
            c.box.entries[i] = u.box.entries[i];
            size_t n = u.box.entries[i].entrySize - 10u;
            c.box.entries[i].text = static_cast<unsigned char*>(std::malloc(n ? n : 1));
            if (n) std::memcpy(c.box.entries[i].text, u.box.entries[i].text, n);
        }
    }
    if (u.box.tail) {
        c.box.tail = static_cast<unsigned char*>(std::malloc(u.box.tailSize ? u.box.tailSize : 1));
        if (u.box.tailSize) std::memcpy(c.box.tail, u.box.tail, u.box.tailSize);
    }
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpWorkDir();
    Before b;
    b.bytes.assign(data, data + size);
    WriteWholeFile(b.bytes);
    ReadEverything(b);

    Request r = TitleForInput(data, size);
    // The date a new metadata atom is given: the movie's last change before the rewrite.
    char dateBefore[32] = "";
    struct stat st {};
    if (stat(gPath.c_str(), &st) == 0) {
        struct tm local {};
        localtime_r(&st.st_mtime, &local);
        strftime(dateBefore, sizeof dateBefore, "%Y/%m/%d %H:%M:%S", &local);
    }
    int repaired = -1;
    int result = r.op == Op::kFixBadTitle
                     ? FixBadTitle(gPath.c_str(), &repaired)
                     : SetTitle(gPath.c_str(), r.nullTitle ? nullptr : r.title.c_str());
    Check(result == 0 || result == 1, "a title operation answered neither 0 nor 1");
    Check(r.op != Op::kFixBadTitle || repaired == 0 || repaired == 1,
          "FixBadTitle did not set its flag");
    Check(CountDirEntries() == 1, "a temporary file was left in the movie's folder");

    Bytes now = ReadWholeFile();
    const bool validTitle =
        utf8IsValid(reinterpret_cast<const unsigned char*>(r.title.data()), r.title.size());
    if (r.op == Op::kSetTitle && !r.nullTitle && !validTitle)
        Check(result == 1, "a title that is not UTF-8 was accepted");
    if (result == 1) Check(now == b.bytes, "a failed title operation changed the file");
    if (!b.info) Check(result == 1, "a file that is no movie was retitled");

    // A movie without the atom is given one by SetTitle: the same atom built in memory, placed
    // where the engine places it, tells what the file must now hold.
    AtomInfo added{};
    const bool adding = b.info && !b.uuid.found && r.op == Op::kSetTitle && !r.nullTitle;
    if (b.info && !b.uuid.found && !adding)
        Check(result == 1, "a movie without the atom was changed by a repair or a null title");
    if (adding && uuidCreate(&b.uuid, &added, dateBefore)) {
        added.offset = End(b.info->moov);
        added.size = 0;
        b.uuid.atFileEnd = added.offset == int64_t(b.bytes.size());
    }

    if (b.info && b.uuid.found) {
        UuidInfo edited = CopyOf(b.uuid);
        int edit = EditInMemory(r, edited);
        if (edit == kUuidTitleTooLong) Check(result == 1, "a title too long to store was accepted");
        if (edit != 1 || result == 1) {
            Check(now == b.bytes, "the file changed although nothing was written");
            Check(edit == 1 || edit == kUuidTitleTooLong || result == 0 || !validTitle,
                  "nothing to write, yet the operation failed");
        } else {
            Check(b.tidy, "a movie whose atoms do not nest was rewritten");
            CheckAfterWrite(b, edited, now);
        }
        if (r.op == Op::kFixBadTitle && result == 0)
            Check(repaired == (edit == 1), "FixBadTitle reported the wrong repair flag");
        uuidFree(&edited.box);
    }
    uuidFree(&b.uuid.box);
    FreeMovieInfo(b.info, nullptr);
    return 0;
}
