// movie.cpp - the title operations on a movie file, and the rewrites that store a changed title.
#include "container/movie.h"

#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "container/list.h"

static const char kTempAlphabet[] =
    "_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
static constexpr int kTempAlphabetSize = 63;
static constexpr int kTempRandomChars = 8;

// copyInKernel's answer when the kernel cannot copy between these files at all.
static constexpr int kCopyUseBuffer = 1;

using TitleEdit = int (*)(UuidInfo* uuid, const char* title);

// The start of every title operation. Seeding from the clock and then with a constant makes the
// temporary names repeat from run to run; the retry on an existing name keeps that safe.
static FILE* openMovie(const char* path, MovieInfo** info) {
    srand(unsigned(time(nullptr)));
    srand(1);
    *info = nullptr;
    FILE* stream = fopen(path, "r+b");
    if (!stream) return nullptr;
    *info = GetMovieInfo(stream, nullptr);
    if (!*info) {
        fclose(stream);
        return nullptr;
    }
    return stream;
}

char* GetTitle(const char* path) {
    MovieInfo* info;
    FILE* stream = openMovie(path, &info);
    if (!stream) return nullptr;
    UuidInfo uuid{};
    char* title = nullptr;
    if (uuidParse(stream, info, &uuid) == 0 && uuid.found) title = uuidGetTitle(&uuid);
    uuidFree(&uuid.box);
    FreeMovieInfo(info, nullptr);
    fclose(stream);
    return title;
}

void GetMovieType(const char* path, char* out) {
    MovieInfo* info;
    FILE* stream = openMovie(path, &info);
    if (!stream) return;
    // Every failure leaves `out` as it was, which is what the caller tests for.
    (void)uuidReadVPRF(stream, info, out);
    FreeMovieInfo(info, nullptr);
    fclose(stream);
}

// The 32-bit size of "moov" must still hold it once the metadata atom inside has changed.
static bool moovCanGrow(const AtomInfo* moov, int32_t growth) {
    const int64_t size = int64_t(moov->size) + growth;
    return size >= 8 && size <= int64_t(UINT32_MAX);
}

// Parses the movie, lets `edit` change the user-metadata atom in memory (answering like
// uuidSetTitle) and stores the result in place or through a copy. *edited is set to 1 when a
// change was stored.
static int storeTitleEdit(const char* path, TitleEdit edit, const char* title, int* edited) {
    MovieInfo* info;
    FILE* stream = openMovie(path, &info);
    if (!stream) return 1;

    UuidInfo uuid{};
    int result = 1;
    bool streamClosed = false;
    if (uuidParse(stream, info, &uuid) == 0 && uuid.found) {
        int changed = edit ? edit(&uuid, title) : 0;
        if (changed == 0) {
            result = 0;
        } else if (changed == 1 && moovCanGrow(info->moov, uuid.growth)) {
            info->moov->size += uint32_t(uuid.growth);
            uuid.atom->size += uint32_t(uuid.growth);
            int status;
            if (uuid.atFileEnd) {
                status = rewriteUuid(stream, path, info, &uuid);
            } else {
                status = reorderAtoms(stream, info, &uuid, path);
                streamClosed = true;
            }
            result = status < 0 ? 1 : 0;
            if (result == 0 && edited) *edited = 1;
        }
        // Anything else (a title too long to store) is refused before a byte is written.
    }
    uuidFree(&uuid.box);
    FreeMovieInfo(info, nullptr);
    if (!streamClosed) fclose(stream);
    return result;
}

static int setTitleEdit(UuidInfo* uuid, const char* title) {
    return uuidSetTitle(uuid, title);
}

static int fixTitleEdit(UuidInfo* uuid, const char*) {
    return uuidFixBadTitle(uuid);
}

int SetTitle(const char* path, const char* title) {
    return storeTitleEdit(path, title ? setTitleEdit : nullptr, title, nullptr);
}

int FixBadTitle(const char* path, int* repaired) {
    if (repaired) *repaired = 0;
    return storeTitleEdit(path, fixTitleEdit, nullptr, repaired);
}

