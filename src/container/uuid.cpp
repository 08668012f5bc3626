// SPDX-License-Identifier: GPL-3.0-or-later
// uuid.cpp - reads, edits and writes the PSP's user-metadata atom, and reads its profile atom.
#include "container/uuid.h"

#include <cstdlib>
#include <cstring>

const unsigned char USMTCODE[16] = {0x55, 0x53, 0x4D, 0x54, 0x21, 0xD2, 0x4F, 0xCE,
                                    0xBB, 0x88, 0x69, 0x5C, 0xFA, 0xC9, 0xC7, 0x40};
const unsigned char PROFCODE[16] = {0x50, 0x52, 0x4F, 0x46, 0x21, 0xD2, 0x4F, 0xCE,
                                    0xBB, 0x88, 0x69, 0x5C, 0xFA, 0xC9, 0xC7, 0x40};

// Atom header, extended type, metadata size and tag, entry count: the bytes before the entries.
static constexpr uint32_t kUsmtHeadSize = 34;
static constexpr uint16_t kUsmtEntryCount = 4;
static constexpr uint16_t kMtdtEntryHeadSize = 10;
static constexpr uint32_t kProfEntryHeadSize = 8;

static AtomInfo* nextAtom(AtomInfo* atom) {
    return static_cast<AtomInfo*>(atom->next);
}

static AtomInfo* firstChild(AtomInfo* atom) {
    return static_cast<AtomInfo*>(atom->child);
}

static size_t payloadSize(const MtdtEntry* entry) {
    return entry->entrySize > kMtdtEntryHeadSize ? entry->entrySize - kMtdtEntryHeadSize : 0;
}

static bool readExactly(FILE* stream, void* to, size_t size) {
    return size == 0 || fread(to, 1, size, stream) == size;
}

static bool writeExactly(FILE* stream, const void* from, size_t size) {
    return size == 0 || fwrite(from, 1, size, stream) == size;
}

// malloc that never answers null for a zero size, so that null always means no memory.
static unsigned char* allocBytes(size_t size) {
    return static_cast<unsigned char*>(malloc(size == 0 ? 1 : size));
}

// Reads one entry's head and payload. `room` is what the atom has left after the entries read
// so far; an entry that does not fit in it would be read from the atom's neighbour.
static bool readMtdtEntry(FILE* stream, MtdtEntry* entry, uint32_t* room) {
    int32_t size = GetUINT16(stream);
    int64_t type = GetUINT32(stream);
    if (size < 0 || type < 0 || !readExactly(stream, entry->entryAttr, 4)) return false;
    if (size < kMtdtEntryHeadSize || uint32_t(size) > *room) return false;
    entry->entrySize = uint16_t(size);
    entry->entryType = uint32_t(type);
    entry->text = allocBytes(size - kMtdtEntryHeadSize);
    if (!entry->text) return false;
    *room -= uint32_t(size);
    return readExactly(stream, entry->text, size - kMtdtEntryHeadSize);
}

// Reads the user-metadata atom at `atom` (the stream is just past its 8-byte header) into `box`.
// False for a foreign or damaged atom; whatever was allocated is left in `box` for uuidFree.
static bool readUsmt(FILE* stream, const MovieInfo* info, const AtomInfo* atom, UsmtAtom* box) {
    // An atom that does not lie inside the file cannot be read completely; refusing it first
    // keeps a damaged size from deciding how much is allocated below. The layout has a 32-bit
    // size: one stored with a 64-bit size is not one of ours.
    if (atom->headerSize != 8 || atom->size < kUsmtHeadSize || AtomEnd(atom) > info->fileLength)
        return false;
    if (!readExactly(stream, box->userType, 16) || memcmp(box->userType, USMTCODE, 16) != 0)
        return false;
    int64_t mtdtSize = GetUINT32(stream);
    if (mtdtSize < 0) return false;
    box->mtdtSize = uint32_t(mtdtSize);
    if (!readExactly(stream, box->mtdtTag, 4) || memcmp(box->mtdtTag, "MTDT", 4) != 0) return false;
    if (GetUINT16(stream) != kUsmtEntryCount) return false;
    memcpy(box->uuidType, "uuid", 4);
    box->entries = static_cast<MtdtEntry*>(calloc(kUsmtEntryCount, sizeof(MtdtEntry)));
    if (!box->entries) return false;
    box->entryCount = kUsmtEntryCount;

    uint32_t room = atom->size - kUsmtHeadSize;
    for (uint16_t i = 0; i < kUsmtEntryCount; i++) {
        if (!readMtdtEntry(stream, &box->entries[i], &room)) return false;
    }
    // Whatever follows the entries is kept, so that the atom written back holds as many bytes
    // as its sizes say.
    box->tailSize = room;
    if (room > 0) {
        box->tail = allocBytes(room);
        if (!box->tail || !readExactly(stream, box->tail, room)) return false;
    }
    box->uuidSize = atom->size;
    return true;
}

