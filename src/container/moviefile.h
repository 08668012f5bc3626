// SPDX-License-Identifier: GPL-3.0-or-later
// moviefile.h - opening movie files for the engine (regular files only, never blocking, read-only
// unless a change is made), and the causes that failed calls on them stand for.
#pragma once

#include <cstdio>

#include "container/movieerror.h"

enum class MovieAccess { read, write };

// A stream on the movie at `path`, or null with the cause in *why. Anything but a regular file is
// refused before it is opened for real, so that a pipe or a device named like a movie never
// blocks the caller.
[[nodiscard]] FILE* OpenMovieStream(const char* path, MovieAccess access, MovieError* why);
// none when `path` names a regular file that may be read, else the cause: for the readers outside
// the engine (the thumbnail decoder), which would block on a pipe.
[[nodiscard]] MovieError CheckMovieFile(const char* path);
// The cause behind the errno of a failed read, write, sync or creation.
MovieError MovieErrorFromErrno(int err);
