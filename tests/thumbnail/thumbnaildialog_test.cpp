// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnaildialog_test.cpp - the thumbnail dialog on real movies: its size and place, stepping
// through the movie, the steps kept or stored, the thumbnail written from the frame shown, the
// preview in the main window, and a movie that cannot be opened.
#include "thumbnail/thumbnaildialog.h"

#include <functional>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

#include "movielist/listview_fixture.h"
#include "support/test_movies.h"
#include "thumbnail/thumbnailfile.h"
#include "toolkit/localized.h"

namespace {

class ThumbnailDialog : public ListView {
protected:
    void SetUp() override {
        ListView::SetUp();
        gPref.thumbnailArrowSecs1 = 30;
        gPref.thumbnailArrowSecs2 = 5;
        QSettings("moviestick", "moviestick").clear();
    }

    // A movie of `seconds` frames (30 at most), one a second, frame n in grey TestFrameGrey(n).
    std::string RealMovie(const std::string& name, int width, int height, int seconds) {
        TestMovieOptions options;
        options.width = width;
        options.height = height;
        options.frames = seconds;
        options.fps = 1;
        const std::string path = dir.file(name);
        EXPECT_TRUE(MakeTestMovie(path, options));
        return path;
    }

    // Runs the dialog; `inside` acts on it while it is up and must end it.
    bool RunDialog(const std::function<void(WindowRef)>& inside) {
        QTimer::singleShot(0, [inside] {
            WindowRef dialog = FrontWindow();
            EXPECT_EQ(GetWindowTag(dialog), kWindowTagThumbnail);
            inside(dialog);
        });
        return DoMakeThumbnail(window);
    }

