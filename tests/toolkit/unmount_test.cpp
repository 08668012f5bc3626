// SPDX-License-Identifier: GPL-3.0-or-later
// unmount_test.cpp - unmounting a FAT image mounted with fusefat (root only), busy or not.
#include "toolkit/unmount.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "support/fat_image.h"

namespace {

class MountedFat : public testing::Test {
protected:
    void SetUp() override {
        if (!fat.Mount()) GTEST_SKIP() << "no fusefat mount here (it needs root)";
    }
    mp4test::TempDir dir;
    FatImage fat{dir.path()};
};

}  // namespace

TEST_F(MountedFat, AnIdleVolumeIsUnmounted) {
    ASSERT_TRUE(IsMountPoint(fat.point));
    const FSVolumeRefNum volume = fat.Volume();
    EXPECT_EQ(UnmountVolume(volume), kNoErr);
    EXPECT_FALSE(IsMountPoint(fat.point));
    EXPECT_EQ(UnmountVolume(volume), kNsvErr);  // no longer mounted
}

TEST_F(MountedFat, AVolumeWithAnOpenFileStaysMounted) {
    const int fd = open((fat.point + "/MOVIE.MP4").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_NE(UnmountVolume(fat.Volume()), kNoErr);
    EXPECT_TRUE(IsMountPoint(fat.point));
    close(fd);
    EXPECT_EQ(UnmountVolume(fat.Volume()), kNoErr);
}
