// rewrite.cpp - stores an edited user-metadata atom in place, or through one copy of the movie.
#include "container/rewrite.h"

#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "container/list.h"
#include "container/moviefile.h"

static const char kTempAlphabet[] =
    "_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
static constexpr int kTempAlphabetSize = 63;
static constexpr int kTempRandomChars = 8;

// copyInKernel's answer when the kernel cannot copy between these files at all.
static constexpr int kCopyUseBuffer = 1;

// The cause of the call that just failed. Calls that fail without setting errno (a short read
// at the end of the file) leave it 0: the file changed under the rewrite.
static MovieError lastCause() {
    return errno != 0 ? MovieErrorFromErrno(errno) : MovieError::ioError;
}

static int failWith(MovieError* why, MovieError cause, int status = kAtomErr) {
    *why = cause;
    return status;
}

// The size of "moov" in its own header, in the form it has: 32 or 64 bits; one that runs to the
// end of the file still does.
static int writeMoovSize(FILE* stream, const AtomInfo* moov) {
    if (moov->toFileEnd) return 0;
    if (moov->headerSize == 16)
        return fseeko(stream, moov->offset + 8, SEEK_SET) == 0 ? PutUINT64(stream, moov->size)
                                                               : kAtomErr;
    return fseeko(stream, moov->offset, SEEK_SET) == 0 ? PutUINT32(stream, uint32_t(moov->size))
                                                       : kAtomErr;
}

int rewriteUuid(FILE* stream, const char*, MovieInfo* info, UuidInfo* uuid, MovieError* why) {
    // The descriptor, not the path, is truncated and synced: it is the file that was parsed.
    const int fd = fileno(stream);
    const int64_t oldLength = info->fileLength;
    const int64_t newLength = uuid->atom->offset + int64_t(uuid->box.uuidSize);
    errno = 0;

    // A longer atom must find its room before the first byte changes: a disk that fills up
    // halfway through would leave a movie whose sizes no longer match its content.
    if (newLength > oldLength) {
        if (const int err = posix_fallocate(fd, oldLength, newLength - oldLength); err != 0) {
            // Undo an extension the failed call may already have made.
            [[maybe_unused]] int undone = ftruncate(fd, oldLength);
            return failWith(why, MovieErrorFromErrno(err));
        }
    }

    if (writeMoovSize(stream, info->moov) != 0 || write_uuid(stream, uuid) != 0 ||
        fflush(stream) != 0)
        return failWith(why, lastCause());

    const int64_t end = ftello(stream);
    if (end >= 0 && end < oldLength) {
        // A shorter title leaves the old atom's last bytes behind; a failure here still leaves
        // the new title readable, so it is not reported.
        [[maybe_unused]] int truncated = ftruncate(fd, end);
    }
    if (fsync(fd) != 0) return failWith(why, lastCause());
    return 0;
}

// A refusal to create a file beside the movie is the folder's, not the movie's.
static MovieError folderCause(int err) {
    return err == EACCES || err == EPERM ? MovieError::folderNotWritable : MovieErrorFromErrno(err);
}

// The copy being written beside the movie: unnamed (O_TMPFILE) where the file system allows,
// so that a crash leaves nothing behind, else under a random name.
struct TempCopy {
    int fd = -1;
    char* folder = nullptr;
    char* name = nullptr;  // the name it has, once it has one
};

static void freeTempCopy(TempCopy* copy) {
    free(copy->folder);
    free(copy->name);
    copy->folder = copy->name = nullptr;
}

// Tries fresh random names beside the movie until `create` does not answer EEXIST; the name it
// took in *name, or null with errno set.
template <typename Create>
static bool takeFreshName(const char* folder, char** name, Create create) {
    const size_t size = strlen(folder) + 1 + kTempRandomChars + 4 + 1;
    *name = static_cast<char*>(malloc(size));
    if (!*name) return false;
    for (;;) {
        char random[kTempRandomChars + 1];
        for (int i = 0; i < kTempRandomChars; ++i)
            random[i] = kTempAlphabet[rand() % kTempAlphabetSize];
        random[kTempRandomChars] = '\0';
        snprintf(*name, size, "%s/%s.MP4", folder, random);
        if (create(*name)) return true;
        if (errno != EEXIST && errno != EINTR) break;
    }
    const int err = errno;
    free(*name);
    *name = nullptr;
    errno = err;
    return false;
}

