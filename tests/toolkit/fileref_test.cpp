// SPDX-License-Identifier: GPL-3.0-or-later
// fileref_test.cpp - file references: identity through links, renames, deletion, paths, names.
#include "toolkit/fileref.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "container/atom_builder.h"

using mp4test::TempDir;
using mp4test::writeFile;

namespace {

FSRef MakeRef(const std::string& path) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), kNoErr) << path;
    return ref;
}

std::string CurrentPath(const FSRef& ref) {
    std::string path;
    EXPECT_EQ(FSRefCurrentPath(&ref, &path), kNoErr);
    return path;
}

QString NameOf(const FSRef& ref) {
    HFSUniStr255 name;
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name), kNoErr);
    return QStringFromHFSUniStr255(name);
}

}  // namespace

TEST(FileRef, FileAndSymbolicLinkToItCompareEqualOtherFilesDoNot) {
    TempDir dir;
    writeFile(dir.file("movie.mp4"), {1, 2, 3});
    writeFile(dir.file("other.mp4"), {1, 2, 3});
    std::filesystem::create_symlink("movie.mp4", dir.file("link.mp4"));

    const FSRef movie = MakeRef(dir.file("movie.mp4"));
    const FSRef link = MakeRef(dir.file("link.mp4"));
    const FSRef other = MakeRef(dir.file("other.mp4"));
    EXPECT_EQ(FSCompareFSRefs(&movie, &link), kNoErr);
    EXPECT_EQ(FSCompareFSRefs(&movie, &other), kFSRefsDifferentErr);
    // The link keeps its own name.
    EXPECT_EQ(NameOf(link), "link.mp4");
    const FSRef empty;
    EXPECT_EQ(FSCompareFSRefs(&movie, &empty), kParamErr);
    EXPECT_EQ(FSCompareFSRefs(nullptr, &movie), kParamErr);
}

TEST(FileRef, RelativePathsAreMadeAbsoluteAndCleaned) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    writeFile(dir.file("f"), {});
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    FSRef file, folder;
    bool isFolder = false;
    const int16_t fileStatus = FSPathMakeRef("./sub/..//f", &file, &isFolder);
    const int16_t folderStatus = FSPathMakeRef("sub/", &folder, &isFolder);
    std::filesystem::current_path(saved);

    ASSERT_EQ(fileStatus, kNoErr);
    ASSERT_EQ(folderStatus, kNoErr);
    // mkdtemp's folder may lie below a symbolic link; compare with what getcwd reported then.
    const std::string base = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(file.path, base + "/f");
    EXPECT_EQ(folder.path, base + "/sub");
    EXPECT_TRUE(isFolder);
}

TEST(FileRef, FileRenamedInItsFolderIsFoundUnderItsNewName) {
    TempDir dir;
    writeFile(dir.file("a.mp4"), {1});
    writeFile(dir.file("b.mp4"), {2});
    const FSRef ref = MakeRef(dir.file("a.mp4"));
    std::filesystem::rename(dir.file("a.mp4"), dir.file("renamed.mp4"));

    EXPECT_EQ(CurrentPath(ref), dir.file("renamed.mp4"));
    EXPECT_EQ(NameOf(ref), "renamed.mp4");

    // Another file taking the old name is not the referenced one.
    std::filesystem::rename(dir.file("b.mp4"), dir.file("a.mp4"));
    EXPECT_EQ(CurrentPath(ref), dir.file("renamed.mp4"));
}

// A folder's names are made durable by syncing the folder; a folder that is not there, or is
// not a folder, is a failure the caller hears of, not a silent success.
TEST(FileRef, SyncingAFolderReportsWhatIsNotAFolder) {
    TempDir dir;
    EXPECT_EQ(SyncFolder(dir.path()), kNoErr);
    EXPECT_EQ(SyncFolder(dir.path() + "/"), kNoErr);
    EXPECT_EQ(SyncFolder(dir.file("missing")), kFnfErr);
    writeFile(dir.file("file"), {});
    EXPECT_NE(SyncFolder(dir.file("file")), kNoErr);
}

TEST(FileRef, MissingDeletedOrMovedAwayFileIsNotFound) {
    TempDir dir;
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(dir.file("missing").c_str(), &ref), kFnfErr);
    EXPECT_EQ(FSPathMakeRef("", &ref), kFnfErr);
    std::filesystem::create_symlink("missing", dir.file("dangling"));
    EXPECT_EQ(FSPathMakeRef(dir.file("dangling").c_str(), &ref), kFnfErr);
    EXPECT_FALSE(ref.valid);

    std::filesystem::create_directory(dir.file("elsewhere"));
    writeFile(dir.file("deleted"), {});
    writeFile(dir.file("moved"), {});
    const FSRef deleted = MakeRef(dir.file("deleted"));
    const FSRef moved = MakeRef(dir.file("moved"));
    std::filesystem::remove(dir.file("deleted"));
    std::filesystem::rename(dir.file("moved"), dir.file("elsewhere/moved"));

    std::string path = "untouched";
    EXPECT_EQ(FSRefCurrentPath(&deleted, &path), kFnfErr);
    EXPECT_EQ(FSRefCurrentPath(&moved, &path), kFnfErr);
    EXPECT_EQ(path, "untouched");
}

