// SPDX-License-Identifier: GPL-3.0-or-later
// movielist_test.cpp - adding files and folders to the movie list, lookup, removal and item IDs.
#include "movielist/movielist.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

#include <QApplication>
#include <QKeyEvent>

#include "movielist_fixture.h"
#include "toolkit/localized.h"

namespace fs = std::filesystem;
using mp4test::Bytes;
using mp4test::TempDir;
using mp4test::writeFile;

using Names = std::vector<std::string>;

TEST_F(MovieList, FileBecomesOneEntryWithItsTitleKindSizeAndThumbnail) {
    TempDir dir;
    WriteMovie(dir.file("Movie.mp4"), u"Holiday", "mp4v");
    writeFile(dir.file("Movie.THM"), Bytes(32768, 0xFF));

    ASSERT_EQ(Add(dir.file("Movie.mp4"), 0), kNoErr);
    ASSERT_EQ(CountOpenFileInfo(), 1);
    const OpenFileInfo& entry = Entry(0);
    EXPECT_EQ(entry.itemID, 1u);
    EXPECT_EQ(NameOf(entry), "Movie.mp4");
    EXPECT_EQ(entry.path, dir.file("Movie.mp4"));
    EXPECT_EQ(entry.pathString, QString::fromStdString(dir.file("Movie.mp4")));
    ASSERT_TRUE(entry.title.has_value());
    EXPECT_EQ(*entry.title, "Holiday");
    EXPECT_EQ(entry.movieType, kMovieTypeMp4v);
    EXPECT_EQ(entry.fileSize, fs::file_size(dir.file("Movie.mp4")));
    EXPECT_FALSE(entry.sent);
    EXPECT_TRUE(entry.hasThumbnail);
    EXPECT_EQ(entry.thumbnailRef.path, dir.file("Movie.THM"));
    EXPECT_EQ(entry.thumbnailSize, 32768u);
    EXPECT_EQ(*gOpenFileID, std::vector<uint32_t>{1});

    // A second batch sees it; a count of 0 looks at no entry at all.
    EXPECT_EQ(Add(dir.file("Movie.mp4"), 1), kDupFNErr);
    EXPECT_EQ(CountOpenFileInfo(), 1);
    EXPECT_EQ(Add(dir.file("Movie.mp4"), 0), kNoErr);
    EXPECT_EQ(CountOpenFileInfo(), 2);
}

TEST_F(MovieList, KindFollowsTheVideoCodingAndTheThumbnailIsFoundInEitherCase) {
    TempDir dir;
    WriteMovie(dir.file("avc.MP4"), u"a", "avc1");
    WriteMovie(dir.file("other.mp4"), u"o", "xvid");
    writeFile(dir.file("bare.mp4"), Bytes(100, 0));  // not a movie the engine can read
    writeFile(dir.file("avc.THM"), Bytes(10, 1));
    writeFile(dir.file("other.thm"), Bytes(20, 2));
    fs::create_directory(dir.file("bare.THM"));  // a folder is no thumbnail

    EXPECT_EQ(AddBatch({dir.file("avc.MP4"), dir.file("other.mp4"), dir.file("bare.mp4")}),
              (std::vector<int>{kNoErr, kNoErr, kNoErr}));
    ASSERT_EQ(CountOpenFileInfo(), 3);
    EXPECT_EQ(Entry(0).movieType, kMovieTypeAvc1);
    EXPECT_TRUE(Entry(0).hasThumbnail);
    EXPECT_EQ(Entry(0).thumbnailSize, 10u);
    EXPECT_EQ(Entry(1).movieType, kMovieTypeOther);
    EXPECT_TRUE(Entry(1).hasThumbnail);
    EXPECT_EQ(Entry(1).thumbnailRef.path, dir.file("other.thm"));
    EXPECT_EQ(Entry(1).thumbnailSize, 20u);
    EXPECT_EQ(Entry(2).movieType, kMovieTypeOther);
    EXPECT_FALSE(Entry(2).title.has_value());
    EXPECT_FALSE(Entry(2).hasThumbnail);
    EXPECT_EQ(Entry(2).thumbnailSize, 0u);
    EXPECT_EQ(Entry(2).fileSize, 100u);
}

