// SPDX-License-Identifier: GPL-3.0-or-later
// movietitle_test.cpp - title changes written into listed movies, names read back, the suffix test.
#include "movielist/movielist.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "container/movie.h"
#include "movielist_fixture.h"
#include "support/file_faults.h"
#include "support/movielist_state.h"
#include "toolkit/localized.h"

namespace fs = std::filesystem;
using mp4test::Bytes;
using mp4test::readFile;
using mp4test::TempDir;
using mp4test::writeFile;

namespace {

// Moves the file's modification time well into the past, so that any write shows.
timespec AgeFile(const std::string& path) {
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    return old[1];
}

timespec ModTime(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mtim;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

HFSUniStr255 Name(const char* utf8) {
    return HFSUniStr255FromQString(QString::fromUtf8(utf8));
}

}  // namespace

using Title = MovieList;

// The engine gives a movie without the metadata atom one when its title is first set.
TEST_F(Title, MovieWithoutMetadataIsGivenTheTypedTitle) {
    TempDir dir;
    const std::string path = dir.file("plain.mp4");
    writeFile(path, mp4test::smallMovieWithoutMetadata());
    ASSERT_EQ(Add(path, 0), kNoErr);
    EXPECT_FALSE(Entry(0).title.has_value());

    const QString typed = "Typed";
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &typed), kNoErr);
    EXPECT_EQ(Entry(0).title, QString("Typed"));
    EXPECT_EQ(FileTitle(path), std::optional<std::string>("Typed"));
}

TEST_F(Title, TypedTitleIsWrittenOnlyWhenItDiffers) {
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    WriteMovie(path, u"Summer");
    ASSERT_EQ(Add(path, 0), kNoErr);

    const Bytes before = readFile(path);
    const timespec aged = AgeFile(path);
    const QString same = "Summer";
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &same), kNoErr);
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(SameTime(ModTime(path), aged));

    // Titles are compared exactly: a change of case is a change.
    const QString lower = "summer";
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &lower), kNoErr);
    EXPECT_EQ(Entry(0).title, QString("summer"));
    EXPECT_EQ(FileTitle(path), "summer");
    EXPECT_FALSE(SameTime(ModTime(path), aged));
}

TEST_F(Title, FileNameTitleUsesTheCurrentNameWithoutItsExtension) {
    TempDir dir;
    WriteMovie(dir.file("Old name.mp4"), u"Something");
    ASSERT_EQ(Add(dir.file("Old name.mp4"), 0), kNoErr);
    fs::rename(dir.file("Old name.mp4"), dir.file("Day 1. Beach.mp4"));

    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromFileName, nullptr), kNoErr);
    EXPECT_EQ(Entry(0).title, QString("Day 1. Beach"));
    EXPECT_EQ(FileTitle(dir.file("Day 1. Beach.mp4")), "Day 1. Beach");
    // The list still shows the name it was added under, and opens the file by its old path.
    EXPECT_EQ(NameOf(Entry(0)), "Old name.mp4");

    // Once the title is the name, doing it again writes nothing.
    const std::string path = dir.file("Day 1. Beach.mp4");
    const timespec aged = AgeFile(path);
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromFileName, nullptr), kNoErr);
    EXPECT_TRUE(SameTime(ModTime(path), aged));

    // Gone from the disk: its name cannot be read and nothing changes.
    fs::remove(path);
    EXPECT_NE(ChangeTitle(1, kChangeTitleFromFileName, nullptr), kNoErr);
    EXPECT_EQ(Entry(0).title, QString("Day 1. Beach"));
}

// The file's title buffer holds 766 bytes of UTF-8: a longer title is cut before the character
// that does not fit, while the entry keeps what was typed.
TEST_F(Title, LongTitleIsCutAtACharacterBoundaryForTheFile) {
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    WriteMovie(path, u"Short");
    ASSERT_EQ(Add(path, 0), kNoErr);

    const QString fits = QString(764, 'a') + QString::fromUtf8("\xc3\xa9");  // 766 bytes
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &fits), kNoErr);
    EXPECT_EQ(FileTitle(path), fits.toStdString());

    const QString accent = QString(765, 'b') + QString::fromUtf8("\xc3\xa9");  // 767 bytes
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &accent), kNoErr);
    EXPECT_EQ(FileTitle(path), std::string(765, 'b'));
    EXPECT_EQ(Entry(0).title, accent);

    // A character outside the BMP is two UTF-16 units and four UTF-8 bytes: neither is split.
    const QString emoji = QString(763, 'c') + QString::fromUtf8("\xf0\x9f\x8e\xac");
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &emoji), kNoErr);
    EXPECT_EQ(FileTitle(path), std::string(763, 'c'));
    EXPECT_EQ(Entry(0).title, emoji);
}

