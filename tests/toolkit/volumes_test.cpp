// SPDX-License-Identifier: GPL-3.0-or-later
// volumes_test.cpp - the mount table: parsing, the volume list, finding volumes, kinds and labels.
#include "toolkit/volumes.h"

#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include "container/atom_builder.h"

using mp4test::TempDir;

namespace {

class FakeMountTable : public testing::Test {
protected:
    void SetTable(const std::string& text) {
        std::ofstream(dir.file("mountinfo")) << text;
        SetMountTableFile(dir.file("mountinfo"));
    }
    void TearDown() override { SetMountTableFile(""); }

    TempDir dir;
};

// Lines as the kernel writes them, with optional fields and an escaped space.
const char* kTable =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
    "31 23 0:28 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "40 27 8:17 / /media/user/PSP\\040STICK rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw\n"
    "41 27 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "this line is not a mount\n"
    "42 27 8:17 /MP_ROOT /srv/bound rw - vfat /dev/sdb1 rw\n"
    "43 27 0:44 / /mnt/stick rw - fuse.fusefat fusefat rw\n"
    "44 27 0:45 / /mnt/stick rw - exfat /dev/sdc1 rw\n";

std::vector<std::string> MountPoints(const std::vector<MountEntry>& entries) {
    std::vector<std::string> points;
    for (const MountEntry& entry : entries) points.push_back(entry.mountPoint);
    return points;
}

}  // namespace

TEST_F(FakeMountTable, EntriesAreReadInOrderWithEscapesDecoded) {
    SetTable(kTable);
    std::vector<MountEntry> table;
    ASSERT_EQ(ReadMountTable(&table), kNoErr);
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[3].mountPoint, "/media/user/PSP STICK");
    EXPECT_EQ(table[3].device, makedev(8, 17));
    EXPECT_EQ(table[3].fileSystemType, "vfat");
    EXPECT_EQ(table[3].source, "/dev/sdb1");
    EXPECT_EQ(table[1].device, makedev(254, 0));
}

TEST_F(FakeMountTable, VolumeListLeavesOutPseudoFileSystemsAndHiddenMounts) {
    SetTable(kTable);
    std::vector<MountEntry> volumes;
    ASSERT_EQ(ReadVolumeTable(&volumes), kNoErr);
    // The FUSE mount at /mnt/stick is covered by the later exFAT one.
    EXPECT_EQ(MountPoints(volumes),
              (std::vector<std::string>{"/", "/media/user/PSP STICK", "/run/user/1000",
                                        "/srv/bound", "/mnt/stick"}));
    EXPECT_EQ(volumes.back().fileSystemType, "exfat");
}

TEST_F(FakeMountTable, VolumeIsFoundByNumberTheLastOfSharedMountsWinning) {
    SetTable(kTable);
    MountEntry entry;
    ASSERT_EQ(FindVolume(makedev(8, 17), &entry), kNoErr);
    EXPECT_EQ(entry.mountPoint, "/srv/bound");
    ASSERT_EQ(FindVolume(makedev(0, 44), &entry), kNoErr);
    EXPECT_EQ(entry.fileSystemType, "fuse.fusefat");
    EXPECT_EQ(FindVolume(makedev(99, 99), &entry), kNsvErr);
}

TEST(Volumes, OnlyFatFileSystemsCarryTheFatID) {
    for (const char* fat : {"vfat", "msdos", "fat", "fuse.fusefat"}) {
        EXPECT_EQ(FileSystemIDForType(fat), kFATFileSystemID) << fat;
    }
    for (const char* other : {"exfat", "fuseblk", "ext4", "tmpfs", "ntfs3", "fuse.sshfs"}) {
        EXPECT_NE(FileSystemIDForType(other), kFATFileSystemID) << other;
    }
    EXPECT_EQ(kFATFileSystemID, 18771);
}

// The watch on the real table: run again as root of a user and mount namespace of its own, where
// the test may mount, so that a real mount and unmount are what it hears.
bool HeardWithin(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (MountTableChanged()) return true;
    }
    return false;
}

TEST(MountWatch, MountsAndUnmountsAreHeardOnceAndQuietCallsReportNothing) {
    if (!std::getenv("MOVIESTICK_MOUNT_NAMESPACE")) {
        if (std::system("unshare -rm true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "no user namespaces here";
        TempDir out;
        const std::string log = out.file("namespace.log");
        const std::string command = "MOVIESTICK_MOUNT_NAMESPACE=1 unshare -rm '" +
                                    std::filesystem::read_symlink("/proc/self/exe").string() +
                                    "' --gtest_filter=MountWatch.* >'" + log + "' 2>&1";
        if (std::system(command.c_str()) != 0) {
            // What the run in the namespace said: its failures are this test's.
            std::ifstream said(log);
            ADD_FAILURE() << std::string(std::istreambuf_iterator<char>(said), {});
        }
        return;
    }
    TempDir dir;
    std::filesystem::create_directories(dir.file("stick"));
    (void)MountTableChanged();  // the first call reports a change: nothing was seen yet
    EXPECT_FALSE(HeardWithin(200));
    EXPECT_FALSE(MountTableChanged());

    ASSERT_EQ(mount("none", dir.file("stick").c_str(), "tmpfs", 0, nullptr), 0);
    EXPECT_TRUE(HeardWithin(5000));
    EXPECT_FALSE(MountTableChanged());  // once per change
    ASSERT_EQ(umount(dir.file("stick").c_str()), 0);
    EXPECT_TRUE(HeardWithin(5000));

    // A table of the tests' own is never watched: every call may have changed.
    SetMountTableFile(dir.file("stick"));
    EXPECT_TRUE(MountTableChanged());
    EXPECT_TRUE(MountTableChanged());
    SetMountTableFile("");
}
