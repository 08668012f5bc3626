// rewrite.h - stores an edited user-metadata atom: in place when it ends the file, else through
// one copy of the movie in an atom order that puts it there.
#pragma once

#include <cstdint>
#include <cstdio>

#include "container/atom.h"
#include "container/movieerror.h"
#include "container/uuid.h"

inline constexpr uint32_t kCopyBufferSize = 0x100000;  // 1 MiB
inline constexpr int kCopyNoMemory = -5;

// One top-level "mdat" and where its content began before the copy (chunk offsets into it move
// with it).
struct MdatMove {
    AtomInfo* atom;
    int64_t oldOffset;
    uint8_t oldHeaderSize;
};

struct CopyContext {
    FILE* out;
    FILE* in;
    AtomInfo* mdatAtom;
    AtomInfo* skipAtom;
    int64_t oldMdatOffset;
    int32_t status;
    unsigned char* buffer;
    uint32_t bufferSize;
    // Every top-level "mdat" in file order; the first is mdatAtom.
    MdatMove* mdats;
    int mdatCount;
    MovieError error;  // the cause behind a nonzero status
};

// In place, when the user-metadata atom ends the file; 0 or kAtomErr with the cause in *why.
[[nodiscard]] int rewriteUuid(FILE* stream, const char* path, MovieInfo* info, UuidInfo* uuid,
                              MovieError* why);
// Through a copy that puts the user-metadata atom at the end; 0, kAtomErr, or -1 when replacing
// the movie failed, with the cause in *why. Closes the stream in every case.
[[nodiscard]] int reorderAtoms(FILE* stream, MovieInfo* info, UuidInfo* uuid, const char* path,
                               MovieError* why);
// The visitor of the copy walk; reports through the context's status and error.
void foreach_copyatoms(HireList* node, void* context);
