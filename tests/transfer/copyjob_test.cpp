// copyjob_test.cpp - whole sends to a folder laid out as a memory stick, to a full volume and to
// a real FAT image: names, thumbnails, order of work, cancel, failures, the done sound.
#include "transfer/copyjob.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/mainwindow.h"
#include "app/prefs.h"
#include "app/startup.h"
#include "app/transferglobals.h"
#include "container/atom_builder.h"
#include "movielist/listview.h"
#include "movielist/opening.h"
#include "support/fat_image.h"
#include "support/movielist_state.h"
#include "support/ui_windows.h"
#include "toolkit/alerts.h"
#include "toolkit/sounds.h"

using mp4test::Bytes;
using mp4test::listDir;
using mp4test::readFile;
using mp4test::TempDir;
using mp4test::writeFile;

namespace {

constexpr size_t kMiB = 1024 * 1024;

// Bytes that tell their file and their place apart.
Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 7 + i / 4096);
    return bytes;
}

class SendTest : public testing::Test {
protected:
    void SetUp() override {
        gPref = Preferences{};
        gPref.debugLocalVolumeAsPSPVolume = true;
        gPref.copyDoneSound = "Bottle.aiff";
        ResetMovieList();
        SetSoundPlayer([this](const QString& name) {
            sounds << name;
            return int16_t(0);
        });
        SetAlertResponder([this](const AlertRecord& alert) {
            alerts << alert;
            return kAlertDefaultButton;
        });
        ASSERT_TRUE(DoPref());
        QTest::qWait(20);
        UseStick(dir.file("device"));
    }
    void TearDown() override {
        SetAlertResponder({});
        SetSoundPlayer({});
        gThreadID = 0;
        gCopyCancelRequest = false;
        ResetMovieList();
        DisposeAllWindows();
    }

    void UseStick(const std::string& root) {
        std::filesystem::create_directories(root + "/PSP");
        std::ofstream(root + "/MEMSTICK.IND");
        std::ofstream(root + "/MSTK_PRO.IND");
        std::snprintf(gPref.devicePath, sizeof gPref.devicePath, "%s/", root.c_str());
    }
    std::string Folder(const char* name) const {
        return std::string(gPref.devicePath) + "MP_ROOT/" + name;
    }

    // A movie file of that kind in the list (and shown), with a thumbnail beside it when one is
    // given. Its item ID.
    uint32_t AddMovie(const std::string& name, int32_t kind, const Bytes& bytes,
                      const Bytes& thumbnail = {}) {
        const std::string path = dir.file(name + ".mp4");
        writeFile(path, bytes);
        if (!thumbnail.empty()) writeFile(dir.file(name + ".THM"), thumbnail);
        FSRef ref;
        EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), 0);
        const int index = CountOpenFileInfo();
        EXPECT_EQ(CreateOpenFileInfo(&ref, index), 0);
        (*gOpenFile)[size_t(index)].movieType = kind;
        EXPECT_EQ(DoOpenFile(index), 0);
        return (*gOpenFileID)[size_t(index)];
    }
    bool Listed(uint32_t item) const { return GetOpenFileInfo(item) >= 0; }
    ControlRef List() const { return GetDataBrowserControl(nullptr); }
    void SortByName() {
        ASSERT_EQ(SetDataBrowserSortProperty(List(), kListFileColumn), 0);
        ASSERT_EQ(SetDataBrowserSortOrder(List(), kDataBrowserOrderIncreasing), 0);
    }

    // Runs a whole send of every movie with the application's idle tick, as the shell does.
    // `during` is called on every turn of the event loop while the progress window is in front.
    int16_t Send(std::function<void(WindowRef)> during = {}) {
        QTimer idle;
        QObject::connect(&idle, &QTimer::timeout, [] { IdleProc(nullptr); });
        idle.start(100);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            WindowRef front = FrontWindow();
            if (during && GetWindowTag(front) == kWindowTagProgress) during(front);
        });
        watch.start(0);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { gCopyCancelRequest = true; });
        guard.start(30000);
        return SendToPSP(kDataBrowserItemAnyState);
    }

    TempDir dir;
    QStringList sounds;
    QList<AlertRecord> alerts;
};

}  // namespace

