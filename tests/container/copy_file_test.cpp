// SPDX-License-Identifier: GPL-3.0-or-later
// copy_file_test.cpp - the copy that moves the metadata atom: nothing is left behind by a crash
// in the middle of it, and file systems without unnamed files still get their copy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "atom_builder.h"
#include "container/atom.h"
#include "container/movie.h"
#include "movie_layout.h"

using namespace mp4test;

namespace {

Bytes moovFirstMovie(size_t mediaBytes) {
    return cat({box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")})),
                container("moov", {usmtWithTitle(u"Old"), box("mvhd", Bytes(100))}),
                box("mdat", Bytes(mediaBytes, 0x5A))});
}

// Whether the process holds a file in `folder` other than `movie`: the copy being written.
bool holdsCopyIn(pid_t pid, const std::string& folder, const std::string& movie) {
    std::error_code ec;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, ec)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
        if (target.rfind(folder + "/", 0) == 0 && target != movie) return true;
    }
    return false;
}

// Killed while its copy is being written, the title change leaves the movie as it was and no
// copy beside it: the copy has no name until it is complete.
TEST(CopyFile, AKillDuringTheCopyLeavesNothingBehind) {
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    const Bytes movie = moovFirstMovie(size_t(32) << 20);
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        writeFile(path, movie);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(SetTitle(path.c_str(), "New title"));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool seen = false;
        while (!(seen = holdsCopyIn(pid, dir.path(), path)) &&
               std::chrono::steady_clock::now() < deadline && waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ASSERT_TRUE(seen) << "the copy was never seen open";
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"movie.mp4"});
        EXPECT_TRUE(readFile(path) == movie);
    }
}

// Every container's size in the copy is what its children add up to, at every depth, whatever
// the title did to the metadata atom inside, and an open-ended "moov" gets its real size.
TEST(CopyFile, EveryContainerIsSizedByWhatItsChildrenTook) {
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    const Bytes z(20, 0);
    const Bytes ftyp = box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")}));
    const Bytes trak = container(
        "trak",
        {box("tkhd", z),
         container("mdia", {box("mdhd", z),
                            container("minf", {container("stbl", {box("stsd", z), stco({})})})}),
         container("udta", {box("name", ascii("track"))})});
    const Bytes mdat = box("mdat", Bytes(5000, 0x5A));
    Bytes moovChildren = cat({usmtWithTitle(u"Old"), box("mvhd", Bytes(100)), trak});
    const struct {
        const char* name;
        Bytes movie;
    } cases[] = {
        {"moov before mdat", cat({ftyp, box("moov", moovChildren), mdat})},
        {"open-ended moov last", cat({ftyp, mdat, boxWithSize(0, "moov", moovChildren)})},
    };
    // Checks the sizes below `atoms` against their children; the bytes they span in total.
    std::function<uint64_t(const std::vector<Found>&)> spanned =
        [&](const std::vector<Found>& atoms) {
            uint64_t total = 0;
            for (const Found& atom : atoms) {
                EXPECT_FALSE(atom.toEnd) << atom.type;
                if (!atom.children.empty()) {
                    EXPECT_EQ(atom.size, atom.headerSize + spanned(atom.children)) << atom.type;
                }
                total += atom.size;
            }
            return total;
        };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* title : {"A much longer title than before", "S"}) {
            writeFile(path, c.movie);
            ASSERT_EQ(SetTitle(path.c_str(), title), 0);
            const Bytes after = readFile(path);
            const std::vector<Found> atoms = atomsIn(after, 0, after.size());
            EXPECT_EQ(layoutOf(atoms),
                      "ftyp mdat moov(mvhd trak(tkhd mdia(mdhd minf(stbl(stsd stco))) "
                      "udta(name)) uuid)");
            EXPECT_EQ(spanned(atoms), after.size());
            char* read = GetTitle(path.c_str());
            EXPECT_STREQ(read, title);
            free(read);
        }
    }
}

// The copy of a movie whose containers nest very deep neither exhausts the stack nor loses a
// level, and every level gets its size.
TEST(CopyFile, DeeplyNestedContainersAreCopiedWhole) {
    constexpr uint32_t kDepth = 100000;
    TempDir dir;
    const std::string path = dir.file("movie.mp4");
    Bytes chain;
    for (uint32_t i = 0; i < kDepth; ++i)
        append(chain, cat({be32(8 * (kDepth - i)), ascii("trak")}));
    const Bytes moov = box("moov", cat({usmtWithTitle(u"Old"), box("mvhd", Bytes(100)), chain}));
    writeFile(path, cat({box("ftyp", ascii("MSNVmp42")), moov, box("mdat", Bytes(100, 1))}));

    ASSERT_EQ(SetTitle(path.c_str(), "Deep"), 0);
    FILE* stream = fopen(path.c_str(), "rb");
    ASSERT_TRUE(stream);
    MovieInfo* info = GetMovieInfo(stream, nullptr);
    fclose(stream);
    ASSERT_TRUE(info);
    EXPECT_TRUE(AtomsNest(info));
    uint32_t depth = 0;
    const HireList* trak = static_cast<const HireList*>(info->moov->child->next);  // behind mvhd
    for (const HireList* n = trak; n; n = n->child) ++depth;
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(static_cast<const AtomInfo*>(trak)->size, 8u * kDepth);
    FreeMovieInfo(info, nullptr);
    char* title = GetTitle(path.c_str());
    EXPECT_STREQ(title, "Deep");
    free(title);
}

