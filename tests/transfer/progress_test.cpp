// SPDX-License-Identifier: GPL-3.0-or-later
// progress_test.cpp - the progress window's bar, its two lines, the estimate and its cancel.
#include "transfer/progress.h"

#include <ctime>
#include <string>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QFontMetrics>
#include <QWidget>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "shared/messages.h"
#include "support/movielist_state.h"
#include "support/ui_windows.h"
#include "toolkit/localized.h"
#include "transfer/transferglobals.h"

namespace {

constexpr uint64_t kGiB = 1024ull * 1024 * 1024;

class ProgressTest : public testing::Test {
protected:
    void SetUp() override { ResetMovieList(); }
    void TearDown() override {
        gCopyCancelRequest = false;
        DisposeAllWindows();
    }
    QString Line(int32_t id) { return GetControlText(FindNibControl(window, id)); }
    // The movie Holiday.mp4 is being copied, and the copy began 64 s ago.
    void CopyingHoliday() {
        const std::string movie = dir.file("Holiday.mp4");
        mp4test::writeFile(movie, {1, 2, 3});
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(movie.c_str(), &ref), 0);
        ASSERT_EQ(CreateOpenFileInfo(&ref, 0), 0);
        gCopyFileIndex = 0;
        gProgressStart = uint32_t(time(nullptr)) - 64;
    }

    mp4test::TempDir dir;
    WindowRef window = LoadNibWindow("Progress");
};

}  // namespace

TEST_F(ProgressTest, TheEstimateGoesByTheRateSoFarAndAddsASecond) {
    EXPECT_EQ(ProgressSecondsLeft(512ull << 20, kGiB, 64), 65u);
    EXPECT_EQ(ProgressSecondsLeft(kGiB, kGiB, 64), 1u);
    EXPECT_EQ(ProgressSecondsLeft(3 * kGiB, 5 * kGiB, 30), 21u);  // 20 s left, truncated
}

// Decimal units as the desktop's file manager counts them, rounded down so that the part done
// never reads as more than the whole.
TEST_F(ProgressTest, TheSizesAreInDecimalUnits) {
    EXPECT_EQ(ProgressInfoText(512ull << 20, kGiB, 65),
              LocalizedString("prograssInfoMins").arg("536.8 MB", "1.0 GB", "1", "5"));
    EXPECT_EQ(ProgressInfoText(100 << 20, kGiB, 60),
              LocalizedString("prograssInfoSecs").arg("104.8 MB", "1.0 GB", "60"));
    EXPECT_EQ(ProgressInfoText(1'999'999'999, 2'000'000'000, 2),
              LocalizedString("prograssInfoSecs").arg("1.9 GB", "2.0 GB", "2"));
    const QString english = ProgressInfoText(5'000'000, 7'000'000'000, 61);
    EXPECT_TRUE(english.startsWith("5.0 MB of 7.0 GB")) << english.toStdString();
    EXPECT_FALSE(english.contains("MiB")) << english.toStdString();
}

TEST_F(ProgressTest, TheBarIsAPercentOfAllBytesAndTheLinesWaitForOnePercent) {
    ControlRef bar = FindNibControl(window, kProgressBar);
    // Less than 1 %: the information line is emptied, the file line left alone.
    SetControlText(FindNibControl(window, kProgressInfoLine), "old");
    ProgressIdle(window, 1, 1, kGiB / 200, kGiB);
    EXPECT_EQ(GetControl32BitValue(bar), 0);
    EXPECT_EQ(Line(kProgressInfoLine), "");
    EXPECT_EQ(Line(kProgressFileLine), "");
    // The percentage of counts beyond 32 bits.
    ProgressIdle(window, 3, 2, 3 * kGiB, 5 * kGiB);
    EXPECT_EQ(GetControl32BitValue(bar), 60);
    ProgressIdle(window, 1, 1, 0, 0);
    EXPECT_EQ(GetControl32BitValue(bar), 0);
}

// What the bar shows and what the lines say belong to the same moment: every tick sets all three.
TEST_F(ProgressTest, TheBarAndTheLinesMoveOnTheSameTick) {
    ASSERT_NO_FATAL_FAILURE(CopyingHoliday());
    ControlRef bar = FindNibControl(window, kProgressBar);
    ProgressIdle(window, 1, 2, 512ull << 20, kGiB);
    EXPECT_EQ(GetControl32BitValue(bar), 50);
    EXPECT_EQ(Line(kProgressFileLine),
              LocalizedString("prograssFileOf").arg("Holiday.mp4", "1", "2"));
    // 64 s, or 65 when the clock ticked meanwhile.
    const QString info = Line(kProgressInfoLine);
    EXPECT_TRUE(info == LocalizedString("prograssInfoMins").arg("536.8 MB", "1.0 GB", "1", "5") ||
                info == LocalizedString("prograssInfoMins").arg("536.8 MB", "1.0 GB", "1", "6"))
        << info.toStdString();

    // The very next tick: the bar and the sizes have both moved.
    ProgressIdle(window, 1, 2, 768ull << 20, kGiB);
    EXPECT_EQ(GetControl32BitValue(bar), 75);
    EXPECT_TRUE(Line(kProgressInfoLine).startsWith(SizeString(768ull << 20, false)))
        << Line(kProgressInfoLine).toStdString();

    // The second movie is named, with its place, on the tick its copy shows.
    const std::string second = dir.file("Trip.mp4");
    mp4test::writeFile(second, {4, 5});
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(second.c_str(), &ref), 0);
    ASSERT_EQ(CreateOpenFileInfo(&ref, 0), 0);
    gCopyFileIndex = 1;
    ProgressIdle(window, 2, 2, 800ull << 20, kGiB);
    EXPECT_EQ(Line(kProgressFileLine), LocalizedString("prograssFileOf").arg("Trip.mp4", "2", "2"));
    EXPECT_EQ(GetControl32BitValue(bar), 78);

    // A count out of range empties the sizes but leaves the name.
    ProgressIdle(window, 3, 2, kGiB, kGiB);
    EXPECT_EQ(Line(kProgressInfoLine), "");
    EXPECT_EQ(Line(kProgressFileLine), LocalizedString("prograssFileOf").arg("Trip.mp4", "2", "2"));
}

