// unmount_test.cpp - unmounting a FAT image mounted with fusefat (root only), busy or not.
#include "toolkit/unmount.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "toolkit/volumes.h"

using mp4test::TempDir;

extern char** environ;

namespace {

bool RunQuietly(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

bool IsMountPoint(const std::string& path) {
    std::vector<MountEntry> table;
    EXPECT_EQ(ReadMountTable(&table), kNoErr);
    for (const MountEntry& entry : table)
        if (entry.mountPoint == path) return true;
    return false;
}

// A FAT image mounted with fusefat; unmounted at the end if the test left it mounted.
class FatImage : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
        point = dir.file("stick");
        std::filesystem::create_directory(point);
        const std::string image = dir.file("stick.img");
        if (!RunQuietly({"truncate", "-s", "8M", image}) ||
            !RunQuietly({"mkfs.vfat", "-n", "STICK", image}) ||
            !RunQuietly({"fusefat", "-o", "rw+", image, point}))
            GTEST_SKIP() << "fusefat cannot mount here";
        mounted = true;
    }
    void TearDown() override {
        if (mounted && IsMountPoint(point)) (void)RunQuietly({"fusermount", "-u", point});
    }
    FSVolumeRefNum Volume() {
        struct stat info;
        EXPECT_EQ(stat(point.c_str(), &info), 0);
        return info.st_dev;
    }

    TempDir dir;
    std::string point;
    bool mounted = false;
};

}  // namespace

TEST_F(FatImage, AnIdleVolumeIsUnmounted) {
    ASSERT_TRUE(IsMountPoint(point));
    const FSVolumeRefNum volume = Volume();
    EXPECT_EQ(UnmountVolume(volume), kNoErr);
    EXPECT_FALSE(IsMountPoint(point));
    EXPECT_EQ(UnmountVolume(volume), kNsvErr);  // no longer mounted
}

TEST_F(FatImage, AVolumeWithAnOpenFileStaysMounted) {
    const int fd = open((point + "/MOVIE.MP4").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_NE(UnmountVolume(Volume()), kNoErr);
    EXPECT_TRUE(IsMountPoint(point));
    close(fd);
    EXPECT_EQ(UnmountVolume(Volume()), kNoErr);
}
