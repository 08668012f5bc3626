// SPDX-License-Identifier: GPL-3.0-or-later
// convert_send_bench.cpp - the GUI thread's longest stall while a send converts a 20 s 1280 x 720
// H.264 Matroska video onto a folder laid out as a memory stick, beside the same send copying a
// movie of the converted size (the anchor: a send that only copies).
//
// The send runs as the application runs it: the progress window's modal loop, fed by the 0.1 s
// idle tick. A 10 ms timer on the GUI thread records how late it fires; the longest lateness is
// the stall counter, which must stay below 50 ms while the encoder works.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

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

namespace {

std::string gDir;

std::string Video() {
    return gDir + "/movies/clip.mkv";
}
std::string Copied() {
    return gDir + "/movies/copied.mp4";
}

void MakeInputs() {
    gDir = MakeBenchFolder("convertsend");
    fs::create_directories(gDir + "/movies");
    const std::string make =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30:duration=20"
        " -f lavfi -i sine=frequency=440:duration=20 -pix_fmt yuv420p -c:v libx264"
        " -preset superfast -c:a aac '" +
        Video() + "'";
    if (std::system(make.c_str()) != 0) throw std::runtime_error("ffmpeg could not make the clip");
    // A movie of about the converted size for the copying anchor: 20 s at 768 + 128 kbit/s.
    std::ofstream out(Copied(), std::ios::binary);
    std::string block(1 << 20, 'x');
    for (int i = 0; i < 3; ++i) out.write(block.data(), std::streamsize(block.size()));
    const std::string stick = gDir + "/stick";
    fs::create_directories(stick + "/PSP");
    std::ofstream(stick + "/MEMSTICK.IND");
    std::ofstream(stick + "/MSTK_PRO.IND");
    std::snprintf(gPref.devicePath, sizeof gPref.devicePath, "%s/", stick.c_str());
}

void List(const std::string& path, bool asMovie) {
    DisposeOpenFileInfo();
    FSRef ref;
    if (FSPathMakeRef(path.c_str(), &ref) != 0 || CreateOpenFileInfo(&ref, 0) != 0)
        throw std::runtime_error("cannot list " + path);
    if (asMovie) (*gOpenFile)[0].movieType = kMovieTypeAvc1;
    if (DoOpenFile(0) != 0) throw std::runtime_error("cannot show the movie");
}

void Run(benchmark::State& state, const std::string& path, bool asMovie) {
    double longestStall = 0;
    for (auto _ : state) {
        fs::remove_all(std::string(gPref.devicePath) + "MP_ROOT");
        List(path, asMovie);
        const TimedSend send = RunTimedSend();
        if (!send.sent) state.SkipWithError("the send failed");
        state.SetIterationTime(send.seconds);
        longestStall = std::max(longestStall, send.stallMs);
    }
    state.counters["longest_stall_ms"] = longestStall;
}

void BM_ConvertingSend(benchmark::State& state) {
    Run(state, Video(), false);
}
void BM_CopyingSend(benchmark::State& state) {
    Run(state, Copied(), true);
}

}  // namespace

BENCHMARK(BM_ConvertingSend)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyingSend)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    if (!StartSendingApplication()) return 1;
    MakeInputs();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DisposeOpenFileInfo();
    return 0;
}
