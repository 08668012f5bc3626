// SPDX-License-Identifier: GPL-3.0-or-later
// mounted_volume_test.cpp - volume queries on volumes mounted for the test (root only).
#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "fsquery/fsquery.h"
#include "support/fat_image.h"
#include "toolkit/volumes.h"

using mp4test::TempDir;

namespace {

// Unmounts at the end of the scope, before the temporary folder that holds the mount point goes.
struct Mount {
    std::string point;
    bool fuse = false;
    bool mounted = false;
    ~Mount() {
        if (!mounted) return;
        if (fuse) {
            (void)RunQuietly({"fusermount", "-u", point});
        } else {
            umount2(point.c_str(), MNT_DETACH);
        }
    }
};

FSVolumeRefNum VolumeOf(const std::string& path) {
    FSRef ref;
    FSVolumeRefNum volume = 0;
    EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), kNoErr);
    EXPECT_EQ(FSGetVRefNum(&ref, &volume), kNoErr);
    return volume;
}

QString VolumeName(FSVolumeRefNum volume) {
    HFSUniStr255 name;
    EXPECT_EQ(FSGetVInfo(volume, &name, nullptr, nullptr), kNoErr);
    return QStringFromHFSUniStr255(name);
}

bool IsMountedVolumeRoot(const std::string& path) {
    std::vector<FSRef> roots;
    int count = 0;
    EXPECT_EQ(FSGetMountedVolumes(&roots, &count), kNoErr);
    return std::any_of(roots.begin(), roots.end(), [&](const FSRef& r) { return r.path == path; });
}

}  // namespace

TEST(MountedVolume, TmpfsReportsItsSizeAndFreeSpaceAndIsNotFat) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    Mount mount{dir.file("RAM DISK")};
    std::filesystem::create_directory(mount.point);
    if (!RunQuietly({"mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", mount.point})) {
        GTEST_SKIP() << "tmpfs could not be mounted";
    }
    mount.mounted = true;

    const FSVolumeRefNum volume = VolumeOf(mount.point);
    uint64_t freeBefore = 0, total = 0;
    ASSERT_EQ(FSGetVInfo(volume, nullptr, &freeBefore, &total), kNoErr);
    EXPECT_EQ(total, 4u << 20);
    EXPECT_EQ(freeBefore, total);
    mp4test::writeFile(mount.point + "/block", mp4test::Bytes(1 << 20, 1));
    uint64_t freeAfter = 0;
    ASSERT_EQ(FSGetVInfo(volume, nullptr, &freeAfter, nullptr), kNoErr);
    EXPECT_EQ(freeBefore - freeAfter, 1u << 20);

    uint16_t id = kFATFileSystemID;
    ASSERT_EQ(FSGetVolFileSystemID(volume, &id, nullptr), kNoErr);
    EXPECT_NE(id, kFATFileSystemID);
    EXPECT_EQ(VolumeName(volume), "RAM DISK");
    EXPECT_TRUE(IsMountedVolumeRoot(mount.point));
}

TEST(MountedVolume, FatImageReportsTheFatIDAndTheMountPointAsLabel) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    const std::string image = dir.file("stick.img");
    Mount mount{dir.file("PSP STICK"), true};
    std::filesystem::create_directory(mount.point);
    if (!RunQuietly({"mkfs.vfat", "-C", image, "4096"}) ||
        !RunQuietly({"fusefat", "-o", "rw+", image, mount.point})) {
        GTEST_SKIP() << "no FAT image could be made and mounted";
    }
    mount.mounted = true;

    std::filesystem::create_directory(mount.point + "/PSP");
    const FSVolumeRefNum volume = VolumeOf(mount.point + "/PSP");
    EXPECT_EQ(volume, VolumeOf(mount.point));
    uint16_t id = 0;
    ASSERT_EQ(FSGetVolFileSystemID(volume, &id, nullptr), kNoErr);
    EXPECT_EQ(id, 18771);
    EXPECT_EQ(VolumeName(volume), "PSP STICK");
    EXPECT_TRUE(IsMountedVolumeRoot(mount.point));

    FSRef root;
    ASSERT_EQ(FSPathMakeRef(mount.point.c_str(), &root), kNoErr);
    HFSUniStr255 name;
    ASSERT_EQ(FSGetFileDirName(&root, &name), kNoErr);
    EXPECT_EQ(QStringFromHFSUniStr255(name), "PSP STICK");
}
