// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnail_bench.cpp - a thumbnail from a long movie, from opening it to the file written,
// beside the ffmpeg command line doing the same.
//
// The movie is 10 minutes of 480 x 272 H.264 at 30 frames a second with a keyframe every 10 s,
// made once below $MOVIESTICK_BENCH_DIR (default /var/tmp) and removed at exit. 60 % into it
// falls on a keyframe; 9.9 s later is the worst case, 297 frames after the keyframe before it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <QImage>

#include "bench_folder.h"
#include "thumbnail/thumbnailfile.h"
#include "toolkit/movietoolkit.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

constexpr int kSeconds = 600;

std::string gDir;

// Runs the command to its end; its CPU time (user and system) goes to *cpuSeconds when given.
int Spawn(const char* const* argv, double* cpuSeconds = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int status = -1;
    rusage usage{};
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) == 0)
        wait4(pid, &status, 0, &usage);
    if (cpuSeconds)
        *cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

const std::string& MoviePath() {
    static std::string path;
    if (!path.empty()) return path;
    gDir = MakeBenchFolder("thumbbench");
    path = gDir + "/long.mp4";
    const std::string duration = std::to_string(kSeconds);
    const char* argv[] = {"ffmpeg",
                          "-nostdin",
                          "-loglevel",
                          "error",
                          "-f",
                          "lavfi",
                          "-i",
                          "testsrc2=size=480x272:rate=30",
                          "-t",
                          duration.c_str(),
                          "-c:v",
                          "libx264",
                          "-preset",
                          "veryfast",
                          "-g",
                          "300",
                          "-keyint_min",
                          "300",
                          "-sc_threshold",
                          "0",
                          "-pix_fmt",
                          "yuv420p",
                          path.c_str(),
                          nullptr};
    if (Spawn(argv) != 0) throw std::runtime_error("ffmpeg could not make the movie");
    return path;
}

// Seconds into the movie for the benchmark's argument: 0 is 60 %, 1 is 9.9 s after that.
double TargetSeconds(int64_t variant) {
    return kSeconds * 0.6 + (variant ? 9.9 : 0.0);
}

int16_t MakeThumbnail(const std::string& movie, double seconds, const std::string& out) {
    Movie handle = nullptr;
    int16_t status = OpenMovie(movie.c_str(), &handle);
    if (status != 0) return status;
    SetMovieTimeValue(handle, static_cast<TimeValue>(seconds * GetMovieTimeScale(handle)));
    QImage frame;
    status = GetMoviePict(handle, &frame);
    DisposeMovie(handle);
    if (status != 0) return status;
    QByteArray jpeg;
    status = CompressThumbnail(DrawThumbnailCanvas(frame), kThumbnailFileSize, &jpeg);
    if (status != 0) return status;
    return WriteThumbnailData(out, jpeg);
}

void BM_Thumbnail(benchmark::State& state) {
    const std::string& movie = MoviePath();
    (void)EnterMovies();
    const double seconds = TargetSeconds(state.range(0));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (MakeThumbnail(movie, seconds, gDir + "/long.THM") != 0) {
            state.SkipWithError("no thumbnail");
            return;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
    }
}

void BM_FfmpegCommand(benchmark::State& state) {
    const std::string& movie = MoviePath();
    const std::string at = std::to_string(TargetSeconds(state.range(0)));
    const std::string out = gDir + "/ffmpeg.jpg";
    const char* argv[] = {"ffmpeg",        "-nostdin",  "-loglevel",   "error",     "-y", "-ss",
                          at.c_str(),      "-i",        movie.c_str(), "-frames:v", "1",  "-vf",
                          "scale=160:120", out.c_str(), nullptr};
    double cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        double seconds = 0;
        if (Spawn(argv, &seconds) != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        cpu += seconds;
    }
    // The benchmark's own CPU column counts only this process, not ffmpeg's.
    state.counters["ffmpeg_cpu_ms"] = cpu / double(state.iterations()) * 1e3;
}

double CpuSecondsOfSelf() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Samples {
    std::vector<double> wall, cpu;
};

// The pairs: thumbnail, ffmpeg (and the CLI) one after the other, so that a slow spell of the
// shared machine falls on all of them.
int RunPairs(int pairs) {
    const std::string& movie = MoviePath();
    (void)EnterMovies();
    const char* cli = std::getenv("MOVIESTICK_CLI");
    for (int variant = 0; variant < 2; ++variant) {
        const double seconds = TargetSeconds(variant);
        const std::string at = std::to_string(seconds);
        const std::string jpg = gDir + "/ffmpeg.jpg";
        const std::string copy = gDir + "/cli.mp4";
        if (cli) fs::copy_file(movie, copy, fs::copy_options::overwrite_existing);
        const char* ffmpeg[] = {
            "ffmpeg",        "-nostdin",  "-loglevel",   "error",     "-y", "-ss",
            at.c_str(),      "-i",        movie.c_str(), "-frames:v", "1",  "-vf",
            "scale=160:120", jpg.c_str(), nullptr};
        const char* thumb[] = {cli ? cli : "", "thumb", "--at", at.c_str(), copy.c_str(), nullptr};
        Samples ours, theirs, whole;
        for (int i = 0; i < pairs; ++i) {
            auto start = std::chrono::steady_clock::now();
            double cpu = CpuSecondsOfSelf();
            if (MakeThumbnail(movie, seconds, gDir + "/long.THM") != 0) return 1;
            ours.cpu.push_back(CpuSecondsOfSelf() - cpu);
            ours.wall.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

            double childCpu = 0;
            start = std::chrono::steady_clock::now();
            if (Spawn(ffmpeg, &childCpu) != 0) return 1;
            theirs.wall.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            theirs.cpu.push_back(childCpu);

            if (cli) {
                start = std::chrono::steady_clock::now();
                if (Spawn(thumb, &childCpu) != 0) return 1;
                whole.wall.push_back(
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                        .count());
                whole.cpu.push_back(childCpu);
            }
        }
        const double anchor = Median(theirs.wall);
        std::printf("%s (%d pairs, medians)\n",
                    variant ? "297 frames after a keyframe" : "on a keyframe", pairs);
        std::printf("  ffmpeg -ss T -i F -frames:v 1 -vf scale=160:120: %.1f ms, %.1f ms CPU\n",
                    anchor * 1e3, Median(theirs.cpu) * 1e3);
        std::printf("  thumbnail in process: %.1f ms, %.1f ms CPU, ratio %.2f\n",
                    Median(ours.wall) * 1e3, Median(ours.cpu) * 1e3, Median(ours.wall) / anchor);
        if (cli)
            std::printf("  moviestick-cli thumb --at T F: %.1f ms, %.1f ms CPU, ratio %.2f\n",
                        Median(whole.wall) * 1e3, Median(whole.cpu) * 1e3,
                        Median(whole.wall) / anchor);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--pairs") == 0) return RunPairs(std::atoi(argv[2]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

BENCHMARK(BM_Thumbnail)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FfmpegCommand)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->Unit(benchmark::kMillisecond);