int rewriteUuid(FILE* stream, const char*, MovieInfo* info, UuidInfo* uuid) {
    // The descriptor, not the path, is truncated and synced: it is the file that was parsed.
    const int fd = fileno(stream);
    const int64_t oldLength = info->fileLength;
    const int64_t newLength = uuid->atom->offset + int64_t(uuid->box.uuidSize);

    // A longer atom must find its room before the first byte changes: a disk that fills up
    // halfway through would leave a movie whose sizes no longer match its content.
    if (newLength > oldLength) {
        if (posix_fallocate(fd, oldLength, newLength - oldLength) != 0) {
            // Undo an extension the failed call may already have made.
            [[maybe_unused]] int undone = ftruncate(fd, oldLength);
            return kAtomErr;
        }
    }

    if (fseeko(stream, info->moov->offset, SEEK_SET) != 0 ||
        PutUINT32(stream, info->moov->size) != 0 || write_uuid(stream, uuid) != 0 ||
        fflush(stream) != 0)
        return kAtomErr;

    const int64_t end = ftello(stream);
    if (end >= 0 && end < oldLength) {
        // A shorter title leaves the old atom's last bytes behind; a failure here still leaves
        // the new title readable, so it is not reported.
        [[maybe_unused]] int truncated = ftruncate(fd, end);
    }
    return fsync(fd) == 0 ? 0 : kAtomErr;
}

// Creates an empty file of a fresh random name beside the movie; its descriptor, or -1 with
// *tempPath null.
static int createTempFile(const char* moviePath, char** tempPath) {
    *tempPath = nullptr;
    char* pathCopy = strdup(moviePath);
    if (!pathCopy) return -1;
    const char* folder = dirname(pathCopy);
    const size_t nameSize = strlen(folder) + 1 + kTempRandomChars + 4 + 1;
    char* name = static_cast<char*>(malloc(nameSize));
    int fd = -1;
    if (name) {
        do {
            char random[kTempRandomChars + 1];
            for (int i = 0; i < kTempRandomChars; ++i)
                random[i] = kTempAlphabet[rand() % kTempAlphabetSize];
            random[kTempRandomChars] = '\0';
            snprintf(name, nameSize, "%s/%s.MP4", folder, random);
            fd = open(name, O_CREAT | O_EXCL | O_RDWR | O_TRUNC, 0644);
        } while (fd < 0 && (errno == EEXIST || errno == EINTR));
    }
    free(pathCopy);
    if (fd < 0) {
        free(name);
        return -1;
    }
    *tempPath = name;
    return fd;
}

// Makes the rename that replaced the movie durable. Failure changes nothing about which file
// the path now names, so it is not reported.
static void syncFolderOf(const char* path) {
    char* pathCopy = strdup(path);
    if (!pathCopy) return;
    int fd = open(dirname(pathCopy), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        [[maybe_unused]] int synced = fsync(fd);
        close(fd);
    }
    free(pathCopy);
}

// Every top-level "mdat" in file order with its offset before the copy, so that chunk offsets
// into any of them can follow it; null when memory is short.
static MdatMove* collectMdats(MovieInfo* info, int* count) {
    *count = 0;
    for (AtomInfo* a = FindAtom(info->mdat, "mdat"); a;
         a = FindAtom(static_cast<AtomInfo*>(a->next), "mdat"))
        ++*count;
    MdatMove* mdats = static_cast<MdatMove*>(calloc(size_t(*count), sizeof(MdatMove)));
    if (!mdats) return nullptr;
    int i = 0;
    for (AtomInfo* a = FindAtom(info->mdat, "mdat"); a;
         a = FindAtom(static_cast<AtomInfo*>(a->next), "mdat"))
        mdats[i++] = MdatMove{a, a->offset};
    return mdats;
}

