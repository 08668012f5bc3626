// SPDX-License-Identifier: GPL-3.0-or-later
// movielist_bench.cpp - adding a folder of 10,000 small movies to the movie list, beside ffprobe.
//
// Each movie holds a title and a profile atom and has a ".THM" beside it (sparse, 32 KiB), so
// that every step of adding one runs: the catalog queries, the title and kind read through the
// engine, the sizes and the thumbnail lookup. The folder is made once below
// $MOVIESTICK_BENCH_DIR (default /var/tmp) and removed at exit. The cold variant drops the
// movies' data from the page cache before each run; the folder and inodes stay cached, which
// is what a second look at a folder meets in practice. ffprobe reads 100 of the same movies,
// one process each, for comparison.
//
// BM_ListScale adds folders of 1,000, 10,000 and 50,000 movies, adds each again (every file a
// duplicate) and removes every tenth entry in one call, each timed beside its anchor from the
// same run: `xargs cat` of the folder's movies into /dev/null. The growth exponent of each step
// from 1,000 to 50,000 movies (1.0 is linear) is printed at the end.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>

#include "../tests/container/atom_builder.h"
#include "bench_folder.h"
#include "movielist/movielist.h"

namespace fs = std::filesystem;
using namespace mp4test;

extern char** environ;

namespace {

constexpr int kMovies = 10000;
constexpr int kProbed = 100;

std::string gDir;

std::string MovieName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "M4V%05d", i);
    return name;
}

// The folder of movies, made on first use.
const std::string& MovieFolder() {
    if (!gDir.empty()) return gDir;
    gDir = MakeBenchFolder("listbench");
    for (int i = 0; i < kMovies; ++i) {
        const std::string stem = gDir + "/" + MovieName(i);
        const std::string title = "Movie " + std::to_string(i);
        writeFile(stem + ".MP4", smallMovie(std::u16string(title.begin(), title.end())));
        const int fd = open((stem + ".THM").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ftruncate(fd, 32768) != 0) throw std::runtime_error("cannot write THM");
        close(fd);
    }
    // Written back, so that the cold runs can drop the data from the page cache at all.
    const int folder = open(gDir.c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        syncfs(folder);
        close(folder);
    }
    return gDir;
}

void ResetList() {
    DisposeOpenFileInfo();
    delete gOpenFileID;
    gOpenFileID = nullptr;
    lastID = 0;
    gStopOpen = false;
}

void DropMovieData(const std::string& folder) {
    for (int i = 0; i < kMovies; ++i) {
        const int fd = open((folder + "/" + MovieName(i) + ".MP4").c_str(), O_RDONLY);
        if (fd < 0) continue;
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        close(fd);
    }
}

bool AllHaveThumbnails() {
    for (const OpenFileInfo& entry : *gOpenFile)
        if (!entry.hasThumbnail || !entry.title) return false;
    return true;
}

void AddFolder(benchmark::State& state, bool cold) {
    const std::string& folder = MovieFolder();
    FSRef ref;
    if (FSPathMakeRef(folder.c_str(), &ref) != kNoErr) throw std::runtime_error("no folder");
    double total = 0;
    for (auto _ : state) {
        ResetList();
        if (cold) DropMovieData(folder);
        const auto start = std::chrono::steady_clock::now();
        const int status = CreateOpenFileInfo(&ref, 0);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        total += elapsed.count();
        if (status != kDupFNErr || CountOpenFileInfo() != kMovies || !AllHaveThumbnails()) {
            state.SkipWithError("the folder was not added whole");
            break;
        }
    }
    // Counters share one name: the CSV report wants the same columns in every row.
    state.counters["per_item_us"] = total / double(state.iterations()) / kMovies * 1e6;
    ResetList();
}

void BM_AddFolderWarm(benchmark::State& state) {
    AddFolder(state, false);
}
void BM_AddFolderColdData(benchmark::State& state) {
    AddFolder(state, true);
}

