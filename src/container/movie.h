// movie.h - the title operations on a movie file by its path, and the rewrite that moves the
// user-metadata atom to the end of the file when its size changes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "container/atom.h"
#include "container/uuid.h"

inline constexpr uint32_t kCopyBufferSize = 0x100000;  // 1 MiB
inline constexpr int kCopyNoMemory = -5;

// A new NUL-terminated UTF-8 title (free() it), or null when the file cannot be opened for reading
// and writing, is not a movie, or holds no title.
[[nodiscard]] char* GetTitle(const char* path);
// The four-byte video coding code of the profile atom into `out`; `out` keeps its content when
// there is none.
void GetMovieType(const char* path, char* out);
// 0 when the title was written or there was nothing to write; 1 when the file cannot be opened
// for reading and writing, is not a movie, has no user-metadata atom, the title cannot be stored,
// or the rewrite failed.
[[nodiscard]] int SetTitle(const char* path, const char* title);
// Like SetTitle, repairing a badly encoded title; *repaired (optional) is set to 1 when it did.
[[nodiscard]] int FixBadTitle(const char* path, int* repaired);

// One top-level "mdat" and where it was before the copy (chunk offsets into it move with it).
struct MdatMove {
    AtomInfo* atom;
    int64_t oldOffset;
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
};

// In-place rewrite when the user-metadata atom ends the file; 0 or kAtomErr.
[[nodiscard]] int rewriteUuid(FILE* stream, const char* path, MovieInfo* info, UuidInfo* uuid);
// Rewrite through a temporary file that puts the user-metadata atom at the end; 0, kAtomErr,
// or -1 when replacing the movie failed. Closes the stream in every case.
[[nodiscard]] int reorderAtoms(FILE* stream, MovieInfo* info, UuidInfo* uuid, const char* path);
// The visitor of the copy walk; reports through the context's status.
void foreach_copyatoms(HireList* node, void* context);
