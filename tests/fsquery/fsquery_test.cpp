// SPDX-License-Identifier: GPL-3.0-or-later
// fsquery_test.cpp - folder listings, names, fork sizes and volume queries on real folders.
#include "fsquery/fsquery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "toolkit/volumes.h"

using mp4test::TempDir;
using mp4test::writeFile;

namespace {

FSRef MakeRef(const std::string& path) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), kNoErr) << path;
    return ref;
}

QString NameOf(const FSRef& ref) {
    HFSUniStr255 name;
    EXPECT_EQ(FSGetFileDirName(&ref, &name), kNoErr);
    return QStringFromHFSUniStr255(name);
}

std::vector<std::string> SortedNames(const std::vector<FSRef>& refs) {
    std::vector<std::string> names;
    for (const FSRef& ref : refs) names.push_back(NameOf(ref).toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> MakeFiles(const TempDir& dir, int n) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        names.push_back("m" + std::to_string(100 + i) + ".mp4");
        writeFile(dir.file(names.back()), {});
    }
    return names;
}

struct Listing {
    int16_t status;
    std::vector<FSRef> items;
    int count;
    bool changed;
};

Listing List(const std::string& folder) {
    Listing listing{0, std::vector<FSRef>(3), -1, true};
    const FSRef ref = MakeRef(folder);
    listing.status = FSGetDirectoryItems(&ref, &listing.items, &listing.count, &listing.changed);
    return listing;
}

}  // namespace

TEST(DirectoryItems, EmptyFolderIsSuccessWithNoItems) {
    TempDir dir;
    const Listing listing = List(dir.path());
    EXPECT_EQ(listing.status, kNoErr);
    EXPECT_EQ(listing.count, 0);
    EXPECT_TRUE(listing.items.empty());
    EXPECT_FALSE(listing.changed);
}

TEST(DirectoryItems, AllItemsComeBackAroundTheBatchSizeOfTen) {
    for (int n : {10, 11}) {
        TempDir dir;
        const std::vector<std::string> names = MakeFiles(dir, n);
        const Listing listing = List(dir.path());
        EXPECT_EQ(listing.status, kNoErr);
        EXPECT_EQ(listing.count, n);
        EXPECT_EQ(SortedNames(listing.items), names);
    }
}

TEST(DirectoryItems, LinkToItsOwnFolderIsAnItemButNotAFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink(".", dir.file("self"));
    std::filesystem::create_symlink("nowhere", dir.file("dangling"));
    std::filesystem::create_symlink("loop", dir.file("loop"));

    const Listing listing = List(dir.path());
    ASSERT_EQ(listing.status, kNoErr);
    EXPECT_EQ(SortedNames(listing.items), (std::vector<std::string>{"self", "sub"}));
    for (const FSRef& item : listing.items) {
        FSCatalogInfo info;
        ASSERT_EQ(FSGetCatalogInfo(&item, kFSCatInfoNodeFlags, &info, nullptr), kNoErr);
        const bool isFolder = info.nodeFlags & kFSNodeIsDirectoryMask;
        EXPECT_EQ(isFolder, item.path == dir.file("sub")) << item.path;
    }
}

// A link through a file, or into a folder the user may not enter, cannot be examined: it is left
// out and the folder's other items still come back.
TEST(DirectoryItems, AnItemThatCannotBeExaminedIsLeftOutAndTheRestListed) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string top = dir.file("top");
    std::filesystem::create_directories(top);
    std::filesystem::create_directories(dir.file("closed/inner"));
    writeFile(top + "/a.mp4", {});
    writeFile(top + "/b.mp4", {});
    std::filesystem::create_symlink("a.mp4/x", top + "/through-a-file");
    std::filesystem::create_symlink("../closed/inner", top + "/into-closed");
    ASSERT_EQ(chmod(top.c_str(), 0755), 0);
    ASSERT_EQ(chmod(dir.file("closed").c_str(), 0), 0);

    const Listing listing = List(top);
    ASSERT_EQ(listing.status, kNoErr);
    EXPECT_EQ(listing.count, int(listing.items.size()));
    std::vector<std::string> expected{"a.mp4", "b.mp4"};
    if (geteuid() == 0) expected.push_back("into-closed");  // root may enter any folder
    EXPECT_EQ(SortedNames(listing.items), expected);

    // As a user without that right, the closed folder cannot be looked into either.
    if (geteuid() == 0) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            const Listing asUser = List(top);
            _exit(asUser.status == kNoErr && asUser.count == 2 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    ASSERT_EQ(chmod(dir.file("closed").c_str(), 0755), 0);
}

