// SPDX-License-Identifier: GPL-3.0-or-later
// atom.h - reads the atom (box) tree of an MP4 file, and the big-endian field readers and writers.
//
// Only atom headers are read: every atom keeps its size, type and file offset, and the containers
// in contAtoms are descended into. Streams are opened by the caller and use 64-bit positions.
#pragma once

#include <cstdint>
#include <cstdio>

#include "container/list.h"

// The general failure of the engine: read or write error, bad size, failed seek, no memory.
inline constexpr int kAtomErr = -3;

struct AtomInfo : HireList {
    // The whole atom, header included: its 32-bit size field, the 64-bit size that follows a
    // size field of 1, or for a size field of 0 (top level only) the rest of the file.
    uint64_t size;
    char type[4];        // exactly as stored, compared bytewise
    int64_t offset;      // where the header begins
    void* data;          // payload a caller may attach; freed by DefaultAtomInfoProc
    uint8_t headerSize;  // 8, or 16 when a 64-bit size follows the type
    bool toFileEnd;      // stored with size 0: the atom runs to the end of the file
};

// Larger 64-bit sizes are refused, so that an offset plus a size never overflows.
inline constexpr uint64_t kAtomMaxSize = uint64_t(1) << 62;

struct MovieInfo {
    AtomInfo* root;      // stands for the whole file; its children are the top-level atoms
    AtomInfo* moov;      // first top-level "moov"
    AtomInfo* mdat;      // first top-level "mdat"
    uint32_t fileSize;   // low 32 bits of the file's length when parsed
    int64_t fileLength;  // the real length: the parse bound and every end-of-file test use it
};

struct AtomHeader {
    uint32_t size;
    char type[4];
};

using AtomInfoProc = void (*)(AtomInfo* atom);

// Container types the parser descends into, ended by a null entry.
extern const char* const contAtoms[];

// A new tree of the stream's atoms, or null when the file cannot be parsed or lacks a top-level
// "moov" or "mdat". The stream position afterwards is unspecified.
[[nodiscard]] MovieInfo* GetMovieInfo(FILE* stream, AtomInfoProc freeProc);
void FreeMovieInfo(MovieInfo* info, AtomInfoProc freeProc);
// Frees the node and its subtree (freeProc on every node, after its descendants); does not
// detach the node from its parent.
void FreeAtomInfo(AtomInfo* atom, AtomInfoProc freeProc);
[[nodiscard]] MovieInfo* NewMovieInfo();
[[nodiscard]] AtomInfo* NewAtomInfo();
void DefaultAtomInfoProc(AtomInfo* atom);

// 1 when the atoms nest as a rewrite needs them to: every atom lies inside its container and
// the top level inside the file, with exactly one top-level "moov". Files that fail this still
// parse (a child reaching past its container only ends that level), but copying one would
// move bytes across atom boundaries.
[[nodiscard]] int AtomsNest(const MovieInfo* info);
// Where the atom ends in the file.
inline int64_t AtomEnd(const AtomInfo* atom) {
    return atom->offset + int64_t(atom->size);
}

// The first node from `first` along `next` whose type equals the four bytes, or null.
AtomInfo* FindAtom(AtomInfo* first, const char* type);
int IsContainerAtom(const char* type);
// Prints one line per node to standard output, for debugging.
void PrintAtomTree(MovieInfo* info);

// 0 to 4294967295, or kAtomErr on a short read.
int64_t GetUINT32(FILE* stream);
[[nodiscard]] int PutUINT32(FILE* stream, uint32_t value);
// 0 to 65535, or kAtomErr on a short read.
int32_t GetUINT16(FILE* stream);
[[nodiscard]] int PutUINT16(FILE* stream, uint16_t value);
[[nodiscard]] int PutUINT64(FILE* stream, uint64_t value);
[[nodiscard]] int GetAtomHeader(FILE* stream, AtomHeader* header);
[[nodiscard]] int PutAtomHeader(FILE* stream, const AtomHeader* header);