TEST_F(MovieList, OnlyNamesEndingInMp4InAnyCaseAreTaken) {
    TempDir dir;
    for (const char* name : {"Clip.MP4", "clip.Mp4", "clip.mp4.mp3", "mp4", "a.m4a", "c.txt"})
        WriteMovie(dir.file(name));
    fs::create_directory(dir.file("folder.mp4"));  // walked, not taken

    EXPECT_EQ(AddBatch({dir.file("Clip.MP4"), dir.file("clip.Mp4"), dir.file("clip.mp4.mp3"),
                        dir.file("mp4"), dir.file("a.m4a"), dir.file("folder.mp4")}),
              (std::vector<int>{kNoErr, kNoErr, kDupFNErr, kDupFNErr, kDupFNErr, kDupFNErr}));
    EXPECT_EQ(ListedNames(), (Names{"Clip.MP4", "clip.Mp4"}));

    Reset();
    EXPECT_EQ(Add(dir.path(), 0), kDupFNErr);
    Names expected;
    for (const std::string& name : DirectoryOrder(dir.path()))
        if (name == "Clip.MP4" || name == "clip.Mp4") expected.push_back(name);
    EXPECT_EQ(ListedNames(), expected);
}

TEST_F(MovieList, FolderWalkIsDepthFirstInTheFileSystemsOrder) {
    TempDir dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/sub/deeper");
    fs::create_directory(top + "/empty");
    for (const char* name : {"a.mp4", "k.mp4", "z.mp4", "notes.txt"}) WriteMovie(top + "/" + name);
    for (const char* name : {"b.mp4", "y.mp4"}) WriteMovie(top + "/sub/" + name);
    WriteMovie(top + "/sub/deeper/c.mp4");

    // The order the walk must give, from the file system's own listing.
    Names expected;
    std::function<void(const std::string&)> walk = [&](const std::string& folder) {
        for (const std::string& name : DirectoryOrder(folder)) {
            const std::string path = folder + "/" + name;
            if (fs::is_directory(path))
                walk(path);
            else if (name.ends_with(".mp4"))
                expected.push_back(name);
        }
    };
    walk(top);
    ASSERT_EQ(expected.size(), 6u);

    EXPECT_EQ(Add(top, 0), kDupFNErr);
    EXPECT_EQ(ListedNames(), expected);
    EXPECT_EQ(*gOpenFileID, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));

    // Walking it again finds everything listed already.
    EXPECT_EQ(Add(top, CountOpenFileInfo()), kDupFNErr);
    EXPECT_EQ(CountOpenFileInfo(), 6);
}

// Top-level items of a batch are tested only against the entries from before the batch, but
// inside a walk everything added so far counts.
TEST_F(MovieList, FileNamedBesideItsFolderIsAddedTwiceOnlyWhenTheFolderComesFirst) {
    TempDir dir;
    fs::create_directory(dir.file("folder"));
    const std::string movie = dir.file("folder/x.mp4");
    WriteMovie(movie);

    EXPECT_EQ(AddBatch({dir.file("folder"), movie}), (std::vector<int>{kDupFNErr, kNoErr}));
    EXPECT_EQ(ListedNames(), (Names{"x.mp4", "x.mp4"}));

    Reset();
    EXPECT_EQ(AddBatch({movie, dir.file("folder")}), (std::vector<int>{kNoErr, kDupFNErr}));
    EXPECT_EQ(ListedNames(), (Names{"x.mp4"}));

    // A later batch finds it either way.
    EXPECT_EQ(AddBatch({dir.file("folder"), movie}), (std::vector<int>{kDupFNErr, kDupFNErr}));
    EXPECT_EQ(CountOpenFileInfo(), 1);
}

