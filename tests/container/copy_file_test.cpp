// copy_file_test.cpp - the copy that moves the metadata atom: nothing is left behind by a crash
// in the middle of it, and file systems without unnamed files still get their copy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "atom_builder.h"
#include "container/movie.h"

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

// fusefat has no unnamed files, and no permissions to copy: the copy then goes through a named
// file, as before, and still replaces the movie.
TEST(CopyFile, WithoutUnnamedFilesTheCopyIsNamedAndStillReplacesTheMovie) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    if (std::system("command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null") != 0)
        GTEST_SKIP() << "fusefat or mkfs.vfat is missing";
    TempDir dir;
    const std::string image = dir.file("fat.img"), point = dir.file("fat");
    std::filesystem::create_directory(point);
    const std::string mount = "truncate -s 8M '" + image + "' && mkfs.vfat '" + image +
                              "' >/dev/null && fusefat -o rw+ '" + image + "' '" + point +
                              "' >/dev/null 2>&1";
    if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount a FAT image";
    const std::string path = point + "/MOVIE.MP4";
    writeFile(path, moovFirstMovie(4096));

    MovieError why = MovieError::ioError;
    EXPECT_EQ(SetTitleWithCause(path.c_str(), "On FAT", &why), 0) << MovieErrorText(why);
    char* title = GetTitleWithCause(path.c_str(), &why);
    EXPECT_STREQ(title, "On FAT") << MovieErrorText(why);
    free(title);
    EXPECT_EQ(listDir(point), std::vector<std::string>{"MOVIE.MP4"});
    EXPECT_EQ(std::system(("fusermount -u '" + point + "'").c_str()), 0);
}

}  // namespace
