// SPDX-License-Identifier: GPL-3.0-or-later
// sounds_test.cpp - sounds by name: the folders' order, decoding, and failing fast without a
// sound server.
#include "toolkit/sounds.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QDir>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "toolkit/fileref.h"
#include "toolkit/resources.h"

using mp4test::TempDir;

namespace {

class SoundFolders : public testing::Test {
protected:
    void SetUp() override {
        oldDataHome = std::getenv("XDG_DATA_HOME");
        setenv("XDG_DATA_HOME", (dir.path() + "/user").c_str(), 1);
        std::filesystem::create_directories(dir.path() + "/user/sounds");
        std::filesystem::create_directories(dir.path() + "/system");
        SetSystemSoundFolder(QString::fromStdString(dir.path() + "/system"));
    }
    void TearDown() override {
        SetSystemSoundFolder("");
        setenv("XDG_DATA_HOME", oldDataHome.c_str(), 1);
    }
    void CopyPop(const std::string& to) { std::filesystem::copy_file(PopInResources(), to); }
    static std::string PopInResources() {
        return (ResourceFolder() + "/sounds/Pop.aiff").toStdString();
    }
    QString Found(const QString& name) {
        QString path;
        const int16_t status = FindSoundFile(name, &path);
        return status == kNoErr ? path : QString::number(status);
    }

    TempDir dir;
    std::string oldDataHome;
};

// Runs ffmpeg quietly; true when it succeeded.
bool Ffmpeg(const std::string& args) {
    return std::system(("ffmpeg -loglevel error -y " + args + " </dev/null").c_str()) == 0;
}

}  // namespace

TEST_F(SoundFolders, SystemFolderComesFirstThenTheUsersThenTheApplications) {
    EXPECT_EQ(Found("Pop.aiff").toStdString(), PopInResources());
    CopyPop(dir.path() + "/user/sounds/Pop.aiff");
    EXPECT_EQ(Found("Pop.aiff").toStdString(), dir.path() + "/user/sounds/Pop.aiff");
    CopyPop(dir.path() + "/system/Pop.aiff");
    EXPECT_EQ(Found("Pop.aiff").toStdString(), dir.path() + "/system/Pop.aiff");
}

TEST_F(SoundFolders, UnknownNamesAndPathsAreNotFound) {
    EXPECT_EQ(Found("Glass.aiff"), "-43");
    // A folder is no sound, nor may a name reach outside the sound folders.
    std::filesystem::create_directories(dir.path() + "/user/sounds/Folder.aiff");
    EXPECT_EQ(Found("Folder.aiff"), "-43");
    CopyPop(dir.path() + "/Outside.aiff");
    EXPECT_EQ(Found("../../Outside.aiff"), "-43");
    EXPECT_EQ(Found(".."), "-43");
}

TEST_F(SoundFolders, TheDefaultSoundsDecodeToTheirLength) {
    for (const char* name : {"Pop.aiff", "Bottle.aiff"}) {
        QString path;
        ASSERT_EQ(FindSoundFile(name, &path), kNoErr) << name;
        SoundSamples sound;
        ASSERT_EQ(DecodeSoundFile(path, &sound), kNoErr) << name;
        EXPECT_EQ(sound.rate, 22050);
        EXPECT_EQ(sound.channels, 1);
        EXPECT_GT(sound.samples.size(), 2000u) << name;
        EXPECT_LT(sound.samples.size(), 22050u) << name;
        EXPECT_LT(std::filesystem::file_size(path.toStdString()), 50u * 1024) << name;
    }
}

TEST_F(SoundFolders, SurroundSoundBecomesStereoAndNonAudioFails) {
    const std::string wav = dir.path() + "/six.wav";
    ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=f=440:d=0.25:r=48000 -ac 6 " + wav));
    SoundSamples sound;
    ASSERT_EQ(DecodeSoundFile(QString::fromStdString(wav), &sound), kNoErr);
    EXPECT_EQ(sound.rate, 48000);
    EXPECT_EQ(sound.channels, 2);
    EXPECT_NEAR(double(sound.samples.size()), 48000 * 0.25 * 2, 2048);

    mp4test::writeFile(dir.path() + "/text.aiff", {'n', 'o', 't', ' ', 's', 'o', 'u', 'n', 'd'});
    EXPECT_EQ(DecodeSoundFile(QString::fromStdString(dir.path() + "/text.aiff"), &sound),
              kBadSoundFileErr);
    EXPECT_TRUE(sound.samples.empty());
}

TEST_F(SoundFolders, WithoutASoundServerPlayingFailsAtOnce) {
    // The test main points XDG_RUNTIME_DIR at an empty folder: no server socket there.
    unsetenv("PULSE_SERVER");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PlayNamedSound("Bottle.aiff"), kNoSoundServerErr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(PlayNamedSound("Missing.aiff"), kFnfErr);
    EXPECT_EQ(PlayNamedSound(""), kNoErr);
}