int uuidParse(FILE* stream, MovieInfo* info, UuidInfo* uuid) {
    memset(&uuid->box, 0, sizeof uuid->box);
    uuid->found = 0;
    uuid->atFileEnd = 0;
    uuid->growth = 0;
    if (!info || !info->moov) return kUuidNoMoov;

    for (AtomInfo* candidate = FindAtom(firstChild(info->moov), "uuid"); candidate;
         candidate = FindAtom(nextAtom(candidate), "uuid")) {
        uuid->atom = candidate;
        if (fseeko(stream, candidate->offset + 8, SEEK_SET) != 0) return kAtomErr;
        if (readUsmt(stream, info, candidate, &uuid->box)) {
            uuid->found = 1;
            uuid->atFileEnd = AtomEnd(candidate) == info->fileLength;
            return 0;
        }
        uuidFree(&uuid->box);
        memset(&uuid->box, 0, sizeof uuid->box);
    }
    return 0;
}

// One entry of a new atom: the text as terminated UTF-16, or the raw bytes when `raw` is set.
static bool makeEntry(MtdtEntry* entry, uint32_t type, const unsigned char attr[4],
                      const char* text, const unsigned char* raw, size_t rawSize) {
    const size_t size = raw ? rawSize : 2 * (strlen(text) + 1);
    entry->entryType = type;
    memcpy(entry->entryAttr, attr, 4);
    entry->entrySize = uint16_t(kMtdtEntryHeadSize + size);
    entry->text = allocBytes(size);
    if (!entry->text) return false;
    if (raw)
        memcpy(entry->text, raw, rawSize);
    else
        utf8ucs(entry->text, reinterpret_cast<const unsigned char*>(text), strlen(text) + 1);
    return true;
}

int uuidCreate(UuidInfo* uuid, AtomInfo* atom, const char* date) {
    memset(&uuid->box, 0, sizeof uuid->box);
    UsmtAtom* box = &uuid->box;
    box->entries = static_cast<MtdtEntry*>(calloc(kUsmtEntryCount, sizeof(MtdtEntry)));
    if (!box->entries) return 0;
    box->entryCount = kUsmtEntryCount;
    // The entries, their attributes and their order as the PSP's own movies carry them: an
    // entry of type 11 whose two bytes are always these, the program that wrote the movie, the
    // title, and the date. The attributes hold a language code ("und", "eng") and a flag.
    static const unsigned char kUnd[4] = {0x55, 0xC4, 0x00, 0x00};
    static const unsigned char kEngText[4] = {0x15, 0xC7, 0x00, 0x01};
    static const unsigned char kUndText[4] = {0x55, 0xC4, 0x00, 0x01};
    static const unsigned char kType11[2] = {0x02, 0x1C};
    if (!makeEntry(&box->entries[0], 11, kUnd, nullptr, kType11, sizeof kType11) ||
        !makeEntry(&box->entries[1], 4, kEngText, "moviestick", nullptr, 0) ||
        !makeEntry(&box->entries[2], kMtdtTitle, kEngText, "", nullptr, 0) ||
        !makeEntry(&box->entries[3], 3, kUndText, date, nullptr, 0)) {
        uuidFree(box);
        return 0;
    }
    uint32_t size = kUsmtHeadSize;
    for (uint16_t i = 0; i < kUsmtEntryCount; i++) size += box->entries[i].entrySize;
    memcpy(box->uuidType, "uuid", 4);
    memcpy(box->userType, USMTCODE, 16);
    memcpy(box->mtdtTag, "MTDT", 4);
    box->uuidSize = size;
    box->mtdtSize = size - 24;  // from the metadata size field to the end of the atom
    uuid->atom = atom;
    uuid->found = 1;
    uuid->atFileEnd = 0;
    uuid->growth = int32_t(size);
    return 1;
}