int RunFfprobe(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"ffprobe", "-v", "error", "-show_format", path.c_str(), nullptr};
    pid_t pid;
    int status = -1;
    if (posix_spawnp(&pid, "ffprobe", &actions, nullptr, const_cast<char**>(argv), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

void BM_Ffprobe(benchmark::State& state) {
    const std::string& folder = MovieFolder();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kProbed; ++i) {
            if (RunFfprobe(folder + "/" + MovieName(i) + ".MP4") != 0) {
                state.SkipWithError("ffprobe failed");
                return;
            }
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        total += elapsed.count();
    }
    state.counters["per_item_us"] = total / double(state.iterations()) / kProbed * 1e6;
}

// A folder of n movies with their ".THM" files, one per size.
const std::string& ScaleFolder(int n) {
    static std::map<int, std::string> folders;
    std::string& dir = folders[n];
    if (!dir.empty()) return dir;
    dir = MakeBenchFolder("listscale" + std::to_string(n));
    const Bytes movie = [] {
        const std::string title = "Movie";
        return smallMovie(std::u16string(title.begin(), title.end()));
    }();
    for (int i = 0; i < n; ++i) {
        const std::string stem = dir + "/" + MovieName(i);
        const int fd = open((stem + ".MP4").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, movie.data(), movie.size()) != ssize_t(movie.size()))
            throw std::runtime_error("cannot write a movie");
        close(fd);
        const int thm = open((stem + ".THM").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (thm < 0) throw std::runtime_error("cannot write THM");
        close(thm);
    }
    return dir;
}

double SecondsOf(const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Per size: the best of the repetitions of each step and of its anchor.
struct ScaleTimes {
    double add = 1e9, again = 1e9, remove = 1e9, anchor = 1e9;
};
std::map<int, ScaleTimes> gScale;

void BM_ListScale(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string& folder = ScaleFolder(n);
    FSRef ref;
    if (FSPathMakeRef(folder.c_str(), &ref) != kNoErr) throw std::runtime_error("no folder");
    const std::string anchor =
        "cd '" + folder + "' && find . -name '*.MP4' -print0 | xargs -0 cat >/dev/null";
    ScaleTimes& best = gScale[n];
    for (auto _ : state) {
        ResetList();
        const double add = SecondsOf([&] { (void)CreateOpenFileInfo(&ref, 0); });
        const double again =
            SecondsOf([&] { (void)CreateOpenFileInfo(&ref, CountOpenFileInfo()); });
        if (CountOpenFileInfo() != n) {
            state.SkipWithError("the folder was not added once, whole");
            break;
        }
        std::vector<uint32_t> tenth;
        for (int i = 0; i < n; i += 10) tenth.push_back((*gOpenFileID)[size_t(i)]);
        const double remove =
            SecondsOf([&] { (void)RemoveOpenFileInfos(tenth.data(), int(tenth.size())); });
        if (CountOpenFileInfo() != n - int(tenth.size())) {
            state.SkipWithError("the tenth was not removed");
            break;
        }
        const double cat = SecondsOf([&] {
            if (std::system(anchor.c_str()) != 0) throw std::runtime_error("the anchor failed");
        });
        state.SetIterationTime(add + again + remove);
        best.add = std::min(best.add, add);
        best.again = std::min(best.again, again);
        best.remove = std::min(best.remove, remove);
        best.anchor = std::min(best.anchor, cat);
    }
    state.counters["add_s"] = best.add;
    state.counters["again_s"] = best.again;
    state.counters["remove10_s"] = best.remove;
    state.counters["anchor_s"] = best.anchor;
    state.counters["add_x_anchor"] = best.add / best.anchor;
    state.counters["again_x_anchor"] = best.again / best.anchor;
    state.counters["remove10_x_anchor"] = best.remove / best.anchor;
    ResetList();
}

// log(t(large) / t(small)) / log(large / small) for each step.
void PrintGrowth() {
    if (gScale.size() < 2) return;
    const auto& [small, a] = *gScale.begin();
    const auto& [large, b] = *gScale.rbegin();
    const double sizes = std::log(double(large) / double(small));
    auto exponent = [&](double ta, double tb) { return std::log(tb / ta) / sizes; };
    std::printf(
        "growth %d -> %d movies (1.0 = linear): add %.2f, again %.2f, remove 10%% %.2f, "
        "anchor %.2f\n",
        small, large, exponent(a.add, b.add), exponent(a.again, b.again),
        exponent(a.remove, b.remove), exponent(a.anchor, b.anchor));
}

}  // namespace

BENCHMARK(BM_AddFolderWarm)
    ->Name("BM_AddFolderWarm/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddFolderColdData)
    ->Name("BM_AddFolderColdData/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListScale)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ffprobe)
    ->Name("BM_Ffprobe/100")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // The Ctrl+period query lets events in during the walk, as it does in the application.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    PrintGrowth();
    benchmark::Shutdown();
    return 0;
}
