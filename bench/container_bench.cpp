// SPDX-License-Identifier: GPL-3.0-or-later
// container_bench.cpp - timings of the title operations on large movies, beside cp and ffmpeg.
//
// The movies are made at run time in a folder of their own below $MOVIESTICK_BENCH_DIR (default
// /var/tmp, which unlike /tmp is never a RAM disk) and removed at exit. Benchmarks that start
// from a cold file rebuild it outside the timed part, sync, and drop it from the page cache, so
// that the engine, cp and ffmpeg all read it from the disk and all end with a sync.
// $MOVIESTICK_BENCH_MOVIE names a real movie of about 1 GiB for the ffmpeg comparison (tools/bench
// makes one); without it those entries are left out.
//
// `container_bench --get-title FILE` only reads the title once, for counting system calls;
// `container_bench --make-movie MIB FILE [first|none]` writes a synthetic movie retitled in place
// (or with the metadata atom first, or none, which the first title change copies);
// `container_bench --pairs N [--warm]` times the copies beside their anchor in alternating rounds.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "../tests/container/atom_builder.h"
#include "bench_folder.h"
#include "container/movie.h"

namespace fs = std::filesystem;
using namespace mp4test;

namespace {

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kGiB = 1024 * kMiB;
// One chunk-offset entry per 64 KiB of media, about what a PSP movie at a high bitrate has.
constexpr uint64_t kChunkBytes = 64 * 1024;

std::string gDir;

const std::string& BenchDir() {
    if (gDir.empty()) gDir = MakeBenchFolder("bench");
    return gDir;
}

std::string BenchFile(const std::string& name) {
    return BenchDir() + "/" + name;
}

enum class Layout {
    kMetadataLast,   // ftyp, mdat, moov with the metadata atom last: retitled in place
    kMetadataFirst,  // ftyp, moov with the metadata atom first, mdat: the first retitle copies
    kNoMetadata,     // ftyp, moov without the metadata atom, mdat: the first retitle adds it
};

Bytes Moov(Layout layout, uint64_t mdatPayloadAt, uint64_t mediaBytes) {
    std::vector<uint32_t> chunks;
    for (uint64_t at = 0; at < mediaBytes; at += kChunkBytes)
        chunks.push_back(uint32_t(mdatPayloadAt + at));
    Bytes z(20, 0);
    Bytes stbl = container(
        "stbl", {box("stsd", z), box("stts", z), box("stsc", z), box("stsz", z), stco(chunks)});
    Bytes trak = container(
        "trak", {box("tkhd", z), container("mdia", {box("mdhd", z), box("hdlr", z),
                                                    container("minf", {box("vmhd", z), stbl})})});
    Bytes meta = usmtWithTitle(u"A synthetic movie");
    if (layout == Layout::kMetadataLast) return container("moov", {box("mvhd", z), trak, meta});
    if (layout == Layout::kNoMetadata) return container("moov", {box("mvhd", z), trak});
    return container("moov", {meta, box("mvhd", z), trak});
}

void WriteOrThrow(std::ofstream& out, const Bytes& bytes) {
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A movie of `mediaBytes` of noise in its "mdat", with chunk offsets that point into it.
void MakeSyntheticMovie(const std::string& path, uint64_t mediaBytes, Layout layout) {
    Bytes ftyp = box("ftyp", cat({ascii("MSNV"), be32(0x01000000), ascii("MSNVmp42isom")}));
    // The "moov" size does not depend on the offsets it holds: measure it once with zeros.
    uint64_t moovSize = Moov(layout, 0, mediaBytes).size();
    uint64_t mdatAt = layout == Layout::kMetadataLast ? ftyp.size() : ftyp.size() + moovSize;
    Bytes moov = Moov(layout, mdatAt + 8, mediaBytes);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    WriteOrThrow(out, ftyp);
    if (layout != Layout::kMetadataLast) WriteOrThrow(out, moov);
    WriteOrThrow(out, cat({be32(uint32_t(8 + mediaBytes)), ascii("mdat")}));
    std::mt19937_64 noise(42);
    std::vector<uint64_t> block(kMiB / 8);
    for (uint64_t done = 0; done < mediaBytes;) {
        for (uint64_t& w : block) w = noise();
        uint64_t n = std::min<uint64_t>(kMiB, mediaBytes - done);
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(n));
        done += n;
    }
    if (layout == Layout::kMetadataLast) WriteOrThrow(out, moov);
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Made once per run and kept until exit: building a 1 GiB file costs more than what is timed.
const std::string& SyntheticMovie(uint64_t mediaBytes, Layout layout) {
    static std::map<std::pair<uint64_t, Layout>, std::string> made;
    std::string& path = made[{mediaBytes, layout}];
    if (path.empty()) {
        const char* names[] = {"meta-last", "meta-first", "no-meta"};
        path = BenchFile(std::to_string(mediaBytes / kMiB) + "MiB-" + names[int(layout)] + ".mp4");
        MakeSyntheticMovie(path, mediaBytes, layout);
    }
    return path;
}

// Writes back whatever is dirty and drops the file's pages, so that the next read of it comes
// from the disk. DONTNEED leaves dirty pages alone, hence the sync first.
void DropFromCache(const std::string& path) {
    sync();
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

// A fresh copy of `master` at `path`, on the disk and out of the page cache.
void FreshColdCopy(const std::string& master, const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
    fs::copy_file(master, path);
    DropFromCache(path);
    DropFromCache(master);
}

void RunOrFail(benchmark::State& state, const std::string& command) {
    if (std::system(command.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds (user and system) used so far by this process, or by its waited-for children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The CPU time of the timed parts, this process's and its children's, per iteration.
struct CpuMeter {
    double total = 0;
    double self = 0;
    double children = 0;
    void Start() {
        self = CpuSeconds(RUSAGE_SELF);
        children = CpuSeconds(RUSAGE_CHILDREN);
    }
    void Stop() {
        total += CpuSeconds(RUSAGE_SELF) - self + CpuSeconds(RUSAGE_CHILDREN) - children;
    }
    void Report(benchmark::State& state) const {
        state.counters["cpu_ms"] = total / double(state.iterations()) * 1e3;
    }
};

// --- In place: the metadata atom ends the file; titles of two lengths, so the file grows and
// shrinks by turns.

void BM_InPlaceTitle(benchmark::State& state, uint64_t mediaBytes) {
    const std::string& path = SyntheticMovie(mediaBytes, Layout::kMetadataLast);
    const char* titles[] = {"Benchmark title", "Benchmark title, longer"};
    int i = 0;
    for (auto _ : state) {
        if (SetTitle(path.c_str(), titles[i++ & 1]) != 0) state.SkipWithError("SetTitle failed");
    }
}
// Real time: the rewrite ends with an fsync, which is most of what it costs.
BENCHMARK_CAPTURE(BM_InPlaceTitle, 10MiB, 10 * kMiB)
    ->UseRealTime()
    ->Repetitions(10)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_InPlaceTitle, 1GiB, kGiB)
    ->UseRealTime()
    ->Repetitions(10)
    ->Unit(benchmark::kMicrosecond);

// --- The first title change of a movie whose metadata atom does not end it, beside cp of the
// same file; both from a cold file and followed by sync.

void ColdCopyRewrite(benchmark::State& state, const std::string& master) {
    std::string work = BenchFile("copy-rewrite.mp4");
    CpuMeter cpu;
    for (auto _ : state) {
        FreshColdCopy(master, work);
        cpu.Start();
        Clock::time_point start = Clock::now();
        MovieError why = MovieError::none;
        int result = SetTitleWithCause(work.c_str(), "Benchmark title", &why);
        sync();
        state.SetIterationTime(Seconds(start));
        cpu.Stop();
        if (result != 0) state.SkipWithError(MovieErrorText(why));
    }
    cpu.Report(state);
    std::error_code ec;
    fs::remove(work, ec);
}

void ColdCp(benchmark::State& state, const std::string& master) {
    std::string work = BenchFile("cp-source.mp4");
    std::string copy = BenchFile("cp-target.mp4");
    for (auto _ : state) {
        FreshColdCopy(master, work);
        std::error_code ec;
        fs::remove(copy, ec);
        sync();
        Clock::time_point start = Clock::now();
        RunOrFail(state, "cp " + Quoted(work) + " " + Quoted(copy));
        sync();
        state.SetIterationTime(Seconds(start));
    }
    std::error_code ec;
    fs::remove(work, ec);
    fs::remove(copy, ec);
}

// What the engine's copy does, done by the shell: copy, sync, replace the movie with the copy
// (which frees the old file), sync again.
void ColdCpAndReplace(benchmark::State& state, const std::string& master) {
    std::string work = BenchFile("cpmv-movie.mp4");
    std::string copy = BenchFile("cpmv-copy.mp4");
    CpuMeter cpu;
    for (auto _ : state) {
        FreshColdCopy(master, work);
        std::error_code ec;
        fs::remove(copy, ec);
        sync();
        cpu.Start();
        Clock::time_point start = Clock::now();
        RunOrFail(state, "cp " + Quoted(work) + " " + Quoted(copy) + " && sync && mv " +
                             Quoted(copy) + " " + Quoted(work) + " && sync");
        state.SetIterationTime(Seconds(start));
        cpu.Stop();
    }
    cpu.Report(state);
    std::error_code ec;
    fs::remove(work, ec);
    fs::remove(copy, ec);
}

void ColdFfmpegRemux(benchmark::State& state, const std::string& master) {
    std::string work = BenchFile("ffmpeg-source.mp4");
    std::string out = BenchFile("ffmpeg-target.mp4");
    for (auto _ : state) {
        FreshColdCopy(master, work);
        std::error_code ec;
        fs::remove(out, ec);
        sync();
        Clock::time_point start = Clock::now();
        RunOrFail(state, "ffmpeg -nostdin -v error -y -i " + Quoted(work) +
                             " -c copy -f psp -metadata title=X " + Quoted(out));
        sync();
        state.SetIterationTime(Seconds(start));
    }
    std::error_code ec;
    fs::remove(work, ec);
    fs::remove(out, ec);
}

void BM_FirstTitleCopy(benchmark::State& state) {
    ColdCopyRewrite(state, SyntheticMovie(kGiB, Layout::kMetadataFirst));
}
void BM_CpSameFile(benchmark::State& state) {
    ColdCp(state, SyntheticMovie(kGiB, Layout::kMetadataFirst));
}
// A plain MP4 without the metadata atom: the atom is added through the same copy.
void BM_AddMetadataCopy(benchmark::State& state) {
    ColdCopyRewrite(state, SyntheticMovie(kGiB, Layout::kNoMetadata));
}
// The anchor of both: cp G; sync; mv G F; sync.
void BM_CpReplaceSameFile(benchmark::State& state) {
    ColdCpAndReplace(state, SyntheticMovie(kGiB, Layout::kMetadataFirst));
}
BENCHMARK(BM_CpReplaceSameFile)
    ->Name("BM_CpReplaceSameFile/1GiB")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddMetadataCopy)
    ->Name("BM_AddMetadataCopy/1GiB")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstTitleCopy)
    ->Name("BM_FirstTitleCopy/1GiB")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpSameFile)
    ->Name("BM_CpSameFile/1GiB")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

// --- Reading the title: only atom headers are read, so the cost should not grow with the file.

// Read system calls made so far by this process, from /proc/self/io (-1 if unavailable).
int64_t ReadCalls() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value;
    while (io >> key >> value)
        if (key == "syscr:") return value;
    return -1;
}

// Read calls of one GetTitle, less the calls that reading /proc/self/io itself costs.
int64_t ReadCallsOfGetTitle(const std::string& path) {
    int64_t a = ReadCalls(), b = ReadCalls();
    free(GetTitle(path.c_str()));
    int64_t c = ReadCalls();
    return a < 0 ? -1 : (c - b) - (b - a);
}

void BM_GetTitleWarm(benchmark::State& state) {
    const std::string& path = SyntheticMovie(kGiB, Layout::kMetadataLast);
    for (auto _ : state) {
        char* title = GetTitle(path.c_str());
        if (!title) state.SkipWithError("GetTitle found no title");
        free(title);
    }
    state.counters["read_calls"] = double(ReadCallsOfGetTitle(path));
}
BENCHMARK(BM_GetTitleWarm)
    ->Name("BM_GetTitleWarm/1GiB")
    ->UseRealTime()
    ->Repetitions(10)
    ->Unit(benchmark::kMicrosecond);

void BM_GetTitleCold(benchmark::State& state) {
    const std::string& path = SyntheticMovie(kGiB, Layout::kMetadataLast);
    for (auto _ : state) {
        DropFromCache(path);
        Clock::time_point start = Clock::now();
        char* title = GetTitle(path.c_str());
        state.SetIterationTime(Seconds(start));
        if (!title) state.SkipWithError("GetTitle found no title");
        free(title);
    }
}
BENCHMARK(BM_GetTitleCold)
    ->Name("BM_GetTitleCold/1GiB")
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->Unit(benchmark::kMicrosecond);

// --- A real movie, when one is given: the engine's first title change, cp, and ffmpeg writing
// the same title by remuxing.

void RegisterRealMovieBenchmarks() {
    const char* movie = std::getenv("MOVIESTICK_BENCH_MOVIE");
    if (!movie || !*movie) return;
    std::string master = movie;
    auto add = [&](const char* name, void (*run)(benchmark::State&, const std::string&)) {
        benchmark::RegisterBenchmark(name, [run, master](benchmark::State& s) { run(s, master); })
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(3)
            ->Unit(benchmark::kMillisecond);
    };
    add("BM_RealFirstTitleCopy/movie", ColdCopyRewrite);
    add("BM_RealCp/movie", ColdCp);
    add("BM_RealFfmpegRemux/movie", ColdFfmpegRemux);
    benchmark::RegisterBenchmark("BM_RealGetTitleWarm/movie",
                                 [master](benchmark::State& s) {
                                     for (auto _ : s) free(GetTitle(master.c_str()));
                                     s.counters["read_calls"] = double(ReadCallsOfGetTitle(master));
                                 })
        ->UseRealTime()
        ->Repetitions(5)
        ->Unit(benchmark::kMicrosecond);
}

// --- Alternating pairs: cp, sync, mv, sync beside the engine's first title change and the
// adding of the metadata atom, one after the other in turns, so that a slow spell of the shared
// machine falls on all of them. Cold runs drop the whole page cache first when allowed (root),
// else the files' pages; warm runs read the movie into the cache first.

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrepareMovie(const std::string& master, const std::string& path, bool warm) {
    std::error_code ec;
    fs::remove(path, ec);
    fs::copy_file(master, path);
    DropFromCache(path);
    DropFromCache(master);
    if (warm) {
        if (std::system(("cat " + Quoted(path) + " >/dev/null").c_str()) != 0)
            throw std::runtime_error("cannot read " + path);
    } else if (FILE* drop = std::fopen("/proc/sys/vm/drop_caches", "w")) {
        std::fputs("3\n", drop);
        std::fclose(drop);
    }
}

struct Timing {
    std::vector<double> wall, cpu;
};

int RunPairs(int pairs, bool warm) {
    const std::string& first = SyntheticMovie(kGiB, Layout::kMetadataFirst);
    const std::string& none = SyntheticMovie(kGiB, Layout::kNoMetadata);
    const std::string work = BenchFile("pairs-movie.mp4"), copy = BenchFile("pairs-copy.mp4");
    Timing anchor, retitle, add;
    auto timeOne = [&](Timing* into, const std::string& master, bool engine) {
        PrepareMovie(master, work, warm);
        std::error_code ec;
        fs::remove(copy, ec);
        sync();
        const double cpu = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN);
        const Clock::time_point start = Clock::now();
        MovieError why = MovieError::none;
        if (engine) {
            if (SetTitleWithCause(work.c_str(), "Benchmark title", &why) != 0)
                throw std::runtime_error(MovieErrorText(why));
            sync();
        } else if (std::system(("cp " + Quoted(work) + " " + Quoted(copy) + " && sync && mv " +
                                Quoted(copy) + " " + Quoted(work) + " && sync")
                                   .c_str()) != 0) {
            throw std::runtime_error("cp, sync, mv, sync failed");
        }
        into->wall.push_back(Seconds(start));
        into->cpu.push_back(CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN) - cpu);
    };
    for (int i = 0; i < pairs; ++i) {
        // The order turns every round, so that none always follows the same one.
        for (int k = 0; k < 3; ++k) {
            switch ((i + k) % 3) {
                case 0:
                    timeOne(&anchor, first, false);
                    break;
                case 1:
                    timeOne(&retitle, first, true);
                    break;
                default:
                    timeOne(&add, none, true);
                    break;
            }
        }
    }
    const double base = Median(anchor.wall);
    std::printf("1 GiB, %s, %d rounds, medians (min-max)\n", warm ? "warm" : "cold", pairs);
    auto line = [&](const char* what, const Timing& t) {
        std::printf("  %-34s %7.0f ms (%.0f-%.0f), %5.0f ms CPU, ratio %.2f\n", what,
                    Median(t.wall) * 1e3, *std::min_element(t.wall.begin(), t.wall.end()) * 1e3,
                    *std::max_element(t.wall.begin(), t.wall.end()) * 1e3, Median(t.cpu) * 1e3,
                    Median(t.wall) / base);
    };
    line("cp G; sync; mv G F; sync", anchor);
    line("first title change + sync", retitle);
    line("adding the metadata atom + sync", add);
    std::error_code ec;
    fs::remove(work, ec);
    fs::remove(copy, ec);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--get-title") == 0) {
        char* title = GetTitle(argv[2]);
        int status = title ? 0 : 1;
        std::printf("%s\n", title ? title : "(no title)");
        free(title);
        return status;
    }
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--make-movie") == 0) {
        const std::string layout = argc == 5 ? argv[4] : "last";
        MakeSyntheticMovie(argv[3], std::strtoull(argv[2], nullptr, 10) * kMiB,
                           layout == "first"  ? Layout::kMetadataFirst
                           : layout == "none" ? Layout::kNoMetadata
                                              : Layout::kMetadataLast);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--pairs") == 0) {
        const bool warm = argc == 4 && std::strcmp(argv[3], "--warm") == 0;
        return RunPairs(std::atoi(argv[2]), warm);
    }
    RegisterRealMovieBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
