// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "app/startup.h"
#include "container/atom_builder.h"
#include "container/movie.h"
#include "convert/convert_support.h"
#include "movielist/listview.h"
#include "movielist/opening.h"
#include "shared/prefs.h"
#include "support/fat_image.h"
#include "support/movielist_state.h"
#include "support/test_movies.h"
#include "support/ui_windows.h"
#include "toolkit/alerts.h"
#include "toolkit/localized.h"
#include "toolkit/sounds.h"
#include "transfer/progress.h"
#include "transfer/transferglobals.h"

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
    // given, and the file's access and modification dates when they are given. Its item ID. The
    // kind is given by hand, so the file must not change afterwards: the send would read it
    // again and find no movie.
    uint32_t AddMovie(const std::string& name, int32_t kind, const Bytes& bytes,
                      const Bytes& thumbnail = {}, const timespec* dates = nullptr) {
        const std::string path = dir.file(name + ".mp4");
        writeFile(path, bytes);
        if (dates) EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), dates, 0), 0);
        if (!thumbnail.empty()) writeFile(dir.file(name + ".THM"), thumbnail);
        FSRef ref;
        EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), 0);
        const int index = CountOpenFileInfo();
        EXPECT_EQ(CreateOpenFileInfo(&ref, index), 0);
        // Adding read the file and so moved its access date.
        const timespec accessed[2] = {dates ? dates[0] : timespec{}, {0, UTIME_OMIT}};
        if (dates) EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), accessed, 0), 0);
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
    const timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    const uint32_t idA = AddMovie("A", kMovieTypeAvc1, a);
    const uint32_t idB = AddMovie("B", kMovieTypeMp4v, b, thumb, times);
    const uint32_t idC = AddMovie("C", kMovieTypeMp4v, c, Pattern(32768, 10));
    SortByName();
    // C's thumbnail is gone before the send: the movie still goes.
    std::filesystem::remove(dir.file("C.THM"));

    ASSERT_EQ(Send(), 0);
    EXPECT_EQ(gThreadID, 0u);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(sounds, QStringList{"Bottle.aiff"});
    EXPECT_FALSE(Listed(idA) || Listed(idB) || Listed(idC));
    EXPECT_EQ(CountOpenFileInfo(), 0);
    // C (an exact number of blocks) is handled first, then B, then A.
    EXPECT_EQ(
        listDir(Folder("100MNV01")),
        (std::vector<std::string>{"M4V00004.MP4", "M4V00005.MP4", "M4V00006.MP4", "M4V00006.THM"}));
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

TEST_F(SendTest, AMovieOfAnotherKindIsLeftBehindAndTheJobGoesOnWithoutTheDoneSound) {
    const uint32_t idA = AddMovie("A", kMovieTypeMp4v, Pattern(1000, 1));
    const uint32_t idB = AddMovie("B", kMovieTypeOther, Pattern(1000, 2));
    const uint32_t idC = AddMovie("C", kMovieTypeMp4v, Pattern(1000, 3));
    SortByName();
    ASSERT_EQ(Send(), 0);
    EXPECT_FALSE(Listed(idA));
    EXPECT_TRUE(Listed(idB));
    EXPECT_FALSE(Listed(idC));
    EXPECT_EQ(listDir(Folder("100MNV01")),
              (std::vector<std::string>{"M4V00001.MP4", "M4V00002.MP4"}));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].message.contains("B.mp4")) << alerts[0].message.toStdString();
    EXPECT_TRUE(alerts[0].message.contains("not an MP4 movie"));
    EXPECT_TRUE(sounds.isEmpty());
}