    static void Click(WindowRef dialog, const char* name) {
        auto* button = dialog->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    static QString StepText(WindowRef dialog, int32_t id) {
        return GetControlText(FindNibControl(dialog, id));
    }
    static int ThumbnailFrame(const std::string& moviePath) {
        const std::string thm = moviePath.substr(0, moviePath.size() - 4) + ".THM";
        return TestFrameNumber(QImage(QString::fromStdString(thm), "JPEG"));
    }
};

TEST_F(ThumbnailDialog, ANarrowMovieGetsA200PixelWindowCentredOverTheMainWindow) {
    ASSERT_EQ(Open({RealMovie("narrow.mp4", 160, 120, 3)}), kNoErr);
    Select({IDOf(0)});
    const bool made = RunDialog([&](WindowRef dialog) {
        const Rect content = GetWindowContentBounds(dialog);
        EXPECT_EQ(content.right - content.left, 200);
        EXPECT_EQ(content.bottom - content.top, 120 + 110);
        const Rect parent = GetWindowStructureBounds(window);
        EXPECT_EQ(content.left, parent.left + (parent.right - parent.left) / 2 - 100);
        EXPECT_EQ(content.top, parent.top + (parent.bottom - parent.top) / 2 - 230 / 2);

        const Rect ok = GetControlBounds(FindNibControl(dialog, 1));
        const Rect cancel = GetControlBounds(FindNibControl(dialog, 2));
        const Rect panel = GetControlBounds(FindNibControl(dialog, 3));
        EXPECT_EQ(ok.top, 230 - 40);
        EXPECT_EQ(ok.right, 200 - 20);
        EXPECT_EQ(cancel.top, 230 - 40);
        EXPECT_EQ(cancel.right, ok.left - 12);
        EXPECT_EQ(panel.top, 230 - 101);
        EXPECT_EQ(panel.left, 20);
        EXPECT_EQ(panel.right - panel.left, 200 - 40);
        // The player stands on the centred movie box, its bar inside it, above the panel.
        const Rect player = GetControlBounds(FindNibControl(dialog, 12));
        EXPECT_EQ(player.left, 20);
        EXPECT_EQ(player.right, 180);
        EXPECT_EQ(player.top, 0);
        EXPECT_LE(player.bottom, panel.top);
        Click(dialog, "cancelButton");
    });
    EXPECT_FALSE(made);
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(WindowList().contains(FrontWindow()) &&
                 GetWindowTag(FrontWindow()) == kWindowTagThumbnail);
}

TEST_F(ThumbnailDialog, AWideMovieGetsAWindowExactlyItsWidth) {
    ASSERT_EQ(Open({RealMovie("wide.mp4", 320, 180, 2)}), kNoErr);
    Select({IDOf(0)});
    RunDialog([&](WindowRef dialog) {
        const Rect content = GetWindowContentBounds(dialog);
        EXPECT_EQ(content.right - content.left, 320);
        EXPECT_EQ(content.bottom - content.top, 180 + 110);
        Click(dialog, "cancelButton");
    });
}

TEST_F(ThumbnailDialog, StepsMoveTheMovieAndOkWritesTheFrameShownOfTheFirstSelectedMovie) {
    const std::string first = RealMovie("first.mp4", 160, 120, 30);
    const std::string second = RealMovie("second.mp4", 160, 120, 30);
    ASSERT_EQ(Open({first, second}), kNoErr);
    Select({IDOf(0), IDOf(1)});
    const bool made = RunDialog([&](WindowRef dialog) {
        EXPECT_EQ(StepText(dialog, 4), "30");
        EXPECT_EQ(StepText(dialog, 8), "5");
        Click(dialog, "forward1");  // 30 s
        Click(dialog, "back2");     // 25 s
        Click(dialog, "back1");     // pinned at the start
        Click(dialog, "forward2");  // 5 s
        Click(dialog, "forward1");  // 35 s, pinned at the end (30 s)
        Click(dialog, "back2");     // 25 s
        gPref.thumbnailArrowSecs2 = 0;
        Click(dialog, "back2");  // a step of 0 stays
        Click(dialog, "okButton");
    });
    EXPECT_TRUE(made);
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(ThumbnailFrame(first), 25);
    EXPECT_EQ(ThumbnailFrame(second), -1);
    EXPECT_TRUE(Entry(0).hasThumbnail);

    // OK stored the steps at once.
    QSettings store("moviestick", "moviestick");
    EXPECT_EQ(store.value("thumbnailArrowSecs1").toInt(), 30);
    EXPECT_EQ(store.value("thumbnailArrowSecs2").toInt(), 0);

    // A second OK replaces the thumbnail.
    gPref.thumbnailArrowSecs2 = 5;
    Select({IDOf(0)});
    EXPECT_TRUE(RunDialog([&](WindowRef dialog) {
        Click(dialog, "forward2");
        Click(dialog, "okButton");
    }));
    EXPECT_EQ(ThumbnailFrame(first), 5);
}

TEST_F(ThumbnailDialog, ArrowsChangeAStepByOneWithinTheirRangeAndCancelKeepsItInMemoryOnly) {
    ASSERT_EQ(Open({RealMovie("clip.mp4", 160, 120, 2)}), kNoErr);
    Select({IDOf(0)});
    RunDialog([&](WindowRef dialog) {
        ControlRef arrows1 = FindNibControl(dialog, 5);
        ControlRef arrows2 = FindNibControl(dialog, 9);
        LittleArrowActionProc(arrows1, kControlUpButtonPart);
        EXPECT_EQ(gPref.thumbnailArrowSecs1, 31);
        EXPECT_EQ(StepText(dialog, 4), "31");
        LittleArrowActionProc(arrows1, 0);  // no arrow
        EXPECT_EQ(gPref.thumbnailArrowSecs1, 31);

        for (int i = 0; i < 10; ++i) LittleArrowActionProc(arrows2, kControlDownButtonPart);
        EXPECT_EQ(gPref.thumbnailArrowSecs2, GetControl32BitMinimum(arrows2));
        EXPECT_EQ(StepText(dialog, 8), QString::number(GetControl32BitMinimum(arrows2)));
        SetControl32BitValue(arrows2, GetControl32BitMaximum(arrows2));
        LittleArrowActionProc(arrows2, kControlUpButtonPart);
        EXPECT_EQ(gPref.thumbnailArrowSecs2, GetControl32BitMaximum(arrows2));
        Click(dialog, "cancelButton");
    });
    EXPECT_EQ(gPref.thumbnailArrowSecs1, 31);
    QSettings store("moviestick", "moviestick");
    EXPECT_FALSE(store.contains("thumbnailArrowSecs1"));

    // The next dialog starts from the steps in memory.
    RunDialog([&](WindowRef dialog) {
        EXPECT_EQ(StepText(dialog, 4), "31");
        EXPECT_EQ(GetControl32BitValue(FindNibControl(dialog, 5)), 31);
        Click(dialog, "cancelButton");
    });
}

TEST_F(ThumbnailDialog, ATypedStepIsTakenWithinTheArrowsRangeAndTheMovieMovesByIt) {
    const std::string movie = RealMovie("typed.mp4", 160, 120, 30);
    ASSERT_EQ(Open({movie}), kNoErr);
    Select({IDOf(0)});
    const bool made = RunDialog([&](WindowRef dialog) {
        auto* field = qobject_cast<QLineEdit*>(FindNibControl(dialog, 8));
        ASSERT_NE(field, nullptr);
        field->selectAll();
        QTest::keyClicks(field, "12");
        EXPECT_EQ(gPref.thumbnailArrowSecs2, 12);
        EXPECT_EQ(GetControl32BitValue(FindNibControl(dialog, 9)), 12);
        Click(dialog, "forward2");  // 12 s

        // What would leave no step in range in the field is not taken: more than the arrows'
        // maximum, letters.
        field->selectAll();
        QTest::keyClicks(field, "7001x");
        EXPECT_EQ(field->text(), "70");
        EXPECT_EQ(gPref.thumbnailArrowSecs2, 70);
        // An emptied field keeps the last step it showed.
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClick(field, Qt::Key_Backspace);
        EXPECT_EQ(field->text(), "");
        EXPECT_EQ(gPref.thumbnailArrowSecs2, 7);
        // The arrows go on from the typed step and show theirs in the field.
        LittleArrowActionProc(FindNibControl(dialog, 9), kControlUpButtonPart);
        EXPECT_EQ(field->text(), "8");
        Click(dialog, "okButton");
    });
    EXPECT_TRUE(made);
    EXPECT_EQ(ThumbnailFrame(movie), 12);
}

TEST_F(ThumbnailDialog, AMovieThatCannotBeOpenedSaysWhyAndOpensNoDialog) {
    const std::string gone = RealMovie("gone.mp4", 160, 120, 2);
    const std::string unknown = RealMovie("unknown.mp4", 160, 120, 2);
    ASSERT_TRUE(HideVideoCoding(unknown));
    ASSERT_EQ(Open({gone, unknown}), kNoErr);
    ASSERT_EQ(std::remove(gone.c_str()), 0);

    Select({IDOf(0)});
    EXPECT_FALSE(DoMakeThumbnail(window));
    Select({IDOf(1)});
    EXPECT_FALSE(DoMakeThumbnail(window));
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].message, LocalizedString("FSGetCatalogInfo() error."));
    EXPECT_TRUE(alerts[0].explanation.contains("-43"));
    EXPECT_EQ(alerts[1].message, LocalizedString("qtCodecErr"));
    EXPECT_TRUE(alerts[1].explanation.isEmpty());
    for (WindowRef open : WindowList()) EXPECT_NE(GetWindowTag(open), kWindowTagThumbnail);
}

