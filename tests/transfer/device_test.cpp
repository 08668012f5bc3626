// SPDX-License-Identifier: GPL-3.0-or-later
// device_test.cpp - memory-stick detection and the device pop-up over a fake mount table.
#include "transfer/device.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "shared/prefs.h"
#include "support/ui_windows.h"
#include "toolkit/popupmenu.h"
#include "toolkit/sounds.h"
#include "toolkit/volumes.h"
#include "transfer/transferglobals.h"

using mp4test::TempDir;

namespace {

// A folder laid out as a memory stick's root, with any of its markers left out.
struct StickLayout {
    bool pspFolder = true;
    bool memstick = true;
    bool mstkPro = true;
    bool memstickIsFolder = false;
};

void MakeStick(const std::string& root, StickLayout layout = {}) {
    std::filesystem::create_directories(root);
    if (layout.pspFolder) std::filesystem::create_directory(root + "/PSP");
    if (layout.memstickIsFolder) {
        std::filesystem::create_directory(root + "/MEMSTICK.IND");
    } else if (layout.memstick) {
        std::ofstream(root + "/MEMSTICK.IND");
    }
    if (layout.mstkPro) std::ofstream(root + "/MSTK_PRO.IND");
}

// The mount table writes a space in a name as \040.
std::string Escaped(const std::string& path) {
    std::string out;
    for (char c : path) out += c == ' ' ? std::string("\\040") : std::string(1, c);
    return out;
}

class DeviceTest : public testing::Test {
protected:
    void SetUp() override {
        gPref = Preferences{};
        gPref.pspMenuSelect = 1;
        gPref.mountSound = "Pop.aiff";
        SetSoundPlayer([this](const QString& name) {
            sounds << name;
            return int16_t(0);
        });
    }
    void TearDown() override {
        SetSoundPlayer({});
        SetMountTableFile("");
        DisposeAllWindows();
        delete gVolumeList;
        gVolumeList = nullptr;
    }

    // The mount table lists these folders, in this order, as volumes of the given type on the
    // device that really holds them.
    void SetVolumes(const std::vector<std::string>& mountPoints, const std::string& type = "vfat") {
        struct stat info;
        ASSERT_EQ(stat(dir.path().c_str(), &info), 0);
        std::ofstream table(dir.file("mountinfo"));
        table << "20 1 254:0 / / rw - ext4 /dev/vda rw\n";
        int id = 30;
        for (const std::string& point : mountPoints)
            table << id++ << " 20 " << major(info.st_dev) << ':' << minor(info.st_dev) << " / "
                  << Escaped(point) << " rw - " << type << " /dev/sdx rw\n";
        SetMountTableFile(dir.file("mountinfo"));
    }

    ControlRef Popup() { return FindNibControl(window, 2); }
    QStringList Items() {
        QStringList items;
        for (int i = 1; i <= CountPopupMenuItems(Popup()); ++i)
            items << GetPopupMenuItemText(Popup(), i);
        return items;
    }
    std::vector<OSType> Commands() {
        std::vector<OSType> commands;
        for (int i = 1; i <= CountPopupMenuItems(Popup()); ++i)
            commands.push_back(GetPopupMenuItemCommandID(Popup(), i));
        return commands;
    }

    TempDir dir;
    WindowRef window = LoadNibWindow("Pref");
    QStringList sounds;
};

}  // namespace

TEST_F(DeviceTest, AStickNeedsThePSPFolderAndBothMarkerFiles) {
    gPref.debugLocalVolumeAsPSPVolume = true;
    MakeStick(dir.file("full"));
    MakeStick(dir.file("noPro"), {.mstkPro = false});
    MakeStick(dir.file("noMemstick"), {.memstick = false});
    MakeStick(dir.file("noFolder"), {.pspFolder = false});
    MakeStick(dir.file("memstickFolder"), {.memstickIsFolder = true});
    std::ofstream(dir.file("aFile"));

    EXPECT_TRUE(IsPSP(dir.file("full").c_str()));
    EXPECT_TRUE(IsPSP((dir.file("full") + "/").c_str()));
    EXPECT_FALSE(IsPSP(dir.file("noPro").c_str()));
    EXPECT_FALSE(IsPSP(dir.file("noMemstick").c_str()));
    EXPECT_FALSE(IsPSP(dir.file("noFolder").c_str()));
    EXPECT_FALSE(IsPSP(dir.file("memstickFolder").c_str()));
    EXPECT_FALSE(IsPSP(dir.file("aFile").c_str()));
    EXPECT_FALSE(IsPSP(dir.file("missing").c_str()));
    EXPECT_FALSE(IsPSP(""));
    EXPECT_FALSE(IsPSP(nullptr));
}

TEST_F(DeviceTest, OnlyAFATVolumeIsAStickUnlessTheDebugSettingSaysOtherwise) {
    const std::string root = dir.file("stick");
    MakeStick(root);
    SetVolumes({root}, "vfat");
    EXPECT_TRUE(IsPSP(root.c_str()));
    SetVolumes({root}, "fuse.fusefat");
    EXPECT_TRUE(IsPSP(root.c_str()));

    SetVolumes({root}, "exfat");
    EXPECT_FALSE(IsPSP(root.c_str()));
    gPref.debugLocalVolumeAsPSPVolume = true;
    EXPECT_TRUE(IsPSP(root.c_str()));

    // A volume missing from the mount table has no file system to test.
    gPref.debugLocalVolumeAsPSPVolume = false;
    std::ofstream(dir.file("empty"));
    SetMountTableFile(dir.file("empty"));
    EXPECT_FALSE(IsPSP(root.c_str()));
}