TEST_F(MovieList, RemovalKeepsTheOrderAndIDsAreNeverReused) {
    EXPECT_EQ(CountOpenFileInfo(), 0);
    EXPECT_EQ(GetOpenFileInfo(1), -1);
    EXPECT_EQ(FindOpenFileInfo(1), nullptr);
    EXPECT_EQ(RemoveOpenFileInfo(1), kParamErr);
    EXPECT_EQ(gOpenFile, nullptr);

    TempDir dir;
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) WriteMovie(dir.file(name));
    EXPECT_EQ(AddBatch({dir.file("a.mp4"), dir.file("b.mp4"), dir.file("c.mp4")}),
              (std::vector<int>{kNoErr, kNoErr, kNoErr}));
    EXPECT_EQ(GetOpenFileInfo(3), 2);

    EXPECT_EQ(RemoveOpenFileInfo(2), kNoErr);
    EXPECT_EQ(RemoveOpenFileInfo(2), kParamErr);
    EXPECT_EQ(ListedNames(), (Names{"a.mp4", "c.mp4"}));
    EXPECT_EQ(*gOpenFileID, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(GetOpenFileInfo(3), 1);
    EXPECT_EQ(GetOpenFileInfo(2), -1);
    // The lookup by pointer agrees with the one by index, and a removed entry is null.
    ASSERT_NE(FindOpenFileInfo(3), nullptr);
    EXPECT_EQ(FindOpenFileInfo(3), &(*gOpenFile)[1]);
    EXPECT_EQ(FindOpenFileInfo(2), nullptr);

    // Removed from the list, b may come back, under a new ID.
    EXPECT_EQ(Add(dir.file("b.mp4"), CountOpenFileInfo()), kNoErr);
    EXPECT_EQ(*gOpenFileID, (std::vector<uint32_t>{1, 3, 4}));

    for (uint32_t id : {1u, 4u, 3u}) EXPECT_EQ(RemoveOpenFileInfo(id), kNoErr);
    ASSERT_NE(gOpenFile, nullptr);
    ASSERT_NE(gOpenFileID, nullptr);
    EXPECT_TRUE(gOpenFile->empty());
    EXPECT_TRUE(gOpenFileID->empty());
    for (uint32_t id = 0; id <= 5; ++id) {
        EXPECT_EQ(GetOpenFileInfo(id), -1) << id;
        EXPECT_EQ(FindOpenFileInfo(id), nullptr) << id;
    }

    EXPECT_EQ(Add(dir.file("a.mp4"), 0), kNoErr);
    EXPECT_EQ(*gOpenFileID, std::vector<uint32_t>{5});
}