// Creates the empty copy in the movie's folder; false with errno set.
static bool createTempCopy(const char* moviePath, TempCopy* copy) {
    char* pathCopy = strdup(moviePath);
    if (!pathCopy) return false;
    copy->folder = strdup(dirname(pathCopy));
    free(pathCopy);
    if (!copy->folder) return false;
    copy->fd = open(copy->folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (copy->fd >= 0) return true;
    // Kernels without O_TMPFILE answer EISDIR (they take it for O_DIRECTORY), file systems
    // without it EOPNOTSUPP: those get a named file, which a crash can leave behind.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    return takeFreshName(copy->folder, &copy->name, [copy](const char* name) {
        copy->fd = open(name, O_CREAT | O_EXCL | O_RDWR | O_TRUNC | O_CLOEXEC, 0600);
        return copy->fd >= 0;
    });
}

// The movie's permissions on the copy. File systems that keep none (FAT through FUSE answers
// ENOSYS) leave the copy as the mount shows every file; the copy was created for its owner
// alone, so a failure elsewhere never exposes a private movie.
static bool copyMode(int fd, mode_t mode) {
    return fchmod(fd, mode & 07777) == 0 || errno == ENOSYS || errno == EOPNOTSUPP;
}

// Gives the complete, synced copy a name, which the rename then moves over the movie.
static bool nameTempCopy(TempCopy* copy) {
    if (copy->name) return true;
    char self[64];
    snprintf(self, sizeof self, "/proc/self/fd/%d", copy->fd);
    return takeFreshName(copy->folder, &copy->name, [copy, &self](const char* name) {
        if (linkat(AT_FDCWD, self, AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0) return true;
        // Without /proc, the descriptor itself (which needs a capability most users lack).
        return errno == ENOENT && linkat(copy->fd, "", AT_FDCWD, name, AT_EMPTY_PATH) == 0;
    });
}

// Makes the rename that replaced the movie durable. Failure changes nothing about which file
// the path now names, so it is not reported.
static void syncFolderOf(const char* path) {
    char* pathCopy = strdup(path);
    if (!pathCopy) return;
    int fd = open(dirname(pathCopy), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        [[maybe_unused]] int synced = fsync(fd);
        close(fd);
    }
    free(pathCopy);
}

// Every top-level "mdat" in file order with where it was before the copy, so that chunk
// offsets into any of them can follow it; null when memory is short.
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
        mdats[i++] = MdatMove{a, a->offset, a->headerSize};
    return mdats;
}

int reorderAtoms(FILE* stream, MovieInfo* info, UuidInfo* uuid, const char* path, MovieError* why) {
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
        *why = lastCause();
        free(moviePath);
        fclose(stream);
        return kAtomErr;
    }
    TempCopy copy;
    FILE* out = nullptr;
    if (!createTempCopy(moviePath, &copy)) {
        *why = folderCause(errno);
    } else if (!(out = fdopen(copy.fd, "wb"))) {
        // Write-only: a stream that may also read refills its buffer from the file on a seek,
        // and fusefat answers such a read with stale bytes; the metadata atom came out corrupt.
        *why = MovieError::noMemory;
        close(copy.fd);
    }
    if (!out) {
        if (copy.name) unlink(copy.name);
        freeTempCopy(&copy);
        free(moviePath);
        fclose(stream);
        return kAtomErr;
    }
    const int fd = copy.fd;

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
        status = failWith(why, MovieError::noMemory);
    } else {
        HireListForEachChildTD(info->root, &ctx, foreach_copyatoms);
        if (ctx.status != 0) status = failWith(why, ctx.error);
    }
    free(ctx.buffer);
    free(ctx.mdats);

    errno = 0;
    // The walk left the metadata atom's offset at the end of the copy.
    if (status == 0 && write_uuid(out, uuid) != 0) status = failWith(why, lastCause());
    // The copy must be complete on disk, with the movie's owner and permissions, before it gets
    // a name and replaces the movie. Only root may give a file away, so a failed chown is not an
    // error; it comes first because it clears the set-ID bits that the chmod then restores.
    if (status == 0) {
        [[maybe_unused]] int owned = fchown(fd, movieStat.st_uid, movieStat.st_gid);
        if (fflush(out) != 0 || !copyMode(fd, movieStat.st_mode) || fsync(fd) != 0)
            status = failWith(why, lastCause());
    }
    if (status == 0 && !nameTempCopy(&copy)) status = failWith(why, folderCause(errno));
    if (fclose(out) != 0 && status == 0) status = failWith(why, lastCause());
    fclose(stream);

    if (status == 0) {
        if (rename(copy.name, moviePath) == 0)
            syncFolderOf(moviePath);
        else
            status = failWith(why, folderCause(errno), -1);
    }
    if (status != 0 && copy.name) unlink(copy.name);
    freeTempCopy(&copy);
    free(moviePath);
    return status;
}

