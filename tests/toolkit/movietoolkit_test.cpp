// SPDX-License-Identifier: GPL-3.0-or-later
// movietoolkit_test.cpp - movies opened with FFmpeg: boxes, times and the exact frame shown.
#include "toolkit/movietoolkit.h"

#include <filesystem>
#include <string>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_movies.h"
#include "toolkit/fileref.h"
#include "toolkit/gestalt.h"

class MovieToolkitTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(EnterMovies(), 0); }
    void TearDown() override { DisposeMovie(movie); }

    std::string make(const std::string& name, const TestMovieOptions& options) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        EXPECT_TRUE(MakeTestMovie(path, options)) << "ffmpeg could not make " << name;
        return path;
    }

    // The frame number shown at the time, given in tenths of a second.
    int frameAt(TimeValue tenths) {
        SetMovieTimeValue(movie, tenths * GetMovieTimeScale(movie) / 10);
        QImage picture;
        if (GetMoviePict(movie, &picture) != 0) return -2;
        return TestFrameNumber(picture);
    }

    QTemporaryDir dir;
    Movie movie = nullptr;
};

TEST_F(MovieToolkitTest, VersionQueryReportsAToolkitThatMakesThumbnails) {
    int32_t version = 0;
    ASSERT_EQ(Gestalt(kGestaltQuickTimeVersion, &version), 0);
    EXPECT_EQ(version >> 24, 7);
    EXPECT_GT(version, 0x05FFFFFF);
}

// Seeking lands on a keyframe before the target: the frames after it must be decoded forward,
// through B-frames, to the one presented at the target.
TEST_F(MovieToolkitTest, PictureIsTheFrameShownAtTheTimeForH264AndMpeg4) {
    for (const char* codec : {"libx264", "mpeg4"}) {
        SCOPED_TRACE(codec);
        TestMovieOptions options;
        options.codec = codec;
        const std::string path = make(std::string(codec) + ".mp4", options);
        DisposeMovie(movie);
        ASSERT_EQ(OpenMovie(path.c_str(), &movie), 0);
        EXPECT_EQ(GetMovieDuration(movie), 2 * GetMovieTimeScale(movie));
        // Backwards and forwards across keyframes (every 8 frames), mid-frame and on the edge.
        for (int tenths : {13, 0, 7, 8, 9, 19, 15, 3, 16, 1}) EXPECT_EQ(frameAt(tenths), tenths);
        // Frame after frame, as a playing movie asks, decodes on without seeking.
        for (int tenths = 0; tenths < 20; ++tenths) EXPECT_EQ(frameAt(tenths), tenths);
        // Half a frame in still shows the frame that started.
        SetMovieTimeValue(movie, 55 * GetMovieTimeScale(movie) / 100);
        QImage picture;
        ASSERT_EQ(GetMoviePict(movie, &picture), 0);
        EXPECT_EQ(TestFrameNumber(picture), 5);
    }
}

TEST_F(MovieToolkitTest, TimesOutsideTheMovieArePinnedToIt) {
    ASSERT_EQ(OpenMovie(make("pin.mp4", {}).c_str(), &movie), 0);
    SetMovieTimeValue(movie, -5 * GetMovieTimeScale(movie));
    EXPECT_EQ(GetMovieTime(movie), 0);
    EXPECT_EQ(frameAt(-50), 0);
    SetMovieTimeValue(movie, 100 * GetMovieTimeScale(movie));
    EXPECT_EQ(GetMovieTime(movie), GetMovieDuration(movie));
    QImage picture;
    ASSERT_EQ(GetMoviePict(movie, &picture), 0);
    EXPECT_EQ(TestFrameNumber(picture), 19);  // the last frame stays up at the end
}

TEST_F(MovieToolkitTest, BoxAndPictureHonourTheSampleAspectRatio) {
    TestMovieOptions options;
    options.sar = "4/3";
    ASSERT_EQ(OpenMovie(make("wide.mp4", options).c_str(), &movie), 0);
    const MovieBox box = GetMovieBox(movie);
    EXPECT_EQ(box.right - box.left, 213);
    EXPECT_EQ(box.bottom - box.top, 120);
    QImage picture;
    ASSERT_EQ(GetMoviePict(movie, &picture), 0);
    EXPECT_EQ(picture.size(), QSize(213, 120));
    EXPECT_FALSE(picture.hasAlphaChannel());
}

TEST_F(MovieToolkitTest, MissingDecoderReportsCodecError) {
    // The video coding's four-character code renamed to one no decoder knows.
    const std::string path = make("unknown.mp4", {});
    ASSERT_TRUE(HideVideoCoding(path));
    EXPECT_EQ(OpenMovie(path.c_str(), &movie), kQtCodecErr);
    EXPECT_EQ(movie, nullptr);
}

TEST_F(MovieToolkitTest, FilesThatAreNoMoviesGiveNegativeStatus) {
    EXPECT_EQ(OpenMovie(dir.filePath("missing.mp4").toUtf8().constData(), &movie), kFnfErr);
    const std::string text = dir.filePath("text.mp4").toStdString();
    std::ofstream(text) << "not a movie at all";
    EXPECT_LT(OpenMovie(text.c_str(), &movie), 0);
    EXPECT_EQ(movie, nullptr);
}
