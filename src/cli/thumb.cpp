// thumb.cpp - moviestick-cli's thumbnail command: the movie's ".THM" from one of its frames.
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

static int failThumb(const char* path, const char* why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path, why);
    return 1;
}

static bool parseSeconds(const char* text, double* seconds) {
    char* end = nullptr;
    *seconds = strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*seconds) && *seconds >= 0;
}

// The thumbnail's path: the movie's folder, and its name with ".THM" in place of its ending.
static int16_t thumbnailPath(const std::string& moviePath, std::string* path) {
    const size_t slash = moviePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : moviePath.substr(0, slash + 1);
    const std::string movieName = moviePath.substr(folder.size());
    HFSUniStr255 name;
    if (const int16_t status = ThumbnailNameForMovie(HFSUniStr255FromUtf8Name(movieName), &name);
        status != 0)
        return status;
    *path = folder + QStringFromHFSUniStr255(name).toStdString();
    return 0;
}

static int16_t frameAt(Movie movie, const char* seconds, QImage* frame) {
    const TimeScale scale = GetMovieTimeScale(movie);
    double at = 0;
    if (seconds && !parseSeconds(seconds, &at)) return kParamErr;
    const TimeValue time =
        seconds ? static_cast<TimeValue>(std::llround(at * scale)) : GetMovieDuration(movie) / 10;
    SetMovieTimeValue(movie, time);
    return GetMoviePict(movie, frame);
}

int MakeThumbnailCommand(const char* path, const char* seconds) {
    double ignored = 0;
    if (seconds && !parseSeconds(seconds, &ignored)) {
        const std::string why = "'" + std::string(seconds) + "' is not a number of seconds";
        return failThumb(path, why.c_str());
    }
    // The decoder would wait forever on a pipe named like a movie.
    if (const MovieError why = CheckMovieFile(path); why != MovieError::none)
        return failThumb(path, MovieErrorText(why));
    std::string destination;
    if (thumbnailPath(path, &destination) != 0) return failThumb(path, "name too short");
    if (EnterMovies() != 0) return failThumb(path, "cannot start the movie toolkit");

    Movie movie = nullptr;
    int16_t status = OpenMovie(path, &movie);
    if (status == kQtCodecErr) return failThumb(path, "no decoder for its video");
    if (status != 0) return failThumb(path, "cannot open as a movie");
    QImage frame;
    status = frameAt(movie, seconds, &frame);
    DisposeMovie(movie);
    ExitMovies();
    if (status != 0) return failThumb(path, "cannot decode the frame");

    QByteArray jpeg;
    status = CompressThumbnail(DrawThumbnailCanvas(frame), kThumbnailFileSize, &jpeg);
    if (status != 0) return failThumb(path, "cannot compress the thumbnail");
    status = WriteThumbnailData(destination, jpeg);
    if (status != 0) return failThumb(destination.c_str(), "cannot write the thumbnail");
    return 0;
}