// The atom's header as it was, except that one that ran to the end of the file gets its real
// size now that others follow it: in 64 bits when 32 cannot hold it, its content then moving
// 8 bytes further on.
static int writeHeader(CopyContext* ctx, AtomInfo* atom) {
    if (atom->toFileEnd) {
        if (atom->size > UINT32_MAX) {
            atom->size += 8;
            atom->headerSize = 16;
        }
        atom->toFileEnd = false;
    }
    if (atom->headerSize == 16) {
        const AtomHeader header{1, {atom->type[0], atom->type[1], atom->type[2], atom->type[3]}};
        return PutAtomHeader(ctx->out, &header) == 0 ? PutUINT64(ctx->out, atom->size) : kAtomErr;
    }
    const AtomHeader header{uint32_t(atom->size),
                            {atom->type[0], atom->type[1], atom->type[2], atom->type[3]}};
    return PutAtomHeader(ctx->out, &header);
}

// How far data at `offset` in the old file has moved: with the later "mdat" that holds it, or
// else with the first one. What moves is the content, which follows a header that may have
// grown.
static int64_t displacementOf(const CopyContext* ctx, uint64_t offset) {
    int which = 0;
    for (int i = 1; i < ctx->mdatCount; ++i) {
        const MdatMove& m = ctx->mdats[i];
        if (offset >= uint64_t(m.oldOffset) && offset < uint64_t(m.oldOffset) + m.atom->size)
            which = i;
    }
    const MdatMove& m = ctx->mdats[which];
    return (m.atom->offset + m.atom->headerSize) - (m.oldOffset + m.oldHeaderSize);
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
// its chunk now lies. A table whose size and count disagree is damage: offsets could not be
// told from whatever else it holds.
static int copyOffsetTable(CopyContext* ctx, const AtomInfo* atom, int entryWidth) {
    const uint64_t head = atom->headerSize + 8u;  // header, version and flags, entry count
    if (atom->size < head) {
        ctx->error = MovieError::damaged;
        return kAtomErr;
    }
    // The size comes from the file: never allocate for a table the file cannot hold.
    struct stat inStat;
    if (fstat(fileno(ctx->in), &inStat) != 0 || AtomEnd(atom) > inStat.st_size) {
        ctx->error = MovieError::damaged;
        return kAtomErr;
    }
    unsigned char* table = static_cast<unsigned char*>(malloc(size_t(atom->size)));
    if (!table) {
        ctx->error = MovieError::noMemory;
        return kCopyNoMemory;
    }

    int status = 0;
    errno = 0;
    if (fseeko(ctx->in, atom->offset, SEEK_SET) != 0 ||
        fread(table, 1, size_t(atom->size), ctx->in) != atom->size) {
        ctx->error = lastCause();
        status = kAtomErr;
    } else if (atom->size != head + uint64_t(entryWidth) * readBE(table + head - 4, 4)) {
        ctx->error = MovieError::damaged;
        status = kAtomErr;
    } else {
        // Unsigned arithmetic: a 32-bit table wraps modulo 2^32, as the players read it.
        const uint64_t mask = entryWidth == 4 ? 0xFFFFFFFFu : ~uint64_t(0);
        for (unsigned char* e = table + head; e < table + atom->size; e += entryWidth) {
            const uint64_t old = readBE(e, entryWidth);
            writeBE(e, entryWidth, (old + uint64_t(displacementOf(ctx, old))) & mask);
        }
        if (fwrite(table, 1, size_t(atom->size), ctx->out) != atom->size) {
            ctx->error = lastCause();
            status = kAtomErr;
        }
    }
    free(table);
    return status;
}

// Copies a large range (the media data) inside the kernel, which spares the trip through user
// memory and lets file systems share the blocks. kCopyUseBuffer when the kernel cannot copy
// between these files and nothing was copied.
static int copyInKernel(CopyContext* ctx, int64_t from, uint64_t length, int64_t position) {
    if (fflush(ctx->out) != 0) return kAtomErr;
    off_t inOffset = from;
    off_t outOffset = position;
    uint64_t left = length;
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
        if (n == 0) {
            errno = 0;  // the file ends inside the range: it changed under the copy
            return kAtomErr;
        }
        left -= uint64_t(n);
        copiedAny = true;
    }
    return fseeko(ctx->out, outOffset, SEEK_SET) == 0 ? 0 : kAtomErr;
}