// Movies as ffmpeg's own MP4 muxer writes them: those the PSP plays go as they are, an H.265 one
// goes converted, and a movie whose file has gone stays listed with its reason, in one message
// at the end.
TEST_F(SendTest, AListMixingGoodAndUnusableMoviesSendsTheGoodOnesAndTellsWhyTheOthersStayed) {
    struct Made {
        const char* name;
        const char* codec;
        const char* extra;
    };
    const Made made[] = {{"Avc", "libx264", "-profile:v main"},
                         {"Hevc", "libx265", "-x265-params log-level=none"},
                         {"Mpeg4", "mpeg4", "-bf 0"},
                         {"Zgone", "mpeg4", ""}};
    std::vector<uint32_t> ids;
    for (const Made& m : made) {
        TestMovieOptions options;
        options.codec = m.codec;
        options.extra = m.extra;
        options.frames = 5;
        const std::string path = dir.file(std::string(m.name) + ".mp4");
        if (!MakeTestMovie(path, options)) GTEST_SKIP() << "ffmpeg could not make " << m.name;
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(path.c_str(), &ref), 0);
        const int index = CountOpenFileInfo();
        ASSERT_EQ(CreateOpenFileInfo(&ref, index), 0);
        ASSERT_EQ(DoOpenFile(index), 0);
        ids.push_back((*gOpenFileID)[size_t(index)]);
    }
    const Bytes avc = readFile(dir.file("Avc.mp4")), mpeg4 = readFile(dir.file("Mpeg4.mp4"));
    std::filesystem::remove(dir.file("Zgone.mp4"));
    SortByName();

    ASSERT_TRUE(CheckFreeSpace(kDataBrowserItemAnyState));
    ASSERT_EQ(Send(), 0);
    // Worked from the end: the H.265 movie, converted, takes the first AVC number.
    EXPECT_EQ(readFile(Folder("101ANV01/MAQ00002.MP4")), avc);
    EXPECT_EQ(readFile(Folder("100MNV01/M4V00001.MP4")), mpeg4);
    const Probed converted = Probe(Folder("101ANV01/MAQ00001.MP4"));
    ASSERT_NE(converted.First(AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_EQ(converted.First(AVMEDIA_TYPE_VIDEO)->codec, AV_CODEC_ID_H264);
    EXPECT_FALSE(Listed(ids[0]));
    EXPECT_FALSE(Listed(ids[1]));
    EXPECT_FALSE(Listed(ids[2]));
    EXPECT_TRUE(Listed(ids[3]));
    EXPECT_TRUE(sounds.isEmpty());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, kAlertStop);
    // One movie left behind: the message names it with its reason.
    const QString told = alerts[0].message + alerts[0].explanation;
    EXPECT_TRUE(told.contains("Zgone.mp4") && told.contains(LocalizedString("no such file")))
        << told.toStdString();
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
    FSRef folderAsMovie, device;
    ASSERT_EQ(FSPathMakeRef(dir.file("unreadable.mp4").c_str(), &folderAsMovie), 0);
    std::filesystem::create_directories(Folder("100MNV01"));
    ASSERT_EQ(FSPathMakeRef(Folder("100MNV01").c_str(), &device), 0);
    const HFSUniStr255 name = HFSUniStr255FromQString("M4V00009.MP4");
    EXPECT_EQ(CopyFile(&folderAsMovie, &device, &name), kIOErr);
    EXPECT_TRUE(listDir(Folder("100MNV01")).empty());

    // The send reads the movie again, finds no movie at all there and goes on with the next.
    (*gOpenFile)[size_t(GetOpenFileInfo(bad))].fileRef = folderAsMovie;
    SortByName();  // B first, A last
    ASSERT_EQ(Send(), 0);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].message.contains("B.mp4"));
    EXPECT_TRUE(Listed(bad));
    EXPECT_FALSE((*gOpenFile)[size_t(GetOpenFileInfo(bad))].sent);
    EXPECT_FALSE(Listed(good));
    EXPECT_EQ(listDir(Folder("100MNV01")), std::vector<std::string>{"M4V00001.MP4"});
    EXPECT_TRUE(sounds.isEmpty());
}