void uuidFree(UsmtAtom* box) {
    if (box->entries) {
        for (uint16_t i = 0; i < box->entryCount; i++) free(box->entries[i].text);
        free(box->entries);
        box->entries = nullptr;
    }
    free(box->tail);
    box->tail = nullptr;
    box->tailSize = 0;
}

static MtdtEntry* findTitleEntry(const UuidInfo* uuid) {
    if (!uuid->box.entries) return nullptr;
    for (uint16_t i = 0; i < uuid->box.entryCount; i++) {
        if (uuid->box.entries[i].entryType == kMtdtTitle) return &uuid->box.entries[i];
    }
    return nullptr;
}

char* uuidGetTitle(const UuidInfo* uuid) {
    const MtdtEntry* entry = findTitleEntry(uuid);
    if (!entry) return nullptr;
    size_t length = payloadSize(entry);
    unsigned char* title = allocBytes(length / 2 * 3 + 1);
    if (!title) return nullptr;
    // A stored terminator becomes the NUL; a text without one still ends after its last unit.
    title[ucs2utf8(title, entry->text, length)] = 0;
    return reinterpret_cast<char*>(title);
}

static bool addFits(uint32_t value, int64_t d) {
    int64_t sum = int64_t(value) + d;
    return sum >= 0 && sum <= int64_t(UINT32_MAX);
}

// Puts `text` in place of the entry's payload and moves the sizes by the difference. False,
// with nothing changed, when a size would leave its field: a 16-bit entry size that wrapped
// would corrupt the file.
static bool replaceText(UuidInfo* uuid, MtdtEntry* entry, unsigned char* text, size_t length) {
    if (length > UINT16_MAX - kMtdtEntryHeadSize) return false;
    int64_t d = int64_t(length) - int64_t(payloadSize(entry));
    int64_t growth = uuid->growth + d;
    if (!addFits(uuid->box.uuidSize, d) || !addFits(uuid->box.mtdtSize, d) || growth < INT32_MIN ||
        growth > INT32_MAX)
        return false;
    free(entry->text);
    entry->text = text;
    entry->entrySize = uint16_t(kMtdtEntryHeadSize + length);
    uuid->box.uuidSize = uint32_t(uuid->box.uuidSize + d);
    uuid->box.mtdtSize = uint32_t(uuid->box.mtdtSize + d);
    uuid->growth = int32_t(growth);
    return true;
}

int uuidSetTitle(UuidInfo* uuid, const char* title) {
    MtdtEntry* entry = findTitleEntry(uuid);
    if (!entry) return 0;
    // The NUL goes through the conversion too, so that the stored text ends with 0x0000.
    size_t inLength = strlen(title) + 1;
    if (inLength > SIZE_MAX / 2) return kUuidTitleTooLong;
    unsigned char* text = allocBytes(inLength * 2);
    if (!text) return 0;
    size_t length = utf8ucs(text, reinterpret_cast<const unsigned char*>(title), inLength);
    if (length == 0) {
        free(text);
        return 0;
    }
    if (!replaceText(uuid, entry, text, length)) {
        free(text);
        return kUuidTitleTooLong;
    }
    return 1;
}

int uuidFixBadTitle(UuidInfo* uuid) {
    MtdtEntry* entry = findTitleEntry(uuid);
    if (!entry) return 0;
    size_t length = payloadSize(entry);
    if (length % 2 != 0) return 0;
    size_t zeroHigh = 0;
    size_t highLow = 0;
    for (size_t i = 0; i < length; i += 2) {
        if (entry->text[i] == 0) zeroHigh++;
        if (entry->text[i + 1] >= 0x80) highLow++;
    }
    // UTF-8 bytes that were widened one by one into code units: every unit below 0x100, and at
    // least one of them a byte of a multi-byte sequence.
    if (zeroHigh != length / 2 || highLow == 0) return 0;
    size_t fixedLength = length;
    unsigned char* fixed = fix_bad_utf8(entry->text, &fixedLength);
    if (!fixed) return 0;
    if (!replaceText(uuid, entry, fixed, fixedLength)) {
        free(fixed);
        return 0;
    }
    return 1;
}