// Many removals in one call: the survivors keep their order in both arrays, lookups follow
// them, and the removed files are new files again while the kept ones stay duplicates.
TEST_F(MovieList, RemovingManyAtOnceCompactsBothArraysAndFreesTheirFiles) {
    TempDir dir;
    constexpr int kMovies = 40;
    std::vector<std::string> paths;
    for (int i = 0; i < kMovies; ++i) {
        paths.push_back(dir.file("m" + std::to_string(i) + ".mp4"));
        WriteMovie(paths.back());
    }
    (void)AddBatch(paths);
    ASSERT_EQ(CountOpenFileInfo(), kMovies);

    // Every third, out of order, with an unknown ID and one given twice.
    std::vector<uint32_t> gone{99, 3};
    for (uint32_t id = kMovies; id >= 1; --id)
        if (id % 3 == 0) gone.push_back(id);
    EXPECT_EQ(RemoveOpenFileInfos(gone.data(), int(gone.size())), kMovies / 3);
    std::vector<uint32_t> kept;
    for (uint32_t id = 1; id <= kMovies; ++id)
        if (id % 3 != 0) kept.push_back(id);
    EXPECT_EQ(*gOpenFileID, kept);
    ASSERT_EQ(CountOpenFileInfo(), int(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(Entry(int(i)).itemID, kept[i]);
        EXPECT_EQ(Entry(int(i)).path, paths[kept[i] - 1]);
        EXPECT_EQ(GetOpenFileInfo(kept[i]), int(i));
    }
    EXPECT_EQ(GetOpenFileInfo(3), -1);
    EXPECT_EQ(RemoveOpenFileInfos(gone.data(), int(gone.size())), 0);

    EXPECT_EQ(Add(paths[0], CountOpenFileInfo()), kDupFNErr);
    EXPECT_EQ(Add(paths[2], CountOpenFileInfo()), kNoErr);  // was ID 3
    EXPECT_EQ(gOpenFileID->back(), uint32_t(kMovies + 1));
    // Only the entries before the batch count: the one just added is not searched.
    EXPECT_EQ(Add(paths[2], CountOpenFileInfo() - 1), kNoErr);
    EXPECT_EQ(Add(paths[2], CountOpenFileInfo()), kDupFNErr);

    // A list made afresh forgets the files of the old one.
    Reset();
    EXPECT_EQ(Add(paths[0], 0), kNoErr);
    EXPECT_EQ(Add(paths[0], 1), kDupFNErr);
}

TEST_F(MovieList, TotalsSumTheGivenEntriesAndEntriesSortByPathBytes) {
    TempDir dir;
    writeFile(dir.file("b.mp4"), Bytes(1000, 0));
    writeFile(dir.file("B.THM"), Bytes(5, 0));  // not b's: names are told apart by case
    writeFile(dir.file("a.mp4"), Bytes(3000, 0));
    writeFile(dir.file("a.THM"), Bytes(7, 0));
    writeFile(dir.file("c.mp4"), Bytes(500, 0));
    EXPECT_EQ(AddBatch({dir.file("b.mp4"), dir.file("a.mp4"), dir.file("c.mp4")}),
              (std::vector<int>{kNoErr, kNoErr, kNoErr}));

    const uint32_t all[] = {1, 2, 3};
    EXPECT_EQ(GetOpenFileTotalSize(all, 3), 4500u);
    EXPECT_EQ(GetOpenFileTotalThumbnailSize(all, 3), 7u);
    const uint32_t some[] = {3, 1};
    EXPECT_EQ(GetOpenFileTotalSize(some, 2), 1500u);
    EXPECT_EQ(GetOpenFileTotalSize(some, 0), 0u);

    EXPECT_GT(OpenFileInfoCompareProc(&Entry(0), &Entry(1)), 0);
    EXPECT_LT(OpenFileInfoCompareProc(&Entry(1), &Entry(2)), 0);
    EXPECT_EQ(OpenFileInfoCompareProc(&Entry(2), &Entry(2)), 0);
    // Bytes, not characters: "é" (0xC3 0xA9) sorts after every ASCII letter.
    OpenFileInfo accented = Entry(0);
    accented.path = dir.file("\xc3\xa9.mp4");
    EXPECT_GT(OpenFileInfoCompareProc(&accented, &Entry(2)), 0);
}

TEST_F(MovieList, ExhaustedItemIDsRefuseEveryFileAndEndTheWalk) {
    TempDir dir;
    fs::create_directory(dir.file("folder"));
    WriteMovie(dir.file("one.mp4"));
    WriteMovie(dir.file("two.mp4"));
    WriteMovie(dir.file("folder/three.mp4"));
    writeFile(dir.file("folder/notes.txt"), {});

    lastID = std::numeric_limits<uint32_t>::max() - 1;
    EXPECT_EQ(Add(dir.file("one.mp4"), 0), kNoErr);
    EXPECT_EQ(Entry(0).itemID, 0xFFFFFFFFu);
    EXPECT_EQ(Add(dir.file("two.mp4"), 1), kMemFullErr);
    EXPECT_EQ(Add(dir.file("folder/notes.txt"), 1), kMemFullErr);
    EXPECT_EQ(Add(dir.file("folder"), 1), kMemFullErr);
    EXPECT_EQ(*gOpenFileID, std::vector<uint32_t>{0xFFFFFFFF});
    EXPECT_EQ(CountOpenFileInfo(), 1);
    EXPECT_EQ(lastID, 0xFFFFFFFFu);
}

TEST_F(MovieList, LinksAreNeverWalkedAndOnlyLinksToRegularFilesAreMovies) {
    TempDir dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/sub");
    WriteMovie(dir.file("outside.mp4"));
    WriteMovie(top + "/sub/inner.mp4");
    fs::create_symlink(".", top + "/loop");                    // its own folder
    fs::create_symlink("..", top + "/sub/up.mp4");             // a folder, named like a movie
    fs::create_symlink("sub", top + "/sub-link.mp4");          // another folder
    fs::create_symlink("../outside.mp4", top + "/link.mp4");   // a movie elsewhere
    fs::create_symlink("nowhere.mp4", top + "/dangling.mp4");  // nothing
    fs::create_symlink("/dev/null", top + "/null.mp4");        // a device
    fs::create_symlink("link.mp4/x", top + "/through.mp4");    // cannot be looked at
    ASSERT_EQ(mkfifo((top + "/pipe.mp4").c_str(), 0600), 0);

    EXPECT_EQ(Add(top, 0), kDupFNErr);
    Names names = ListedNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"inner.mp4", "link.mp4"}));
    const auto linked = std::find_if(gOpenFile->begin(), gOpenFile->end(),
                                     [](const auto& e) { return NameOf(e) == "link.mp4"; });
    ASSERT_NE(linked, gOpenFile->end());
    EXPECT_EQ(linked->path, top + "/link.mp4");
    EXPECT_EQ(linked->title, QString("Title"));

    // The same file through its own name is a duplicate; the others are skipped by name too.
    const int count = CountOpenFileInfo();
    EXPECT_EQ(AddBatch({dir.file("outside.mp4"), top + "/sub-link.mp4", top + "/null.mp4",
                        top + "/pipe.mp4"}),
              (std::vector<int>{kDupFNErr, kDupFNErr, kDupFNErr, kDupFNErr}));
    EXPECT_EQ(CountOpenFileInfo(), count);
}

