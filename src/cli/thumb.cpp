// SPDX-License-Identifier: GPL-3.0-or-later
// thumb.cpp - moviestick-cli's thumbnail command: each movie's ".THM" from one of its frames.
#include "cli/thumb.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QImage>

#include "container/moviefile.h"
#include "thumbnail/thumbnailfile.h"
#include "toolkit/fileref.h"
#include "toolkit/movietoolkit.h"

static int failThumb(const std::string& path, const std::string& why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path.c_str(), why.c_str());
    return kExitFailure;
}

static std::string secondsText(double seconds) {
    char text[64];
    snprintf(text, sizeof text, "%.3g s", seconds);
    return text;
}

static int thumbOne(const std::string& path, const ParsedCommand& parsed) {
    // The decoder would wait forever on a pipe named like a movie.
    if (const MovieError why = CheckMovieFile(path.c_str()); why != MovieError::none)
        return failThumb(path, MovieErrorText(why));
    std::string destination = parsed.value("--output");
    if (destination.empty() && ThumbnailPathForMovie(path, &destination) != 0)
        return failThumb(path, "name too short");

    Movie movie = nullptr;
    int16_t status = OpenMovie(path.c_str(), &movie);
    if (status == kQtCodecErr) return failThumb(path, "no decoder for its video");
    if (status != 0) return failThumb(path, "cannot open as a movie");
    const TimeScale scale = GetMovieTimeScale(movie);
    const TimeValue duration = GetMovieDuration(movie);
    TimeValue time = duration / 10;
    if (parsed.has("--at")) {
        double at = 0;
        (void)ParseSeconds(parsed.value("--at"), &at);
        // No frame is shown at the end or after it; the last one would be a wrong answer.
        if (scale <= 0 || at * scale >= static_cast<double>(duration)) {
            DisposeMovie(movie);
            return failThumb(path, secondsText(at) + " is past the end of the movie (" +
                                       secondsText(scale > 0 ? double(duration) / scale : 0) +
                                       " long)");
        }
        time = static_cast<TimeValue>(std::llround(at * scale));
    }
    SetMovieTimeValue(movie, time);
    QImage frame;
    status = GetMoviePict(movie, &frame);
    DisposeMovie(movie);
    if (status != 0) return failThumb(path, "cannot decode the frame");

    QByteArray jpeg;
    status = CompressThumbnail(DrawThumbnailCanvas(frame), kThumbnailFileSize, &jpeg);
    if (status != 0) return failThumb(path, "cannot compress the thumbnail");
    status = WriteThumbnailData(destination, jpeg);
    if (status != 0) return failThumb(destination, "cannot write the thumbnail");
    return kExitOk;
}

int ThumbCommand(const ParsedCommand& parsed) {
    if (EnterMovies() != 0) {
        for (const std::string& path : parsed.files)
            failThumb(path, "cannot start the movie toolkit");
        return kExitFailure;
    }
    int status = kExitOk;
    for (const std::string& path : parsed.files)
        if (thumbOne(path, parsed) != kExitOk) status = kExitFailure;
    ExitMovies();
    return status;
}
