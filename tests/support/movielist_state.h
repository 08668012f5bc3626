// SPDX-License-Identifier: GPL-3.0-or-later
// movielist_state.h - the movie list's state for tests: reset as at start-up, titles in files.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "container/movie.h"
#include "movielist/movielist.h"

// As at the start of the application: no list, no IDs given out, no stop asked for.
inline void ResetMovieList() {
    DisposeOpenFileInfo();
    delete gOpenFileID;
    gOpenFileID = nullptr;
    lastID = 0;
    gStopOpen = false;
}

// What the file itself holds now, read by the engine.
inline std::optional<std::string> FileTitle(const std::string& path) {
    char* title = GetTitle(path.c_str());
    if (!title) return std::nullopt;
    std::string text = title;
    free(title);
    return text;
}
