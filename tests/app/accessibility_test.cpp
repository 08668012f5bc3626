// SPDX-License-Identifier: GPL-3.0-or-later
// accessibility_test.cpp - what a screen reader and a keyboard meet in each window: names for
// every control, a tab order that reads like the window, and the main job done by keys alone.
#include <algorithm>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "container/atom_builder.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "movielist/opening.h"
#include "shared/prefs.h"
#include "support/alert_answer.h"
#include "support/movielist_state.h"
#include "support/ui_windows.h"
#include "toolkit/gestalt.h"
#include "toolkit/instance.h"

namespace {

QString AccessibleText(QWidget* widget, QAccessible::Text kind) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(kind) : QString();
}

// What a person meets in the window: the numbered controls and everything that takes focus,
// except the inner parts of composite widgets (a list's header, a pop-up's line edit).
std::vector<QWidget*> VisibleControls(WindowRef window) {
    std::vector<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        const bool numbered = widget->property("controlID").isValid();
        const bool focusable = (widget->focusPolicy() & Qt::TabFocus) != 0;
        if (!numbered && !focusable && !qobject_cast<QLabel*>(widget)) continue;
        if (widget->focusProxy() || qobject_cast<QAbstractItemView*>(widget->parentWidget()) ||
            qobject_cast<QAbstractItemView*>(
                widget->parentWidget() ? widget->parentWidget()->parentWidget() : nullptr))
            continue;
        controls.push_back(widget);
    }
    return controls;
}

std::string Describe(QWidget* widget) {
    return (widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName())
        .toStdString();
}

// The widgets Tab visits, from the window's first one round to it again.
std::vector<QWidget*> TabOrder(WindowRef window) {
    std::vector<QWidget*> order;
    QWidget* widget = window;
    for (int guard = 0; guard < 1000; ++guard) {
        widget = widget->nextInFocusChain();
        if (widget == window) break;
        if (widget->window() != window || !widget->isVisible()) continue;
        if ((widget->focusPolicy() & Qt::TabFocus) == 0 || widget->focusProxy()) continue;
        order.push_back(widget);
    }
    return order;
}

// Where a widget stands for reading: the two buttons of little arrows read as the one control
// they make up.
QPoint ReadingPlace(WindowRef window, QWidget* widget) {
    QWidget* parent = widget->parentWidget();
    if (parent && parent->property("minimum").isValid()) widget = parent;
    return widget->mapTo(window, QPoint(0, 0));
}

// Reading order: rows from the top (tops within 8 pixels share a row), each from the left.
bool ReadsBefore(WindowRef window, QWidget* one, QWidget* other) {
    const QPoint a = ReadingPlace(window, one);
    const QPoint b = ReadingPlace(window, other);
    if (a == b) return true;
    if (std::abs(a.y() - b.y()) > 8) return a.y() < b.y();
    return a.x() < b.x();
}

class AccessibilityTest : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        window = LoadNibWindow(GetParam());
        ASSERT_NE(window, nullptr);
        // Tab passes over inactive controls, but they belong in the order all the same.
        for (QWidget* widget : window->findChildren<QWidget*>()) widget->setEnabled(true);
        ShowWindow(window);
        QTest::qWait(10);
    }
    void TearDown() override { DisposeAllWindows(); }

    WindowRef window = nullptr;
};

TEST_P(AccessibilityTest, EveryVisibleControlHasAName) {
    const std::vector<QWidget*> controls = VisibleControls(window);
    EXPECT_FALSE(controls.empty());
    for (QWidget* control : controls)
        EXPECT_FALSE(AccessibleText(control, QAccessible::Name).trimmed().isEmpty())
            << Describe(control);
    EXPECT_FALSE(AccessibleText(window, QAccessible::Name).isEmpty());
}

TEST_P(AccessibilityTest, TabVisitsTheControlsInReadingOrder) {
    const std::vector<QWidget*> order = TabOrder(window);
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_TRUE(ReadsBefore(window, order[i - 1], order[i]))
            << Describe(order[i - 1]) << " comes before " << Describe(order[i]);
}

INSTANTIATE_TEST_SUITE_P(Windows, AccessibilityTest,
                         testing::Values("Pref", "About", "Progress", "Thumbnail"));