TEST(FileRef, PathThatDoesNotFitTheBufferFailsWithoutTruncating) {
    TempDir dir;
    writeFile(dir.file("movie.mp4"), {});
    const FSRef ref = MakeRef(dir.file("movie.mp4"));
    const std::string expected = dir.file("movie.mp4");

    char exact[4096];
    ASSERT_EQ(FSRefMakePath(&ref, exact, expected.size() + 1), kNoErr);
    EXPECT_EQ(std::string(exact), expected);

    char small[4096];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(FSRefMakePath(&ref, small, expected.size()), kPathTooLongErr);
    EXPECT_EQ(small[0], 'x');
    EXPECT_EQ(small[expected.size() - 1], 'x');
}

TEST(FileRef, CatalogInfoTellsFoldersSizesVolumeAndDates) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    writeFile(dir.file("movie.mp4"), mp4test::Bytes(1000, 7));
    std::filesystem::create_symlink("folder", dir.file("folder-link"));
    struct stat st;
    ASSERT_EQ(stat(dir.file("movie.mp4").c_str(), &st), 0);

    const FSRef movie = MakeRef(dir.file("movie.mp4"));
    FSCatalogInfo info;
    info.rsrcLogicalSize = 99;
    info.accessDate.tv_sec = 42;  // not asked for, so left alone
    const uint32_t all = kFSCatInfoNodeFlags | kFSCatInfoVolume | kFSCatInfoContentMod |
                         kFSCatInfoDataSizes | kFSCatInfoRsrcSizes;
    ASSERT_EQ(FSGetCatalogInfo(&movie, all, &info, nullptr), kNoErr);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(info.volume, st.st_dev);
    EXPECT_EQ(info.dataLogicalSize, 1000u);
    EXPECT_EQ(info.rsrcLogicalSize, 0u);
    EXPECT_EQ(info.contentModDate.tv_sec, st.st_mtim.tv_sec);
    EXPECT_EQ(info.contentModDate.tv_nsec, st.st_mtim.tv_nsec);
    EXPECT_EQ(info.accessDate.tv_sec, 42);

    const FSRef folder = MakeRef(dir.file("folder"));
    ASSERT_EQ(FSGetCatalogInfo(&folder, kFSCatInfoNodeFlags, &info, nullptr), kNoErr);
    EXPECT_EQ(info.nodeFlags, kFSNodeIsDirectoryMask);

    // The link has the folder's identity but is never itself a folder.
    const FSRef link = MakeRef(dir.file("folder-link"));
    EXPECT_EQ(FSCompareFSRefs(&link, &folder), kNoErr);
    ASSERT_EQ(FSGetCatalogInfo(&link, kFSCatInfoNodeFlags, &info, nullptr), kNoErr);
    EXPECT_EQ(info.nodeFlags, 0);
}

// What opening the object reaches, a regular file or a folder, is told through links too.
TEST(FileRef, RegularFilesAndFoldersAreToldThroughLinksPipesAndDevicesAreNeither) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    writeFile(dir.file("movie.mp4"), {});
    std::filesystem::create_symlink("movie.mp4", dir.file("movie-link.mp4"));
    std::filesystem::create_symlink("folder", dir.file("folder-link.mp4"));
    std::filesystem::create_symlink("/dev/null", dir.file("null.mp4"));
    ASSERT_EQ(mkfifo(dir.file("pipe.mp4").c_str(), 0600), 0);

    enum Opens { kNeither, kFile, kFolder };
    auto opens = [&](const std::string& name) {
        const FSRef ref = MakeRef(dir.file(name));
        FSCatalogInfo info;
        EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, nullptr), kNoErr) << name;
        EXPECT_FALSE(info.isRegularFile && info.opensFolder) << name;
        return info.isRegularFile ? kFile : info.opensFolder ? kFolder : kNeither;
    };
    EXPECT_EQ(opens("movie.mp4"), kFile);
    EXPECT_EQ(opens("movie-link.mp4"), kFile);
    EXPECT_EQ(opens("folder"), kFolder);
    EXPECT_EQ(opens("folder-link.mp4"), kFolder);
    EXPECT_EQ(opens("null.mp4"), kNeither);
    EXPECT_EQ(opens("pipe.mp4"), kNeither);
}

