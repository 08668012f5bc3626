// SPDX-License-Identifier: GPL-3.0-or-later
// movie.h - the title operations on a movie file by its path, the video kind that decides where a
// movie goes on the PSP, and the one read the movie list makes of a movie.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "container/atom.h"
#include "container/movieerror.h"
#include "container/rewrite.h"
#include "container/uuid.h"

// The movie kinds: which folder of the PSP a movie goes to, and whether it can go at all.
inline constexpr int kMovieKindNone = 0;
inline constexpr int kMovieKindMpeg4 = 2;  // 'mp4v'
inline constexpr int kMovieKindAvc = 3;    // 'avc1'

// A new NUL-terminated UTF-8 title (free() it), or null when the file cannot be read, is not a
// movie, or holds no title. Reading needs no write access.
[[nodiscard]] char* GetTitle(const char* path);
// The same, with the cause of a null answer in *why (none with a title).
[[nodiscard]] char* GetTitleWithCause(const char* path, MovieError* why);
// The four-byte video coding into `out`: that of the profile atom, or without one that of the
// first video track's sample description. `out` keeps its content when neither is known.
void GetMovieType(const char* path, char* out);
// 0 when the title was written or there was nothing to write; 1 when it could not be: the file
// cannot be opened for writing, is not a movie or is damaged, the title is not valid UTF-8 or
// too long, or the rewrite failed. A movie without the user-metadata atom is given one.
[[nodiscard]] int SetTitle(const char* path, const char* title);
// The same, with the cause of a 1 in *why (none otherwise).
[[nodiscard]] int SetTitleWithCause(const char* path, const char* title, MovieError* why);
// Like SetTitle, repairing a badly encoded title; *repaired (optional) is set to 1 when it did.
[[nodiscard]] int FixBadTitle(const char* path, int* repaired);

// What the movie list shows of a movie, from one open and one parse of its file.
struct MovieSummary {
    MovieError error = MovieError::none;  // why it cannot be read as a movie; none when it can
    std::optional<std::string> title;     // UTF-8
    int kind = kMovieKindNone;
    // The video coding as stored ('mp4v', 'avc1', 'hvc1'...), or 'mp2v' and 'mp1v' for MPEG-2
    // and MPEG-1 video under 'mp4v'; four zero bytes when none is known.
    char coding[4] = {0, 0, 0, 0};
    bool hasVideo = false;  // a video track, or a profile atom that names a video coding
};
[[nodiscard]] MovieSummary ReadMovieSummary(const char* path);

// The kind that a four-character video coding gives.
[[nodiscard]] int MovieKindOfCoding(const char* coding);
// A coding in words: "H.265", "AVC", "MPEG-4", "MPEG-2", "AV1", "VP9"..., else its four letters.
[[nodiscard]] std::string VideoCodingName(const char* coding);
// Why the PSP cannot play the movie ("not a PSP video format: H.265", "no video track", or the
// cause's words); "" when its kind is 2 or 3.
[[nodiscard]] std::string MovieSummaryProblem(const MovieSummary& summary);
