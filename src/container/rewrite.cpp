// SPDX-License-Identifier: GPL-3.0-or-later
// rewrite.cpp - stores an edited user-metadata atom in place, or through one copy of the movie.
#include "container/rewrite.h"

#include <fcntl.h>
#include <libgen.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "container/list.h"
#include "container/moviefile.h"

static const char kTempAlphabet[] =
    "_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
static constexpr int kTempAlphabetSize = 63;
static constexpr int kTempRandomChars = 8;

// copyInKernel's answer when the kernel cannot copy between these files at all.
static constexpr int kCopyUseBuffer = 1;

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

// The cause of the call that just failed. Calls that fail without setting errno (a short read
// at the end of the file) leave it 0: the file changed under the rewrite.
static MovieError lastCause() {
    return errno != 0 ? MovieErrorFromErrno(errno) : MovieError::ioError;
}

static int failWith(MovieError* why, MovieError cause, int status = kAtomErr) {
    *why = cause;
    return status;
}

static void writeBE(unsigned char* p, int width, uint64_t v);
static bool writeAll(int fd, const unsigned char* data, size_t size, int64_t at);
static bool readAll(int fd, unsigned char* data, size_t size, int64_t at);

// The size field of "moov" as it stands once the metadata atom that ends it ends at `end`, in
// the form it has (32 or 64 bits), into `field`; its length, 0 for a "moov" that runs to the end
// of the file and still does, -1 when 32 bits cannot hold it.
static int moovSizeField(const AtomInfo* moov, int64_t end, unsigned char* field, int64_t* at) {
    if (moov->toFileEnd) return 0;
    const uint64_t size = uint64_t(end - moov->offset);
    if (moov->headerSize == 16) {
        *at = moov->offset + 8;
        writeBE(field, 8, size);
        return 8;
    }
    if (size > UINT32_MAX) return -1;
    *at = moov->offset;
    writeBE(field, 4, size);
    return 4;
}