TEST(FileRef, NamesAreUtf16WithBadBytesReplacedAndTheRootIsSlash) {
    TempDir dir;
    const std::string accented = "caf\xc3\xa9 \xf0\x9f\x8e\xac.mp4";  // café 🎬.mp4
    writeFile(dir.file(accented), {});
    writeFile(dir.file("bad\xff.mp4"), {});

    EXPECT_EQ(NameOf(MakeRef(dir.file(accented))), QString::fromUtf8(accented.c_str()));
    EXPECT_EQ(NameOf(MakeRef(dir.file("bad\xff.mp4"))), QString("bad") + QChar(0xFFFD) + ".mp4");
    EXPECT_EQ(NameOf(MakeRef("/")), "/");
}

TEST(FileRef, LongTextKeeps255UnitsWithoutSplittingASurrogatePair) {
    const QString emoji = QString::fromUtf8("\xf0\x9f\x8e\xac");
    const HFSUniStr255 split = HFSUniStr255FromQString(QString(254, 'a') + emoji);
    EXPECT_EQ(split.length, 254);
    EXPECT_EQ(QStringFromHFSUniStr255(split), QString(254, 'a'));

    const HFSUniStr255 full = HFSUniStr255FromQString(QString(300, 'b'));
    EXPECT_EQ(full.length, 255);
    EXPECT_EQ(QStringFromHFSUniStr255(full), QString(255, 'b'));
}

// A folder walk's reference to an item must be the one the item's path gives, with the catalog
// fields the path's query gives: through links, for folders, and for what cannot be looked at.
TEST(FileRef, ItemOfAFolderIsWhatItsPathGives) {
    TempDir dir;
    writeFile(dir.file("movie.mp4"), {1, 2, 3, 4, 5});
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink("movie.mp4", dir.file("link.mp4"));
    std::filesystem::create_symlink("sub", dir.file("sub-link"));
    std::filesystem::create_symlink("nowhere", dir.file("dangling.mp4"));
    const uint32_t which = kFSCatInfoNodeFlags | kFSCatInfoDataSizes | kFSCatInfoContentMod;

    for (const char* name : {"movie.mp4", "sub", "link.mp4", "sub-link"}) {
        SCOPED_TRACE(name);
        FSRef item;
        FSCatalogInfo itemInfo;
        ASSERT_EQ(FSMakeItemRef(dir.path(), name, which, &item, &itemInfo), kNoErr);
        const FSRef direct = MakeRef(dir.file(name));
        FSCatalogInfo directInfo;
        ASSERT_EQ(FSGetCatalogInfo(&direct, which, &directInfo, nullptr), kNoErr);
        EXPECT_EQ(item.path, direct.path);
        EXPECT_TRUE(item.valid);
        EXPECT_EQ(FSCompareFSRefs(&item, &direct), kNoErr);
        EXPECT_EQ(itemInfo.nodeFlags, directInfo.nodeFlags);
        EXPECT_EQ(itemInfo.isRegularFile, directInfo.isRegularFile);
        EXPECT_EQ(itemInfo.opensFolder, directInfo.opensFolder);
        EXPECT_EQ(itemInfo.dataLogicalSize, directInfo.dataLogicalSize);
        EXPECT_EQ(itemInfo.contentModDate.tv_sec, directInfo.contentModDate.tv_sec);
        EXPECT_EQ(itemInfo.contentModDate.tv_nsec, directInfo.contentModDate.tv_nsec);
    }
    FSRef item;
    FSCatalogInfo info;
    ASSERT_EQ(FSMakeItemRef(dir.path(), "link.mp4", which, &item, &info), kNoErr);
    EXPECT_EQ(info.dataLogicalSize, 5u);
    EXPECT_EQ(info.nodeFlags, 0);
    ASSERT_EQ(FSMakeItemRef(dir.path(), "sub-link", which, &item, &info), kNoErr);
    EXPECT_EQ(info.nodeFlags, 0);  // a link is never taken for a folder of its own
    EXPECT_TRUE(info.opensFolder);

    EXPECT_EQ(FSMakeItemRef(dir.path(), "dangling.mp4", which, &item, &info), kFnfErr);
    EXPECT_EQ(FSMakeItemRef(dir.path(), "missing.mp4", which, &item, &info), kFnfErr);
    EXPECT_EQ(FSMakeItemRef(dir.path(), "movie.mp4", which, &item, nullptr), kParamErr);
    EXPECT_EQ(FSMakeItemRef(dir.path(), "", kFSCatInfoNone, &item, nullptr), kParamErr);
    // The root's items have no doubled slash.
    ASSERT_EQ(FSMakeItemRef("/", "tmp", kFSCatInfoNone, &item, nullptr), kNoErr);
    EXPECT_EQ(item.path, "/tmp");
}