static int copyThroughBuffer(CopyContext* ctx, int64_t from, uint64_t length) {
    if (fseeko(ctx->in, from, SEEK_SET) != 0) return kAtomErr;
    uint64_t left = length;
    while (left > 0) {
        const size_t piece = left < ctx->bufferSize ? size_t(left) : ctx->bufferSize;
        if (fread(ctx->buffer, 1, piece, ctx->in) != piece ||
            fwrite(ctx->buffer, 1, piece, ctx->out) != piece)
            return kAtomErr;
        left -= piece;
    }
    return 0;
}

// The kernel copies whole pages well; between offsets that differ within a page it writes every
// page in two parts, which on ext4 made a 1 GiB copy a sixth slower than the buffer loop.
static bool pagesLineUp(int64_t from, int64_t to) {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 && (from - to) % page == 0;
}

// `length` bytes from `from` in the movie to `position`, where the copy now stands.
static int copyBytes(CopyContext* ctx, int64_t from, uint64_t length, int64_t position) {
    errno = 0;
    int status = kCopyUseBuffer;
    if (length > ctx->bufferSize && pagesLineUp(from, position))
        status = copyInKernel(ctx, from, length, position);
    if (status == kCopyUseBuffer) status = copyThroughBuffer(ctx, from, length);
    if (status != 0) ctx->error = lastCause();
    return status;
}

static int copyLeaf(CopyContext* ctx, AtomInfo* atom, int64_t position) {
    if (!atom->toFileEnd) return copyBytes(ctx, atom->offset, atom->size, position);
    const int64_t content = atom->offset + atom->headerSize;
    const uint64_t contentSize = atom->size - atom->headerSize;
    errno = 0;
    if (writeHeader(ctx, atom) != 0) {
        ctx->error = lastCause();
        return kAtomErr;
    }
    return copyBytes(ctx, content, contentSize, position + atom->headerSize);
}

void foreach_copyatoms(HireList* node, void* context) {
    CopyContext* ctx = static_cast<CopyContext*>(context);
    AtomInfo* atom = static_cast<AtomInfo*>(node);
    if (ctx->status != 0 || !atom->parent) return;

    errno = 0;
    const int64_t position = ftello(ctx->out);
    if (position < 0) {
        ctx->status = kAtomErr;
        ctx->error = lastCause();
        return;
    }
    int status;
    if (atom == ctx->skipAtom) {
        status = 0;  // written after the walk, at the end
    } else if (atom->child) {
        status = writeHeader(ctx, atom);  // the children follow in the walk
        if (status != 0) ctx->error = lastCause();
    } else if (memcmp(atom->type, "stco", 4) == 0) {
        status = copyOffsetTable(ctx, atom, 4);
    } else if (memcmp(atom->type, "co64", 4) == 0) {
        status = copyOffsetTable(ctx, atom, 8);
    } else {
        status = copyLeaf(ctx, atom, position);
    }

    ctx->status = status;
    // The tree now describes the new file, which later tables and write_uuid rely on.
    if (status == 0) atom->offset = position;
}
