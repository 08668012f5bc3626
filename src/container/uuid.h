// SPDX-License-Identifier: GPL-3.0-or-later
// uuid.h - the PSP's private "uuid" atoms: the user-metadata atom (the title) inside "moov" and
// the profile atom (the video coding) at the top level; title conversion UTF-8 <-> UTF-16BE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "container/atom.h"

inline constexpr int kUuidNoMoov = -1;
inline constexpr int kUuidNotFound = -4;
// uuidSetTitle: the title's UTF-16 form does not fit the 16-bit entry size; nothing changed.
inline constexpr int kUuidTitleTooLong = -2;

inline constexpr uint32_t kMtdtTitle = 1;  // entry type of the title

extern const unsigned char USMTCODE[16];
extern const unsigned char PROFCODE[16];

struct MtdtEntry {
    uint16_t entrySize;  // whole entry, its 10-byte head included
    uint32_t entryType;
    unsigned char entryAttr[4];
    unsigned char* text;  // entrySize - 10 bytes
};

// The user-metadata atom's content, in the order it is written.
struct UsmtAtom {
    uint32_t uuidSize;
    char uuidType[4];            // "uuid"; adjacent to userType: written as one 20-byte run
    unsigned char userType[16];  // USMTCODE
    uint32_t mtdtSize;
    char mtdtTag[4];      // "MTDT"
    uint16_t entryCount;  // 4
    MtdtEntry* entries;
    // Bytes the atom holds after its last entry, carried through unchanged so that the sizes
    // written stay true.
    unsigned char* tail;
    uint32_t tailSize;
};

struct UuidInfo {
    AtomInfo* atom;  // the "uuid" node in the tree
    int found;       // a complete user-metadata atom was read
    int atFileEnd;   // that atom ends exactly at the end of the file
    int32_t growth;  // bytes the atom has grown through edits since it was read
    UsmtAtom box;
};

// 0 after searching (`found` tells the outcome), kUuidNoMoov, or kAtomErr when a seek fails.
[[nodiscard]] int uuidParse(FILE* stream, MovieInfo* info, UuidInfo* uuid);
void uuidFree(UsmtAtom* box);
// Builds in `uuid` a user-metadata atom for a movie that has none: the four entries of the PSP's
// own movies, an empty title among them, and `date` ("YYYY/MM/DD HH:MM:SS"). Its node `atom` is
// not in the file yet: its growth is the whole atom, so that storing it moves the size of "moov"
// like any edit. 1, or 0 when memory is short.
[[nodiscard]] int uuidCreate(UuidInfo* uuid, AtomInfo* atom, const char* date);
// A new NUL-terminated UTF-8 title (free() it), or null without a title entry or memory.
[[nodiscard]] char* uuidGetTitle(const UuidInfo* uuid);
// 1 when the title entry was replaced; 0 when there is no title entry, memory is short or the
// conversion produced nothing; kUuidTitleTooLong when it cannot be stored.
[[nodiscard]] int uuidSetTitle(UuidInfo* uuid, const char* title);
// 1 when a title of UTF-8 bytes widened one by one into code units was repaired, else 0.
[[nodiscard]] int uuidFixBadTitle(UuidInfo* uuid);
// 0 with the four-byte video coding code in `out`; kUuidNotFound or kAtomErr otherwise, `out`
// untouched unless the entry is found.
[[nodiscard]] int uuidReadVPRF(FILE* stream, MovieInfo* info, char* out);
// The whole user-metadata atom as it is written, its size field from the bytes it took: a new
// buffer (free() it) with its length in *size, or null when memory is short.
[[nodiscard]] unsigned char* uuidBytes(const UuidInfo* uuid, size_t* size);
// Writes the whole user-metadata atom at the offset of its node; 0 or kAtomErr.
[[nodiscard]] int write_uuid(FILE* stream, const UuidInfo* uuid);

// Big-endian UTF-16 to UTF-8, surrogate pairs to one character and a lone surrogate to U+FFFD;
// `out` must hold 3 bytes per code unit. Returns bytes written.
size_t ucs2utf8(unsigned char* out, const unsigned char* in, size_t length);
// Lenient UTF-8 to big-endian UTF-16, characters beyond U+FFFF as surrogate pairs; `out` must
// hold 2 bytes per input byte. Returns bytes written.
size_t utf8ucs(unsigned char* out, const unsigned char* in, size_t length);
// Strict UTF-8: no overlong forms, surrogates, stray or missing continuation bytes, nothing past
// U+10FFFF.
[[nodiscard]] bool utf8IsValid(const unsigned char* text, size_t length);
// A new buffer with the repaired text and its length in *length, or null (length unchanged).
[[nodiscard]] unsigned char* fix_bad_utf8(const unsigned char* text, size_t* length);
