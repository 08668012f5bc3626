// SPDX-License-Identifier: GPL-3.0-or-later
// prefs_test.cpp - the preferences: first run, what is read and saved, the window place check.
#include "shared/prefs.h"

#include <cstring>

#include <QSettings>

#include <gtest/gtest.h>

namespace {

class Prefs : public testing::Test {
protected:
    void SetUp() override {
        QSettings store("moviestick", "moviestick");
        store.clear();
        store.sync();
    }
    static QStringList StoredKeys() {
        QSettings store("moviestick", "moviestick");
        QStringList keys = store.allKeys();
        keys.sort();
        return keys;
    }
    static void Store(const QString& key, const QVariant& value) {
        QSettings store("moviestick", "moviestick");
        store.setValue(key, value);
    }
    static void StoreBounds(const Rect& r) {
        Store("windowBoundsTop", r.top);
        Store("windowBoundsLeft", r.left);
        Store("windowBoundsBottom", r.bottom);
        Store("windowBoundsRight", r.right);
    }
};

bool SameRect(const Rect& a, const Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

// A rectangle of the given size at the top left of the main screen's free area.
Rect OnScreen(int width, int height) {
    const Rect screen = AvailableScreenBounds().first();
    const int16_t top = int16_t(screen.top + 30);
    const int16_t left = int16_t(screen.left + 10);
    return Rect{top, left, int16_t(top + height), int16_t(left + width)};
}

TEST_F(Prefs, FirstRunStoresSoundsAndDoubleClickThenQuitAddsTheTwelveKeys) {
    std::strcpy(gPref.devicePath, "/media/user/PSP/");
    ASSERT_TRUE(GetCFPreferences());
    EXPECT_STREQ(gPref.devicePath, "");
    EXPECT_EQ(gPref.pspMenuSelect, 1);
    EXPECT_TRUE(gPref.optionThumbnail);
    EXPECT_FALSE(gPref.optionUnmount);
    EXPECT_EQ(gPref.mountSound, "Pop.aiff");
    EXPECT_EQ(gPref.copyDoneSound, "Bottle.aiff");
    EXPECT_EQ(gPref.thumbnailArrowSecs1, 30);
    EXPECT_EQ(gPref.thumbnailArrowSecs2, 5);
    EXPECT_EQ(gPref.filenameColumWidth, 179);
    EXPECT_EQ(gPref.titleColumWidth, 180);
    EXPECT_EQ(gPref.doubleClickAction, 2);
    EXPECT_FALSE(gPref.debugLocalVolumeAsPSPVolume);
    // The default is the smallest window widened by the PSP column's default width, placed on
    // the main screen below its panels.
    const Rect screen = AvailableScreenBounds().first();
    EXPECT_TRUE(
        SameRect(gPref.windowBounds,
                 Rect{int16_t(screen.top + 22), int16_t(screen.left + 5),
                      int16_t(screen.top + 22 + 361), int16_t(screen.left + 5 + 603 + 120)}));
    EXPECT_FALSE(IsBadWindowPosition(gPref.windowBounds));

    EXPECT_EQ(StoredKeys(), (QStringList{"copyDoneSound", "doubleClickAction", "mountSound"}));
    QSettings store("moviestick", "moviestick");
    EXPECT_EQ(store.value("mountSound").toString(), "Pop.aiff");
    EXPECT_EQ(store.value("copyDoneSound").toString(), "Bottle.aiff");
    EXPECT_EQ(store.value("doubleClickAction").toInt(), 2);

    ASSERT_TRUE(SaveCFPreferences());
    EXPECT_EQ(
        StoredKeys(),
        (QStringList{"copyDoneSound", "doubleClickAction", "filenameColumWidth", "firmware330",
                     "mountSound", "optionThumbnail", "optionUnmount", "pspColumWidth",
                     "pspMenuSelect", "thumbnailArrowSecs1", "thumbnailArrowSecs2",
                     "titleColumWidth", "videoKbps", "windowBoundsBottom", "windowBoundsLeft",
                     "windowBoundsRight", "windowBoundsTop"}));
}

TEST_F(Prefs, ConversionChoicesAreKeptAndOnlyTheTwoOfferedRatesAreTaken) {
    ASSERT_TRUE(GetCFPreferences());
    EXPECT_FALSE(gPref.firmware330);
    EXPECT_EQ(gPref.videoKbps, 768);
    gPref.firmware330 = true;
    gPref.videoKbps = 1500;
    ASSERT_TRUE(SaveCFPreferences());
    gPref.firmware330 = false;
    gPref.videoKbps = 0;
    ASSERT_TRUE(GetCFPreferences());
    EXPECT_TRUE(gPref.firmware330);
    EXPECT_EQ(gPref.videoKbps, 1500);
    // A rate edited into the store by hand would reach the encoder: it falls back.
    for (const QVariant& bogus : {QVariant(100000), QVariant(0), QVariant("fast")}) {
        Store("videoKbps", bogus);
        ASSERT_TRUE(GetCFPreferences());
        EXPECT_EQ(gPref.videoKbps, 768) << bogus.toString().toStdString();
    }
}

TEST_F(Prefs, StoredValuesAreReadAndSavedBackWithoutTheOnesNeverWritten) {
    Store("pspMenuSelect", 3);
    Store("optionThumbnail", false);
    Store("optionUnmount", true);
    Store("mountSound", "Glass.aiff");
    Store("copyDoneSound", "Hero.aiff");
    Store("thumbnailArrowSecs1", 60);
    Store("thumbnailArrowSecs2", 1);
    Store("filenameColumWidth", 250);
    Store("titleColumWidth", 90);
    Store("pspColumWidth", 75);
    Store("doubleClickAction", 3);
    Store("debugLocalVolumeAsPSPVolume", true);
    const Rect stored = OnScreen(700, 400);
    StoreBounds(stored);

    ASSERT_TRUE(GetCFPreferences());
    EXPECT_EQ(gPref.pspMenuSelect, 3);
    EXPECT_FALSE(gPref.optionThumbnail);
    EXPECT_TRUE(gPref.optionUnmount);
    EXPECT_EQ(gPref.mountSound, "Glass.aiff");
    EXPECT_EQ(gPref.copyDoneSound, "Hero.aiff");
    EXPECT_EQ(gPref.thumbnailArrowSecs1, 60);
    EXPECT_EQ(gPref.thumbnailArrowSecs2, 1);
    EXPECT_EQ(gPref.filenameColumWidth, 250);
    EXPECT_EQ(gPref.titleColumWidth, 90);
    EXPECT_EQ(gPref.pspColumWidth, 75);
    EXPECT_EQ(gPref.doubleClickAction, 3);
    EXPECT_TRUE(gPref.debugLocalVolumeAsPSPVolume);
    EXPECT_TRUE(SameRect(gPref.windowBounds, stored));

    // The sound names and the debug switch are the user's to edit; quitting leaves them alone.
    gPref.mountSound = "Changed.aiff";
    gPref.debugLocalVolumeAsPSPVolume = false;
    gPref.doubleClickAction = 99;
    gPref.titleColumWidth = 123;
    gPref.pspColumWidth = 64;
    gPref.windowBounds.right = int16_t(gPref.windowBounds.right + 10);
    ASSERT_TRUE(SaveCFPreferences());
    QSettings store("moviestick", "moviestick");
    EXPECT_EQ(store.value("mountSound").toString(), "Glass.aiff");
    EXPECT_TRUE(store.value("debugLocalVolumeAsPSPVolume").toBool());
    EXPECT_EQ(store.value("doubleClickAction").toInt(), 3);
    EXPECT_EQ(store.value("titleColumWidth").toInt(), 123);
    EXPECT_EQ(store.value("pspColumWidth").toInt(), 64);
    EXPECT_EQ(store.value("windowBoundsRight").toInt(), stored.right + 10);
}

// A number stored as text that is not one (an edited file) keeps the default, rather than
// becoming 0: a device choice of 0 showed a device in the pop-up but sent to none.
TEST_F(Prefs, ANumberStoredAsAnythingElseKeepsItsDefault) {
    Store("pspMenuSelect", "second");
    Store("thumbnailArrowSecs1", "");
    Store("titleColumWidth", "250");
    ASSERT_TRUE(GetCFPreferences());
    EXPECT_EQ(gPref.pspMenuSelect, 1);
    EXPECT_EQ(gPref.thumbnailArrowSecs1, 30);
    EXPECT_EQ(gPref.titleColumWidth, 250);
}

// Two monitors side by side: a window on either one is in a good place, one above both is not.
TEST_F(Prefs, WindowPositionOnAnyOfTwoScreensIsGood) {
    const QList<Rect> screens = {Rect{0, 0, 1080, 1920}, Rect{0, 1920, 1080, 3840}};
    EXPECT_FALSE(IsBadWindowPositionOn(Rect{100, 100, 461, 703}, screens));
    EXPECT_FALSE(IsBadWindowPositionOn(Rect{100, 2000, 461, 2603}, screens));
    EXPECT_TRUE(IsBadWindowPositionOn(Rect{-500, 100, -139, 703}, screens));
}

TEST_F(Prefs, WindowPositionCheckWantsTheMinimumSizeAndATopEdgeOnScreen) {
    EXPECT_FALSE(IsBadWindowPosition(OnScreen(603, 361)));
    EXPECT_TRUE(IsBadWindowPosition(OnScreen(602, 361)));
    EXPECT_TRUE(IsBadWindowPosition(OnScreen(603, 360)));
    EXPECT_TRUE(IsBadWindowPosition(OnScreen(500, 400)));

    const Rect screen = AvailableScreenBounds().first();
    auto shifted = [](Rect r, int dh, int dv) {
        return Rect{int16_t(r.top + dv), int16_t(r.left + dh), int16_t(r.bottom + dv),
                    int16_t(r.right + dh)};
    };
    const Rect good = OnScreen(603, 361);
    // Above, below, left and right of the screen: no top-edge point is on it.
    EXPECT_TRUE(IsBadWindowPosition(shifted(good, 0, screen.top - good.top - 1)));
    EXPECT_TRUE(IsBadWindowPosition(shifted(good, 0, screen.bottom - good.top)));
    EXPECT_TRUE(IsBadWindowPosition(shifted(good, screen.left - good.right - 1, 0)));
    EXPECT_TRUE(IsBadWindowPosition(shifted(good, screen.right - good.left, 0)));
    // Hanging off the left edge with its middle still on the screen is fine.
    EXPECT_FALSE(IsBadWindowPosition(shifted(good, screen.left - good.left - 300, 0)));
    // A screen's right edge is outside it, its left edge inside.
    EXPECT_FALSE(IsBadWindowPosition(shifted(good, screen.right - good.left - 1, 0)));
    EXPECT_FALSE(IsBadWindowPosition(shifted(good, screen.left - good.right, 0)));
}

TEST_F(Prefs, UnusableStoredRectanglesGiveWayToTheDefault) {
    for (const Rect& stored : {OnScreen(500, 400), OnScreen(602, 361), OnScreen(603, 360),
                               Rect{-2000, -2000, -1600, -1300}}) {
        StoreBounds(stored);
        ASSERT_TRUE(GetCFPreferences());
        EXPECT_TRUE(SameRect(gPref.windowBounds, DefaultWindowBounds()))
            << stored.top << "," << stored.left << "," << stored.bottom << "," << stored.right;
    }
    StoreBounds(OnScreen(603, 361));
    ASSERT_TRUE(GetCFPreferences());
    EXPECT_TRUE(SameRect(gPref.windowBounds, OnScreen(603, 361)));
}

}  // namespace
