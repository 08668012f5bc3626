// SPDX-License-Identifier: GPL-3.0-or-later
// bench_folder.h - the benchmarks' scratch folders: made below $MOVIESTICK_BENCH_DIR (default
// /var/tmp, a real disk rather than a tmpfs) and removed when the program ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

inline std::vector<std::string>& BenchFolders() {
    static std::vector<std::string> folders;
    return folders;
}

inline void RemoveBenchFolders() {
    for (const std::string& folder : BenchFolders()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
}

// A new, empty folder "moviestick-<kind>-XXXXXX"; throws when it cannot be made.
inline std::string MakeBenchFolder(const std::string& kind) {
    const char* base = std::getenv("MOVIESTICK_BENCH_DIR");
    std::string pattern =
        std::string(base && *base ? base : "/var/tmp") + "/moviestick-" + kind + "-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    if (BenchFolders().empty()) std::atexit(RemoveBenchFolders);
    BenchFolders().push_back(pattern);
    return pattern;
}
