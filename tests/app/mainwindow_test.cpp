// SPDX-License-Identifier: GPL-3.0-or-later
// mainwindow_test.cpp - the main window: creation from the preferences, layout, minimum size,
// closing during a send, and the controls that keep the preferences.
#include "app/mainwindow.h"

#include <cstring>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include "shared/prefs.h"
#include "support/ui_windows.h"
#include "toolkit/alerts.h"
#include "toolkit/localized.h"
#include "toolkit/resources.h"
#include "transfer/transferglobals.h"

namespace {

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        gPref = Preferences{};
        gPref.pspMenuSelect = 1;
        gPref.optionThumbnail = true;
        gPref.optionUnmount = false;
        gPref.filenameColumWidth = 179;
        gPref.titleColumWidth = 180;
        gPref.pspColumWidth = 110;
        gPref.windowBounds = DefaultWindowBounds();
        gThreadID = 0;
        gCopyCancelRequest = false;
        SetAlertResponder([this](const AlertRecord& record) {
            alerts.push_back(record);
            return kAlertDefaultButton;
        });
    }
    void TearDown() override {
        SetAlertResponder({});
        DisposeAllWindows();
        gThreadID = 0;
        gCopyCancelRequest = false;
        delete gVolumeList;
        gVolumeList = nullptr;
    }
    WindowRef MakeMainWindow() {
        EXPECT_TRUE(DoPref());
        const QList<WindowRef> windows = WindowList();
        return windows.isEmpty() ? nullptr : windows.first();
    }
    std::vector<AlertRecord> alerts;
};

struct Place {
    int left, top, width, height;
};

Place PlaceOf(WindowRef window, int32_t id) {
    const Rect r = GetControlBounds(FindNibControl(window, id));
    return Place{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int16_t ContentWidth(WindowRef window) {
    const Rect r = GetWindowContentBounds(window);
    return int16_t(r.right - r.left);
}
int16_t ContentHeight(WindowRef window) {
    const Rect r = GetWindowContentBounds(window);
    return int16_t(r.bottom - r.top);
}

TEST_F(MainWindow, OpensWithEveryColumnInViewAtItsDefaultWidth) {
    gPref.pspColumWidth = kDefaultPspColumnWidth;
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_GT(ContentWidth(window), kMainWindowMinWidth);
    auto* view = qobject_cast<QTreeView*>(FindNibControl(window, kPrefMovieList));
    ASSERT_NE(view, nullptr);
    const QHeaderView* header = view->header();
    EXPECT_EQ(header->sectionSize(0), 179);
    EXPECT_EQ(header->sectionSize(1), 180);
    EXPECT_GE(header->sectionSize(2), kDefaultPspColumnWidth);
    EXPECT_EQ(header->length(), view->viewport()->width());
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
}

TEST_F(MainWindow, IsMadeFromThePreferencesWithTheSelectionControlsInactive) {
    gPref.optionThumbnail = false;
    gPref.optionUnmount = true;
    gPref.windowBounds =
        Rect{int16_t(gPref.windowBounds.top + 10), gPref.windowBounds.left,
             int16_t(gPref.windowBounds.bottom + 60), int16_t(gPref.windowBounds.right + 100)};
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowTag(window), kMainWindowTag);
    EXPECT_TRUE(window->isVisible());
    const Rect bounds = GetWindowContentBounds(window);
    EXPECT_EQ(bounds.top, gPref.windowBounds.top);
    EXPECT_EQ(bounds.left, gPref.windowBounds.left);
    EXPECT_EQ(ContentWidth(window), DefaultWindowBounds().right - DefaultWindowBounds().left + 100);
    EXPECT_EQ(ContentHeight(window), 411);

    for (int32_t id : {kPrefSendButton, kPrefMakeThumbnail, kPrefThumbnailNote})
        EXPECT_FALSE(IsControlActive(FindNibControl(window, id))) << "control " << id;
    EXPECT_EQ(GetControl32BitValue(FindNibControl(window, kPrefOptionThumbnail)), 0);
    EXPECT_EQ(GetControl32BitValue(FindNibControl(window, kPrefOptionUnmount)), 1);

    ControlRef list = FindNibControl(window, kPrefMovieList);
    int16_t width = 0;
    ASSERT_EQ(GetListColumnWidth(list, kFileColumn, &width), 0);
    EXPECT_EQ(width, 179);
    ASSERT_EQ(GetListColumnWidth(list, kTitleColumn, &width), 0);
    EXPECT_EQ(width, 180);
    // The last column stretches with the window: at least its stored width, and no wider
    // than the room the other two leave, so the list needs no horizontal scroll bar.
    ASSERT_EQ(GetListColumnWidth(list, kKindColumn, &width), 0);
    EXPECT_GE(width, 110);
    auto* view = qobject_cast<QTreeView*>(list);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(179 + 180 + width, view->viewport()->width());
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(view->alternatingRowColors());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(MainWindow, FailuresToOpenTheInterfaceAreShownAndNoWindowStays) {
    const QString folder = ResourceFolder();
    SetResourceFolder(QDir::tempPath() + "/moviestick-no-such-folder");
    EXPECT_FALSE(DoPref());
    SetResourceFolder(folder);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].kind, kAlertStop);
    EXPECT_EQ(alerts[0].message, LocalizedString("CreateNibReference() error."));
    EXPECT_EQ(alerts[0].explanation, "Details: error -43");

    // An interface folder without the main window in it.
    QTemporaryDir empty;
    ASSERT_TRUE(QDir(empty.path()).mkdir("main.nib"));
    SetResourceFolder(empty.path());
    EXPECT_FALSE(DoPref());
    SetResourceFolder(folder);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1].message, LocalizedString("CreateWindowFromNib() error."));
    EXPECT_EQ(alerts[1].explanation, "Details: error -10960");
    EXPECT_TRUE(WindowList().isEmpty());
}

