// SPDX-License-Identifier: GPL-3.0-or-later
// empty_views_test.cpp - what the main window says where it has nothing to show: the empty list's
// hint, painted in the list and read by screen readers, and the thumbnail well without a picture.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QColor>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include "listview_fixture.h"
#include "toolkit/localized.h"

namespace {

class EmptyViews : public ListView {
protected:
    QString Spoken(QWidget* widget, QAccessible::Text kind) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(kind) : QString();
    }
    // Pixels of the list's viewport that are not its background.
    int InkedPixels() {
        view->viewport()->repaint();
        const QImage shot = view->viewport()->grab().toImage();
        const QRgb background = shot.pixel(1, 1);
        int inked = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) inked += shot.pixel(x, y) != background;
        return inked;
    }
    QLabel* Well() { return qobject_cast<QLabel*>(FindNibControl(window, kPrefThumbnailWell)); }
};

}  // namespace

TEST_F(EmptyViews, TheEmptyListShowsAndSaysWhereMoviesComeFromUntilItHoldsOne) {
    const QString hint = LocalizedString("emptyListHint");
    EXPECT_EQ(hint, "Drop movies or folders here, or choose File › Open…");
    EXPECT_EQ(Spoken(view, QAccessible::Description), hint);
    EXPECT_GT(InkedPixels(), 50) << "the hint is not painted";

    ASSERT_EQ(Open(Movies({"a.mp4", "b.mp4"})), kNoErr);
    ASSERT_EQ(view->model()->rowCount(), 2);
    const QString described = Spoken(view, QAccessible::Description);
    EXPECT_FALSE(described.isEmpty());
    EXPECT_NE(described, hint);
    EXPECT_EQ(Spoken(view, QAccessible::Name), "Movies");

    // Removing the last movie brings the hint back.
    ASSERT_EQ(
        RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, kDataBrowserItemNoProperty),
        0);
    EXPECT_EQ(Spoken(view, QAccessible::Description), hint);
}

TEST_F(EmptyViews, TheWellSaysWhyItShowsNoThumbnail) {
    QLabel* well = Well();
    ASSERT_NE(well, nullptr);
    EXPECT_EQ(well->text(), "Select one movie");

    // b.mp4 has a thumbnail beside it, a.mp4 none.
    const std::vector<std::string> movies = Movies({"a.mp4", "b.mp4"});
    QImage thumbnail(160, 120, QImage::Format_RGB32);
    thumbnail.fill(Qt::darkGreen);
    ASSERT_TRUE(thumbnail.save(QString::fromStdString(dir.file("b.THM")), "JPEG"));
    ASSERT_EQ(Open(movies), kNoErr);
    Select({IDOf(0)});
    IdleProc(nullptr);
    EXPECT_EQ(well->text(), "No thumbnail");
    EXPECT_TRUE(well->isVisible());
    EXPECT_EQ(Spoken(well, QAccessible::Name), "a.mp4 has no thumbnail");

    Select({IDOf(0), IDOf(1)});
    IdleProc(nullptr);
    EXPECT_EQ(well->text(), "Select one movie");

    // With a thumbnail the picture shows, and no words over it.
    Select({IDOf(1)});
    IdleProc(nullptr);
    EXPECT_EQ(well->text(), "");
    EXPECT_FALSE(well->pixmap().isNull());
}

// The note under the button explains it; it reads as ordinary text even while the button is off.
TEST_F(EmptyViews, TheThumbnailNoteIsDrawnAsOrdinaryText) {
    ControlRef note = FindNibControl(window, kPrefThumbnailNote);
    ASSERT_NE(note, nullptr);
    const QPalette palette = note->palette();
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::WindowText),
              palette.color(QPalette::Active, QPalette::WindowText));
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::WindowText),
              window->palette().color(QPalette::Active, QPalette::WindowText));
    EXPECT_EQ(Spoken(note, QAccessible::Name), "Kept beside the movie as a .THM file.");
}
