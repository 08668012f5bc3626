// SPDX-License-Identifier: GPL-3.0-or-later
// rewrite.h - stores an edited user-metadata atom: in place when it ends the file, else through
// one copy of the movie in an atom order that puts it there.
#pragma once

#include <cstdint>
#include <cstdio>

#include "container/atom.h"
#include "container/movieerror.h"
#include "container/uuid.h"

// The media data is copied through a buffer of whole pages, whose reads start on page
// boundaries of the movie: the whole buffer a read past the page cache, a smaller piece through it.
inline constexpr uint32_t kCopyBufferSize = 0x800000;   // 8 MiB
inline constexpr uint32_t kCopyCachedPiece = 0x100000;  // 1 MiB
inline constexpr int64_t kCopyPageSize = 4096;
inline constexpr int kCopyNoMemory = -5;

// One top-level "mdat" and where its content began before the copy (chunk offsets into it move
// with it).
struct MdatMove {
    AtomInfo* atom;
    int64_t oldOffset;
    uint8_t oldHeaderSize;
};

struct CopyContext {
    FILE* out;     // where atoms are written now: the copy, or the memory that assembles one
    FILE* file;    // the copy
    int64_t base;  // where in the copy the assembled bytes go (0 while writing to the copy)
    FILE* in;
    AtomInfo* skipAtom;  // the metadata atom, written from its edited form
    unsigned char* buffer;
    uint32_t bufferSize;
    // Every top-level "mdat" in file order.
    MdatMove* mdats;
    int mdatCount;
    bool mediaAligned;  // the room that moves the first "mdat" by whole pages is decided
    MovieError error;   // the cause behind a failure
};

// In place, when the user-metadata atom ends the file; 0 or kAtomErr with the cause in *why.
[[nodiscard]] int rewriteUuid(FILE* stream, const char* path, MovieInfo* info, UuidInfo* uuid,
                              MovieError* why);
// Through a copy that puts the user-metadata atom at the end; 0, kAtomErr, or -1 when replacing
// the movie failed, with the cause in *why. Closes the stream in every case.
[[nodiscard]] int reorderAtoms(FILE* stream, MovieInfo* info, UuidInfo* uuid, const char* path,
                               MovieError* why);
