// SPDX-License-Identifier: GPL-3.0-or-later
// listview_bench.cpp - the list view with 10,000 movies in the main window: showing them,
// sorting by file name, by title and by the PSP column, selecting all, and removing 1,000
// scattered ones, shown in the order of adding and sorted by title.
//
// The movies are small files with titles (written once below $MOVIESTICK_BENCH_DIR, default
// /var/tmp, and removed at exit), added to the movie list through the open-documents road. Names
// and titles run in different orders, and neither is the order of adding. The main window is
// made as the application makes it, and shown (offscreen), so that redraws are paid for.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QTreeView>

#include "../tests/container/atom_builder.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "bench_folder.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "movielist/opening.h"
#include "shared/prefs.h"
#include "toolkit/alerts.h"
#include "toolkit/gestalt.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMovies = 10000;
constexpr int kRemoved = 1000;

std::string gDir;
ControlRef gBrowser = nullptr;

// A permutation of 0..n-1, so that names, titles and the folder's order all differ.
int Scrambled(int i, int step) {
    return int((long(i) * step) % kMovies);
}

const std::string& MovieFolder() {
    if (!gDir.empty()) return gDir;
    gDir = MakeBenchFolder("viewbench");
    for (int i = 0; i < kMovies; ++i) {
        char name[48];
        // Mixed case, so that the case-insensitive order is not the byte order.
        std::snprintf(name, sizeof name, "%s%05d.mp4", i % 2 ? "clip" : "Clip", Scrambled(i, 7919));
        const std::string title =
            (i % 3 ? "movie " : "Movie ") + std::to_string(Scrambled(i, 104729));
        // Three kinds, so that the PSP column has an order to sort into.
        const char* coding = i % 7 == 0 ? "hvc1" : i % 5 == 0 ? "mp4v" : "avc1";
        mp4test::writeFile(gDir + "/" + name,
                           mp4test::smallMovie(std::u16string(title.begin(), title.end()), coding));
    }
    return gDir;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ResetList() {
    (void)RemoveDataBrowserItems(gBrowser, 0, 0, nullptr, 0);
    DisposeOpenFileInfo();
    delete gOpenFileID;
    gOpenFileID = nullptr;
    lastID = 0;
    gStopOpen = false;
}

// Fills the movie list without showing it, then shows it as one batch does.
void FillList(benchmark::State* state, bool timeShowing) {
    ResetList();
    FSRef folder;
    if (FSPathMakeRef(MovieFolder().c_str(), &folder) != kNoErr ||
        CreateOpenFileInfo(&folder, 0) != kDupFNErr || CountOpenFileInfo() != kMovies)
        throw std::runtime_error("the movies were not added");
    const auto start = std::chrono::steady_clock::now();
    if (DoOpenFile(0) != 0) throw std::runtime_error("the movies were not shown");
    QCoreApplication::processEvents();
    if (timeShowing) state->SetIterationTime(Seconds(start));
}

uint32_t Rows() {
    uint32_t count = 0;
    (void)GetDataBrowserItemCount(gBrowser, 0, false, kDataBrowserItemAnyState, &count);
    return count;
}

void BM_ShowNewMovies(benchmark::State& state) {
    for (auto _ : state) FillList(&state, true);
    if (Rows() != kMovies) state.SkipWithError("not every movie is shown");
}

void Sort(benchmark::State& state, DataBrowserPropertyID property) {
    FillList(&state, false);
    for (auto _ : state) {
        (void)SetDataBrowserSortProperty(gBrowser, kDataBrowserItemNoProperty);
        QCoreApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        (void)SetDataBrowserSortProperty(gBrowser, property);
        QCoreApplication::processEvents();  // the list paints its new order
        state.SetIterationTime(Seconds(start));
    }
    (void)SetDataBrowserSortProperty(gBrowser, kDataBrowserItemNoProperty);
}

void BM_SortByFileName(benchmark::State& state) {
    Sort(state, kListFileColumn);
}
void BM_SortByTitle(benchmark::State& state) {
    Sort(state, kListTitleColumn);
}
void BM_SortByPspColumn(benchmark::State& state) {
    Sort(state, kListKindColumn);
}

void BM_SelectAll(benchmark::State& state) {
    FillList(&state, false);
    QTreeView* view = ListControlView(gBrowser);
    for (auto _ : state) {
        view->clearSelection();
        HandleDataBrowserSelect(gBrowser);
        QCoreApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        view->selectAll();                  // what Ctrl+A does
        HandleDataBrowserSelect(gBrowser);  // what the next idle tick does
        QCoreApplication::processEvents();
        state.SetIterationTime(Seconds(start));
    }
    uint32_t selected = 0;
    (void)GetDataBrowserItemCount(gBrowser, 0, false, kDataBrowserItemIsSelected, &selected);
    if (selected != kMovies) state.SkipWithError("not everything was selected");
    view->clearSelection();
}

// Removes every tenth movie of the order of adding, with the list sorted by the property (none:
// shown in the order of adding).
void RemoveScattered(benchmark::State& state, DataBrowserPropertyID property) {
    for (auto _ : state) {
        state.PauseTiming();
        FillList(&state, false);
        (void)SetDataBrowserSortProperty(gBrowser, property);
        std::vector<DataBrowserItemID> every10th;
        for (int i = 0; i < kMovies; i += kMovies / kRemoved)
            every10th.push_back((*gOpenFileID)[size_t(i)]);
        (void)SetDataBrowserSelectedItems(gBrowser, uint32_t(every10th.size()), every10th.data(),
                                          kDataBrowserItemsAssign);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const OSStatus status = RemoveSelectedListItem();  // the question is answered OK
        QCoreApplication::processEvents();
        state.SetIterationTime(Seconds(start));
        if (status != 0 || Rows() != kMovies - kRemoved ||
            CountOpenFileInfo() != kMovies - kRemoved) {
            state.SkipWithError("the selection was not removed");
            break;
        }
    }
    (void)SetDataBrowserSortProperty(gBrowser, kDataBrowserItemNoProperty);
}

void BM_RemoveScattered(benchmark::State& state) {
    RemoveScattered(state, kDataBrowserItemNoProperty);
}
void BM_RemoveScatteredSorted(benchmark::State& state) {
    RemoveScattered(state, kListTitleColumn);
}

}  // namespace

BENCHMARK(BM_ShowNewMovies)
    ->Name("BM_ShowNewMovies/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByFileName)
    ->Name("BM_SortByFileName/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByTitle)
    ->Name("BM_SortByTitle/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByPspColumn)
    ->Name("BM_SortByPspColumn/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAll)
    ->Name("BM_SelectAll/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveScattered)
    ->Name("BM_RemoveEvery10th/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveScatteredSorted)
    ->Name("BM_RemoveEvery10thSortedByTitle/10000")
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    (void)Gestalt(kGestaltSystemVersion, &gSysVersion);
    SetAlertResponder([](const AlertRecord&) { return kAlertDefaultButton; });
    NibRef* nib = nullptr;
    if (CreateNibReference("main", &nib) == 0) {
        (void)SetMenuBarFromNib(nib, "MenuBar");
        DisposeNibReference(nib);
    }
    InstallApplicationEventHandler(ApplicationHandler, nullptr);
    gPref = Preferences{};
    gPref.windowBounds = DefaultWindowBounds();
    gPref.filenameColumWidth = 200;
    gPref.titleColumWidth = 150;
    gPref.pspColumWidth = 120;
    if (!DoPref()) return 1;
    gBrowser = GetDataBrowserControl(nullptr);
    if (!gBrowser) return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ResetList();
    return 0;
}
