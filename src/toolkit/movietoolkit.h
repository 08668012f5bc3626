// SPDX-License-Identifier: GPL-3.0-or-later
// movietoolkit.h - the movie toolkit: open a movie, its box and times, the frame shown at a time.
//
// A movie is its first video stream. Movie time counts in the movie's time scale from 0 at the
// first frame; the picture at a time is the frame a player shows at that time, decoded exactly.
#pragma once

#include <cstdint>

#include <QImage>

// A missing decoder for the movie's video coding.
inline constexpr int16_t kQtCodecErr = -8971;
// The file is no movie, or holds no video stream.
inline constexpr int16_t kInvalidMovie = -2010;
// A frame could not be decoded.
inline constexpr int16_t kCodecBadDataErr = -8969;

// The movie toolkit's version as the version query reports it: the top byte is the major version.
inline constexpr int32_t kMovieToolkitVersion = 0x07008000;

struct MovieRecord;
using Movie = MovieRecord*;
using TimeValue = int64_t;
using TimeScale = int32_t;

struct MovieBox {
    int16_t top = 0;
    int16_t left = 0;
    int16_t bottom = 0;
    int16_t right = 0;
};

// Starts the movie toolkit and makes the version query report it; 0 or a negative status.
[[nodiscard]] int16_t EnterMovies();
void ExitMovies();

// Opens the movie file at the path for reading. 0, kQtCodecErr when no decoder knows its video,
// or another negative status (-43 missing file, kInvalidMovie ...). *movie is null on failure.
[[nodiscard]] int16_t OpenMovie(const char* path, Movie* movie);
void DisposeMovie(Movie movie);

// The display size from 0,0: the coded width stretched by the sample aspect ratio.
MovieBox GetMovieBox(Movie movie);
TimeScale GetMovieTimeScale(Movie movie);
TimeValue GetMovieDuration(Movie movie);
TimeValue GetMovieTime(Movie movie);
// Times before 0 or after the duration are pinned to the movie.
void SetMovieTimeValue(Movie movie, TimeValue time);

// The frame shown at the current time, RGB at the display size. 0 or a negative status, with
// *picture left as it was.
[[nodiscard]] int16_t GetMoviePict(Movie movie, QImage* picture);
