// SPDX-License-Identifier: GPL-3.0-or-later
// test_movies.h - real movies made at test time with ffmpeg, whose frames tell their numbers.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QImage>

struct TestMovieOptions {
    std::string codec = "libx264";  // or "mpeg4"
    int frames = 20;
    int fps = 10;
    int width = 160;
    int height = 120;
    std::string sar = "1";  // sample aspect ratio, e.g. "4/3"
    int keyframeInterval = 8;
    std::string extra;  // further encoder options, e.g. "-x265-params log-level=none"
};

// The grey level of frame n: steps far enough apart that lossy coding cannot blur them.
inline int TestFrameGrey(int n) {
    return 8 + n * 8;
}

// Frame n of the movie is a plain grey of TestFrameGrey(n). The movie file is written at path;
// false when ffmpeg failed.
inline bool MakeTestMovie(const std::string& path, const TestMovieOptions& options) {
    const std::string raw = path + ".rgb";
    FILE* out = fopen(raw.c_str(), "wb");
    if (!out) return false;
    std::vector<unsigned char> frame(static_cast<size_t>(options.width) * options.height * 3);
    for (int n = 0; n < options.frames; ++n) {
        std::fill(frame.begin(), frame.end(), static_cast<unsigned char>(TestFrameGrey(n)));
        fwrite(frame.data(), 1, frame.size(), out);
    }
    fclose(out);
    const std::string bframes = options.codec == "mpeg4" ? " -bf 2" : "";
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " +
        std::to_string(options.width) + "x" + std::to_string(options.height) + " -r " +
        std::to_string(options.fps) + " -i '" + raw + "' -vf setsar=" + options.sar + " -c:v " +
        options.codec + bframes + " -g " + std::to_string(options.keyframeInterval) +
        " -pix_fmt yuv420p -q:v 2 " + options.extra + " -f mp4 '" + path + "'";
    const bool made = std::system(command.c_str()) == 0;
    std::remove(raw.c_str());
    return made;
}

// Renames the movie's H.264 coding to a four-character code no decoder knows; false when the
// movie has none.
inline bool HideVideoCoding(const std::string& path) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t at = bytes.find("avc1", bytes.find("stsd"));
    if (at == std::string::npos) return false;
    bytes.replace(at, 4, "zq9x");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return true;
}

// The frame number a decoded picture shows, from the grey at its centre; -1 when it is no
// frame of a test movie.
inline int TestFrameNumber(const QImage& picture) {
    if (picture.isNull()) return -1;
    const int grey = qGray(picture.pixel(picture.width() / 2, picture.height() / 2));
    const int n = (grey - 8 + 4) / 8;
    return std::abs(TestFrameGrey(n) - grey) <= 3 ? n : -1;
}
