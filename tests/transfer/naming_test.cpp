// SPDX-License-Identifier: GPL-3.0-or-later
// naming_test.cpp - the movie folders under MP_ROOT, the highest number in use, and the names.
#include "transfer/naming.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "container/atom_builder.h"

using mp4test::TempDir;

namespace {

void Touch(const std::string& path) {
    std::ofstream{path};
}

int32_t MaxNumberIn(const std::string& folder) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(folder.c_str(), &ref), kNoErr);
    return GetMaxNumber(&ref);
}

}  // namespace

TEST(GetPSPRef, CreatesMPRootAndTheFolderOfEachKind) {
    TempDir root;
    FSRef folder;
    ASSERT_TRUE(GetPSPRef(root.path().c_str(), &folder, kMovieKindMP4V));
    EXPECT_EQ(folder.path, root.file("MP_ROOT/100MNV01"));
    EXPECT_TRUE(std::filesystem::is_directory(root.file("MP_ROOT/100MNV01")));

    ASSERT_TRUE(GetPSPRef((root.path() + "/").c_str(), &folder, kMovieKindAVC1));
    EXPECT_EQ(folder.path, root.file("MP_ROOT/101ANV01"));
    // Any kind but 'avc1' takes the 'mp4v' folder, which is found again as it is.
    Touch(root.file("MP_ROOT/100MNV01/M4V00001.MP4"));
    ASSERT_TRUE(GetPSPRef(root.path().c_str(), &folder, 0));
    EXPECT_EQ(folder.path, root.file("MP_ROOT/100MNV01"));
    EXPECT_TRUE(std::filesystem::exists(root.file("MP_ROOT/100MNV01/M4V00001.MP4")));
    EXPECT_EQ(mp4test::listDir(root.file("MP_ROOT")),
              std::vector<std::string>({"100MNV01", "101ANV01"}));
}

TEST(GetPSPRef, FailsWhereTheFoldersCannotBe) {
    TempDir root;
    FSRef folder;
    EXPECT_FALSE(GetPSPRef(root.file("gone").c_str(), &folder, kMovieKindMP4V));
    EXPECT_FALSE(std::filesystem::exists(root.file("gone")));
    EXPECT_FALSE(GetPSPRef(nullptr, &folder, kMovieKindMP4V));

    // A file where MP_ROOT or the movie folder should be.
    Touch(root.file("MP_ROOT"));
    EXPECT_FALSE(GetPSPRef(root.path().c_str(), &folder, kMovieKindMP4V));
    std::filesystem::remove(root.file("MP_ROOT"));
    std::filesystem::create_directory(root.file("MP_ROOT"));
    Touch(root.file("MP_ROOT/101ANV01"));
    EXPECT_FALSE(GetPSPRef(root.path().c_str(), &folder, kMovieKindAVC1));
}

TEST(CreateDirectory, ReportsTheFileCallsStatus) {
    TempDir root;
    EXPECT_EQ(CreateDirectory(root.path().c_str(), "MP_ROOT"), kNoErr);
    EXPECT_TRUE(std::filesystem::is_directory(root.file("MP_ROOT")));
    EXPECT_EQ(CreateDirectory(root.path().c_str(), "MP_ROOT"), kDupFNErr);
    EXPECT_EQ(CreateDirectory(root.file("missing").c_str(), "MP_ROOT"), kFnfErr);
    EXPECT_EQ(CreateDirectory(root.path().c_str(), "a/b"), kParamErr);
}

TEST(GetMaxNumber, EveryTwelveByteNameCountsWhateverItsPrefixOrSuffix) {
    TempDir folder;
    EXPECT_EQ(MaxNumberIn(folder.path()), 0);
    Touch(folder.file("M4V00007.MP4"));
    Touch(folder.file("M4V00012.THM"));
    Touch(folder.file("MAQ00020.MP4"));
    Touch(folder.file("M4V000300.MP4"));  // 13 bytes: not a device name
    Touch(folder.file("M4V0400.MP4"));    // 11 bytes
    EXPECT_EQ(MaxNumberIn(folder.path()), 20);
    std::filesystem::create_directory(folder.file("XYZ00031.DIR"));  // folders count too
    EXPECT_EQ(MaxNumberIn(folder.path()), 31);
}

TEST(GetMaxNumber, DigitsAreReadUpToTheFirstNonDigit) {
    TempDir folder;
    Touch(folder.file("M4VA1B2C.MP4"));
    EXPECT_EQ(MaxNumberIn(folder.path()), 0);
    Touch(folder.file("M4V0001A.MP4"));
    EXPECT_EQ(MaxNumberIn(folder.path()), 1);
    Touch(folder.file("M4V -900.MP4"));  // white space and a sign are taken as atoi takes them
    Touch(folder.file("M4V   42.MP4"));
    EXPECT_EQ(MaxNumberIn(folder.path()), 42);
    Touch(folder.file("M4V99999.MP4"));
    EXPECT_EQ(MaxNumberIn(folder.path()), 99999);
}

TEST(GetMaxNumber, AFolderThatCannotBeListedCountsZero) {
    EXPECT_EQ(GetMaxNumber(nullptr), 0);
    FSRef nothing;
    EXPECT_EQ(GetMaxNumber(&nothing), 0);
    TempDir root;
    Touch(root.file("M4V00005.MP4"));
    FSRef file;
    ASSERT_EQ(FSPathMakeRef(root.file("M4V00005.MP4").c_str(), &file), kNoErr);
    EXPECT_EQ(GetMaxNumber(&file), 0);
}

TEST(CreatePSPStyleFileName, PadsTheNumberToFiveDigits) {
    EXPECT_EQ(CreatePSPStyleFileName("M4V", 123, ".MP4"), "M4V00123.MP4");
    EXPECT_EQ(CreatePSPStyleFileName("MAQ", 42, ".THM"), "MAQ00042.THM");
    EXPECT_EQ(CreatePSPStyleFileName("M4V", 0, ".MP4"), "M4V00000.MP4");
    EXPECT_EQ(CreatePSPStyleFileName("M4V", 99999, ".MP4"), "M4V99999.MP4");
}

TEST(CreatePSPStyleFileName, RefusesWhatCannotMakeATwelveCharacterName) {
    EXPECT_TRUE(CreatePSPStyleFileName("M4V", 100000, ".MP4").isNull());
    EXPECT_TRUE(CreatePSPStyleFileName("M4V", -1, ".MP4").isNull());
    EXPECT_TRUE(CreatePSPStyleFileName("M4VX", 1, ".MP4").isNull());
    EXPECT_TRUE(CreatePSPStyleFileName("M4", 1, ".MP4").isNull());
    EXPECT_TRUE(CreatePSPStyleFileName("M4V", 1, ".MP").isNull());
    EXPECT_TRUE(CreatePSPStyleFileName(nullptr, 1, ".MP4").isNull());
    EXPECT_TRUE(CreatePSPStyleFileName("M4V", 1, nullptr).isNull());
}