// Mounts a fresh FAT image at `point` through fusefat; the reason to skip when this machine
// cannot, else empty.
std::string mountFat(const std::string& image, const std::string& point) {
    if (geteuid() != 0) return "mounting needs root";
    if (std::system("command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null") != 0)
        return "fusefat or mkfs.vfat is missing";
    std::filesystem::create_directory(point);
    const std::string mount = "truncate -s 8M '" + image + "' && mkfs.vfat '" + image +
                              "' >/dev/null && fusefat -o rw+ '" + image + "' '" + point +
                              "' >/dev/null 2>&1";
    return std::system(mount.c_str()) == 0 ? "" : "cannot mount a FAT image";
}

// Other processes that look at every mounted volume (the suite's device tests) can hold the
// mount for a moment: the unmount is tried again for a few seconds while it is busy.
bool unmountFat(const std::string& point) {
    const std::string command = "fusermount -u '" + point + "' 2>/dev/null";
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (std::system(command.c_str()) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool remountFat(const std::string& image, const std::string& point) {
    return unmountFat(point) &&
           std::system(
               ("fusefat -o rw+ '" + image + "' '" + point + "' >/dev/null 2>&1").c_str()) == 0;
}

// fusefat has no unnamed files, and no permissions to copy: the copy then goes through a named
// file, as before, and still replaces the movie.
TEST(CopyFile, WithoutUnnamedFilesTheCopyIsNamedAndStillReplacesTheMovie) {
    TempDir dir;
    const std::string image = dir.file("fat.img"), point = dir.file("fat");
    if (const std::string why = mountFat(image, point); !why.empty()) GTEST_SKIP() << why;
    const std::string path = point + "/MOVIE.MP4";
    writeFile(path, moovFirstMovie(4096));

    MovieError why = MovieError::ioError;
    EXPECT_EQ(SetTitleWithCause(path.c_str(), "On FAT", &why), 0) << MovieErrorText(why);
    char* title = GetTitleWithCause(path.c_str(), &why);
    EXPECT_STREQ(title, "On FAT") << MovieErrorText(why);
    free(title);
    EXPECT_EQ(listDir(point), std::vector<std::string>{"MOVIE.MP4"});
    EXPECT_TRUE(unmountFat(point));
}

// fusefat misplaces a write made through a descriptor that has read the same cluster before:
// the bytes land further on, past the end of the file, and the movie keeps its old ones. A
// title change in place reads the end of the movie to find its atoms and then writes there, so
// it must come out byte for byte as it does on a local disk, as the next mount sees it: a
// longer title (the file grows), a shorter one (it shrinks), one of the same length.
TEST(CopyFile, TitleChangesInPlaceOnFatLandWhereTheyBelong) {
    TempDir dir;
    const std::string image = dir.file("fat.img"), point = dir.file("fat");
    if (const std::string why = mountFat(image, point); !why.empty()) GTEST_SKIP() << why;
    const std::string local = dir.file("local.mp4"), onFat = point + "/MOVIE.MP4";
    // Media that ends inside a cluster, so that the metadata atom shares it.
    const Bytes movie = cat({box("ftyp", cat({ascii("MSNV"), be32(1), ascii("MSNVmp42")})),
                             box("mdat", Bytes(5000, 0x5A)),
                             container("moov", {box("mvhd", Bytes(100)), usmtWithTitle(u"Old")})});
    writeFile(local, movie);
    writeFile(onFat, movie);
    for (const char* title : {"A title much longer than the one the movie had before", "Short",
                              "Shove", "Another title, longer again than the last"}) {
        MovieError why = MovieError::ioError;
        ASSERT_EQ(SetTitleWithCause(local.c_str(), title, &why), 0) << MovieErrorText(why);
        const int status = SetTitleWithCause(onFat.c_str(), title, &why);
        ASSERT_TRUE(remountFat(image, point));
        // Success is only ever reported for a movie that holds the new title.
        ASSERT_EQ(status, 0) << title << ": " << MovieErrorText(why);
        EXPECT_TRUE(readFile(onFat) == readFile(local)) << title;
        char* read = GetTitleWithCause(onFat.c_str(), &why);
        EXPECT_STREQ(read, title) << MovieErrorText(why);
        free(read);
    }
    EXPECT_TRUE(unmountFat(point));
}

}  // namespace
