// SPDX-License-Identifier: GPL-3.0-or-later
// convert_bench.cpp - converting a 60 s 1280 x 720 clip for the PSP, beside the ffmpeg command
// line with the same settings, and how long a cancel takes to end a conversion.
//
// The clip (H.264 High with AAC stereo at 48 kHz, as a phone makes it) is written once below
// $MOVIESTICK_BENCH_DIR (default /var/tmp) and removed at exit. Both sides decode it on FFmpeg's
// threads, scale it bicubically to the same place in the PSP's frame, encode with libx264's
// default preset and thread count at the same bit rates and buffer, and write the "psp" format.
// The runs alternate, and the ratio of the fastest run of each side is printed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

#include "bench_folder.h"
#include "convert/convert.h"
#include "convert/facts.h"
#include "convert/target.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string gDir;
std::string gClip;
// The fastest run of each side, in wall-clock and in processor seconds (all threads). The
// processor time is the steadier of the two on a machine that other work shares.
struct Fastest {
    double wall = std::numeric_limits<double>::infinity();
    double cpu = std::numeric_limits<double>::infinity();
};
Fastest gConvert;
Fastest gCommandLine;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User and system time of this process (RUSAGE_SELF) or of its waited-for children.
double ProcessorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void Record(Fastest* fastest, double wall, double cpu, benchmark::State& state) {
    fastest->wall = std::min(fastest->wall, wall);
    fastest->cpu = std::min(fastest->cpu, cpu);
    state.counters["cpu_s"] = cpu;
}

bool MakeClip() {
    gDir = MakeBenchFolder("convertbench");
    gClip = gDir + "/clip.mp4";
    // Moving colour bars with a little noise, so the encoder has real work at 480 x 272 too.
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y"
        " -f lavfi -i testsrc2=size=1280x720:rate=30000/1001:duration=60"
        " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60"
        " -vf noise=alls=12:allf=t -pix_fmt yuv420p -c:v libx264 -preset veryfast"
        " -c:a aac -ac 2 '" +
        gClip + "'";
    return std::system(command.c_str()) == 0;
}

// The command line with our settings: the brief's options, the scale and pad that put the
// picture where we put it, the sound's rate and channels, and level 3.0's rate and buffer.
std::string CommandLine(const std::string& out) {
    const VideoFacts facts = ReadVideoFacts(gClip);
    const Placement p = PlacePicture(facts.width, facts.height, facts.sampleAspect);
    char filter[128];
    std::snprintf(filter, sizeof filter, "scale=%d:%d,pad=480:272:%d:%d", p.width, p.height, p.x,
                  p.y);
    return "ffmpeg -nostdin -loglevel error -y -i '" + gClip + "' -vf " + filter +
           " -c:v libx264 -profile:v main -level 3.0 -b:v 768k -maxrate 10M -bufsize 10M"
           " -s 480x272 -c:a aac -b:a 128k -ar 48000 -ac 2 -f psp '" +
           out + "'";
}

void BM_Convert(benchmark::State& state) {
    const std::string out = gDir + "/converted.mp4";
    for (auto _ : state) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ConvertRequest request;
        request.source = gClip;
        request.outputFd = fd;
        request.title = "Bench";
        const double cpu = ProcessorSeconds(RUSAGE_SELF);
        const auto start = Clock::now();
        const ConvertResult result = ConvertForPsp(request);
        const double seconds = Seconds(start);
        close(fd);
        if (result.status != ConvertStatus::kDone) state.SkipWithError(result.cause.c_str());
        state.SetIterationTime(seconds);
        Record(&gConvert, seconds, ProcessorSeconds(RUSAGE_SELF) - cpu, state);
    }
    state.counters["output_kB"] = double(std::filesystem::file_size(out)) / 1000;
}

void BM_CommandLine(benchmark::State& state) {
    const std::string out = gDir + "/commandline.mp4";
    const std::string command = CommandLine(out);
    for (auto _ : state) {
        const double cpu = ProcessorSeconds(RUSAGE_CHILDREN);
        const auto start = Clock::now();
        const int status = std::system(command.c_str());
        const double seconds = Seconds(start);
        if (status != 0) state.SkipWithError("ffmpeg failed");
        state.SetIterationTime(seconds);
        Record(&gCommandLine, seconds, ProcessorSeconds(RUSAGE_CHILDREN) - cpu, state);
    }
    state.counters["output_kB"] = double(std::filesystem::file_size(out)) / 1000;
}

// From setting the cancel flag, 20 s into the movie, until the conversion has returned.
void BM_CancelLatency(benchmark::State& state) {
    const std::string out = gDir + "/cancelled.mp4";
    double longest = 0;
    for (auto _ : state) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::atomic<bool> cancel{false};
        std::atomic<double> done{0};
        ConvertRequest request;
        request.source = gClip;
        request.outputFd = fd;
        request.cancel = &cancel;
        request.progress = [&](double seconds, double) { done = seconds; };
        ConvertResult result;
        Clock::time_point ended;
        std::thread worker([&] {
            result = ConvertForPsp(request);
            ended = Clock::now();
        });
        while (done < 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto asked = Clock::now();
        cancel = true;
        worker.join();
        close(fd);
        if (result.status != ConvertStatus::kCancelled) state.SkipWithError("not cancelled");
        const double latency = std::chrono::duration<double>(ended - asked).count();
        state.SetIterationTime(latency);
        longest = std::max(longest, latency);
    }
    state.counters["longest_ms"] = longest * 1000;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    av_log_set_level(AV_LOG_QUIET);
    if (!HaveConversionEncoders() || !MakeClip()) {
        std::fprintf(stderr, "no libx264 or aac in this FFmpeg, or the clip could not be made\n");
        return 1;
    }
    std::printf("ffmpeg side: %s\n", CommandLine(gDir + "/commandline.mp4").c_str());
    // Alternating runs, so that both sides meet the machine in the same state.
    const auto add = [](const char* name, void (*run)(benchmark::State&), int iterations) {
        benchmark::RegisterBenchmark(name, run)
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    };
    for (int run = 0; run < 3; ++run) {
        add("BM_Convert/60s720p", BM_Convert, 1);
        add("BM_CommandLine/60s720p", BM_CommandLine, 1);
    }
    add("BM_CancelLatency", BM_CancelLatency, 3);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gConvert.wall < std::numeric_limits<double>::infinity() &&
        gCommandLine.wall < std::numeric_limits<double>::infinity()) {
        std::printf("fastest conversion %.2f s, fastest ffmpeg %.2f s: ratio %.3f (goal <= 1.05)\n",
                    gConvert.wall, gCommandLine.wall, gConvert.wall / gCommandLine.wall);
        std::printf("processor time %.2f s and %.2f s: ratio %.3f\n", gConvert.cpu,
                    gCommandLine.cpu, gConvert.cpu / gCommandLine.cpu);
    }
    return 0;
}