int reorderAtoms(FILE* stream, MovieInfo* info, UuidInfo* uuid, const char* path) {
    // The new order: moov behind every other top-level atom, the metadata atom last in moov,
    // so that it ends the file and every later title change can be made in place.
    DetachHireList(info->moov);
    AttachHireListToChildTail(info->moov, info->root);
    DetachHireList(uuid->atom);
    AttachHireListToChildTail(uuid->atom, info->moov);

    // The copy replaces the file itself: through a symbolic link, the rename must land on the
    // link's target, in the target's folder, or the link would become a stale copy.
    struct stat movieStat;
    char* moviePath = realpath(path, nullptr);
    if (!moviePath || fstat(fileno(stream), &movieStat) != 0) {
        free(moviePath);
        fclose(stream);
        return kAtomErr;
    }
    char* tempPath;
    const int fd = createTempFile(moviePath, &tempPath);
    if (fd < 0) {
        free(moviePath);
        fclose(stream);
        return kAtomErr;
    }
    FILE* out = fdopen(fd, "w+b");
    if (!out) {
        close(fd);
        remove(tempPath);
        free(tempPath);
        free(moviePath);
        fclose(stream);
        return kAtomErr;
    }

    CopyContext ctx{};
    ctx.out = out;
    ctx.in = stream;
    ctx.mdatAtom = info->mdat;
    ctx.skipAtom = uuid->atom;
    ctx.oldMdatOffset = info->mdat->offset;
    ctx.status = 0;
    ctx.buffer = static_cast<unsigned char*>(malloc(kCopyBufferSize));
    ctx.bufferSize = kCopyBufferSize;
    ctx.mdats = collectMdats(info, &ctx.mdatCount);

    int status = 0;
    if (!ctx.buffer || !ctx.mdats) {
        status = kAtomErr;
    } else {
        HireListForEachChildTD(info->root, &ctx, foreach_copyatoms);
        if (ctx.status != 0) status = kAtomErr;
    }
    free(ctx.buffer);
    free(ctx.mdats);

    // The walk left the metadata atom's offset at the end of the copy.
    if (status == 0 && write_uuid(out, uuid) != 0) status = kAtomErr;
    // The copy must be complete on disk, with the movie's owner and permissions, before it
    // replaces it. Only root may give a file away, so a failed chown is not an error; it comes
    // first because it clears the set-ID bits that the chmod then restores.
    if (status == 0) {
        [[maybe_unused]] int owned = fchown(fd, movieStat.st_uid, movieStat.st_gid);
        if (fflush(out) != 0 || fchmod(fd, movieStat.st_mode & 07777) != 0 || fsync(fd) != 0)
            status = kAtomErr;
    }
    if (fclose(out) != 0 && status == 0) status = kAtomErr;
    fclose(stream);

    if (status == 0) {
        if (rename(tempPath, moviePath) == 0)
            syncFolderOf(moviePath);
        else
            status = -1;
    }
    if (status != 0) remove(tempPath);
    free(tempPath);
    free(moviePath);
    return status;
}

static int copyContainerHeader(CopyContext* ctx, const AtomInfo* atom) {
    AtomHeader header;
    header.size = atom->size;
    memcpy(header.type, atom->type, 4);
    return PutAtomHeader(ctx->out, &header);
}

// How far data at `offset` in the old file has moved: with the later "mdat" that holds it, or
// else with the first one.
static int64_t displacementOf(const CopyContext* ctx, uint64_t offset) {
    for (int i = 1; i < ctx->mdatCount; ++i) {
        const MdatMove& m = ctx->mdats[i];
        if (offset >= uint64_t(m.oldOffset) && offset < uint64_t(m.oldOffset) + m.atom->size)
            return m.atom->offset - m.oldOffset;
    }
    return ctx->mdatAtom->offset - ctx->oldMdatOffset;
}

static uint64_t readBE(const unsigned char* p, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | p[i];
    return v;
}

