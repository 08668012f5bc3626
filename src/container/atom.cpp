// SPDX-License-Identifier: GPL-3.0-or-later
// atom.cpp - the atom tree reader and the big-endian field readers and writers.
#include "container/atom.h"

#include <cstdlib>
#include <cstring>

int64_t GetUINT32(FILE* stream) {
    unsigned char b[4];
    if (fread(b, 1, sizeof b, stream) != sizeof b) return kAtomErr;
    return int64_t(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
}

int PutUINT32(FILE* stream, uint32_t value) {
    const unsigned char b[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                                uint8_t(value)};
    return fwrite(b, 1, sizeof b, stream) == sizeof b ? 0 : kAtomErr;
}

int32_t GetUINT16(FILE* stream) {
    unsigned char b[2];
    if (fread(b, 1, sizeof b, stream) != sizeof b) return kAtomErr;
    return int32_t(b[0]) << 8 | b[1];
}

int PutUINT16(FILE* stream, uint16_t value) {
    const unsigned char b[2] = {uint8_t(value >> 8), uint8_t(value)};
    return fwrite(b, 1, sizeof b, stream) == sizeof b ? 0 : kAtomErr;
}

int PutUINT64(FILE* stream, uint64_t value) {
    return PutUINT32(stream, uint32_t(value >> 32)) == 0 ? PutUINT32(stream, uint32_t(value))
                                                         : kAtomErr;
}

// The header goes through stdio as one 8-byte block: the parser does one read per atom.
int GetAtomHeader(FILE* stream, AtomHeader* header) {
    unsigned char b[8];
    if (!header || fread(b, 1, sizeof b, stream) != sizeof b) return kAtomErr;
    header->size = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    memcpy(header->type, b + 4, 4);
    return 0;
}

int PutAtomHeader(FILE* stream, const AtomHeader* header) {
    if (!header) return kAtomErr;
    const uint32_t size = header->size;
    unsigned char b[8] = {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8),
                          uint8_t(size)};
    memcpy(b + 4, header->type, 4);
    return fwrite(b, 1, sizeof b, stream) == sizeof b ? 0 : kAtomErr;
}

const char* const contAtoms[] = {"stbl", "minf", "mdia", "trak", "moov", "udta", nullptr};

int IsContainerAtom(const char* type) {
    if (!type) return 0;
    for (const char* const* cont = contAtoms; *cont; ++cont)
        if (memcmp(*cont, type, 4) == 0) return 1;
    return 0;
}

AtomInfo* FindAtom(AtomInfo* first, const char* type) {
    if (!type) return nullptr;
    for (AtomInfo* atom = first; atom; atom = static_cast<AtomInfo*>(atom->next))
        if (memcmp(atom->type, type, 4) == 0) return atom;
    return nullptr;
}

AtomInfo* NewAtomInfo() {
    return static_cast<AtomInfo*>(calloc(1, sizeof(AtomInfo)));
}

MovieInfo* NewMovieInfo() {
    MovieInfo* info = static_cast<MovieInfo*>(calloc(1, sizeof(MovieInfo)));
    if (!info) return nullptr;
    info->root = NewAtomInfo();
    if (!info->root) {
        free(info);
        return nullptr;
    }
    return info;
}

void DefaultAtomInfoProc(AtomInfo* atom) {
    if (!atom) return;
    free(atom->data);
    atom->data = nullptr;
}

// Frees the subtree below `atom` the way a recursion over the children from the last to the first
// would, but climbing back through the parent links, so that a deeply nested file cannot exhaust
// the stack. Each child is unlinked as the tail of its parent's list, in constant time.
void FreeAtomInfo(AtomInfo* atom, AtomInfoProc freeProc) {
    if (!atom) return;
    HireList* cur = atom;
    for (;;) {
        while (cur->childTail) cur = cur->childTail;
        if (freeProc) freeProc(static_cast<AtomInfo*>(cur));
        if (cur == atom) break;
        HireList* parent = cur->parent;
        parent->childTail = static_cast<HireList*>(cur->prev);
        if (cur->prev)
            cur->prev->next = nullptr;
        else
            parent->child = nullptr;
        free(static_cast<AtomInfo*>(cur));
        cur = parent;
    }
    free(atom);
}

void FreeMovieInfo(MovieInfo* info, AtomInfoProc freeProc) {
    if (!info) return;
    FreeAtomInfo(info->root, freeProc);
    free(info);
}

// Where the children of `node` end: the file's length for the root, else the container's end.
static int64_t EndOfChildren(const AtomInfo* node, const AtomInfo* root, int64_t fileLength) {
    return node == root ? fileLength : AtomEnd(node);
}

// The true size behind a header's size field; false for what cannot be read as an atom. 1 is
// followed by a 64-bit size, and 0 (only at the top level, where a muxer that did not know the
// length in advance left it) runs to the end of the file. Below 8 no atom holds its own header.
static bool ReadAtomSize(FILE* stream, const AtomHeader& header, bool topLevel, int64_t pos,
                         int64_t fileLength, AtomInfo* atom) {
    atom->headerSize = 8;
    if (header.size == 1) {
        const int64_t high = GetUINT32(stream);
        const int64_t low = GetUINT32(stream);
        if (high < 0 || low < 0) return false;
        atom->size = uint64_t(high) << 32 | uint64_t(low);
        atom->headerSize = 16;
        return atom->size >= 16 && atom->size <= kAtomMaxSize;
    }
    if (header.size == 0) {
        atom->size = uint64_t(fileLength - pos);
        atom->toFileEnd = true;
        return topLevel;
    }
    atom->size = header.size;
    return header.size >= 8;
}

