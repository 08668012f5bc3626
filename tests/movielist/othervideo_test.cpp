// SPDX-License-Identifier: GPL-3.0-or-later
// othervideo_test.cpp - videos the PSP cannot play as they are: which go converted, which as
// they are, what the PSP column says, and titles that live in the list alone.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "convert/convert_support.h"
#include "movielist_fixture.h"
#include "shared/prefs.h"
#include "toolkit/localized.h"

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Copies the made video into the test's folder under the name the list sees.
std::string Place(const mp4test::TempDir& dir, const std::string& video, const std::string& name) {
    EXPECT_FALSE(video.empty()) << "ffmpeg could not make " << name;
    const std::string path = dir.file(name);
    fs::copy_file(video, path, fs::copy_options::overwrite_existing);
    return path;
}

// H.264 Main profile, level 3.0, AAC-LC at 48 kHz: what the PSP plays, at the given size.
std::string PspReady(const std::string& size) {
    return MakeVideo("ready-" + size + ".mp4",
                     PictureSource(size, "25", 1) + ToneSource(1, 48000) +
                         " -pix_fmt yuv420p -c:v libx264 -preset superfast -profile:v main"
                         " -level 3.0 -c:a aac");
}

class OtherVideos : public MovieList {
protected:
    void SetUp() override {
        MovieList::SetUp();
        gPref.firmware330 = false;
        if (!HaveConversionEncoders()) GTEST_SKIP() << "FFmpeg lacks libx264 or AAC";
    }
    void TearDown() override {
        gPref.firmware330 = false;
        MovieList::TearDown();
    }
    mp4test::TempDir dir;
};

}  // namespace

TEST_F(OtherVideos, EveryEndingInAnyCaseIsListedAndGoesConvertedWithItsOwnTitle) {
    const std::string mkv = Place(dir, HdMatroska(), "Trip.MKV");
    const std::string mpg = Place(dir, DvdMpeg2(), "dvd.mpeg");
    ASSERT_EQ(AddBatch({mkv, mpg}), (std::vector<int>{kNoErr, kNoErr}));
    ASSERT_EQ(CountOpenFileInfo(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(HowSent(Entry(i)), SendWay::kConvert) << NameOf(Entry(i));
        EXPECT_TRUE(IsSendableMovie(Entry(i)));
        EXPECT_EQ(MovieKindString(Entry(i)), LocalizedString("will be converted"));
    }
    ASSERT_TRUE(Entry(0).title.has_value());
    EXPECT_EQ(*Entry(0).title, QString("Holiday"));
    EXPECT_FALSE(Entry(1).title.has_value());

    // A folder walk takes them too, in any case of the ending.
    Reset();
    fs::create_directory(dir.file("sub"));
    Place(dir, Silent(), "sub/quiet.Avi");
    std::ofstream(dir.file("sub/notes.txt")) << "not a video";
    ASSERT_EQ(Add(dir.file("sub"), 0), kDupFNErr);
    EXPECT_EQ(ListedNames(), (Names{"quiet.Avi"}));
}

TEST_F(OtherVideos, Mp4sAreCopiedOnlyWhenThePspPlaysThemWithTheFirmwareChosen) {
    const std::string hevc = Place(dir, HevcMp4(), "hevc.mp4");
    const std::string fast = Place(dir, Fast60(), "fast.mp4");
    const std::string small = Place(dir, PspReady("320x240"), "small.mp4");
    const std::string dvd = Place(dir, PspReady("720x480"), "dvdsize.mp4");
    ASSERT_EQ(AddBatch({hevc, fast, small, dvd}),
              (std::vector<int>{kNoErr, kNoErr, kNoErr, kNoErr}));
    EXPECT_EQ(HowSent(Entry(0)), SendWay::kConvert);  // the engine refuses H.265
    EXPECT_EQ(HowSent(Entry(1)), SendWay::kConvert);  // 60 frames a second, High profile
    EXPECT_EQ(HowSent(Entry(2)), SendWay::kCopy);
    EXPECT_EQ(MovieKindString(Entry(2)), QString("AVC"));
    EXPECT_EQ(HowSent(Entry(3)), SendWay::kConvert);  // larger than the screen
    gPref.firmware330 = true;
    EXPECT_EQ(HowSent(Entry(3)), SendWay::kCopy);
    EXPECT_EQ(HowSent(Entry(1)), SendWay::kConvert);
}

TEST_F(OtherVideos, WhatFfmpegCannotReadIsListedWithTheReasonAndCannotGo) {
    const std::string garbage = dir.file("broken.mkv");
    std::ofstream(garbage) << std::string(4096, 'x');
    ASSERT_EQ(Add(garbage, 0), kNoErr);
    EXPECT_EQ(HowSent(Entry(0)), SendWay::kNone);
    EXPECT_FALSE(IsSendableMovie(Entry(0)));
    const QString text = MovieKindString(Entry(0));
    EXPECT_TRUE(text.startsWith(LocalizedString("cannot be converted: %1").arg(QString())))
        << text.toStdString();
    EXPECT_GT(text.size(), LocalizedString("cannot be converted: %1").arg(QString()).size());

    // The file gone: it cannot go either, and says so.
    fs::remove(garbage);
    (void)RefreshOpenFileInfo(Entry(0).itemID);
    EXPECT_EQ(HowSent(Entry(0)), SendWay::kNone);
}

TEST_F(OtherVideos, ATitleTypedForAnOtherVideoStaysInTheListAndNeverInItsFile) {
    const std::string mkv = Place(dir, HdMatroska(), "trip.mkv");
    const std::string before = FileBytes(mkv);
    ASSERT_EQ(Add(mkv, 0), kNoErr);
    const uint32_t id = Entry(0).itemID;
    const QString typed = QString::fromUtf8("Sommer \xF0\x9F\x8C\x9E am See");
    EXPECT_EQ(ChangeTitle(id, kChangeTitleFromText, &typed), kNoErr);
    EXPECT_EQ(*Entry(0).title, typed);
    EXPECT_EQ(FileBytes(mkv), before);

    // A change of the file, read again, keeps the typed title.
    {
        std::ofstream append(mkv, std::ios::app | std::ios::binary);
        append << '\0';
    }
    EXPECT_TRUE(RefreshOpenFileInfo(id));
    EXPECT_EQ(*Entry(0).title, typed);

    EXPECT_EQ(ChangeTitle(id, kChangeTitleFromFileName, nullptr), kNoErr);
    EXPECT_EQ(*Entry(0).title, QString("trip"));
    EXPECT_EQ(FileBytes(mkv).size(), before.size() + 1);
}