TEST_F(SendTest, AnUnknownFreeSpaceCountsAsNoRoom) {
    AddMovie("A", kMovieTypeMp4v, Pattern(10, 1));
    std::strcpy(gPref.devicePath, "/no/such/stick/");
    EXPECT_FALSE(CheckFreeSpace(kDataBrowserItemAnyState));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].explanation.isEmpty());
}

// A small tmpfs as the stick (root only).
TEST_F(SendTest, ASmallDeviceTakesExactlyItsFreeSpaceLessTheReserveAndAFullOneEndsTheJob) {
    const std::string point = dir.file("tmpfs");
    std::filesystem::create_directory(point);
    if (geteuid() != 0 || mount("tmpfs", point.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "no tmpfs mount here (it needs root)";
    UseStick(point);
    // Worked from the end of the list: A first, then Z and B, which are not reached.
    const uint32_t small = AddMovie("B", kMovieTypeMp4v, Pattern(1000, 2));
    const uint32_t other = AddMovie("Z", kMovieTypeOther, Pattern(1000, 3));
    const uint32_t movie = AddMovie("A", kMovieTypeMp4v, Pattern(3 * kMiB, 1));
    OpenFileInfo& a = (*gOpenFile)[size_t(GetOpenFileInfo(movie))];
    gPref.optionThumbnail = true;
    a.hasThumbnail = false;
    a.thumbnailSize = 4096;  // counted although it is not there
    // A movie that cannot go needs no room, however large.
    (*gOpenFile)[size_t(GetOpenFileInfo(other))].fileSize = 1ull << 40;
    struct statvfs volume;
    ASSERT_EQ(statvfs(point.c_str(), &volume), 0);
    const uint64_t freeBytes = uint64_t(volume.f_bavail) * volume.f_frsize;

    a.fileSize = freeBytes - kFreeSpaceReserve - 4096 - 1000;
    EXPECT_TRUE(CheckFreeSpace(kDataBrowserItemAnyState));
    EXPECT_TRUE(alerts.isEmpty());
    a.fileSize += 1;
    EXPECT_FALSE(CheckFreeSpace(kDataBrowserItemAnyState));
    ASSERT_EQ(alerts.size(), 1);

    // The real size again, so that the send does not take the file for changed.
    a.fileSize = 3 * kMiB;
    alerts.clear();
    ASSERT_EQ(Send(), 0);
    ASSERT_EQ(alerts.size(), 1);
    const QStringList lines = alerts[0].explanation.split('\n');
    ASSERT_EQ(lines.size(), 3) << alerts[0].explanation.toStdString();
    const QString noRoom = LocalizedString("no room on the PSP");
    EXPECT_TRUE(lines[0].contains("A.mp4") && lines[0].contains(noRoom));
    EXPECT_TRUE(lines[1].contains("Z.mp4") &&
                lines[1].contains(LocalizedString("not an MP4 movie")));
    EXPECT_TRUE(lines[2].contains("B.mp4") && lines[2].contains(noRoom));
    EXPECT_TRUE(Listed(movie) && Listed(other) && Listed(small));
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

// Sends that convert

namespace {

class ConvertingSend : public SendTest {
protected:
    void SetUp() override {
        SendTest::SetUp();
        if (!HaveConversionEncoders()) GTEST_SKIP() << "FFmpeg lacks libx264 or AAC";
    }
    // The video in the list under that name, read as the list reads it; its item ID.
    uint32_t AddVideo(const std::string& video, const std::string& name,
                      const Bytes& thumbnail = {}) {
        EXPECT_FALSE(video.empty()) << "ffmpeg could not make " << name;
        const std::string path = dir.file(name);
        std::filesystem::copy_file(video, path);
        if (!thumbnail.empty()) writeFile(path.substr(0, path.rfind('.')) + ".THM", thumbnail);
        FSRef ref;
        EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), 0);
        const int index = CountOpenFileInfo();
        EXPECT_EQ(CreateOpenFileInfo(&ref, index), 0);
        EXPECT_EQ(DoOpenFile(index), 0);
        return (*gOpenFileID)[size_t(index)];
    }
    void ExpectPspMovie(const std::string& path, const std::string& title) {
        const Probed probed = Probe(path);
        ASSERT_TRUE(probed.opened) << path;
        const ProbedStream* video = probed.First(AVMEDIA_TYPE_VIDEO);
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->codec, AV_CODEC_ID_H264);
        EXPECT_EQ(video->profile, FF_PROFILE_H264_MAIN);
        EXPECT_EQ(video->width, 480);
        EXPECT_EQ(video->height, 272);
        char* stored = GetTitle(path.c_str());
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(std::string(stored), title);
        free(stored);
    }
};

// Runs "Convert for PSP" on every movie of the list with the application's idle tick.
int16_t ConvertAll() {
    QTimer idle;
    QObject::connect(&idle, &QTimer::timeout, [] { IdleProc(nullptr); });
    idle.start(100);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { gCopyCancelRequest = true; });
    guard.start(30000);
    return ConvertBesideMovies(kDataBrowserItemAnyState);
}