TEST(MenuAccessibilityTest, EveryMenuAndCommandCanBeReachedByItsKeys) {
    // The menu bar goes to the main window.
    WindowRef window = LoadNibWindow("Pref");
    ASSERT_NE(window, nullptr);
    InstallNibMenuBar();
    auto* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);

    QStringList mnemonics;
    for (QAction* menu : bar->actions()) {
        if (!menu->menu()) continue;
        const QString title = menu->text();
        const qsizetype amp = title.indexOf('&');
        ASSERT_GE(amp, 0) << title.toStdString() << " has no mnemonic";
        const QString key = title.mid(amp + 1, 1).toLower();
        EXPECT_FALSE(mnemonics.contains(key)) << title.toStdString();
        mnemonics << key;

        QStringList itemKeys;
        for (QAction* item : menu->menu()->actions()) {
            if (item->isSeparator()) continue;
            const QString text = item->text();
            const qsizetype itemAmp = text.indexOf('&');
            EXPECT_TRUE(itemAmp >= 0 || !item->shortcut().isEmpty()) << text.toStdString();
            if (itemAmp < 0) continue;
            const QString itemKey = text.mid(itemAmp + 1, 1).toLower();
            EXPECT_FALSE(itemKeys.contains(itemKey)) << text.toStdString() << " repeats a key";
            itemKeys << itemKey;
        }
    }
    DisposeAllWindows();
}

// The whole round by keyboard: a movie named on the command line lands in the list, arrow keys
// reach it and F2 retitles it in the file.
class KeyboardRunTest : public testing::Test {
protected:
    void SetUp() override {
        ResetMovieList();
        GetCFPreferences();
        ASSERT_EQ(Gestalt(kGestaltSystemVersion, &gSysVersion), 0);
        CreateRoutineDescriptor();
        DoInstallAE();
        InstallNibMenuBar();
        InstallApplicationEventHandler(ApplicationHandler, nullptr);
        ASSERT_TRUE(DoPref());
        window = FrontWindow();
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        QTest::qWait(20);
    }
    void TearDown() override {
        DisposeAllWindows();
        ResetMovieList();
    }

    QTemporaryDir folder;
    WindowRef window = nullptr;
};

TEST_F(KeyboardRunTest, AMovieFromTheCommandLineIsRetitledWithArrowKeysAndF2) {
    const std::string path = folder.filePath("Holiday.mp4").toStdString();
    mp4test::writeFile(path, mp4test::smallMovie(u"Old title"));

    AppleEvent open;
    QString message;
    ASSERT_EQ(ParseCommandLine({"moviestick", QString::fromStdString(path)}, &open, &message),
              CommandLine::Request);
    ASSERT_EQ(AEOpenDoc(open, nullptr, 0), 0);
    ASSERT_EQ(CountOpenFileInfo(), 1);

    // The list is where the keyboard starts.
    auto* list = qobject_cast<QTreeView*>(GetDataBrowserControl(window));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(TabOrder(window).front(), list);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Home);
    ASSERT_EQ(list->selectionModel()->selectedRows().size(), 1);

    QTest::keyClick(list, Qt::Key_F2);
    auto* editor = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "Summer");
    QTest::keyClick(editor, Qt::Key_Return);
    SettleEvents();
    EXPECT_EQ(FileTitle(path), "Summer");

    // A screen reader reads the list as a table with headed columns.
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(face, nullptr);
    QAccessibleTableInterface* table = face->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columnCount(), 3);
    EXPECT_EQ(table->columnDescription(0), "File Name");
    EXPECT_EQ(table->columnDescription(1), "Title");
    EXPECT_EQ(table->columnDescription(2), "PSP");
    QAccessibleInterface* cell = table->cellAt(0, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), "Summer");
    QAccessibleInterface* kind = table->cellAt(0, 2);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->text(QAccessible::Name), "AVC");
}

TEST_F(KeyboardRunTest, EscapeClosesTheAboutWindow) {
    ASSERT_EQ(DoAbout(), 0);
    WindowRef about = GetAboutWindow();
    ASSERT_NE(about, nullptr);
    about->activateWindow();
    QTest::keyClick(about, Qt::Key_Escape);
    SettleEvents();
    EXPECT_EQ(GetAboutWindow(), nullptr);
    EXPECT_EQ(FrontWindow(), window);
}

}  // namespace