TEST_F(MainWindow, LayoutFollowsTheRulesAtAnySize) {
    // Made at the smallest size, where the controls stand where the design puts them.
    gPref.windowBounds.right = int16_t(gPref.windowBounds.left + kMainWindowMinWidth);
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    const Place send = PlaceOf(window, kPrefSendButton);
    const Place band = PlaceOf(window, kPrefBottomBand);
    const Place well = PlaceOf(window, kPrefThumbnailWell);
    const Place make = PlaceOf(window, kPrefMakeThumbnail);
    const Place heading = PlaceOf(window, kPrefColumnHeading);
    const Place note = PlaceOf(window, kPrefThumbnailNote);
    const Place list = PlaceOf(window, kPrefMovieList);

    for (auto [W, H] : {std::pair{603, 361}, std::pair{900, 640}}) {
        LayoutPrefDialog(window, int16_t(W), int16_t(H));
        const Place s = PlaceOf(window, kPrefSendButton);
        EXPECT_EQ(s.left, W - 20 - send.width);
        EXPECT_EQ(s.top, H - 40);
        const Place p = PlaceOf(window, kPrefDevicePopup);
        EXPECT_EQ(p.left, 20);
        EXPECT_EQ(p.top, H - 40);
        const Place b = PlaceOf(window, kPrefBottomBand);
        EXPECT_EQ(b.left, band.left);
        EXPECT_EQ(b.left + b.width, W - 20);
        EXPECT_EQ(b.top + b.height, H - 60);
        EXPECT_EQ(b.height, band.height);
        for (auto [id, before] :
             {std::pair{kPrefColumnHeading, heading}, std::pair{kPrefThumbnailNote, note},
              std::pair{kPrefThumbnailWell, well}}) {
            const Place c = PlaceOf(window, id);
            EXPECT_EQ(c.left, W - 20 - before.width) << "control " << id;
            EXPECT_EQ(c.top, before.top) << "control " << id;
            EXPECT_EQ(c.width, before.width) << "control " << id;
        }
        const Place w = PlaceOf(window, kPrefThumbnailWell);
        const Place m = PlaceOf(window, kPrefMakeThumbnail);
        EXPECT_EQ(m.left, w.left + w.width / 2 - make.width / 2);
        EXPECT_EQ(m.top, make.top);
        const Place l = PlaceOf(window, kPrefMovieList);
        EXPECT_EQ(l.left, list.left);
        EXPECT_EQ(l.top, list.top);
        EXPECT_EQ(l.left + l.width, w.left - 16);
        EXPECT_EQ(l.top + l.height, b.top - 6);
    }
    // The design's own places are those of the smallest window.
    LayoutPrefDialog(window, 603, 361);
    EXPECT_EQ(PlaceOf(window, kPrefSendButton).left, send.left);
    EXPECT_EQ(PlaceOf(window, kPrefMovieList).width, 385);
    EXPECT_EQ(PlaceOf(window, kPrefThumbnailWell).left, 421);
}

