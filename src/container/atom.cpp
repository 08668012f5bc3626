// atom.cpp - the atom tree reader and the big-endian field readers and writers.
#include "container/atom.h"

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
