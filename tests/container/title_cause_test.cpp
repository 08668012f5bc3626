// SPDX-License-Identifier: GPL-3.0-or-later
// title_cause_test.cpp - why a title operation fails, and that a failed one changes nothing:
// files that are no regular files, permissions, read-only disks, damaged movies, bad titles.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "atom_builder.h"
#include "container/movie.h"
#include "container/moviefile.h"

using namespace mp4test;

namespace {

Bytes ftypAtom() {
    return box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")}));
}

// The metadata atom first in "moov", before "mdat": a title change copies the movie.
Bytes copiedMovie(const Bytes& moovTail = {}) {
    return cat({ftypAtom(),
                container("moov", {usmtWithTitle(u"Old"), box("mvhd", Bytes(100)), moovTail}),
                box("mdat", Bytes(64, 0x33))});
}

class TitleCauseTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("movie.mp4");

    MovieError setTitle(const std::string& file, const char* title) {
        MovieError why = MovieError::none;
        const int result = SetTitleWithCause(file.c_str(), title, &why);
        EXPECT_EQ(result, why == MovieError::none ? 0 : 1);
        return why;
    }
    MovieError getTitle(const std::string& file, std::string* title = nullptr) {
        MovieError why = MovieError::ioError;
        char* t = GetTitleWithCause(file.c_str(), &why);
        EXPECT_EQ(t != nullptr, why == MovieError::none);
        if (t && title) *title = t;
        free(t);
        return why;
    }
    // A title change that must fail for `cause` and leave the folder exactly as it was.
    void expectRefused(const char* title, MovieError cause) {
        const Bytes before = readFile(path);
        const std::vector<std::string> names = listDir(dir.path());
        const MovieError why = setTitle(path, title);
        EXPECT_EQ(why, cause) << MovieErrorText(why);
        EXPECT_EQ(readFile(path), before);
        EXPECT_EQ(listDir(dir.path()), names);
    }
};

TEST_F(TitleCauseTest, EveryCauseHasShortWords) {
    EXPECT_STREQ(MovieErrorText(MovieError::none), "");
    EXPECT_STREQ(MovieErrorText(MovieError::noRoom), "no room on the disk");
    EXPECT_STREQ(MovieErrorText(MovieError::damaged),
                 "the movie's structure is damaged; it was not changed");
    for (int e = int(MovieError::noSuchFile); e <= int(MovieError::ioError); ++e) {
        const std::string words = MovieErrorText(MovieError(e));
        EXPECT_FALSE(words.empty()) << e;
        EXPECT_LT(words.size(), 60u) << words;
    }
}

TEST_F(TitleCauseTest, MissingFilesFoldersAndNonMovies) {
    EXPECT_EQ(getTitle(dir.file("none.mp4")), MovieError::noSuchFile);
    EXPECT_EQ(setTitle(dir.file("none.mp4"), "x"), MovieError::noSuchFile);
    EXPECT_EQ(getTitle(dir.file("none/a.mp4")), MovieError::noSuchFile);
    EXPECT_EQ(getTitle(dir.path()), MovieError::notRegularFile);
    EXPECT_EQ(setTitle(dir.path(), "x"), MovieError::notRegularFile);

    writeFile(path, ascii("some text, not a movie"));
    EXPECT_EQ(getTitle(path), MovieError::notAMovie);
    expectRefused("x", MovieError::notAMovie);

    writeFile(path, cat({ftypAtom(), container("moov", {box("mvhd")}), box("mdat")}));
    EXPECT_EQ(getTitle(path), MovieError::noMetadata);
    writeFile(path, cat({ftypAtom(), box("mdat"),
                         container("moov", {usmt({{3, {0, 0, 0, 0}, utf16be(u"a")},
                                                  {4, {0, 0, 0, 0}, utf16be(u"b")},
                                                  {5, {0, 0, 0, 0}, be32(1)},
                                                  {6, {0, 0, 0, 0}, be32(1)}})})}));
    EXPECT_EQ(getTitle(path), MovieError::noTitle);
}