TEST_F(MainWindow, ResizeIsLaidOutAndRememberedWhenItEnds) {
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    Rect bigger = GetWindowContentBounds(window);
    bigger.right = int16_t(bigger.left + 800);
    bigger.bottom = int16_t(bigger.top + 500);
    SetWindowContentBounds(window, bigger);
    QCoreApplication::processEvents();
    EXPECT_EQ(PlaceOf(window, kPrefSendButton).left,
              800 - 20 - PlaceOf(window, kPrefSendButton).width);
    QTest::qWait(300);
    EXPECT_EQ(gPref.windowBounds.right - gPref.windowBounds.left, 800);
    EXPECT_EQ(gPref.windowBounds.bottom - gPref.windowBounds.top, 500);
}

TEST_F(MainWindow, ResizeBelowTheMinimumEndsAtTheMinimumAndIsStored) {
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    window->resize(400, 300);
    QTest::qWait(300);
    EXPECT_EQ(ContentWidth(window), 603);
    EXPECT_EQ(ContentHeight(window), 361);

    // Even where the window manager lets a window get smaller, the end of the resize corrects it.
    SetWindowResizeLimits(window, 0, 0);
    Rect small = GetWindowContentBounds(window);
    small.right = int16_t(small.left + 400);
    small.bottom = int16_t(small.top + 300);
    SetWindowContentBounds(window, small);
    QCoreApplication::processEvents();
    EXPECT_EQ(ContentWidth(window), 400);  // not while the resize goes on
    QTest::qWait(300);
    EXPECT_EQ(ContentWidth(window), 603);
    EXPECT_EQ(ContentHeight(window), 361);
    const Rect now = GetWindowContentBounds(window);
    EXPECT_EQ(gPref.windowBounds.left, now.left);
    EXPECT_EQ(gPref.windowBounds.top, now.top);
    EXPECT_EQ(gPref.windowBounds.right, now.left + 603);
    EXPECT_EQ(gPref.windowBounds.bottom, now.top + 361);
}

TEST_F(MainWindow, ClosingDuringASendCancelsItAndKeepsTheWindow) {
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    gThreadID = 7;
    EXPECT_FALSE(RequestWindowClose(window));
    EXPECT_TRUE(gCopyCancelRequest);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ProcessHICommand(kHICommandClose), 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindow, ClosingOtherwiseEndsTheEventLoop) {
    QPointer<QWidget> window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    QTimer::singleShot(20, [&] { EXPECT_TRUE(RequestWindowClose(window)); });
    // Scoped, so that the guard cannot fire during a later test.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        ADD_FAILURE() << "the event loop did not end";
        QuitApplicationEventLoop();
    });
    guard.start(5000);
    RunApplicationEventLoop();
    SettleEvents();
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(gCopyCancelRequest);
}