static void writeBE(unsigned char* p, int width, uint64_t v) {
    for (int i = width - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<unsigned char>(v);
}

// A "stco" (entryWidth 4) or "co64" (8) table, copied with every chunk offset moved to where
// its chunk now lies.
static int copyOffsetTable(CopyContext* ctx, const AtomInfo* atom, int entryWidth) {
    if (atom->size < 16) return kAtomErr;
    // The size comes from the file: never allocate for a table the file cannot hold.
    struct stat inStat;
    if (fstat(fileno(ctx->in), &inStat) != 0 || atom->offset + int64_t(atom->size) > inStat.st_size)
        return kAtomErr;
    unsigned char* table = static_cast<unsigned char*>(malloc(atom->size));
    if (!table) return kCopyNoMemory;

    int status = 0;
    if (fseeko(ctx->in, atom->offset, SEEK_SET) != 0 ||
        fread(table, 1, atom->size, ctx->in) != atom->size) {
        status = kAtomErr;
    } else if (atom->size != 16 + uint64_t(entryWidth) * readBE(table + 12, 4)) {
        status = kAtomErr;
    } else {
        // Unsigned arithmetic: a 32-bit table wraps modulo 2^32, as the players read it.
        const uint64_t mask = entryWidth == 4 ? 0xFFFFFFFFu : ~uint64_t(0);
        for (unsigned char* e = table + 16; e < table + atom->size; e += entryWidth) {
            const uint64_t old = readBE(e, entryWidth);
            writeBE(e, entryWidth, (old + uint64_t(displacementOf(ctx, old))) & mask);
        }
        if (fwrite(table, 1, atom->size, ctx->out) != atom->size) status = kAtomErr;
    }
    free(table);
    return status;
}

// Copies a large leaf (the media data) inside the kernel, which spares the trip through user
// memory and lets file systems share the blocks. kCopyUseBuffer when the kernel cannot copy
// between these files and nothing was copied.
static int copyInKernel(CopyContext* ctx, const AtomInfo* atom, int64_t position) {
    if (fflush(ctx->out) != 0) return kAtomErr;
    off_t inOffset = atom->offset;
    off_t outOffset = position;
    uint64_t left = atom->size;
    bool copiedAny = false;
    while (left > 0) {
        const size_t piece = left < ctx->bufferSize ? size_t(left) : size_t(ctx->bufferSize);
        const ssize_t n =
            copy_file_range(fileno(ctx->in), &inOffset, fileno(ctx->out), &outOffset, piece, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (!copiedAny &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
                return kCopyUseBuffer;
            return kAtomErr;
        }
        if (n == 0) return kAtomErr;  // the file ends inside the atom
        left -= uint64_t(n);
        copiedAny = true;
    }
    return fseeko(ctx->out, outOffset, SEEK_SET) == 0 ? 0 : kAtomErr;
}

static int copyThroughBuffer(CopyContext* ctx, const AtomInfo* atom) {
    if (fseeko(ctx->in, atom->offset, SEEK_SET) != 0) return kAtomErr;
    uint32_t left = atom->size;
    while (left > 0) {
        const size_t piece = left < ctx->bufferSize ? left : ctx->bufferSize;
        if (fread(ctx->buffer, 1, piece, ctx->in) != piece ||
            fwrite(ctx->buffer, 1, piece, ctx->out) != piece)
            return kAtomErr;
        left -= uint32_t(piece);
    }
    return 0;
}

// The kernel copies whole pages well; between offsets that differ within a page it writes every
// page in two parts, which on ext4 made a 1 GiB copy a sixth slower than the buffer loop.
static bool pagesLineUp(int64_t from, int64_t to) {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 && (from - to) % page == 0;
}

static int copyLeaf(CopyContext* ctx, const AtomInfo* atom, int64_t position) {
    if (atom->size > ctx->bufferSize && pagesLineUp(atom->offset, position)) {
        const int status = copyInKernel(ctx, atom, position);
        if (status != kCopyUseBuffer) return status;
    }
    return copyThroughBuffer(ctx, atom);
}

void foreach_copyatoms(HireList* node, void* context) {
    CopyContext* ctx = static_cast<CopyContext*>(context);
    AtomInfo* atom = static_cast<AtomInfo*>(node);
    if (ctx->status != 0 || !atom->parent) return;

    const int64_t position = ftello(ctx->out);
    if (position < 0) {
        ctx->status = kAtomErr;
        return;
    }
    int status;
    if (atom == ctx->skipAtom)
        status = 0;  // written after the walk, at the end
    else if (atom->child)
        status = copyContainerHeader(ctx, atom);  // the children follow in the walk
    else if (memcmp(atom->type, "stco", 4) == 0)
        status = copyOffsetTable(ctx, atom, 4);
    else if (memcmp(atom->type, "co64", 4) == 0)
        status = copyOffsetTable(ctx, atom, 8);
    else
        status = copyLeaf(ctx, atom, position);

    ctx->status = status;
    // The tree now describes the new file, which later tables and write_uuid rely on.
    if (status == 0) atom->offset = position;
}