TEST_F(ThumbnailDialog, PreviewShowsTheSelectedMoviesThumbnailAndSaysWhose) {
    const std::string with = RealMovie("with.mp4", 160, 120, 2);
    const std::string without = RealMovie("without.mp4", 160, 120, 2);
    ASSERT_EQ(Open({with, without}), kNoErr);
    QImage frame(160, 120, QImage::Format_RGB888);
    frame.fill(Qt::white);
    ASSERT_EQ(CreateThumbnailFile(frame, IDOf(0)), 0);
    ControlRef well = FindNibControl(window, kPrefThumbnailWell);
    auto shown = [&] {
        HandleDataBrowserSelect(browser);
        const QPixmap pixmap = static_cast<QLabel*>(well)->pixmap();
        return !pixmap.isNull();
    };

    Select({IDOf(0)});
    EXPECT_TRUE(shown());
    EXPECT_TRUE(well->accessibleName().contains("with.mp4"));
    Select({IDOf(1)});
    EXPECT_FALSE(shown());
    EXPECT_TRUE(well->accessibleName().contains("without.mp4"));
    Select({IDOf(0), IDOf(1)});
    EXPECT_FALSE(shown());
    EXPECT_FALSE(well->accessibleName().contains(".mp4"));
    EXPECT_TRUE(alerts.empty());
}

}  // namespace