TEST_F(Title, OtherModesMissingTextAndUnknownItemsChangeNothing) {
    TempDir dir;
    WriteMovie(dir.file("movie.mp4"), u"Kept");
    ASSERT_EQ(Add(dir.file("movie.mp4"), 0), kNoErr);
    const Bytes before = readFile(dir.file("movie.mp4"));

    const QString text = "New";
    EXPECT_EQ(ChangeTitle(1, 1, &text), kNoErr);
    EXPECT_EQ(ChangeTitle(1, 4, &text), kNoErr);
    EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, nullptr), kParamErr);
    EXPECT_EQ(ChangeTitle(2, kChangeTitleFromText, &text), kParamErr);
    EXPECT_EQ(ChangeTitle(2, kChangeTitleFromFileName, nullptr), kParamErr);
    EXPECT_EQ(Entry(0).title, QString("Kept"));
    EXPECT_EQ(readFile(dir.file("movie.mp4")), before);
}

// A movie whose metadata atom lies before "mdat": the first title change copies it, and the copy
// is a new file at the same path.
TEST_F(Title, AfterATitleChangeThatCopiedTheMovieTheEntryStillNamesItsFile) {
    TempDir dir;
    const std::string path = dir.file("copied.mp4");
    writeFile(path, mp4test::cat({mp4test::box("ftyp", mp4test::ascii("isom")),
                                  mp4test::container("moov", {mp4test::usmtWithTitle(u"Old"),
                                                              mp4test::box("mvhd", Bytes(100))}),
                                  mp4test::box("mdat", Bytes(64, 0x33))}));
    ASSERT_EQ(Add(path, 0), kNoErr);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    const QString typed = "New";
    ASSERT_EQ(ChangeTitle(1, kChangeTitleFromText, &typed), kNoErr);
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    ASSERT_NE(after.st_ino, before.st_ino);  // else this test shows nothing
    std::string current;
    EXPECT_EQ(FSRefCurrentPath(&Entry(0).fileRef, &current), kNoErr);
    EXPECT_EQ(Entry(0).fileSize, uint64_t(after.st_size));
    // Its own change is no change to read again.
    EXPECT_FALSE(RefreshOpenFileInfo(1));
    EXPECT_EQ(Entry(0).title, QString("New"));
    // The copy at the old path is the listed movie, not a new one.
    EXPECT_EQ(Add(path, 1), kDupFNErr);
    EXPECT_EQ(CountOpenFileInfo(), 1);
}

TEST_F(Title, AFailedWriteKeepsTheTitleTheFileHoldsAndGivesTheCause) {
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    WriteMovie(path, u"Stored");
    ASSERT_EQ(Add(path, 0), kNoErr);
    // Another program changed the title meanwhile; the list has not looked since.
    WriteMovie(path, u"Changed elsewhere");
    MovieError why = MovieError::none;
    {
        ReadOnlyFile locked(path);
        if (!locked.ok()) GTEST_SKIP() << "the file cannot be made read-only here";
        const QString typed = "Mine";
        EXPECT_EQ(ChangeTitle(1, kChangeTitleFromText, &typed, &why), kTitleNotStoredErr);
        EXPECT_EQ(why, MovieError::readOnlyFile);
        EXPECT_EQ(Entry(0).title, QString("Changed elsewhere"));
    }

    // Gone: mode 2 cannot read the name, and says so.
    fs::remove(path);
    EXPECT_NE(ChangeTitle(1, kChangeTitleFromFileName, nullptr, &why), kNoErr);
    EXPECT_EQ(why, MovieError::noSuchFile);
    EXPECT_EQ(Entry(0).title, QString("Changed elsewhere"));
}