TEST_F(SendTest, MoviesGoUnderFreshNumbersFromTheEndOfAnIncreasingListWithTheirThumbnails) {
    gPref.optionThumbnail = true;
    std::filesystem::create_directories(Folder("100MNV01"));
    std::ofstream(Folder("100MNV01") + "/M4V00004.MP4");
    const Bytes a = Pattern(300000, 1), b = Pattern(kMiB + 5, 2), c = Pattern(2 * kMiB, 3);
    const Bytes thumb = Pattern(32768, 9);
    const uint32_t idA = AddMovie("A", kMovieTypeAvc1, a);
    const uint32_t idB = AddMovie("B", kMovieTypeMp4v, b, thumb);
    const uint32_t idC = AddMovie("C", kMovieTypeMp4v, c, Pattern(32768, 10));
    SortByName();
    // C's thumbnail is gone before the send: the movie still goes.
    std::filesystem::remove(dir.file("C.THM"));
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("B.mp4").c_str(), times, 0), 0);

    ASSERT_EQ(Send(), 0);
    EXPECT_EQ(gThreadID, 0u);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(sounds, QStringList{"Bottle.aiff"});
    EXPECT_FALSE(Listed(idA) || Listed(idB) || Listed(idC));
    EXPECT_EQ(CountOpenFileInfo(), 0);
    // C (an exact number of blocks) is handled first, then B, then A.
    EXPECT_EQ(listDir(Folder("100MNV01")),
              (std::vector<std::string>{"M4V00004.MP4", "M4V00005.MP4", "M4V00006.MP4",
                                        "M4V00006.THM"}));
    EXPECT_EQ(listDir(Folder("101ANV01")), std::vector<std::string>{"MAQ00001.MP4"});
    // Before reading the copies, which moves their access dates.
    struct stat copied;
    ASSERT_EQ(stat(Folder("100MNV01/M4V00006.MP4").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(copied.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(readFile(Folder("100MNV01/M4V00005.MP4")), c);
    EXPECT_EQ(readFile(Folder("100MNV01/M4V00006.MP4")), b);
    EXPECT_EQ(readFile(Folder("100MNV01/M4V00006.THM")), thumb);
    EXPECT_EQ(readFile(Folder("101ANV01/MAQ00001.MP4")), a);
    // Both thumbnails were counted; only B's was there to copy.
    EXPECT_EQ(gTotalSize, a.size() + b.size() + c.size() + 2 * 32768);
    EXPECT_EQ(gCurrentSize, a.size() + b.size() + c.size() + 32768);
    EXPECT_EQ(gCopyCount, 3);
}

TEST_F(SendTest, AMovieOfAnotherKindEndsTheJobAndTheMoviesBeforeItStaySent) {
    const uint32_t idA = AddMovie("A", kMovieTypeMp4v, Pattern(1000, 1));
    const uint32_t idB = AddMovie("B", kMovieTypeOther, Pattern(1000, 2));
    const uint32_t idC = AddMovie("C", kMovieTypeMp4v, Pattern(1000, 3));
    SortByName();
    ASSERT_EQ(Send(), 0);
    EXPECT_TRUE(Listed(idA));
    EXPECT_TRUE(Listed(idB));
    EXPECT_FALSE(Listed(idC));
    EXPECT_EQ(listDir(Folder("100MNV01")), std::vector<std::string>{"M4V00001.MP4"});
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(sounds, QStringList{"Bottle.aiff"});
}

TEST_F(SendTest, EscapeDuringTheFirstMovieLeavesNoFileAndEveryMovieListed) {
    std::vector<uint32_t> ids;
    for (const char* name : {"A", "B", "C"})
        ids.push_back(AddMovie(name, kMovieTypeMp4v, Pattern(24 * kMiB, uint8_t(name[0]))));
    bool pressed = false;
    ASSERT_EQ(Send([&](WindowRef progress) {
                  if (pressed || gCopyCount != 1 || gCurrentSize == 0) return;
                  pressed = true;
                  QTest::keyClick(progress, Qt::Key_Escape);
              }),
              0);
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(gCopyCancelRequest);
    EXPECT_LT(gCurrentSize, 24 * kMiB);
    EXPECT_TRUE(listDir(Folder("100MNV01")).empty());
    for (uint32_t id : ids) EXPECT_TRUE(Listed(id));
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(SendTest, AFailedReadFailsTheCopyInsteadOfEndingTheFile) {
    const uint32_t good = AddMovie("A", kMovieTypeMp4v, Pattern(5000, 1));
    const uint32_t bad = AddMovie("B", kMovieTypeMp4v, Pattern(5000, 2));
    // Reading a folder fails (EISDIR) where opening it did not.
    std::filesystem::create_directory(dir.file("unreadable.mp4"));
    ASSERT_EQ(FSPathMakeRef(dir.file("unreadable.mp4").c_str(),
                            &(*gOpenFile)[size_t(GetOpenFileInfo(bad))].fileRef),
              0);
    SortByName();  // B first, A last
    ASSERT_EQ(Send(), 0);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_NE(alerts[0].explanation, QString());  // the error code
    EXPECT_TRUE(Listed(bad));
    EXPECT_FALSE((*gOpenFile)[size_t(GetOpenFileInfo(bad))].sent);
    EXPECT_FALSE(Listed(good));
    // The failed copy's number was free again for A.
    EXPECT_EQ(listDir(Folder("100MNV01")), std::vector<std::string>{"M4V00001.MP4"});
    EXPECT_EQ(sounds, QStringList{"Bottle.aiff"});
}

TEST_F(SendTest, AnUnknownFreeSpaceCountsAsNoRoom) {
    AddMovie("A", kMovieTypeMp4v, Pattern(10, 1));
    std::strcpy(gPref.devicePath, "/no/such/stick/");
    EXPECT_FALSE(CheckFreeSpace(kDataBrowserItemAnyState));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].explanation.isEmpty());
}

// A small tmpfs as the stick (root only).
TEST_F(SendTest, ASmallDeviceTakesExactlyItsFreeSpaceLessTheReserveAndAFullOneFailsTheCopy) {
    const std::string point = dir.file("tmpfs");
    std::filesystem::create_directory(point);
    if (geteuid() != 0 || mount("tmpfs", point.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "no tmpfs mount here (it needs root)";
    UseStick(point);
    const uint32_t movie = AddMovie("A", kMovieTypeMp4v, Pattern(3 * kMiB, 1));
    gPref.optionThumbnail = true;
    (*gOpenFile)[0].hasThumbnail = false;
    (*gOpenFile)[0].thumbnailSize = 4096;  // counted although it is not there
    struct statvfs volume;
    ASSERT_EQ(statvfs(point.c_str(), &volume), 0);
    const uint64_t freeBytes = uint64_t(volume.f_bavail) * volume.f_frsize;

    (*gOpenFile)[0].fileSize = freeBytes - kFreeSpaceReserve - 4096;
    EXPECT_TRUE(CheckFreeSpace(kDataBrowserItemAnyState));
    EXPECT_TRUE(alerts.isEmpty());
    (*gOpenFile)[0].fileSize += 1;
    EXPECT_FALSE(CheckFreeSpace(kDataBrowserItemAnyState));
    ASSERT_EQ(alerts.size(), 1);

    alerts.clear();
    ASSERT_EQ(Send(), 0);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].explanation.contains("-34"));
    EXPECT_TRUE(Listed(movie));
    EXPECT_TRUE(listDir(Folder("100MNV01")).empty());
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_EQ(umount2(point.c_str(), MNT_DETACH), 0);
}

// A real FAT image (fusefat, root only), checked afterwards with mtools.
TEST_F(SendTest, OnAFatStickTheMoviesArriveWholeAndTheStickIsUnmounted) {
    FatImage fat(dir.path());
    if (!fat.Mount()) GTEST_SKIP() << "no fusefat mount here (it needs root)";
    UseStick(fat.point);
    gPref.optionThumbnail = true;
    gPref.optionUnmount = true;
    const Bytes a = Pattern(1500000, 1), b = Pattern(700000, 2), thumb = Pattern(32768, 3);
    AddMovie("A", kMovieTypeMp4v, a, thumb);
    AddMovie("B", kMovieTypeAvc1, b);
    SortByName();
    ASSERT_EQ(Send(), 0);
    for (const AlertRecord& alert : alerts)
        ADD_FAILURE() << alert.message.toStdString() << " " << alert.explanation.toStdString();
    EXPECT_EQ(sounds, QStringList{"Bottle.aiff"});
    EXPECT_FALSE(IsMountPoint(fat.point));
    EXPECT_EQ(CountOpenFileInfo(), 0);

    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    auto fetch = [&](const std::string& name) {
        const std::string out = dir.file("fetched");
        std::filesystem::remove(out);
        EXPECT_TRUE(RunQuietly({"mcopy", "-n", "-i", fat.image, "::" + name, out})) << name;
        return std::filesystem::exists(out) ? readFile(out) : Bytes{};
    };
    EXPECT_EQ(fetch("/MP_ROOT/100MNV01/M4V00001.MP4"), a);
    EXPECT_EQ(fetch("/MP_ROOT/100MNV01/M4V00001.THM"), thumb);
    EXPECT_EQ(fetch("/MP_ROOT/101ANV01/MAQ00001.MP4"), b);
    // The names the device reads are the short ones, exactly these.
    FILE* listing = popen(("mdir -b -i '" + fat.image + "' ::/MP_ROOT/100MNV01").c_str(), "r");
    ASSERT_NE(listing, nullptr);
    std::string names;
    char line[512];
    while (fgets(line, sizeof line, listing)) names += line;
    pclose(listing);
    EXPECT_EQ(names, "::/MP_ROOT/100MNV01/M4V00001.MP4\n::/MP_ROOT/100MNV01/M4V00001.THM\n");
}
