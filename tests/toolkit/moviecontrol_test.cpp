// SPDX-License-Identifier: GPL-3.0-or-later
// moviecontrol_test.cpp - the movie-player control: the frame shown, playing, the slider.
#include "toolkit/moviecontrol.h"

#include <memory>
#include <string>

#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/test_movies.h"

namespace {

class MovieControl : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(EnterMovies(), 0);
        const std::string path = dir.filePath("movie.mp4").toStdString();
        ASSERT_TRUE(MakeTestMovie(path, TestMovieOptions{}));
        ASSERT_EQ(OpenMovie(path.c_str(), &movie), 0);
        window = std::make_unique<QWidget>();
        window->resize(200, 200);
        ASSERT_EQ(CreateMovieControl(window.get(), Rect{10, 20, 130, 180}, movie, &control), 0);
        window->show();
    }
    void TearDown() override {
        window.reset();
        DisposeMovie(movie);
    }

    int ShownFrame() const {
        const auto* frame = control->findChild<QLabel*>(QStringLiteral("movieFrame"));
        return TestFrameNumber(frame->pixmap().toImage());
    }
    QSlider* Slider() const {
        return control->findChild<QSlider*>(QStringLiteral("moviePosition"));
    }

    QTemporaryDir dir;
    Movie movie = nullptr;
    std::unique_ptr<QWidget> window;
    ControlRef control = nullptr;
};

TEST_F(MovieControl, ShowsTheFrameAtTheMovieTimeAlsoWhenSetElsewhere) {
    EXPECT_EQ(control->geometry(), QRect(20, 10, 160, 120 + kMovieControllerHeight));
    EXPECT_EQ(ShownFrame(), 0);
    SetMovieTimeValue(movie, GetMovieTimeScale(movie) * 3 / 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShownFrame() == 15; }, 1000));
    // Where the movie is, and how long it is.
    EXPECT_EQ(control->findChild<QLabel*>(QStringLiteral("movieTime"))->text(), "0:01 / 0:02");
}

TEST(MovieTime, MinutesAndSecondsAndHoursFromAnHourOn) {
    EXPECT_EQ(MovieTimeText(5 * 600 + 599, 600), "0:05");  // whole seconds gone by
    EXPECT_EQ(MovieTimeText(3599, 1), "59:59");
    EXPECT_EQ(MovieTimeText(3600, 1), "1:00:00");
    EXPECT_EQ(MovieTimeText(5400 * 90000LL, 90000), "1:30:00");
    EXPECT_EQ(MovieTimeText(100 * 3600 + 61, 1), "100:01:01");
    // A time before the start or without a scale reads as the start.
    EXPECT_EQ(MovieTimeText(-30, 600), "0:00");
    EXPECT_EQ(MovieTimeText(30, 0), "0:00");
}

TEST_F(MovieControl, SliderMovesTheMovie) {
    Slider()->setValue(static_cast<int>(GetMovieDuration(movie) / 2));
    EXPECT_EQ(GetMovieTime(movie), GetMovieDuration(movie) / 2);
    EXPECT_EQ(ShownFrame(), 10);
}

TEST_F(MovieControl, PlaysAtTheMovieRateAndStopsAtTheEnd) {
    control->findChild<QToolButton*>(QStringLiteral("moviePlay"))->click();
    EXPECT_TRUE(IsMovieControlPlaying(control));
    QTest::qWait(500);
    // Half a second of a 10-frame-a-second movie, with room for a slow machine.
    EXPECT_GE(ShownFrame(), 3);
    EXPECT_LE(ShownFrame(), 12);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !IsMovieControlPlaying(control); }, 5000));
    EXPECT_EQ(GetMovieTime(movie), GetMovieDuration(movie));
    EXPECT_EQ(ShownFrame(), 19);
    EXPECT_EQ(Slider()->value(), Slider()->maximum());

    StartMovieControl(control);  // from the end, playing starts over
    EXPECT_LT(GetMovieTime(movie), GetMovieDuration(movie) / 2);
    StopMovieControl(control);
    EXPECT_FALSE(IsMovieControlPlaying(control));
}

}  // namespace