// A descriptor of its own on the open file `fd`, opened anew rather than duplicated. fusefat
// misplaces a write that goes back to an earlier offset in the cluster where the last read or
// write through the same descriptor ended: the bytes land past the end of the file and the file
// keeps its old ones. So every descriptor that writes here writes front to back. -1 with errno
// set; without /proc, a duplicate, whose writes the read-back still checks.
static int reopenFile(int fd, int flags) {
    char self[64];
    snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    const int fresh = open(self, flags | O_CLOEXEC);
    return fresh < 0 && errno == ENOENT ? fcntl(fd, F_DUPFD_CLOEXEC, 0) : fresh;
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

// Whether the file now holds `size` bytes at `at` as they were written, read through a
// descriptor of its own: a file system that reports success for writes it misplaced must not
// make a damaged movie look retitled.
static bool holds(int fd, const unsigned char* bytes, size_t size, int64_t at) {
    if (size == 0) return true;
    Malloced<unsigned char> back(static_cast<unsigned char*>(malloc(size)));
    if (!back) return false;
    errno = 0;
    if (!readAll(fd, back.get(), size, at)) return false;
    if (memcmp(back.get(), bytes, size) == 0) return true;
    errno = 0;  // the cause then is the file system's, reported as an I/O error
    return false;
}

int rewriteUuid(FILE* stream, const char*, MovieInfo* info, UuidInfo* uuid, MovieError* why) {
    // The file that was parsed, not the path, is written, truncated and synced.
    const int64_t oldLength = info->fileLength;
    // Both sizes come from the bytes of the atom as it is written.
    size_t atomSize = 0;
    Malloced<unsigned char> atom(uuidBytes(uuid, &atomSize));
    if (!atom) return failWith(why, MovieError::noMemory);
    const int64_t atomAt = uuid->atom->offset;
    const int64_t newLength = atomAt + int64_t(atomSize);
    unsigned char moovField[8];
    int64_t moovFieldAt = 0;
    const int moovFieldSize = moovSizeField(info->moov, newLength, moovField, &moovFieldAt);
    if (moovFieldSize < 0) return failWith(why, MovieError::titleTooLong);
    errno = 0;

    // A longer atom must find its room before the first byte changes: a disk that fills up
    // halfway through would leave a movie whose sizes no longer match its content.
    // Where the file system cannot reserve room, the C library writes at the new end, so this
    // goes through a descriptor of its own: the writes below go back before that end.
    if (newLength > oldLength) {
        FdCloser room{reopenFile(fileno(stream), O_WRONLY)};
        if (room.fd < 0) return failWith(why, lastCause());
        if (const int err = posix_fallocate(room.fd, oldLength, newLength - oldLength); err != 0) {
            // Undo an extension the failed call may already have made.
            [[maybe_unused]] int undone = ftruncate(room.fd, oldLength);
            return failWith(why, MovieErrorFromErrno(err));
        }
    }
    // The stream has read the end of the file: the writes go through a descriptor that has not.
    FdCloser out{reopenFile(fileno(stream), O_WRONLY)};
    if (out.fd < 0) return failWith(why, lastCause());

    // "moov" first, so that the file is written front to back.
    if (!writeAll(out.fd, moovField, size_t(moovFieldSize), moovFieldAt) ||
        !writeAll(out.fd, atom.get(), atomSize, atomAt))
        return failWith(why, lastCause());
    if (newLength < oldLength) {
        // A shorter title leaves the old atom's last bytes behind; a failure here still leaves
        // the new title readable, so it is not reported.
        [[maybe_unused]] int truncated = ftruncate(out.fd, newLength);
    }
    if (fsync(out.fd) != 0) return failWith(why, lastCause());

    FdCloser check{reopenFile(out.fd, O_RDONLY)};
    if (check.fd < 0 || !holds(check.fd, moovField, size_t(moovFieldSize), moovFieldAt) ||
        !holds(check.fd, atom.get(), atomSize, atomAt))
        return failWith(why, lastCause());
    return 0;
}

// A refusal to create a file beside the movie is the folder's, not the movie's.
static MovieError folderCause(int err) {
    return err == EACCES || err == EPERM ? MovieError::folderNotWritable : MovieErrorFromErrno(err);
}

// The copy being written beside the movie: unnamed (O_TMPFILE) where the file system allows,
// so that a crash leaves nothing behind, else under a random name. Whatever is left of it when
// it goes out of scope, its stream, its descriptor and a name that did not replace the movie,
// goes with it.
struct TempCopy {
    int fd = -1;
    FILE* out = nullptr;  // owns fd once opened
    char* folder = nullptr;
    char* name = nullptr;  // the name it has, once it has one
    bool replacedMovie = false;

    TempCopy() = default;
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    ~TempCopy() {
        if (out)
            fclose(out);
        else if (fd >= 0)
            close(fd);
        if (name && !replacedMovie) unlink(name);
        free(folder);
        free(name);
    }
    // Closes the stream, reporting what writing out its last buffer met.
    bool closeStream() {
        FILE* stream = out;
        out = nullptr;
        fd = -1;
        return fclose(stream) == 0;
    }
};

struct StreamCloser {
    void operator()(FILE* stream) const { fclose(stream); }
};

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
    return 0;
}

static bool writeAll(int fd, const unsigned char* data, size_t size, int64_t at) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
        at += n;
    }
    return true;
}