unsigned char* fix_bad_utf8(const unsigned char* text, size_t* length) {
    size_t count = *length / 2;
    unsigned char* bytes = allocBytes(count);
    unsigned char* fixed = allocBytes(count * 2);
    if (!bytes || !fixed) {
        free(bytes);
        free(fixed);
        return nullptr;
    }
    for (size_t i = 0; i < count; i++) bytes[i] = text[2 * i + 1];
    *length = utf8ucs(fixed, bytes, count);
    free(bytes);
    return fixed;
}

static size_t putUtf8(unsigned char* out, uint32_t c) {
    if (c <= 0x7F) {
        out[0] = uint8_t(c);
        return 1;
    }
    if (c <= 0x7FF) {
        out[0] = uint8_t(0xC0 | c >> 6);
        out[1] = uint8_t(0x80 | (c & 0x3F));
        return 2;
    }
    if (c <= 0xFFFF) {
        out[0] = uint8_t(0xE0 | c >> 12);
        out[1] = uint8_t(0x80 | ((c >> 6) & 0x3F));
        out[2] = uint8_t(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = uint8_t(0xF0 | c >> 18);
    out[1] = uint8_t(0x80 | ((c >> 12) & 0x3F));
    out[2] = uint8_t(0x80 | ((c >> 6) & 0x3F));
    out[3] = uint8_t(0x80 | (c & 0x3F));
    return 4;
}

static bool isHighSurrogate(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
static bool isLowSurrogate(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

size_t ucs2utf8(unsigned char* out, const unsigned char* in, size_t length) {
    size_t written = 0;
    for (size_t i = 0; i + 1 < length; i += 2) {
        unsigned unit = unsigned(in[i]) << 8 | in[i + 1];
        if (isHighSurrogate(unit) && i + 3 < length) {
            unsigned low = unsigned(in[i + 2]) << 8 | in[i + 3];
            if (isLowSurrogate(low)) {
                const uint32_t c = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                written += putUtf8(out + written, c);
                i += 2;
                continue;
            }
        }
        // A surrogate without its partner stands for no character: U+FFFD keeps the text
        // valid UTF-8 for whoever shows it.
        if (isHighSurrogate(unit) || isLowSurrogate(unit)) unit = 0xFFFD;
        written += putUtf8(out + written, unit);
    }
    return written;
}

size_t utf8ucs(unsigned char* out, const unsigned char* in, size_t length) {
    size_t written = 0;
    int pending = 0;
    uint32_t value = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned char byte = in[i];
        if (pending == 0) {
            if (byte <= 0x7F) {
                out[written++] = 0;
                out[written++] = byte;
            } else if ((byte & 0xF8) == 0xF0) {
                value = byte & 0x07;
                pending = 3;
            } else if ((byte & 0xF0) == 0xE0) {
                value = byte & 0x0F;
                pending = 2;
            } else if ((byte & 0xE0) == 0xC0) {
                value = byte & 0x1F;
                pending = 1;
            }
            // Stray continuation bytes and 0xF8..0xFF start nothing and are dropped.
            continue;
        }
        // A byte that should have continued the sequence still takes its place, so that a
        // broken sequence costs one character rather than desynchronising the rest.
        value <<= 6;
        if ((byte & 0xC0) == 0x80) value |= byte & 0x3F;
        if (--pending == 0) {
            if (value > 0xFFFF && value <= 0x10FFFF) {
                // Beyond the Basic Multilingual Plane: a surrogate pair, which takes no more
                // room than the four bytes it came from.
                const uint32_t v = value - 0x10000;
                const uint32_t high = 0xD800 | v >> 10;
                const uint32_t low = 0xDC00 | (v & 0x3FF);
                out[written++] = uint8_t(high >> 8);
                out[written++] = uint8_t(high);
                out[written++] = uint8_t(low >> 8);
                out[written++] = uint8_t(low);
            } else {
                // Nothing but a broken sequence reaches past U+10FFFF: a space, as before.
                const uint32_t unit = value > 0xFFFF ? 0x0020 : value;
                out[written++] = uint8_t(unit >> 8);
                out[written++] = uint8_t(unit);
            }
        }
    }
    return written;
}

bool utf8IsValid(const unsigned char* text, size_t length) {
    size_t i = 0;
    while (i < length) {
        const unsigned char lead = text[i];
        int extra;
        uint32_t c;
        if (lead <= 0x7F) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            c = lead & 0x07;
        } else {
            return false;  // a continuation byte, an overlong lead, or beyond U+10FFFF
        }
        if (length - i <= size_t(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            if ((text[i + k] & 0xC0) != 0x80) return false;
            c = c << 6 | (text[i + k] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and values past the last code point.
        if ((extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000) || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += size_t(extra) + 1;
    }
    return true;
}

int uuidReadVPRF(FILE* stream, MovieInfo* info, char* out) {
    if (!info || !info->root) return kUuidNotFound;
    unsigned char code[16];
    for (AtomInfo* atom = FindAtom(firstChild(info->root), "uuid"); atom;
         atom = FindAtom(nextAtom(atom), "uuid")) {
        if (fseeko(stream, atom->offset + atom->headerSize, SEEK_SET) != 0 ||
            !readExactly(stream, code, 16))
            return kAtomErr;
        if (memcmp(code, PROFCODE, 16) != 0) continue;

        if (fseeko(stream, 4, SEEK_CUR) != 0) return kAtomErr;
        int64_t count = GetUINT32(stream);
        if (count < 0) return kAtomErr;
        for (int64_t i = 0; i < count; i++) {
            int64_t size = GetUINT32(stream);
            char tag[4];
            if (size < 0 || !readExactly(stream, tag, 4)) return kAtomErr;
            // An entry shorter than its own head would send the search backwards or round in
            // a circle; nothing after it can be trusted.
            if (size < kProfEntryHeadSize) return kUuidNotFound;
            if (memcmp(tag, "VPRF", 4) != 0) {
                if (fseeko(stream, size - kProfEntryHeadSize, SEEK_CUR) != 0) return kAtomErr;
                continue;
            }
            char video[4];
            if (fseeko(stream, 8, SEEK_CUR) != 0 || !readExactly(stream, video, 4)) return kAtomErr;
            memcpy(out, video, 4);
            return 0;
        }
        return kUuidNotFound;
    }
    return kUuidNotFound;
}

unsigned char* uuidBytes(const UuidInfo* uuid, size_t* size) {
    const UsmtAtom* box = &uuid->box;
    if (box->entryCount > 0 && !box->entries) return nullptr;
    char* bytes = nullptr;
    size_t length = 0;
    FILE* stream = open_memstream(&bytes, &length);
    if (!stream) return nullptr;
    unsigned char types[20];
    memcpy(types, box->uuidType, 4);
    memcpy(types + 4, box->userType, 16);
    bool ok = PutUINT32(stream, box->uuidSize) == 0 && writeExactly(stream, types, 20) &&
              PutUINT32(stream, box->mtdtSize) == 0 && writeExactly(stream, box->mtdtTag, 4) &&
              PutUINT16(stream, box->entryCount) == 0;
    for (uint16_t i = 0; ok && i < box->entryCount; i++) {
        const MtdtEntry* entry = &box->entries[i];
        ok = PutUINT16(stream, entry->entrySize) == 0 && PutUINT32(stream, entry->entryType) == 0 &&
             writeExactly(stream, entry->entryAttr, 4) &&
             writeExactly(stream, entry->text, payloadSize(entry));
    }
    ok = ok && writeExactly(stream, box->tail, box->tailSize);
    // The atom's size as the bytes just written make it. The metadata's own size inside is kept
    // as read and edited: a movie may carry one that disagrees, and it goes back as it came.
    const int64_t end = ok ? ftello(stream) : -1;
    // A memory stream's length is where it stands when closed: back to the end after the size.
    ok = end >= 8 && end <= int64_t(UINT32_MAX) && fseeko(stream, 0, SEEK_SET) == 0 &&
         PutUINT32(stream, uint32_t(end)) == 0 && fseeko(stream, end, SEEK_SET) == 0;
    if (fclose(stream) != 0 || !ok) {
        free(bytes);
        return nullptr;
    }
    *size = size_t(end);
    return reinterpret_cast<unsigned char*>(bytes);
}

int write_uuid(FILE* stream, const UuidInfo* uuid) {
    if (!uuid->atom) return kAtomErr;
    // Made whole in memory first, so that the file is written front to back: fusefat misplaces
    // a write that goes back into what was just written.
    size_t size = 0;
    unsigned char* bytes = uuidBytes(uuid, &size);
    if (!bytes) return kAtomErr;
    const bool written =
        fseeko(stream, uuid->atom->offset, SEEK_SET) == 0 && writeExactly(stream, bytes, size);
    free(bytes);
    // A full disk often shows only when the buffer is flushed.
    return written && fflush(stream) == 0 ? 0 : kAtomErr;
}