// Paths must fit the 4095-byte buffer with their NUL: a longer one would be cut, not skipped.
TEST_F(MovieList, MovieWhosePathDoesNotFitTheBufferIsSkipped) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 3900) {
        folder += "/" + std::string(std::min<size_t>(200, 3950 - folder.size()), 'd');
        ASSERT_TRUE(fs::create_directory(folder)) << folder.size();
    }
    const size_t room = 4094 - folder.size() - 1;  // name length for a 4094-byte path
    const std::string fits = folder + "/" + std::string(room - 4, 'f') + ".mp4";
    const std::string tooLong = folder + "/" + std::string(room - 3, 'g') + ".mp4";
    ASSERT_EQ(fits.size(), 4094u);
    ASSERT_EQ(tooLong.size(), 4095u);
    WriteMovie(fits, u"Deep");
    WriteMovie(tooLong, u"Too deep");

    EXPECT_EQ(Add(tooLong, 0), kDupFNErr);
    EXPECT_EQ(CountOpenFileInfo(), 0);
    EXPECT_EQ(Add(dir.path(), 0), kDupFNErr);
    ASSERT_EQ(CountOpenFileInfo(), 1);
    EXPECT_EQ(Entry(0).path, fits);
    EXPECT_EQ(Entry(0).title, QString("Deep"));
    EXPECT_EQ(lastID, 1u);
}

namespace {

using namespace std::chrono_literals;

void PostKey(QEvent::Type type, Qt::Key key) {
    QCoreApplication::postEvent(qApp, new QKeyEvent(type, key, Qt::ControlModifier));
}

// Lets the next query let events in, so that posted keys arrive at its first call.
void WaitForNextPoll() {
    std::this_thread::sleep_for(60ms);
}

}  // namespace

class StopAdding : public MovieList {
protected:
    void SetUp() override {
        MovieList::SetUp();
        for (int i = 0; i < 5; ++i) WriteMovie(dir.file("m" + std::to_string(i) + ".mp4"));
        SetAlertResponder([this](const AlertRecord& record) {
            questions.push_back(record.message);
            return answers.size() >= questions.size() ? answers[questions.size() - 1]
                                                      : kAlertCancelButton;
        });
    }
    void TearDown() override {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
        QCoreApplication::sendEvent(qApp, &release);
        WaitForNextPoll();
        (void)IsCommandPeriod();
        MovieList::TearDown();
    }

    Names FirstMovies(size_t n) {
        Names names = DirectoryOrder(dir.path());
        names.resize(n);
        return names;
    }

    TempDir dir;
    std::vector<int> answers;
    std::vector<QString> questions;
};

TEST_F(StopAdding, ConfirmedCtrlPeriodStopsBeforeAnythingIsAdded) {
    answers = {kAlertDefaultButton};
    PostKey(QEvent::KeyPress, Qt::Key_Period);
    PostKey(QEvent::KeyRelease, Qt::Key_Period);
    WaitForNextPoll();

    EXPECT_EQ(Add(dir.path(), 0), kNoErr);
    EXPECT_EQ(questions, std::vector<QString>{LocalizedString("StopOpenMessage")});
    EXPECT_TRUE(gStopOpen);
    EXPECT_EQ(CountOpenFileInfo(), 0);

    // Until the next opener clears it, nothing more is added.
    EXPECT_EQ(Add(dir.file("m0.mp4"), 0), kNoErr);
    EXPECT_EQ(CountOpenFileInfo(), 0);
    EXPECT_EQ(questions.size(), 1u);
}

TEST_F(StopAdding, DeclinedCtrlPeriodGoesOnWithTheWalk) {
    answers = {kAlertCancelButton};
    PostKey(QEvent::KeyPress, Qt::Key_Period);
    PostKey(QEvent::KeyRelease, Qt::Key_Period);
    WaitForNextPoll();

    EXPECT_EQ(Add(dir.path(), 0), kDupFNErr);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_FALSE(gStopOpen);
    EXPECT_EQ(CountOpenFileInfo(), 5);
}