// Fills the buffer with `size` bytes from `at`; a file that ends first changed under the copy.
static bool readAll(int fd, unsigned char* data, size_t size, int64_t at) {
    while (size > 0) {
        const ssize_t n = pread(fd, data, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = 0;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
        at += n;
    }
    return true;
}

// A descriptor that reads the movie past the page cache, for copies of several buffers; -1
// where the file system cannot.
static int openDirect(int fd) {
    char self[64];
    snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return open(self, O_RDONLY | O_DIRECT | O_CLOEXEC);
}

// Whether most of the piece is in the page cache already, asked through a mapping, which unlike
// a read starts no reading ahead. A read past the cache would first write back and drop those
// pages and then read them from the disk again.
static bool mostlyCached(int fd, size_t piece, int64_t from) {
    constexpr size_t kMostPages = kCopyBufferSize / kCopyPageSize;
    const size_t pages = piece / size_t(kCopyPageSize);
    if (pages == 0 || pages > kMostPages) return false;
    void* map = mmap(nullptr, piece, PROT_READ, MAP_SHARED, fd, off_t(from));
    if (map == MAP_FAILED) return false;
    unsigned char resident[kMostPages];
    size_t cached = 0;
    if (mincore(map, piece, resident) == 0)
        for (size_t i = 0; i < pages; ++i) cached += resident[i] & 1;
    munmap(map, piece);
    return cached * 2 > pages;
}

// Whether most of a long range is in the page cache, as mostlyCached asks for a piece.
static bool rangeMostlyCached(int fd, int64_t from, uint64_t length) {
    const int64_t first = from - from % kCopyPageSize;
    const size_t span = size_t(uint64_t(from - first) + length);
    void* map = mmap(nullptr, span, PROT_READ, MAP_SHARED, fd, off_t(first));
    if (map == MAP_FAILED) return false;
    std::vector<unsigned char> resident((span + size_t(kCopyPageSize) - 1) / size_t(kCopyPageSize));
    size_t cached = 0;
    if (mincore(map, span, resident.data()) == 0)
        for (unsigned char page : resident) cached += page & 1;
    munmap(map, span);
    return cached * 2 > resident.size();
}

// One piece of the movie into the buffer: on page boundaries, past the page cache when `direct`
// allows and the cache does not hold the piece already. The disk then writes into the buffer
// itself, which spares the kernel a copy of every page, and the old movie leaves no pages
// behind for the rename to drop. A direct read the file system refuses closes `direct`.
static bool readPiece(int in, int* direct, unsigned char* buffer, size_t piece, int64_t from) {
    if (*direct < 0 || from % kCopyPageSize != 0 || piece % kCopyPageSize != 0 ||
        mostlyCached(in, piece, from))
        return readAll(in, buffer, piece, from);
    if (readAll(*direct, buffer, piece, from)) return true;
    if (errno != EINVAL) return false;
    close(*direct);
    *direct = -1;
    return readAll(in, buffer, piece, from);
}

// The reads of a long copy past the page cache run on a thread of their own, a few buffers
// ahead of the writes: the disk then reads the movie while the copy's pages go out to it, where
// one thread would leave it idle in turn during each read and each write.
inline constexpr int kCopySlots = 3;

struct ReadAhead {
    struct Slot {
        unsigned char* buffer = nullptr;
        size_t size = 0;
        bool full = false;
        int err = 0;  // the read's errno when it failed (0 for a file that ended first)
        bool failed = false;
    };
    Slot slots[kCopySlots];
    std::mutex lock;
    std::condition_variable changed;
    bool stop = false;  // the writes failed: the reads end too

    ~ReadAhead() {
        for (Slot& slot : slots) free(slot.buffer);
    }
    bool allocate(size_t size) {
        for (Slot& slot : slots) {
            void* p = nullptr;
            if (posix_memalign(&p, kCopyPageSize, size) != 0) return false;
            slot.buffer = static_cast<unsigned char*>(p);
        }
        return true;
    }
};

// Reads `length` bytes from `from` into the slots in turn, each piece as `firstPiece` and then
// `step` long; ends at the first failure, which the slot it was meant for carries.
static void readAheadLoop(ReadAhead* ra, int in, int direct, int64_t from, uint64_t length,
                          size_t firstPiece, size_t step) {
    size_t piece = firstPiece;
    for (int i = 0; length > 0; i = (i + 1) % kCopySlots) {
        ReadAhead::Slot& slot = ra->slots[i];
        {
            std::unique_lock<std::mutex> hold(ra->lock);
            ra->changed.wait(hold, [&] { return !slot.full || ra->stop; });
            if (ra->stop) break;
        }
        errno = 0;
        const bool ok = readPiece(in, &direct, slot.buffer, piece, from);
        const int err = errno;
        {
            std::lock_guard<std::mutex> hold(ra->lock);
            slot.size = piece;
            slot.failed = !ok;
            slot.err = err;
            slot.full = true;
        }
        ra->changed.notify_all();
        if (!ok) break;
        from += int64_t(piece);
        length -= piece;
        piece = size_t(std::min<uint64_t>(length, step));
    }
    if (direct >= 0) close(direct);
}

// The copy's pages from `at` on are handed to the disk now rather than all at the final fsync,
// which then has little left to wait for.
static void startWriteback(int out, int64_t at, size_t size) {
    [[maybe_unused]] int started = sync_file_range(out, at, off_t(size), SYNC_FILE_RANGE_WRITE);
}

// A long copy between files with the reads past the page cache: the reads on a thread of their
// own, the writes here, each handed to the disk at once. 0, kAtomErr with errno set, or
// kCopyUseBuffer when there is no memory or thread for it and nothing was copied.
static int copyReadingAhead(int in, int direct, int out, int64_t from, uint64_t length,
                            int64_t position, size_t firstPiece, size_t step) {
    ReadAhead ra;
    if (!ra.allocate(step)) return kCopyUseBuffer;
    std::thread reader;
    try {
        reader = std::thread(readAheadLoop, &ra, in, direct, from, length, firstPiece, step);
    } catch (...) {
        return kCopyUseBuffer;
    }
    int status = 0;
    int err = 0;
    for (int i = 0; length > 0 && status == 0; i = (i + 1) % kCopySlots) {
        ReadAhead::Slot& slot = ra.slots[i];
        {
            std::unique_lock<std::mutex> hold(ra.lock);
            ra.changed.wait(hold, [&] { return slot.full; });
        }
        if (slot.failed) {
            status = kAtomErr;
            err = slot.err;
            break;
        }
        if (!writeAll(out, slot.buffer, slot.size, position)) {
            status = kAtomErr;
            err = errno;
            break;
        }
        startWriteback(out, position, slot.size);
        position += int64_t(slot.size);
        length -= slot.size;
        {
            std::lock_guard<std::mutex> hold(ra.lock);
            slot.full = false;
        }
        ra.changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> hold(ra.lock);
        ra.stop = true;
    }
    ra.changed.notify_all();
    reader.join();
    errno = err;
    return status;
}

// Through the buffer, a whole buffer a call. After the first piece every read starts on a page
// of the movie, so that each page is read once; a read that starts inside a page makes the
// kernel copy that page twice, and stdio split every buffer into two reads and two writes.
static int copyThroughBuffer(CopyContext* ctx, int64_t from, uint64_t length, int64_t position) {
    const int in = fileno(ctx->in);
    const int out = ctx->out == ctx->file ? fileno(ctx->out) : -1;  // -1: into memory
    int direct = out >= 0 && length >= 2 * uint64_t(ctx->bufferSize) ? openDirect(in) : -1;
    // Through the page cache, pieces that stay in the processor's cache between the read and
    // the write; past it, the whole buffer, which the disk fills at once.
    const size_t step = direct >= 0 ? ctx->bufferSize : std::min(ctx->bufferSize, kCopyCachedPiece);
    // Past the cache, the bytes before the first page boundary are read through it alone: a
    // longer read there, with the reading ahead it starts, would bring the next pieces into the
    // cache, and the reads would stay there for the rest of the copy.
    const size_t lead = size_t(from % kCopyPageSize);
    if (direct < 0 && length > ctx->bufferSize)
        posix_fadvise(in, from, off_t(length), POSIX_FADV_SEQUENTIAL);
    uint64_t left = length;
    size_t piece = size_t(std::min<uint64_t>(
        left, direct >= 0 && lead != 0 ? size_t(kCopyPageSize) - lead : step - lead));
    if (direct >= 0) {
        const int status = copyReadingAhead(in, direct, out, from, length, position, piece, step);
        if (status != kCopyUseBuffer) return status;  // the reading thread closed `direct`
    }
    int status = 0;
    while (left > 0) {
        if (!readPiece(in, &direct, ctx->buffer, piece, from) ||
            (out < 0 ? fwrite(ctx->buffer, 1, piece, ctx->out) != piece
                     : !writeAll(out, ctx->buffer, piece, position))) {
            status = kAtomErr;
            break;
        }
        from += int64_t(piece);
        position += int64_t(piece);
        left -= piece;
        piece = size_t(std::min<uint64_t>(left, step));
    }
    if (direct >= 0) {
        const int err = errno;
        close(direct);
        errno = err;
    }
    return status;
}

// The kernel copies whole pages well; between offsets that differ within a page it writes every
// page in two parts, which on ext4 made a 1 GiB copy from the disk a sixth slower than the
// buffer loop. From the page cache it still wins: one copy of each byte, where the buffer loop
// makes two (1.1 s against 1.9 s for 1 GiB and its fsync on ext4).
static bool pagesLineUp(int64_t from, int64_t to) {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 && (from - to) % page == 0;
}

// `length` bytes from `from` in the movie to `position`, where the copy now stands; the copy's
// stream stands after them on success.
static int copyBytes(CopyContext* ctx, int64_t from, uint64_t length, int64_t position) {
    errno = 0;
    const bool toFile = ctx->out == ctx->file;
    if (toFile && fflush(ctx->out) != 0) {
        ctx->error = lastCause();
        return kAtomErr;
    }
    int status = kCopyUseBuffer;
    if (toFile && length > ctx->bufferSize &&
        (pagesLineUp(from, position) || rangeMostlyCached(fileno(ctx->in), from, length))) {
        posix_fadvise(fileno(ctx->in), from, off_t(length), POSIX_FADV_SEQUENTIAL);
        status = copyInKernel(ctx, from, length, position);
    }
    if (status == kCopyUseBuffer) status = copyThroughBuffer(ctx, from, length, position);
    if (status == 0 && toFile && fseeko(ctx->out, position + int64_t(length), SEEK_SET) != 0)
        status = kAtomErr;
    if (status != 0) ctx->error = lastCause();
    return status;
}

// Where in the copy the next byte written goes; -1 with the cause in ctx->error.
static int64_t positionOf(CopyContext* ctx) {
    errno = 0;
    const int64_t at = ftello(ctx->out);
    if (at < 0) ctx->error = lastCause();
    return at < 0 ? -1 : ctx->base + at;
}

// The size field of a container: the bytes from its start to `end`, where the copy stands,
// which it stands at again afterwards. Containers are assembled in memory, since fusefat
// misplaces a write that goes back into what was just written.
static int patchSize(CopyContext* ctx, AtomInfo* atom, int64_t end) {
    const uint64_t size = uint64_t(end - atom->offset);
    if (atom->headerSize != 16 && size > UINT32_MAX) {
        ctx->error = MovieError::titleTooLong;  // only a grown "moov" can outgrow its field
        return kAtomErr;
    }
    errno = 0;
    const int written = atom->headerSize == 16
                            ? (fseeko(ctx->out, atom->offset - ctx->base + 8, SEEK_SET) == 0
                                   ? PutUINT64(ctx->out, size)
                                   : kAtomErr)
                            : (fseeko(ctx->out, atom->offset - ctx->base, SEEK_SET) == 0
                                   ? PutUINT32(ctx->out, uint32_t(size))
                                   : kAtomErr);
    if (written != 0 || fseeko(ctx->out, end - ctx->base, SEEK_SET) != 0) {
        ctx->error = lastCause();
        return kAtomErr;
    }
    atom->size = size;
    return 0;
}

// One atom that is copied whole, at `position`: the metadata atom as edited, a chunk-offset
// table with its offsets moved, or any other atom's bytes.
static int copyOne(CopyContext* ctx, UuidInfo* uuid, AtomInfo* atom, int64_t position) {
    errno = 0;
    if (atom == ctx->skipAtom) {
        size_t size = 0;
        Malloced<unsigned char> bytes(uuidBytes(uuid, &size));
        if (!bytes) {
            ctx->error = MovieError::noMemory;
            return kAtomErr;
        }
        if (fwrite(bytes.get(), 1, size, ctx->out) == size) return 0;
        ctx->error = lastCause();
        return kAtomErr;
    }
    if (memcmp(atom->type, "stco", 4) == 0) return copyOffsetTable(ctx, atom, 4);
    if (memcmp(atom->type, "co64", 4) == 0) return copyOffsetTable(ctx, atom, 8);
    if (!atom->toFileEnd) return copyBytes(ctx, atom->offset, atom->size, position);
    // The header, now with the size of the content that follows it, then that content.
    const int64_t content = atom->offset + atom->headerSize;
    const uint64_t contentSize = atom->size - atom->headerSize;
    if (writeHeader(ctx, atom) != 0) {
        ctx->error = lastCause();
        return kAtomErr;
    }
    return copyBytes(ctx, content, contentSize, position + atom->headerSize);
}

// How many bytes before the first "mdat" make its content move by whole pages, when that
// content is long enough for the kernel to copy it: from the page cache the kernel copies whole
// pages in a third less time than pages it must write in two parts. 0 when it moves so already,
// or is short. `at` is where the "mdat" header would go.
static uint32_t mediaAlignment(const CopyContext* ctx, int64_t at) {
    const MdatMove& first = ctx->mdats[0];
    const AtomInfo* mdat = first.atom;
    if (mdat->size < first.oldHeaderSize || mdat->size - first.oldHeaderSize <= ctx->bufferSize)
        return 0;
    const int64_t header = mdat->toFileEnd && mdat->size > UINT32_MAX ? 16 : mdat->headerSize;
    const int64_t moved = (first.oldOffset + first.oldHeaderSize) - (at + header);
    return uint32_t((moved % kCopyPageSize + kCopyPageSize) % kCopyPageSize);
}

static bool writeZeros(FILE* out, uint64_t count) {
    static const unsigned char zeros[4096] = {};
    while (count > 0) {
        const size_t piece = size_t(std::min<uint64_t>(count, sizeof zeros));
        if (fwrite(zeros, 1, piece, out) != piece) return false;
        count -= piece;
    }
    return true;
}

// Room before the first "mdat" that moves its content by whole pages: the "free" atom already
// there grown (ffmpeg writes one of 8 bytes before the media data), or else a "free" atom of at
// least 8 bytes put there. Players skip "free" atoms wherever they stand. `atom` is the top-level
// atom about to be copied at `position`; *done when it has been written here.
static int alignMediaData(CopyContext* ctx, AtomInfo* atom, int64_t position, bool* done) {
    *done = false;
    if (ctx->mdatCount == 0 || ctx->mediaAligned) return 0;
    AtomInfo* mdat = ctx->mdats[0].atom;
    const bool isFree = memcmp(atom->type, "free", 4) == 0 || memcmp(atom->type, "skip", 4) == 0;
    if (isFree && atom->next == mdat && !atom->toFileEnd && atom->headerSize == 8) {
        ctx->mediaAligned = true;
        const uint32_t pad = mediaAlignment(ctx, position + int64_t(atom->size));
        if (pad == 0 || atom->size + pad > UINT32_MAX) return 0;
        const AtomHeader header{uint32_t(atom->size + pad),
                                {atom->type[0], atom->type[1], atom->type[2], atom->type[3]}};
        errno = 0;
        if (PutAtomHeader(ctx->out, &header) != 0 ||
            copyBytes(ctx, atom->offset + 8, atom->size - 8, position + 8) != 0 ||
            !writeZeros(ctx->out, pad)) {
            if (ctx->error == MovieError::none) ctx->error = lastCause();
            return kAtomErr;
        }
        atom->size += pad;
        atom->offset = position;
        *done = true;
        return 0;
    }
    if (atom != mdat) return 0;
    ctx->mediaAligned = true;
    uint32_t pad = mediaAlignment(ctx, position);
    if (pad == 0) return 0;
    if (pad < 8) pad += uint32_t(kCopyPageSize);
    const AtomHeader header{pad, {'f', 'r', 'e', 'e'}};
    errno = 0;
    if (PutAtomHeader(ctx->out, &header) != 0 || !writeZeros(ctx->out, pad - 8)) {
        ctx->error = lastCause();
        return kAtomErr;
    }
    return 0;
}

// Writes the bytes assembled in memory for a top-level container into the copy.
static int flushAssembled(CopyContext* ctx, FILE* memory, char** bytes, size_t* size) {
    errno = 0;
    const bool closed = fclose(memory) == 0;
    ctx->out = ctx->file;
    ctx->base = 0;
    const bool written = closed && fwrite(*bytes, 1, *size, ctx->file) == *size;
    free(*bytes);
    *bytes = nullptr;
    if (written) return 0;
    ctx->error = closed ? lastCause() : MovieError::noMemory;
    return kAtomErr;
}

// Writes the tree below `root` in its order into the copy. A container's header goes first and
// its size is written once its children are, from the bytes they took; a top-level container
// is assembled in memory for that and then written. The walk climbs back through the parent
// links rather than recursing, so that nesting depth costs no stack. Every atom's offset and
// size then describe the copy, which later tables rely on.
static int copyTree(CopyContext* ctx, UuidInfo* uuid, AtomInfo* root) {
    char* assembled = nullptr;
    size_t assembledSize = 0;
    FILE* memory = nullptr;
    int status = 0;
    AtomInfo* atom = static_cast<AtomInfo*>(root->child);
    while (atom && status == 0) {
        const int64_t position = positionOf(ctx);
        if (position < 0) {
            status = kAtomErr;
            break;
        }
        if (atom->child && atom != ctx->skipAtom) {
            if (atom->parent == root) {
                if (fflush(ctx->file) != 0 ||
                    !(memory = open_memstream(&assembled, &assembledSize))) {
                    ctx->error = errno != 0 ? lastCause() : MovieError::noMemory;
                    status = kAtomErr;
                    break;
                }
                ctx->out = memory;
                ctx->base = position;
            }
            errno = 0;
            if (writeHeader(ctx, atom) != 0) {
                ctx->error = lastCause();
                status = kAtomErr;
                break;
            }
            atom->offset = position;
            atom = static_cast<AtomInfo*>(atom->child);
            continue;
        }
        bool aligned = false;
        if (atom->parent == root) status = alignMediaData(ctx, atom, position, &aligned);
        if (status != 0) break;
        if (!aligned) {
            // After the room that the media data's alignment may have put before it.
            const int64_t at = atom->parent == root ? positionOf(ctx) : position;
            status = at < 0 ? kAtomErr : copyOne(ctx, uuid, atom, at);
            if (status != 0) break;
            atom->offset = at;
        }
        // Each container this atom ended is complete now.
        while (status == 0 && !atom->next && atom->parent != root) {
            atom = static_cast<AtomInfo*>(atom->parent);
            const int64_t end = positionOf(ctx);
            status = end < 0 ? kAtomErr : patchSize(ctx, atom, end);
            if (status == 0 && atom->parent == root) {
                status = flushAssembled(ctx, memory, &assembled, &assembledSize);
                memory = nullptr;
            }
        }
        atom = static_cast<AtomInfo*>(atom->next);
    }
    if (memory) {
        fclose(memory);
        ctx->out = ctx->file;
    }
    free(assembled);
    return status;
}

// Writes the movie in its new order into the copy's stream; 0 or kAtomErr with the cause in
// ctx->error.
static int writeCopy(CopyContext* ctx, MovieInfo* info, UuidInfo* uuid) {
    void* buffer = nullptr;
    Malloced<unsigned char> copyBuffer(posix_memalign(&buffer, kCopyPageSize, kCopyBufferSize) == 0
                                           ? static_cast<unsigned char*>(buffer)
                                           : nullptr);
    Malloced<MdatMove> mdats(collectMdats(info, &ctx->mdatCount));
    if (!copyBuffer || !mdats) {
        ctx->error = MovieError::noMemory;
        return kAtomErr;
    }
    ctx->buffer = copyBuffer.get();
    ctx->bufferSize = kCopyBufferSize;
    ctx->mdats = mdats.get();
    const int status = copyTree(ctx, uuid, info->root);
    ctx->buffer = nullptr;
    ctx->mdats = nullptr;
    return status;
}

int reorderAtoms(FILE* stream, MovieInfo* info, UuidInfo* uuid, const char* path, MovieError* why) {
    // Closed on every way out; before the rename on success.
    std::unique_ptr<FILE, StreamCloser> movie(stream);
    // The new order: moov behind every other top-level atom, the metadata atom last in moov,
    // so that it ends the file and every later title change can be made in place.
    DetachHireList(info->moov);
    AttachHireListToChildTail(info->moov, info->root);
    DetachHireList(uuid->atom);
    AttachHireListToChildTail(uuid->atom, info->moov);

    // The copy replaces the file itself: through a symbolic link, the rename must land on the
    // link's target, in the target's folder, or the link would become a stale copy.
    struct stat movieStat;
    errno = 0;
    Malloced<char> moviePath(realpath(path, nullptr));
    if (!moviePath || fstat(fileno(stream), &movieStat) != 0) return failWith(why, lastCause());
    TempCopy copy;
    if (!createTempCopy(moviePath.get(), &copy)) return failWith(why, folderCause(errno));
    // Write-only: a stream that may also read refills its buffer from the file on a seek, and
    // fusefat answers such a read with stale bytes; the metadata atom came out corrupt.
    copy.out = fdopen(copy.fd, "wb");
    if (!copy.out) return failWith(why, MovieError::noMemory);

    CopyContext ctx{};
    ctx.out = copy.out;
    ctx.file = copy.out;
    ctx.in = stream;
    ctx.skipAtom = uuid->atom;
    if (writeCopy(&ctx, info, uuid) != 0) return failWith(why, ctx.error);

    // The copy must be complete on disk, with the movie's owner and permissions, before it gets
    // a name and replaces the movie. Only root may give a file away, so a failed chown is not an
    // error; it comes first because it clears the set-ID bits that the chmod then restores.
    errno = 0;
    [[maybe_unused]] int owned = fchown(copy.fd, movieStat.st_uid, movieStat.st_gid);
    if (fflush(copy.out) != 0 || !copyMode(copy.fd, movieStat.st_mode) || fsync(copy.fd) != 0)
        return failWith(why, lastCause());
    if (!nameTempCopy(&copy)) return failWith(why, folderCause(errno));
    if (!copy.closeStream()) return failWith(why, lastCause());
    movie.reset();

    if (rename(copy.name, moviePath.get()) != 0) return failWith(why, folderCause(errno), -1);
    copy.replacedMovie = true;
    syncFolderOf(moviePath.get());
    return 0;
}