TEST_F(DeviceTest, WithoutADeviceThePopupOffersOneInactiveNotFoundItem) {
    std::strcpy(gPref.devicePath, "/media/user/OLD/");
    std::filesystem::create_directories(dir.file("disk"));
    SetVolumes({dir.file("disk")});
    EXPECT_EQ(CreatePSPMenu(window, true), 0);
    EXPECT_EQ(Items(), QStringList{"No PSP found"});
    EXPECT_EQ(Commands(), std::vector<OSType>{0});
    EXPECT_FALSE(IsControlActive(Popup()));
    EXPECT_STREQ(gPref.devicePath, "");
    EXPECT_TRUE(sounds.isEmpty());
}

TEST_F(DeviceTest, TwoDevicesAreListedInMountOrderAndTheChosenOneIsTheDevice) {
    gPref.debugLocalVolumeAsPSPVolume = true;
    gPref.pspMenuSelect = 2;
    MakeStick(dir.file("STICK B"));
    MakeStick(dir.file("STICK A"));
    std::filesystem::create_directories(dir.file("disk"));
    SetVolumes({dir.file("STICK B"), dir.file("disk"), dir.file("STICK A")});

    EXPECT_EQ(CreatePSPMenu(window, true), 0);
    EXPECT_EQ(Items(), QStringList({"STICK B", "STICK A"}));
    EXPECT_EQ(Commands(), std::vector<OSType>({21, 22}));
    EXPECT_TRUE(IsControlActive(Popup()));
    EXPECT_EQ(GetControl32BitValue(Popup()), 2);
    EXPECT_EQ(gPref.devicePath, dir.file("STICK A") + "/");
    ASSERT_NE(gVolumeList, nullptr);
    EXPECT_EQ(*gVolumeList,
              std::vector<std::string>({dir.file("STICK B") + "/", dir.file("STICK A") + "/"}));

    // One device left: the choice beyond the items falls back to the first.
    SetVolumes({dir.file("STICK A")});
    EXPECT_EQ(CreatePSPMenu(window, true), 0);
    EXPECT_EQ(gPref.pspMenuSelect, 1);
    EXPECT_EQ(GetControl32BitValue(Popup()), 1);
    EXPECT_EQ(gPref.devicePath, dir.file("STICK A") + "/");
    EXPECT_EQ(gVolumeList->size(), 1u);
    EXPECT_TRUE(sounds.isEmpty());  // forced scans never sound

    // A stored choice below the items falls back to the first as well, so that the device the
    // pop-up shows is the one sent to.
    for (int32_t stored : {0, -3}) {
        gPref.pspMenuSelect = stored;
        gPref.devicePath[0] = '\0';
        EXPECT_EQ(CreatePSPMenu(window, true), 0);
        EXPECT_EQ(gPref.pspMenuSelect, 1) << stored;
        EXPECT_EQ(gPref.devicePath, dir.file("STICK A") + "/") << stored;
    }
}

TEST_F(DeviceTest, ThePopupIsRebuiltOnlyWhenTheNumberOfVolumesChanges) {
    gPref.debugLocalVolumeAsPSPVolume = true;
    MakeStick(dir.file("ONE"));
    SetVolumes({dir.file("ONE")});
    ASSERT_EQ(CreatePSPMenu(window, true), 0);
    EXPECT_EQ(CreatePSPMenu(window, false), 1);

    // Same count, another volume: not seen until the count changes.
    MakeStick(dir.file("TWO"));
    SetVolumes({dir.file("TWO")});
    EXPECT_EQ(CreatePSPMenu(window, false), 1);
    EXPECT_EQ(Items(), QStringList{"ONE"});
    EXPECT_EQ(CreatePSPMenu(nullptr, true), 0);

    // An unreadable mount table changes nothing.
    SetMountTableFile(dir.file("no such table"));
    EXPECT_EQ(CreatePSPMenu(window, true), 0);
    EXPECT_EQ(Items(), QStringList{"ONE"});
    EXPECT_EQ(gPref.devicePath, dir.file("ONE") + "/");
}

TEST_F(DeviceTest, TheMountSoundPlaysWhenANewNumberOfDevicesIsFound) {
    gPref.debugLocalVolumeAsPSPVolume = true;
    MakeStick(dir.file("ONE"));
    MakeStick(dir.file("TWO"));
    std::filesystem::create_directories(dir.file("disk"));
    SetVolumes({dir.file("ONE")});
    ASSERT_EQ(CreatePSPMenu(window, true), 0);

    SetVolumes({dir.file("ONE"), dir.file("disk")});  // an unrelated disk: rescan, no sound
    EXPECT_EQ(CreatePSPMenu(window, false), 0);
    EXPECT_TRUE(sounds.isEmpty());

    SetVolumes({dir.file("ONE"), dir.file("disk"), dir.file("TWO")});
    EXPECT_EQ(CreatePSPMenu(window, false), 0);
    EXPECT_EQ(sounds, QStringList{"Pop.aiff"});

    SetVolumes({dir.file("disk")});  // both pulled
    EXPECT_EQ(CreatePSPMenu(window, false), 0);
    EXPECT_EQ(Items(), QStringList{"No PSP found"});
    SetVolumes({dir.file("ONE"), dir.file("TWO")});  // and plugged back in: the same two
    EXPECT_EQ(CreatePSPMenu(window, false), 0);
    EXPECT_EQ(sounds.size(), 1);

    SetVolumes({dir.file("ONE")});
    gPref.mountSound = "";  // no sound chosen: nothing is played
    EXPECT_EQ(CreatePSPMenu(window, false), 0);
    EXPECT_EQ(sounds.size(), 1);
    EXPECT_EQ(Items(), QStringList{"ONE"});
}