TEST(DirectoryItems, FailureLeavesAnEmptyList) {
    TempDir dir;
    writeFile(dir.file("file"), {});
    Listing listing = List(dir.file("file"));
    EXPECT_EQ(listing.status, kErrFSNotAFolder);
    EXPECT_TRUE(listing.items.empty());
    EXPECT_EQ(listing.count, 0);

    std::filesystem::create_directory(dir.file("gone"));
    const FSRef gone = MakeRef(dir.file("gone"));
    std::filesystem::remove(dir.file("gone"));
    listing.items.resize(2);
    EXPECT_EQ(FSGetDirectoryItems(&gone, &listing.items, &listing.count, &listing.changed),
              kFnfErr);
    EXPECT_TRUE(listing.items.empty());

    const FSRef folder = MakeRef(dir.path());
    EXPECT_EQ(FSGetDirectoryItems(&folder, &listing.items, nullptr, &listing.changed), kParamErr);
    EXPECT_EQ(FSGetDirectoryItems(&folder, &listing.items, &listing.count, nullptr), kParamErr);
}

TEST(ForkSizes, FileHasItsLengthAndNoResourceForkAFolderHasNeither) {
    TempDir dir;
    writeFile(dir.file("movie.mp4"), mp4test::Bytes(12345, 0));
    const FSRef movie = MakeRef(dir.file("movie.mp4"));
    uint64_t data = 1, rsrc = 1;
    ASSERT_EQ(FSGetForkSizes(&movie, &data, &rsrc), kNoErr);
    EXPECT_EQ(data, 12345u);
    EXPECT_EQ(rsrc, 0u);

    const FSRef folder = MakeRef(dir.path());
    data = rsrc = 77;
    EXPECT_EQ(FSGetForkSizes(&folder, &data, &rsrc), kNotAFileErr);
    EXPECT_EQ(data, 77u);
    EXPECT_EQ(rsrc, 77u);
    EXPECT_EQ(FSGetForkSizes(&folder, nullptr, nullptr), kNotAFileErr);
}

TEST(VolumeInfo, TheFolderOfTheTestsHasAVolumeWithSizes) {
    TempDir dir;
    const FSRef ref = MakeRef(dir.path());
    FSVolumeRefNum volume = 0;
    ASSERT_EQ(FSGetVRefNum(&ref, &volume), kNoErr);
    struct stat st;
    ASSERT_EQ(stat(dir.path().c_str(), &st), 0);
    EXPECT_EQ(volume, st.st_dev);
    EXPECT_EQ(FSGetVRefNum(&ref, nullptr), kParamErr);

    EXPECT_EQ(FSGetVInfo(volume, nullptr, nullptr, nullptr), kNoErr);
    uint64_t freeBytes = 0, totalBytes = 0;
    ASSERT_EQ(FSGetVInfo(volume, nullptr, &freeBytes, &totalBytes), kNoErr);
    EXPECT_GT(totalBytes, 0u);
    EXPECT_LE(freeBytes, totalBytes);
}

namespace {

// A mount table of our own whose mount points are real folders of a temporary folder.
class FakeVolumes : public testing::Test {
protected:
    void SetTable(const std::string& text) {
        std::ofstream(dir.file("mountinfo")) << text;
        SetMountTableFile(dir.file("mountinfo"));
    }
    void TearDown() override { SetMountTableFile(""); }

    std::string DeviceField() const {
        struct stat st;
        stat(dir.path().c_str(), &st);
        return std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    }

    TempDir dir;
};

}  // namespace

TEST_F(FakeVolumes, MountedVolumesAreTheReachableRootsInTableOrder) {
    std::filesystem::create_directories(dir.file("media/PSP STICK"));
    std::filesystem::create_directories(dir.file("media/Backup"));
    const std::string media = dir.file("media/");
    SetTable("1 0 8:1 / " + media +
             "Backup rw - ext4 /dev/sda1 rw\n"
             "2 0 0:5 / /proc rw - proc proc rw\n"
             "3 0 8:2 / " +
             media +
             "unplugged rw - vfat /dev/sdc1 rw\n"
             "4 0 8:3 / " +
             media + "PSP\\040STICK rw - vfat /dev/sdb1 rw\n");

    std::vector<FSRef> roots(5);
    int count = -1;
    ASSERT_EQ(FSGetMountedVolumes(&roots, &count), kNoErr);
    ASSERT_EQ(count, 2);
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0].path, media + "Backup");
    EXPECT_EQ(roots[1].path, media + "PSP STICK");
    EXPECT_EQ(NameOf(roots[1]), "PSP STICK");
    EXPECT_EQ(FSGetFileDirName(&roots[1], nullptr), kParamErr);
    EXPECT_EQ(FSGetMountedVolumes(nullptr, &count), kParamErr);
    EXPECT_EQ(FSGetMountedVolumes(&roots, nullptr), kParamErr);

    SetTable("");
    ASSERT_EQ(FSGetMountedVolumes(&roots, &count), kNoErr);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(roots.empty());
}

