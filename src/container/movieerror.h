// SPDX-License-Identifier: GPL-3.0-or-later
// movieerror.h - why a title operation or a movie reader gave up, and those causes in plain words.
#pragma once

enum class MovieError {
    none,
    noSuchFile,
    notRegularFile,     // a folder, a pipe, a device
    permissionDenied,   // the file cannot even be read
    readOnlyFile,       // readable, but its permissions (or attributes) forbid changing it
    readOnlyVolume,     // the file system is mounted read-only
    folderNotWritable,  // the copy that moves the metadata atom cannot be made beside the movie
    noRoom,             // the disk (or the user's quota) is full
    notAMovie,          // no atom tree with "moov" and "mdat"
    noMetadata,         // a movie without the PSP user-metadata atom (reading only)
    noTitle,            // a metadata atom without a title entry (reading only)
    damaged,            // atoms that do not nest, or tables that contradict their sizes
    titleTooLong,       // its UTF-16 form does not fit a 16-bit entry size
    invalidTitle,       // not valid UTF-8
    noMemory,
    ioError,  // any other read or write failure
};

// Short English words for the cause, stable so that translations can key on them; "" for none.
const char* MovieErrorText(MovieError error);
