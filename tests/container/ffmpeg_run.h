// SPDX-License-Identifier: GPL-3.0-or-later
// ffmpeg_run.h - runs the ffmpeg command line for the engine's tests: making movies, and a
// checksum of every decoded frame to compare a movie before and after a rewrite.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace mp4test {

inline bool haveFfmpeg() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// The standard output of a shell command, or nothing when it fails.
inline std::optional<std::string> run(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return out;
}

inline std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

// A checksum of every decoded video and audio frame.
inline std::string frameChecksums(const std::string& path) {
    std::optional<std::string> out =
        run("ffmpeg -nostdin -v error -i " + quoted(path) + " -map 0 -f framemd5 -");
    return out.value_or("(decoding failed)");
}

}  // namespace mp4test
