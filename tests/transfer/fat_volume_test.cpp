// fat_volume_test.cpp - a memory stick on a real FAT volume (fusefat, root only): detection by
// its file system, and its movie folders and numbers.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/prefs.h"
#include "container/atom_builder.h"
#include "support/fat_image.h"
#include "transfer/device.h"
#include "transfer/naming.h"

namespace {

class FatStick : public testing::Test {
protected:
    void SetUp() override {
        gPref = Preferences{};
        if (!fat.Mount()) GTEST_SKIP() << "no fusefat mount here (it needs root)";
        std::filesystem::create_directory(fat.point + "/PSP");
        std::ofstream(fat.point + "/MEMSTICK.IND");
        std::ofstream(fat.point + "/MSTK_PRO.IND");
    }
    mp4test::TempDir dir;
    FatImage fat{dir.path()};
};

}  // namespace

TEST_F(FatStick, IsADeviceByItsFileSystemWhereAPlainFolderIsNot) {
    EXPECT_TRUE(IsPSP(fat.point.c_str()));
    // The same layout on the temporary folder's own file system.
    const std::string plain = dir.file("plain");
    std::filesystem::create_directories(plain + "/PSP");
    std::ofstream(plain + "/MEMSTICK.IND");
    std::ofstream(plain + "/MSTK_PRO.IND");
    EXPECT_FALSE(IsPSP(plain.c_str()));

    std::filesystem::remove(fat.point + "/MSTK_PRO.IND");
    EXPECT_FALSE(IsPSP(fat.point.c_str()));
}

TEST_F(FatStick, MovieFoldersAreMadeAndNumbersReadOnTheStick) {
    FSRef folder;
    ASSERT_TRUE(GetPSPRef(fat.point.c_str(), &folder, kMovieKindAVC1));
    EXPECT_EQ(GetMaxNumber(&folder), 0);
    std::ofstream(fat.point + "/MP_ROOT/101ANV01/MAQ00007.MP4");
    std::ofstream(fat.point + "/MP_ROOT/101ANV01/MAQ00009.THM");
    EXPECT_EQ(GetMaxNumber(&folder), 9);
}