// What the list knows of a movie is read again only when its file has changed, and a file that
// another program rewrote through a copy renamed over it is followed.
TEST_F(Title, AMovieIsReadAgainOnlyWhenItsFileChangedAndAGoneOneCannotGo) {
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    WriteMovie(path, u"First", "avc1");
    ASSERT_EQ(Add(path, 0), kNoErr);
    EXPECT_FALSE(RefreshOpenFileInfo(1));
    EXPECT_FALSE(RefreshOpenFileInfo(2));  // no such entry

    writeFile(dir.file("new.mp4"), mp4test::smallMovie(u"Second", "mp4v"));
    fs::rename(dir.file("new.mp4"), path);
    EXPECT_TRUE(RefreshOpenFileInfo(1));
    EXPECT_EQ(Entry(0).title, QString("Second"));
    EXPECT_EQ(Entry(0).movieType, kMovieTypeMp4v);
    EXPECT_EQ(Entry(0).fileSize, fs::file_size(path));
    EXPECT_FALSE(RefreshOpenFileInfo(1));
    EXPECT_EQ(Add(path, 1), kDupFNErr);  // the file it follows now is listed

    fs::remove(path);
    EXPECT_TRUE(RefreshOpenFileInfo(1));
    EXPECT_FALSE(IsSendableMovie(Entry(0)));
    EXPECT_EQ(MovieKindString(Entry(0)), LocalizedString("no such file"));
    EXPECT_EQ(Entry(0).title, QString("Second"));
    EXPECT_FALSE(RefreshOpenFileInfo(1));

    // Back again, as the same movie.
    WriteMovie(path, u"Third", "avc1");
    EXPECT_TRUE(RefreshOpenFileInfo(1));
    EXPECT_TRUE(IsSendableMovie(Entry(0)));
    EXPECT_EQ(Entry(0).title, QString("Third"));
}

TEST(MovieNames, NameIsReadFromTheFileSystemWithOrWithoutItsExtension) {
    TempDir dir;
    for (const char* name : {"a.b.mp4", "noext", "trail.", ".hidden"})
        writeFile(dir.file(name), {});
    auto nameOf = [&](const char* file, bool withExtension) {
        FSRef ref;
        EXPECT_EQ(FSPathMakeRef(dir.file(file).c_str(), &ref), kNoErr);
        QString name = "unset";
        EXPECT_EQ(CFStringNameFromFSRef(&name, &ref, withExtension), kNoErr) << file;
        return name;
    };
    EXPECT_EQ(nameOf("a.b.mp4", true), "a.b.mp4");
    EXPECT_EQ(nameOf("a.b.mp4", false), "a.b");
    EXPECT_EQ(nameOf("noext", false), "noext");
    EXPECT_EQ(nameOf("trail.", false), "trail");
    EXPECT_EQ(nameOf(".hidden", false), "");

    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(dir.file("noext").c_str(), &ref), kNoErr);
    fs::rename(dir.file("noext"), dir.file("renamed.mp4"));
    QString name;
    ASSERT_EQ(CFStringNameFromFSRef(&name, &ref, false), kNoErr);
    EXPECT_EQ(name, "renamed");
    fs::remove(dir.file("renamed.mp4"));
    name = "unchanged";
    EXPECT_NE(CFStringNameFromFSRef(&name, &ref, true), kNoErr);
    EXPECT_EQ(name, "unchanged");
}

TEST(MovieNames, SuffixIsComparedWithoutRegardToCase) {
    EXPECT_TRUE(IsSameSuffixUnicode(Name("Clip.MP4"), ".mp4"));
    EXPECT_TRUE(IsSameSuffixUnicode(Name(".mp4"), ".mp4"));
    EXPECT_FALSE(IsSameSuffixUnicode(Name("mp4"), ".mp4"));
    EXPECT_FALSE(IsSameSuffixUnicode(Name("clip.mp4 "), ".mp4"));
    EXPECT_FALSE(IsSameSuffixUnicode(Name(""), ".mp4"));
    EXPECT_TRUE(IsSameSuffixUnicode(Name("anything"), ""));
    // Case beyond ASCII, and a suffix given as UTF-8.
    EXPECT_TRUE(IsSameSuffixUnicode(Name("FILM.\xc3\x89T\xc3\x89"), ".\xc3\xa9t\xc3\xa9"));
}