// Builds the tree below `root` from the headers alone. The levels are kept by the tree itself (a
// container is the current parent until its end is reached), not by recursion, so nesting depth
// costs no stack. The stream is only moved when it is not already where the next header begins:
// after a container's header it is at its first child, and after a level's last child it is
// usually at the container's end, so each atom costs one header read and at most one seek.
static int ParseAtoms(FILE* stream, AtomInfo* root, int64_t fileLength) {
    AtomInfo* parent = root;
    int64_t end = fileLength;
    int64_t pos = 0;       // where the next header begins
    int64_t streamAt = 0;  // where the stream stands
    for (;;) {
        // A child may reach past its container's end; the container's level then ends and
        // parsing goes on at the container's own end.
        while (pos >= end) {
            if (parent == root) return 0;
            pos = end;
            parent = static_cast<AtomInfo*>(parent->parent);
            end = EndOfChildren(parent, root, fileLength);
        }
        if (pos != streamAt) {
            if (fseeko(stream, pos, SEEK_SET) != 0) return kAtomErr;
            streamAt = pos;
        }
        AtomHeader header;
        if (GetAtomHeader(stream, &header) != 0) return kAtomErr;

        AtomInfo* atom = NewAtomInfo();
        if (!atom) return kAtomErr;
        memcpy(atom->type, header.type, 4);
        atom->offset = pos;
        if (!ReadAtomSize(stream, header, parent == root, pos, fileLength, atom)) {
            free(atom);
            return kAtomErr;
        }
        streamAt += atom->headerSize;
        AttachHireListToChildTail(atom, parent);

        if (IsContainerAtom(atom->type)) {
            parent = atom;
            end = AtomEnd(atom);
            pos += atom->headerSize;
        } else {
            pos = AtomEnd(atom);
        }
    }
}

MovieInfo* GetMovieInfo(FILE* stream, AtomInfoProc freeProc) {
    if (!stream || fseeko(stream, 0, SEEK_END) != 0) return nullptr;
    const int64_t fileLength = ftello(stream);
    if (fileLength < 0 || fseeko(stream, 0, SEEK_SET) != 0) return nullptr;

    MovieInfo* info = NewMovieInfo();
    if (!info) return nullptr;
    info->fileSize = uint32_t(fileLength);
    info->fileLength = fileLength;

    if (ParseAtoms(stream, info->root, fileLength) == 0) {
        AtomInfo* top = static_cast<AtomInfo*>(info->root->child);
        info->moov = FindAtom(top, "moov");
        info->mdat = FindAtom(top, "mdat");
    }
    // A file without both top-level atoms is not a movie to this system.
    if (!info->moov || !info->mdat) {
        FreeMovieInfo(info, freeProc);
        return nullptr;
    }
    return info;
}

// The root has no ancestors, so its line is only its name; every other line is indented by one
// "+" per ancestor.
static void PrintAtomLine(HireList* node, void*) {
    int depth = 0;
    for (HireList* up = node->parent; up; up = up->parent) ++depth;
    for (int i = 0; i < depth; ++i) putchar('+');
    const AtomInfo* atom = static_cast<const AtomInfo*>(node);
    if (!node->parent) {
        printf("root\n");
        return;
    }
    const long offset = long(uint32_t(atom->offset));
    printf("'%c%c%c%c'\t", atom->type[0], atom->type[1], atom->type[2], atom->type[3]);
    printf("offset = %ld(0x%lx)\t", offset, static_cast<unsigned long>(offset));
    // The low 32 bits, like the offset: the lines keep one width whatever the file's size.
    const uint32_t size = uint32_t(atom->size);
    printf("size = %d(0x%x)\n", int(size), size);
}

void PrintAtomTree(MovieInfo* info) {
    if (!info) return;
    HireListForEachChildTD(info->root, nullptr, PrintAtomLine);
}

struct NestCheck {
    const AtomInfo* root;
    int64_t fileLength;
    int moovs;
    bool nests;
};

static void CheckNesting(HireList* node, void* context) {
    NestCheck* check = static_cast<NestCheck*>(context);
    const AtomInfo* atom = static_cast<const AtomInfo*>(node);
    if (!check->nests || atom == check->root) return;
    const AtomInfo* parent = static_cast<const AtomInfo*>(node->parent);
    if (parent == check->root) check->moovs += memcmp(atom->type, "moov", 4) == 0;
    if (AtomEnd(atom) > EndOfChildren(parent, check->root, check->fileLength)) check->nests = false;
}

int AtomsNest(const MovieInfo* info) {
    if (!info || !info->root) return 0;
    NestCheck check{info->root, info->fileLength, 0, true};
    HireListForEachChildTD(info->root, &check, CheckNesting);
    return check.nests && check.moovs == 1;
}
