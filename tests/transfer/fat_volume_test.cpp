// SPDX-License-Identifier: GPL-3.0-or-later
// fat_volume_test.cpp - a memory stick on a real FAT volume (fusefat, root only): detection by
// its file system, and its movie folders and numbers.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "shared/prefs.h"
#include "support/fat_image.h"
#include "toolkit/fiber.h"
#include "transfer/device.h"
#include "transfer/naming.h"

namespace {

class FatStick : public testing::Test {
protected:
    void SetUp() override {
        gPref = Preferences{};
        if (!fat.Mount()) GTEST_SKIP() << "no fusefat mount here (it needs root)";
        std::filesystem::create_directory(fat.point + "/PSP");
        std::ofstream(fat.point + "/MEMSTICK.IND");
        std::ofstream(fat.point + "/MSTK_PRO.IND");
    }
    mp4test::TempDir dir;
    FatImage fat{dir.path()};
};

}  // namespace

TEST_F(FatStick, IsADeviceByItsFileSystemWhereAPlainFolderIsNot) {
    EXPECT_TRUE(IsPSP(fat.point.c_str()));
    // The same layout on the temporary folder's own file system.
    const std::string plain = dir.file("plain");
    std::filesystem::create_directories(plain + "/PSP");
    std::ofstream(plain + "/MEMSTICK.IND");
    std::ofstream(plain + "/MSTK_PRO.IND");
    EXPECT_FALSE(IsPSP(plain.c_str()));

    std::filesystem::remove(fat.point + "/MSTK_PRO.IND");
    EXPECT_FALSE(IsPSP(fat.point.c_str()));
}

TEST_F(FatStick, MovieFoldersAreMadeAndNumbersReadOnTheStick) {
    FSRef folder;
    ASSERT_TRUE(GetPSPRef(fat.point.c_str(), &folder, kMovieKindAVC1));
    EXPECT_EQ(GetMaxNumber(&folder), 0);
    std::ofstream(fat.point + "/MP_ROOT/101ANV01/MAQ00007.MP4");
    std::ofstream(fat.point + "/MP_ROOT/101ANV01/MAQ00009.THM");
    EXPECT_EQ(GetMaxNumber(&folder), 9);
}

namespace {

struct FolderJob {
    std::string root;
    bool found = false;
    int32_t highest = -1;
    bool done = false;
};

void* FindFolderAndNumber(void* param) {
    auto* job = static_cast<FolderJob*>(param);
    FSRef folder;
    job->found = GetPSPRef(job->root.c_str(), &folder, kMovieKindMP4V);
    if (job->found) job->highest = GetMaxNumber(&folder);
    job->done = true;
    return nullptr;
}

}  // namespace

// A stick that stops answering (its file system's program is stopped for a while) must not
// stall the window: the copy thread's folder lookups, creations and listing wait on the I/O
// worker while the GUI thread goes on.
TEST_F(FatStick, FolderCallsOnAStalledStickLeaveTheGUIThreadRunning) {
    const pid_t daemon = fat.DaemonPid();
    ASSERT_GT(daemon, 0);
    FolderJob job{fat.point};
    ASSERT_EQ(kill(daemon, SIGSTOP), 0);
    std::thread resume([daemon] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        kill(daemon, SIGCONT);
    });
    ThreadID thread = kNoThreadID;
    const int16_t made = NewThread(FindFolderAndNumber, &job, 0, &thread);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    while (made == 0 && !job.done && clock.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
    resume.join();
    ASSERT_EQ(made, 0);
    ASSERT_TRUE(job.done);
    EXPECT_TRUE(job.found);
    EXPECT_EQ(job.highest, 0);
    EXPECT_GE(clock.elapsed(), 1000);  // the stick was stalled for the calls
    EXPECT_LT(longest, 500) << "the GUI thread waited on the stick";
}
