// SPDX-License-Identifier: GPL-3.0-or-later
// track.cpp - the video coding of a movie's first video track, from its sample description.
#include "container/track.h"

#include <cstdint>
#include <cstring>

#include "container/uuid.h"

// Bytes of a sample entry read: its head, the visual fields and room for the "esds" that
// follows them.
static constexpr size_t kEntryBytes = 512;
// The fields of a visual sample entry between its 8-byte header and its child boxes.
static constexpr size_t kVisualEntryFields = 78;

static AtomInfo* child(AtomInfo* atom, const char* type) {
    return atom ? FindAtom(static_cast<AtomInfo*>(atom->child), type) : nullptr;
}

// Reads up to `size` bytes of the atom's content (after its header and `skip` more bytes); the
// number read, which is less where the file ends, or -1 when a seek or read fails.
static long readContent(FILE* stream, const AtomInfo* atom, size_t skip, unsigned char* to,
                        size_t size) {
    const uint64_t content = atom->size - atom->headerSize;
    if (content <= skip) return 0;
    if (content - skip < size) size = size_t(content - skip);
    if (fseeko(stream, atom->offset + atom->headerSize + int64_t(skip), SEEK_SET) != 0) return -1;
    const size_t n = fread(to, 1, size, stream);
    return n == size || !ferror(stream) ? long(n) : -1;
}

static uint32_t be32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// An MPEG-4 descriptor's length: one to four bytes of seven bits each.
static bool descriptorLength(const unsigned char* p, size_t end, size_t* at, uint32_t* length) {
    *length = 0;
    for (int i = 0; i < 4; ++i) {
        if (*at >= end) return false;
        const unsigned char b = p[(*at)++];
        *length = *length << 7 | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

// The objectTypeIndication of the "esds" box that begins at `at`, or -1 when there is none.
static int objectTypeOf(const unsigned char* p, size_t at, size_t end) {
    if (at + 12 > end || memcmp(p + at + 4, "esds", 4) != 0) return -1;
    end = at + be32(p + at) < end ? at + be32(p + at) : end;
    at += 12;  // box header, version and flags
    uint32_t length;
    if (at >= end || p[at++] != 0x03 || !descriptorLength(p, end, &at, &length)) return -1;
    if (at + 3 > end) return -1;
    const unsigned char flags = p[at + 2];
    at += 3;                    // ES_ID and the flags
    if (flags & 0x80) at += 2;  // dependsOn_ES_ID
    if (flags & 0x40) {         // a URL, its length first
        if (at >= end) return -1;
        at += 1 + p[at];
    }
    if (flags & 0x20) at += 2;  // OCR_ES_Id
    if (at >= end || p[at++] != 0x04 || !descriptorLength(p, end, &at, &length)) return -1;
    return at < end ? p[at] : -1;
}

// MPEG-2 and MPEG-1 video stored under 'mp4v' carry their own object types in the "esds",
// which is looked for among the boxes that follow the visual fields.
static void refineMp4v(const unsigned char* entry, size_t size, char* out) {
    for (size_t at = 8 + kVisualEntryFields; at + 8 <= size;) {
        const uint32_t boxSize = be32(entry + at);
        if (memcmp(entry + at + 4, "esds", 4) == 0) {
            const int type = objectTypeOf(entry, at, size);
            if (type >= 0x60 && type <= 0x65) memcpy(out, kCodingMpeg2, 4);
            if (type == 0x6A) memcpy(out, kCodingMpeg1, 4);
            return;
        }
        if (boxSize < 8) return;
        at += boxSize;
    }
}

static int sampleEntryCoding(FILE* stream, AtomInfo* stsd, char* out) {
    memset(out, 0, 4);
    if (!stsd) return 0;
    unsigned char entry[kEntryBytes];
    // After the version, flags and entry count comes the first entry: its size and type.
    const long n = readContent(stream, stsd, 8, entry, sizeof entry);
    if (n < 0) return kAtomErr;
    if (n < 8) return 0;
    memcpy(out, entry + 4, 4);
    if (memcmp(out, "mp4v", 4) == 0) {
        const uint32_t entrySize = be32(entry);
        refineMp4v(entry, entrySize < size_t(n) ? entrySize : size_t(n), out);
    }
    return 0;
}

int trackReadVideoCoding(FILE* stream, MovieInfo* info, char* out) {
    if (!info || !info->moov) return kUuidNotFound;
    for (AtomInfo* trak = child(info->moov, "trak"); trak;
         trak = FindAtom(static_cast<AtomInfo*>(trak->next), "trak")) {
        AtomInfo* mdia = child(trak, "mdia");
        AtomInfo* hdlr = child(mdia, "hdlr");
        if (!hdlr) continue;
        // Version and flags, pre_defined, then the handler type.
        unsigned char handler[12];
        const long n = readContent(stream, hdlr, 0, handler, sizeof handler);
        if (n < 0) return kAtomErr;
        if (n < long(sizeof handler) || memcmp(handler + 8, "vide", 4) != 0) continue;
        return sampleEntryCoding(stream, child(child(child(mdia, "minf"), "stbl"), "stsd"), out);
    }
    return kUuidNotFound;
}