// A video long enough that a cancel lands in the middle of its conversion.
std::string LongHdMatroska() {
    return MakeVideo("long-hd.mkv", PictureSource("1280x720", "30", 12) + ToneSource(12) +
                                        kHighProfileH264 + " -c:a aac");
}

}  // namespace

TEST_F(ConvertingSend, AnOtherVideoArrivesConvertedUnderTheAvcNameWithItsThumbnailAndTitle) {
    gPref.optionThumbnail = true;
    gPref.videoKbps = kHighVideoKbps;
    const Bytes thumb = Pattern(32768, 9);
    // A number already taken in the AVC folder: the converted movie takes the next.
    std::filesystem::create_directories(Folder("101ANV01"));
    writeFile(Folder("101ANV01") + "/MAQ00004.MP4", Pattern(100, 1));
    const uint32_t id = AddVideo(HdMatroska(), "Trip.mkv", thumb);
    const QString typed = QString::fromUtf8("Urlaub \xF0\x9F\x8C\x8A 2026");
    ASSERT_EQ(ChangeTitle(id, kChangeTitleFromText, &typed), 0);
    const OpenFileInfo entry = *FindOpenFileInfo(id);
    const uint64_t estimate = uint64_t(EstimateConvertedBytes(entry.facts, kHighVideoKbps));

    QStringList fileLines;
    ASSERT_EQ(Send([&](WindowRef progress) {
                  const QString line = GetControlText(FindNibControl(progress, kProgressFileLine));
                  if (!line.isEmpty() && !fileLines.contains(line)) fileLines << line;
              }),
              0);
    for (const AlertRecord& alert : alerts)
        ADD_FAILURE() << alert.message.toStdString() << " " << alert.explanation.toStdString();
    // The free-space check and the bar counted the estimate, not the source's size.
    EXPECT_EQ(gTotalSize, estimate + thumb.size());
    EXPECT_FALSE(Listed(id));
    EXPECT_EQ(sounds, QStringList{"Bottle.aiff"});
    EXPECT_EQ(listDir(Folder("101ANV01")),
              (std::vector<std::string>{"MAQ00004.MP4", "MAQ00005.MP4", "MAQ00005.THM"}));
    EXPECT_EQ(readFile(Folder("101ANV01") + "/MAQ00005.THM"), thumb);
    ExpectPspMovie(Folder("101ANV01") + "/MAQ00005.MP4", typed.toStdString());
    for (const QString& line : fileLines)
        EXPECT_EQ(line,
                  LocalizedString("progressConvertingFileName").arg("Trip.mkv").arg(1).arg(1));
}