TEST_F(MainWindow, ConversionControlsShowAndKeepTheFirmwareAndQualityChoices) {
    gPref.firmware330 = true;
    gPref.videoKbps = 1500;
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    auto* firmware = qobject_cast<QAbstractButton*>(FindNibControl(window, kPrefFirmware330));
    auto* quality = qobject_cast<QComboBox*>(FindNibControl(window, kPrefConvertQuality));
    ASSERT_NE(firmware, nullptr);
    ASSERT_NE(quality, nullptr);
    EXPECT_TRUE(firmware->isChecked());
    EXPECT_EQ(quality->count(), 2);
    EXPECT_EQ(quality->currentIndex(), 1);
    firmware->click();
    EXPECT_FALSE(gPref.firmware330);
    quality->setCurrentIndex(0);
    emit quality->activated(0);
    EXPECT_EQ(gPref.videoKbps, 768);
    quality->setCurrentIndex(1);
    emit quality->activated(1);
    EXPECT_EQ(gPref.videoKbps, 1500);
}

TEST_F(MainWindow, ControlsKeepTheOptionsDeviceAndColumnWidthsInThePreferences) {
    // The smallest window, whose list the columns below fill: the last one then keeps its width.
    gPref.windowBounds.right = int16_t(gPref.windowBounds.left + kMainWindowMinWidth);
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    qobject_cast<QAbstractButton*>(FindNibControl(window, kPrefOptionThumbnail))->click();
    EXPECT_FALSE(gPref.optionThumbnail);
    auto* unmount = qobject_cast<QAbstractButton*>(FindNibControl(window, kPrefOptionUnmount));
    unmount->click();
    EXPECT_TRUE(gPref.optionUnmount);
    unmount->click();
    EXPECT_FALSE(gPref.optionUnmount);

    gVolumeList = new std::vector<std::string>{"/media/user/ONE/", "/media/user/TWO/"};
    auto* popup = qobject_cast<QComboBox*>(FindNibControl(window, kPrefDevicePopup));
    popup->addItems({"ONE", "TWO", "THREE"});
    popup->setCurrentIndex(1);
    emit popup->activated(1);
    EXPECT_EQ(gPref.pspMenuSelect, 2);
    EXPECT_STREQ(gPref.devicePath, "/media/user/TWO/");
    popup->setCurrentIndex(2);  // an item beyond the volume list leaves the path alone
    emit popup->activated(2);
    EXPECT_EQ(gPref.pspMenuSelect, 3);
    EXPECT_STREQ(gPref.devicePath, "/media/user/TWO/");

    auto* list = qobject_cast<QTreeView*>(FindNibControl(window, kPrefMovieList));
    list->header()->resizeSection(0, 140);
    list->header()->resizeSection(1, 210);
    list->header()->resizeSection(2, 95);
    EXPECT_EQ(gPref.filenameColumWidth, 179);
    QTest::mouseClick(list->viewport(), Qt::LeftButton);
    SettleEvents();
    EXPECT_EQ(gPref.filenameColumWidth, 140);
    EXPECT_EQ(gPref.titleColumWidth, 210);
    EXPECT_EQ(gPref.pspColumWidth, 95);
}

// A screen reader (AT-SPI "Toggle") toggles a box without a click: the preference follows the
// box's state all the same, and a box the program sets itself is not taken for the user's.
TEST_F(MainWindow, TheSendOptionsFollowTheirBoxesWhateverChangedThem) {
    WindowRef window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    ControlRef thumbnail = FindNibControl(window, kPrefOptionThumbnail);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(thumbnail);
    ASSERT_NE(face, nullptr);
    ASSERT_NE(face->actionInterface(), nullptr);
    face->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(GetControl32BitValue(thumbnail), 0);
    EXPECT_FALSE(gPref.optionThumbnail);
    face->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(gPref.optionThumbnail);

    QTest::keyClick(FindNibControl(window, kPrefOptionUnmount), Qt::Key_Space);
    EXPECT_TRUE(gPref.optionUnmount);
    SetControl32BitValue(FindNibControl(window, kPrefOptionUnmount), 0);
    EXPECT_TRUE(gPref.optionUnmount);
}

}  // namespace