// A send of one movie has no place to tell; the name shows from the start, before one percent.
TEST_F(ProgressTest, ALoneMovieIsNamedWithoutItsPlaceFromTheFirstTick) {
    ASSERT_NO_FATAL_FAILURE(CopyingHoliday());
    ProgressIdle(window, 1, 1, 0, kGiB);
    EXPECT_EQ(Line(kProgressFileLine), LocalizedString("prograssFileName").arg("Holiday.mp4"));
    EXPECT_EQ(Line(kProgressInfoLine), "");
    EXPECT_EQ(ProgressFileText("big.mp4", 2, 5), "Copying “big.mp4” (2 of 5)");
}

// A long name loses its middle on screen, never the place in the send; it is spoken whole.
TEST_F(ProgressTest, ALongNameIsShortenedInTheMiddleAndSpokenWhole) {
    const QString longName = QString(180, QLatin1Char('a')) + "-the-end.mp4";
    const std::string movie = dir.file(longName.toStdString());
    mp4test::writeFile(movie, {1});
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(movie.c_str(), &ref), 0);
    ASSERT_EQ(CreateOpenFileInfo(&ref, 0), 0);
    gCopyFileIndex = 0;
    ProgressIdle(window, 12, 150, 0, kGiB);
    QWidget* line = FindNibControl(window, kProgressFileLine);
    const QString shown = Line(kProgressFileLine);
    EXPECT_TRUE(shown.endsWith("-the-end.mp4” (12 of 150)")) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("Copying “aaa")) << shown.toStdString();
    EXPECT_LE(QFontMetrics(line->font()).horizontalAdvance(shown), line->contentsRect().width());
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(line);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->text(QAccessible::Name), ProgressFileText(longName, 12, 150));
}

// A screen reader reads each line as what it shows now, and something sensible before that.
TEST_F(ProgressTest, ScreenReadersReadTheLinesAsTheyAreShown) {
    auto spoken = [this](int32_t id) {
        QAccessibleInterface* face =
            QAccessible::queryAccessibleInterface(FindNibControl(window, id));
        return face ? face->text(QAccessible::Name).toStdString() : std::string();
    };
    EXPECT_FALSE(spoken(kProgressFileLine).empty());
    EXPECT_FALSE(spoken(kProgressInfoLine).empty());
    const std::string emptyName = spoken(kProgressInfoLine);

    ASSERT_NO_FATAL_FAILURE(CopyingHoliday());
    for (int tick = 1; tick <= 10 && Line(kProgressInfoLine).isEmpty(); ++tick)
        ProgressIdle(window, 1, 2, 512ull << 20, kGiB);
    ASSERT_FALSE(Line(kProgressInfoLine).isEmpty());
    EXPECT_EQ(spoken(kProgressFileLine), Line(kProgressFileLine).toStdString());
    EXPECT_EQ(spoken(kProgressInfoLine), Line(kProgressInfoLine).toStdString());

    // Emptied below 1 %, the line is named as before again.
    ProgressIdle(window, 1, 2, 0, kGiB);
    EXPECT_EQ(spoken(kProgressInfoLine), emptyName);
}

TEST_F(ProgressTest, OnlyCommandTwoAsksTheCopyToStop) {
    EXPECT_EQ(WindowHandlerProgress({EventKind::ProcessCommand, 3}, nullptr), kEventNotHandledErr);
    EXPECT_FALSE(gCopyCancelRequest);
    EXPECT_EQ(WindowHandlerProgress({EventKind::ProcessCommand, 2}, nullptr), kEventNotHandledErr);
    EXPECT_TRUE(gCopyCancelRequest);
}