TEST_F(ConvertingSend, ACancelMidwayLeavesNoFileAndTheVideoListed) {
    const uint32_t id = AddVideo(LongHdMatroska(), "long.mkv");
    bool pressed = false;
    uint64_t pressedAt = 0;
    gCurrentSize = 0;
    gCopyCount = 0;
    ASSERT_EQ(Send([&](WindowRef progress) {
                  if (pressed || gCopyCount != 1 || gCurrentSize == 0) return;
                  pressed = true;
                  pressedAt = gCurrentSize;
                  QTest::keyClick(progress, Qt::Key_Escape);
              }),
              0);
    ASSERT_TRUE(pressed);
    EXPECT_LT(pressedAt, gTotalSize);
    EXPECT_TRUE(listDir(Folder("101ANV01")).empty());
    EXPECT_TRUE(Listed(id));
    EXPECT_FALSE(FindOpenFileInfo(id)->sent);
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(ConvertingSend, AVideoThatCannotBeConvertedIsToldAndTheOthersStillGo) {
    const std::string broken = dir.file("broken.avi");
    writeFile(broken, Pattern(5000, 4));
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(broken.c_str(), &ref), 0);
    ASSERT_EQ(CreateOpenFileInfo(&ref, 0), 0);
    ASSERT_EQ(DoOpenFile(0), 0);
    const uint32_t good = AddVideo(DvdMpeg2(), "dvd.mpg");
    ASSERT_EQ(Send(), 0);
    EXPECT_FALSE(Listed(good));
    EXPECT_EQ(listDir(Folder("101ANV01")), (std::vector<std::string>{"MAQ00001.MP4"}));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].explanation.contains("broken.avi") ||
                alerts[0].message.contains("broken.avi"));
    EXPECT_TRUE(sounds.isEmpty());
}

TEST_F(ConvertingSend, OnAFatStickTheConvertedMovieArrivesUnderTheAvcName) {
    FatImage fat(dir.path());
    if (!fat.Mount()) GTEST_SKIP() << "no fusefat mount here (it needs root)";
    UseStick(fat.point);
    AddVideo(DvdMpeg2(), "dvd.mpg");
    ASSERT_EQ(Send(), 0);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(CountOpenFileInfo(), 0);
    ExpectPspMovie(fat.point + "/MP_ROOT/101ANV01/MAQ00001.MP4", "dvd");
}

TEST_F(ConvertingSend, ConvertForPspWritesAPlayableCopyBesideWithoutReplacingAnyFileAndListsIt) {
    const uint32_t id = AddVideo(HdMatroska(), "Trip.mkv");
    const Bytes source = readFile(dir.file("Trip.mkv"));
    const Bytes taken = Pattern(1000, 5);
    writeFile(dir.file("Trip (PSP).mp4"), taken);
    ASSERT_EQ(ConvertAll(), 0);
    for (const AlertRecord& alert : alerts)
        ADD_FAILURE() << alert.message.toStdString() << " " << alert.explanation.toStdString();
    EXPECT_EQ(readFile(dir.file("Trip (PSP).mp4")), taken);
    EXPECT_EQ(readFile(dir.file("Trip.mkv")), source);
    ExpectPspMovie(dir.file("Trip (PSP 2).mp4"), "Holiday");
    // Nothing went to the device, and the copy is a movie of the list that goes as it is.
    EXPECT_FALSE(std::filesystem::exists(Folder("101ANV01")));
    EXPECT_TRUE(Listed(id));
    ASSERT_EQ(CountOpenFileInfo(), 2);
    EXPECT_EQ(QStringFromHFSUniStr255((*gOpenFile)[1].fileName), QString("Trip (PSP 2).mp4"));
    EXPECT_EQ(HowSent((*gOpenFile)[1]), SendWay::kCopy);
}

TEST(ConvertedCopyName, KeepsTheStemAndNumbersLaterAttempts) {
    EXPECT_EQ(ConvertedCopyName("clip.mkv", 1), "clip (PSP).mp4");
    EXPECT_EQ(ConvertedCopyName("my.holiday.MPEG", 3), "my.holiday (PSP 3).mp4");
    EXPECT_EQ(ConvertedCopyName("noending", 1), "noending (PSP).mp4");
    EXPECT_EQ(ConvertedCopyName(".hidden", 1), ".hidden (PSP).mp4");
}
