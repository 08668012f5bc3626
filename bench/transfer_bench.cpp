// SPDX-License-Identifier: GPL-3.0-or-later
// transfer_bench.cpp - sending 1 GiB of movies to a folder laid out as a memory stick, beside
// `cp` of the same files followed by `sync`, and the GUI thread's longest stall during the send.
//
// Eight movies of 128 MiB are written once below $MOVIESTICK_BENCH_DIR (default /var/tmp) and
// removed at exit; the device folder is on the same disk. Each run starts with the page cache's
// dirty data written out, so that neither side pays for the other's. The send runs as the
// application runs it: the progress window's modal loop, fed by the 0.1 s idle tick. A 10 ms
// timer on the GUI thread records how late it fires; the longest lateness is the stall counter.
// With $MOVIESTICK_BENCH_STICK naming a mounted stick (a FAT image mounted with fusefat, say),
// the device folder and the target of `cp` are there instead. At the end the medians of both
// sides and their ratio are printed.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "bench_folder.h"
#include "movielist/movielist.h"
#include "movielist/opening.h"
#include "shared/prefs.h"
#include "timed_send.h"
#include "transfer/copyjob.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMovies = 8;
constexpr size_t kMovieSize = 128u << 20;

std::string gDir;
std::string gStick;  // the device's root; cp's target is below it
std::vector<double> gSendSeconds, gCpSeconds;

std::string Movie(int i) {
    return gDir + "/movies/Movie" + std::to_string(i) + ".mp4";
}

void MakeMovies() {
    gDir = MakeBenchFolder("sendbench");
    fs::create_directories(gDir + "/movies");
    std::vector<char> block(1 << 20);
    for (int i = 0; i < kMovies; ++i) {
        std::ofstream out(Movie(i), std::ios::binary);
        for (size_t done = 0; done < kMovieSize; done += block.size()) {
            for (size_t j = 0; j < block.size(); j += 4096) block[j] = char(i + done + j);
            out.write(block.data(), std::streamsize(block.size()));
        }
    }
    const char* given = std::getenv("MOVIESTICK_BENCH_STICK");
    gStick = given && *given ? given : gDir + "/stick";
    const std::string& stick = gStick;
    fs::create_directories(stick + "/PSP");
    std::ofstream(stick + "/MEMSTICK.IND");
    std::ofstream(stick + "/MSTK_PRO.IND");
    std::snprintf(gPref.devicePath, sizeof gPref.devicePath, "%s/", stick.c_str());
    sync();
}

void ListMovies() {
    DisposeOpenFileInfo();
    for (int i = 0; i < kMovies; ++i) {
        FSRef ref;
        if (FSPathMakeRef(Movie(i).c_str(), &ref) != 0 || CreateOpenFileInfo(&ref, i) != 0)
            throw std::runtime_error("cannot list " + Movie(i));
        (*gOpenFile)[size_t(i)].movieType = kMovieTypeMp4v;
    }
    if (DoOpenFile(0) != 0) throw std::runtime_error("cannot show the movies");
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_Send(benchmark::State& state) {
    double longestStall = 0;
    for (auto _ : state) {
        fs::remove_all(std::string(gPref.devicePath) + "MP_ROOT");
        ListMovies();
        sync();
        const TimedSend send = RunTimedSend();
        if (!send.sent) state.SkipWithError("the send failed");
        state.SetIterationTime(send.seconds);
        gSendSeconds.push_back(send.seconds);
        longestStall = std::max(longestStall, send.stallMs);
    }
    state.counters["longest_stall_ms"] = longestStall;
    state.SetBytesProcessed(int64_t(state.iterations()) * kMovies * int64_t(kMovieSize));
}

void BM_CpThenSync(benchmark::State& state) {
    const std::string target = gStick + "/cp";
    for (auto _ : state) {
        // A stick has room for one side's gigabyte at a time.
        fs::remove_all(std::string(gPref.devicePath) + "MP_ROOT");
        fs::remove_all(target);
        fs::create_directories(target);
        sync();
        const auto start = Clock::now();
        const std::string command = "cp " + gDir + "/movies/*.mp4 " + target + " && sync";
        if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
        state.SetIterationTime(Seconds(start));
        gCpSeconds.push_back(Seconds(start));
        fs::remove_all(target);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kMovies * int64_t(kMovieSize));
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    // Alternating runs, so that both sides meet the disk in the same state.
    for (int round = 0; round < 3; ++round) {
        benchmark::RegisterBenchmark("BM_Send/1GiB", BM_Send)
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_CpThenSync/1GiB", BM_CpThenSync)
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    if (!StartSendingApplication()) return 1;
    MakeMovies();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double send = Median(gSendSeconds), copy = Median(gCpSeconds);
    if (send > 0 && copy > 0)
        std::printf(
            "send %.2f s, cp + sync %.2f s (medians) to %s: ratio %.3f (goal <= 1.05 on "
            "ext4, <= 1.0 through fusefat)\n",
            send, copy, gStick.c_str(), send / copy);
    DisposeOpenFileInfo();
    return 0;
}