// A pipe named like a movie: opening it to read would wait for a writer forever. The alarm
// turns a hang into a failure.
TEST_F(TitleCauseTest, PipesAndDevicesAreRefusedAtOnce) {
    const std::string fifo = dir.file("x.mp4");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    alarm(20);
    for (const std::string& file : {fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(getTitle(file), MovieError::notRegularFile);
        EXPECT_EQ(setTitle(file, "x"), MovieError::notRegularFile);
        EXPECT_EQ(ReadMovieSummary(file.c_str()).error, MovieError::notRegularFile);
        EXPECT_EQ(CheckMovieFile(file.c_str()), MovieError::notRegularFile);
        char code[5] = "none";
        GetMovieType(file.c_str(), code);
        EXPECT_STREQ(code, "none");
        MovieError why = MovieError::none;
        EXPECT_EQ(OpenMovieStream(file.c_str(), MovieAccess::read, &why), nullptr);
        EXPECT_EQ(why, MovieError::notRegularFile);
    }
    alarm(0);
}

TEST_F(TitleCauseTest, TitlesThatCannotBeStoredAreRefusedBeforeAnyWrite) {
    writeFile(path, copiedMovie());
    expectRefused("caf\xE9", MovieError::invalidTitle);       // Latin-1, not UTF-8
    expectRefused("a\xC3", MovieError::invalidTitle);         // cut off
    expectRefused("\xED\xA0\x80", MovieError::invalidTitle);  // an encoded surrogate
    expectRefused(std::string(40000, 'a').c_str(), MovieError::titleTooLong);
    std::string title;
    EXPECT_EQ(getTitle(path, &title), MovieError::none);
    EXPECT_EQ(title, "Old");
}

// Atoms that do not nest: reading goes on, but a rewrite would write sizes that no longer
// match their content (and leave a chunk table unshifted), so nothing is written at all.
TEST_F(TitleCauseTest, MoviesWhoseAtomsDoNotNestAreNeverWritten) {
    const Bytes stbl =
        container("stbl", {box("stsd", Bytes(8)), boxWithSize(400, "stsz", Bytes(8))});
    const Bytes track = container("trak", {container("mdia", {container("minf", {stbl})})});
    const Bytes overlong = cat({be32(8 + 16), ascii("mdat"), Bytes(8, 1)});
    const struct {
        const char* what;
        Bytes movie;
    } cases[] = {
        {"child past its container, copy", copiedMovie(track)},
        {"child past its container, in place",
         cat({ftypAtom(), box("mdat", Bytes(8)),
              container("moov", {box("mvhd"), track, usmtWithTitle(u"Old")})})},
        {"two movie headers", cat({copiedMovie(), container("moov", {box("mvhd")})})},
        {"last atom past the end of the file", cat({copiedMovie(), overlong})},
        {"chunk table longer than its count",
         copiedMovie(container("stbl", {box("stco", cat({be32(0), be32(9), be32(1)}))}))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, c.movie);
        expectRefused("A new title", MovieError::damaged);
        std::string title;
        EXPECT_EQ(getTitle(path, &title), MovieError::none);
        EXPECT_EQ(title, "Old");
    }
}

// Runs the calls of a scope with the effective user "nobody", who owns nothing here.
class AsNobody {
public:
    AsNobody() { ok_ = geteuid() == 0 && setegid(65534) == 0 && seteuid(65534) == 0; }
    ~AsNobody() {
        if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
    }
    bool ok() const { return ok_; }

private:
    bool ok_;
};

TEST_F(TitleCauseTest, PermissionsNameTheFileOrTheFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "changing to another user needs root";
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    writeFile(path, copiedMovie());
    const std::string unreadable = dir.file("secret.mp4");
    writeFile(unreadable, copiedMovie());
    ASSERT_EQ(chmod(unreadable.c_str(), 0600), 0);
    const std::string writable = dir.file("shared.mp4");
    writeFile(writable, copiedMovie());
    ASSERT_EQ(chmod(writable.c_str(), 0666), 0);
    const Bytes before = readFile(path);

    AsNobody nobody;
    ASSERT_TRUE(nobody.ok());
    // Reading needs only read access.
    std::string title;
    EXPECT_EQ(getTitle(path, &title), MovieError::none);
    EXPECT_EQ(title, "Old");
    EXPECT_EQ(ReadMovieSummary(path.c_str()).title.value_or("(none)"), "Old");
    EXPECT_EQ(setTitle(path, "x"), MovieError::readOnlyFile);
    EXPECT_EQ(getTitle(unreadable), MovieError::permissionDenied);
    EXPECT_EQ(setTitle(unreadable, "x"), MovieError::permissionDenied);
    // The copy is made beside the movie, in a folder that only root may write.
    EXPECT_EQ(setTitle(writable, "x"), MovieError::folderNotWritable);
    EXPECT_EQ(readFile(writable), before);
    EXPECT_EQ(listDir(dir.path()),
              (std::vector<std::string>{"movie.mp4", "secret.mp4", "shared.mp4"}));
}

// A read-only view of the test folder: a bind mount remounted read-only; needs root.
class ReadOnlyVolumeTest : public TitleCauseTest {
protected:
    std::string view = dir.file("view");
    bool mounted = false;

    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
        writeFile(path, copiedMovie());
        writeFile(dir.file("last.mp4"), cat({ftypAtom(), box("mdat", Bytes(8)),
                                             container("moov", {usmtWithTitle(u"Last")})}));
        ASSERT_EQ(mkdir(view.c_str(), 0755), 0);
        if (mount(dir.path().c_str(), view.c_str(), nullptr, MS_BIND, nullptr) != 0)
            GTEST_SKIP() << "cannot bind-mount: " << strerror(errno);
        mounted = true;
        ASSERT_EQ(mount(nullptr, view.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
                  0)
            << strerror(errno);
    }
    void TearDown() override {
        if (mounted) umount2(view.c_str(), MNT_DETACH);
    }
};

TEST_F(ReadOnlyVolumeTest, TitlesAreReadButNotWritten) {
    for (const char* name : {"/movie.mp4", "/last.mp4"}) {
        const std::string file = view + name;
        std::string title;
        EXPECT_EQ(getTitle(file, &title), MovieError::none) << name;
        EXPECT_FALSE(title.empty());
        EXPECT_EQ(setTitle(file, "x"), MovieError::readOnlyVolume) << name;
    }
    EXPECT_EQ(ReadMovieSummary((view + "/movie.mp4").c_str()).title.value_or(""), "Old");
}

}  // namespace
