// SPDX-License-Identifier: GPL-3.0-or-later
// moviefile.cpp - opens movie files for the engine and names the causes of failures.
#include "container/moviefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

const char* MovieErrorText(MovieError error) {
    switch (error) {
        case MovieError::none:
            return "";
        case MovieError::noSuchFile:
            return "no such file";
        case MovieError::notRegularFile:
            return "not a regular file";
        case MovieError::permissionDenied:
            return "permission denied";
        case MovieError::readOnlyFile:
            return "the file is read-only";
        case MovieError::readOnlyVolume:
            return "the disk is read-only";
        case MovieError::folderNotWritable:
            return "the movie's folder is not writable";
        case MovieError::noRoom:
            return "no room on the disk";
        case MovieError::notAMovie:
            return "not an MP4 movie";
        case MovieError::noMetadata:
            return "no PSP metadata";
        case MovieError::noTitle:
            return "no title";
        case MovieError::damaged:
            return "the movie's structure is damaged; it was not changed";
        case MovieError::titleTooLong:
            return "the title is too long";
        case MovieError::invalidTitle:
            return "the title is not valid UTF-8";
        case MovieError::noMemory:
            return "not enough memory";
        case MovieError::ioError:
            return "the file could not be read or written";
    }
    return "the file could not be read or written";
}

MovieError MovieErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return MovieError::none;
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return MovieError::noSuchFile;
        case EISDIR:
            return MovieError::notRegularFile;
        case EACCES:
        case EPERM:
            return MovieError::permissionDenied;
        case EROFS:
            return MovieError::readOnlyVolume;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return MovieError::noRoom;
        case ENOMEM:
            return MovieError::noMemory;
        default:
            return MovieError::ioError;
    }
}

// Why the movie could not be opened. A refusal to write a file that may be read is the file's
// own protection (its mode, or an immutable attribute), which the user can change.
static MovieError OpenFailure(const char* path, int err, MovieAccess access) {
    if (access == MovieAccess::write && (err == EACCES || err == EPERM) &&
        faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) == 0)
        return MovieError::readOnlyFile;
    return MovieErrorFromErrno(err);
}

MovieError CheckMovieFile(const char* path) {
    struct stat st;
    if (!path || stat(path, &st) != 0)
        return path ? MovieErrorFromErrno(errno) : MovieError::noSuchFile;
    if (!S_ISREG(st.st_mode)) return MovieError::notRegularFile;
    if (faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) != 0) return MovieErrorFromErrno(errno);
    return MovieError::none;
}

FILE* OpenMovieStream(const char* path, MovieAccess access, MovieError* why) {
    MovieError ignored;
    if (!why) why = &ignored;
    struct stat st;
    if (!path || stat(path, &st) != 0) {
        *why = path ? MovieErrorFromErrno(errno) : MovieError::noSuchFile;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = MovieError::notRegularFile;
        return nullptr;
    }
    // O_NONBLOCK still matters after the test above: the path may be replaced by a pipe between
    // the two calls.
    const int flags =
        (access == MovieAccess::write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    const int fd = open(path, flags);
    if (fd < 0) {
        *why = OpenFailure(path, errno, access);
        return nullptr;
    }
    FILE* stream = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = MovieError::notRegularFile;
    } else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        *why = MovieErrorFromErrno(errno);
    } else if (!(stream = fdopen(fd, access == MovieAccess::write ? "r+b" : "rb"))) {
        *why = MovieError::noMemory;
    }
    if (!stream) {
        close(fd);
        return nullptr;
    }
    *why = MovieError::none;
    return stream;
}