TEST_F(StopAdding, HeldCtrlPeriodAsksAtEveryItemAndKeepsWhatWasAddedBeforeTheStop) {
    // Asked at the folder, then at each movie in turn: declined at the folder and the first two
    // movies, confirmed at the third.
    answers = {kAlertCancelButton, kAlertCancelButton, kAlertCancelButton, kAlertDefaultButton};
    PostKey(QEvent::KeyPress, Qt::Key_Period);
    WaitForNextPoll();

    EXPECT_EQ(Add(dir.path(), 0), kDupFNErr);
    EXPECT_EQ(questions.size(), 4u);
    EXPECT_TRUE(gStopOpen);
    EXPECT_EQ(ListedNames(), FirstMovies(2));
}

// A walk takes what it can from the folder's listing; each entry it makes must be the one that
// adding the movie's own path makes: name, path, file, size, date, title and companion.
TEST_F(MovieList, AWalkMakesTheEntriesThatAddingEachMovieMakes) {
    TempDir dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/clip.mp4");  // a folder named like a movie is walked
    fs::create_directories(top + "/cover.THM");
    WriteMovie(top + "/clip.mp4/inner.MP4", u"Inner");
    WriteMovie(top + "/plain.mp4", u"Plain");
    writeFile(top + "/plain.THM", Bytes(100, 1));
    WriteMovie(top + "/lower.mp4", u"Lower");
    writeFile(top + "/lower.thm", Bytes(200, 2));
    WriteMovie(top + "/cover.mp4", u"Cover");  // its companion is a folder: none
    WriteMovie(dir.file("elsewhere.mp4"), u"Linked");
    writeFile(dir.file("elsewhere.THM"), Bytes(300, 3));
    fs::create_symlink("../elsewhere.mp4", top + "/linked.mp4");
    fs::create_symlink("../elsewhere.THM", top + "/linked.THM");
    writeFile(top + "/notes.txt", Bytes(10, 4));

    EXPECT_EQ(Add(top, 0), kDupFNErr);
    std::vector<OpenFileInfo> walked = *gOpenFile;
    Reset();
    for (const OpenFileInfo& entry : walked) EXPECT_EQ(Add(entry.path, 0), kNoErr) << entry.path;
    ASSERT_EQ(CountOpenFileInfo(), int(walked.size()));
    ASSERT_EQ(walked.size(), 5u);
    for (size_t i = 0; i < walked.size(); ++i) {
        const OpenFileInfo& one = walked[i];
        const OpenFileInfo& added = Entry(int(i));
        SCOPED_TRACE(one.path);
        EXPECT_EQ(NameOf(one), NameOf(added));
        EXPECT_EQ(one.pathString, added.pathString);
        EXPECT_EQ(FSCompareFSRefs(&one.fileRef, &added.fileRef), kNoErr);
        EXPECT_EQ(one.fileRef.path, added.fileRef.path);
        EXPECT_EQ(one.fileSize, added.fileSize);
        EXPECT_EQ(one.modDate.tv_nsec, added.modDate.tv_nsec);
        EXPECT_EQ(one.title, added.title);
        EXPECT_EQ(one.movieType, added.movieType);
        EXPECT_EQ(one.hasThumbnail, added.hasThumbnail);
        EXPECT_EQ(one.thumbnailSize, added.thumbnailSize);
        if (one.hasThumbnail) EXPECT_EQ(one.thumbnailRef.path, added.thumbnailRef.path);
    }
    const auto named = [&walked](const std::string& name) {
        return *std::find_if(walked.begin(), walked.end(),
                             [&name](const OpenFileInfo& e) { return NameOf(e) == name; });
    };
    EXPECT_EQ(named("plain.mp4").thumbnailSize, 100u);
    EXPECT_EQ(named("lower.mp4").thumbnailSize, 200u);
    EXPECT_EQ(named("linked.mp4").thumbnailSize, 300u);
    EXPECT_EQ(named("linked.mp4").thumbnailRef.path, top + "/linked.THM");
    EXPECT_FALSE(named("cover.mp4").hasThumbnail);
    EXPECT_EQ(named("inner.MP4").title, QString("Inner"));

    // Walked again, every movie is found listed: nothing is added, no ID is used.
    EXPECT_EQ(Add(top, CountOpenFileInfo()), kDupFNErr);
    EXPECT_EQ(CountOpenFileInfo(), 5);
    EXPECT_EQ(lastID, 5u);
}
