// SPDX-License-Identifier: GPL-3.0-or-later
// window_texts_test.cpp - what the windows say, read as a screen reader reads them: menu items
// that ask before acting, the thumbnail dialog's step labels and OK button, the About window.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QDialogButtonBox>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include "support/ui_windows.h"
#include "toolkit/resources.h"

namespace {

QString AccessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// The visible label a screen reader reads as this name, or null.
QWidget* LabelNamed(WindowRef window, const QString& name) {
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisible() && AccessibleName(label) == name) return label;
    return nullptr;
}

class WindowTexts : public testing::Test {
protected:
    void TearDown() override { DisposeAllWindows(); }
};

}  // namespace

TEST_F(WindowTexts, MenuItemsThatAskOrOpenADialogEndInAnEllipsisAndNoOthers) {
    WindowRef window = LoadNibWindow("Pref");
    ASSERT_NE(window, nullptr);
    InstallNibMenuBar();
    auto* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const QStringList asking = {"open", "Remv", "FtoT", "MThm", "Send", "chrp"};
    const QStringList acting = {"clos", "quit", "EdTl"};
    int seen = 0;
    for (QAction* menu : bar->actions()) {
        if (!menu->menu()) continue;
        for (QAction* item : menu->menu()->actions()) {
            const QString command = item->property("command").toString();
            if (asking.contains(command)) {
                EXPECT_TRUE(item->text().endsWith(QStringLiteral("…")))
                    << item->text().toStdString();
                ++seen;
            } else if (acting.contains(command)) {
                EXPECT_FALSE(item->text().contains(QStringLiteral("…")))
                    << item->text().toStdString();
                EXPECT_FALSE(item->text().endsWith("...")) << item->text().toStdString();
            }
        }
    }
    EXPECT_EQ(seen, asking.size());
}

TEST_F(WindowTexts, ThumbnailStepsCarryVisibleLabelsBesideThemAndOkSaysWhatItDoes) {
    WindowRef window = LoadNibWindow("Thumbnail");
    ASSERT_NE(window, nullptr);
    ShowWindow(window);
    QTest::qWait(10);
    // Control 4 shows the big step's seconds, control 8 the small step's.
    for (const auto& [name, id] : {std::pair{"Big step", 4}, std::pair{"Small step", 8}}) {
        QWidget* label = LabelNamed(window, name);
        ASSERT_NE(label, nullptr) << name;
        ControlRef step = FindNibControl(window, id);
        ASSERT_NE(step, nullptr);
        const QRect labelPlace(label->mapTo(window, QPoint()), label->size());
        const QRect stepPlace(step->mapTo(window, QPoint()), step->size());
        EXPECT_LE(labelPlace.right(), stepPlace.left()) << name << ": not before its step";
        EXPECT_EQ(labelPlace.top(), stepPlace.top()) << name << ": not on its step's row";
    }
    ControlRef ok = FindNibControl(window, 1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(AccessibleName(ok), "Use This Frame");
    // The whole text fits on the button.
    auto* button = qobject_cast<QPushButton*>(ok);
    ASSERT_NE(button, nullptr);
    EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 8);
}

TEST_F(WindowTexts, AboutShowsTheIconVersionAndLicenceAndCloseClosesIt) {
    WindowRef about = LoadNibWindow("About");
    ASSERT_NE(about, nullptr);
    ShowWindow(about);
    QTest::qWait(10);
    QStringList texts;
    for (QLabel* label : about->findChildren<QLabel*>()) texts << label->text();
    const QString all = texts.join('\n');
    EXPECT_TRUE(QRegularExpression("Version \\d+\\.\\d+").match(all).hasMatch())
        << all.toStdString();
    EXPECT_TRUE(all.contains("GNU General Public License, version 3 or later"))
        << all.toStdString();
    auto* icon = about->findChild<QLabel*>("icon");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(AccessibleName(icon).isEmpty());
    if (QImageReader::supportedImageFormats().contains("svg")) {
        EXPECT_FALSE(icon->pixmap().isNull()) << "the application icon did not load";
    }

    auto* buttons = about->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    ASSERT_NE(close, nullptr);
    EXPECT_FALSE(AccessibleName(close).isEmpty());
    // Closing may delete the window.
    const QPointer<QWidget> window(about);
    close->click();
    SettleEvents();
    EXPECT_TRUE(window.isNull() || !window->isVisible());
}

// The window manager's title bar, task switcher and dock show the program's own icon.
TEST_F(WindowTexts, TheMainWindowCarriesTheApplicationsIcon) {
    SetDesktopIdentity();
    WindowRef window = LoadNibWindow("Pref");
    ASSERT_NE(window, nullptr);
    if (!QImageReader::supportedImageFormats().contains("svg"))
        GTEST_SKIP() << "no SVG image support";
    const QIcon icon = window->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage shown = icon.pixmap(48, 48).toImage();
    ASSERT_FALSE(shown.isNull());
    // Not a blank square: the drawing has more than one colour.
    EXPECT_NE(shown.pixel(24, 24), shown.pixel(2, 2));
}