TEST_F(FakeVolumes, FileSystemIDAndNameFollowTheMountThatCarriesTheVolume) {
    std::filesystem::create_directory(dir.file("PSP"));
    const FSRef ref = MakeRef(dir.file("PSP"));
    FSVolumeRefNum volume = 0;
    ASSERT_EQ(FSGetVRefNum(&ref, &volume), kNoErr);

    SetTable("1 0 " + DeviceField() + " / " + dir.path() + " rw - vfat /dev/sdb1 rw\n");
    uint16_t id = 0, signature = 1;
    ASSERT_EQ(FSGetVolFileSystemID(volume, &id, &signature), kNoErr);
    EXPECT_EQ(id, 18771);
    EXPECT_EQ(signature, 0);
    HFSUniStr255 name;
    ASSERT_EQ(FSGetVInfo(volume, &name, nullptr, nullptr), kNoErr);
    EXPECT_EQ(QStringFromHFSUniStr255(name).toStdString(),
              std::filesystem::path(dir.path()).filename().string());

    SetTable("1 0 " + DeviceField() + " / " + dir.path() + " rw - exfat /dev/sdb1 rw\n");
    ASSERT_EQ(FSGetVolFileSystemID(volume, &id, nullptr), kNoErr);
    EXPECT_NE(id, 18771);

    SetTable("");
    id = 5;
    EXPECT_EQ(FSGetVolFileSystemID(volume, &id, nullptr), kNsvErr);
    EXPECT_EQ(FSGetVInfo(volume, &name, nullptr, nullptr), kNsvErr);
    EXPECT_EQ(id, 5);
}

// The names come in the listing's order with the listing's kinds, every name the item listing
// gives among them, also those whose items cannot be looked at; the folder's path with them.
TEST(DirectoryNames, AreTheListingsNamesAndKindsAndFailLikeTheItems) {
    TempDir dir;
    const std::vector<std::string> files = MakeFiles(dir, 12);
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink("sub", dir.file("sub-link"));
    std::filesystem::create_symlink("nowhere", dir.file("dangling"));

    const FSRef folder = MakeRef(dir.path());
    std::string path;
    std::vector<FolderName> names(2);
    bool changed = true;
    ASSERT_EQ(FSGetDirectoryNames(&folder, &path, &names, &changed), kNoErr);
    EXPECT_EQ(path, folder.path);
    EXPECT_FALSE(changed);
    std::vector<std::string> inOrder;
    for (const FolderName& entry : names) {
        inOrder.push_back(entry.name);
        // tmpfs, ext4, btrfs and xfs all say what each item is.
        const unsigned char kind = entry.name == "sub"                                    ? DT_DIR
                                   : entry.name == "sub-link" || entry.name == "dangling" ? DT_LNK
                                                                                          : DT_REG;
        EXPECT_EQ(entry.kind, kind) << entry.name;
    }
    const Listing items = List(dir.path());
    std::vector<std::string> itemOrder;
    for (const FSRef& item : items.items) itemOrder.push_back(item.path.substr(path.size() + 1));
    std::vector<std::string> examinable = inOrder;
    examinable.erase(std::find(examinable.begin(), examinable.end(), "dangling"));
    EXPECT_EQ(itemOrder, examinable);
    EXPECT_EQ(names.size(), files.size() + 3);

    writeFile(dir.file("file"), {});
    EXPECT_EQ(FSGetDirectoryNames(&folder, nullptr, &names, &changed), kParamErr);
    const FSRef file = MakeRef(dir.file("file"));
    path = "unchanged";
    EXPECT_EQ(FSGetDirectoryNames(&file, &path, &names, &changed), kErrFSNotAFolder);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(FSGetDirectoryNames(&folder, &path, &names, nullptr), kParamErr);
}
