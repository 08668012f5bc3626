// SPDX-License-Identifier: GPL-3.0-or-later
// prefs.cpp - the preferences record on QSettings, and the check of a remembered window place.
#include "shared/prefs.h"

#include <algorithm>

#include <QSettings>

#include "convert/convert.h"

Preferences gPref;

// The window opens 22 pixels below the top of the main screen's free area, where its title bar
// fits under a desktop panel, and 5 pixels in from its left.
Rect DefaultWindowBounds() {
    const QList<Rect> screens = AvailableScreenBounds();
    const int16_t screenTop = screens.isEmpty() ? 0 : screens.first().top;
    const int16_t screenLeft = screens.isEmpty() ? 0 : screens.first().left;
    const int16_t top = int16_t(screenTop + GetMBarHeight() + 22);
    const int16_t left = int16_t(screenLeft + 5);
    // On a screen too narrow for that, as wide as it allows, but never below the smallest.
    int width = kMainWindowMinWidth + kDefaultPspColumnWidth;
    if (!screens.isEmpty())
        width = std::max<int>(kMainWindowMinWidth,
                              std::min<int>(width, screens.first().right - left - 5));
    return Rect{top, left, int16_t(top + kMainWindowMinHeight), int16_t(left + width)};
}

static void SetDefaults() {
    gPref.devicePath[0] = '\0';
    gPref.pspMenuSelect = 1;
    gPref.optionThumbnail = true;
    gPref.optionUnmount = false;
    gPref.mountSound = QStringLiteral("Pop.aiff");
    gPref.copyDoneSound = QStringLiteral("Bottle.aiff");
    gPref.thumbnailArrowSecs1 = 30;
    gPref.thumbnailArrowSecs2 = 5;
    gPref.filenameColumWidth = 179;
    gPref.titleColumWidth = 180;
    gPref.pspColumWidth = kDefaultPspColumnWidth;
    gPref.windowBounds = DefaultWindowBounds();
    gPref.doubleClickAction = 2;
    gPref.debugLocalVolumeAsPSPVolume = false;
    gPref.firmware330 = false;
    gPref.videoKbps = kStandardVideoKbps;
}

static void ReadBool(QSettings& store, const char* key, bool* field) {
    const QVariant value = store.value(key);
    if (value.isValid()) *field = value.toBool();
}

// A value that is no number (the store holds text) keeps the default instead of becoming 0.
static void ReadInt(QSettings& store, const char* key, int32_t* field) {
    bool ok = false;
    const int value = store.value(key).toInt(&ok);
    if (ok) *field = value;
}

static void ReadShort(QSettings& store, const char* key, int16_t* field) {
    bool ok = false;
    const int value = store.value(key).toInt(&ok);
    if (ok) *field = int16_t(value);
}

// A sound name missing from the store is stored at once, so that users find the key to edit.
static void ReadSound(QSettings& store, const char* key, QString* field) {
    const QVariant value = store.value(key);
    if (value.isValid()) {
        *field = value.toString();
        return;
    }
    store.setValue(key, *field);
    store.sync();
}

// The application's own store: $XDG_CONFIG_HOME/moviestick/moviestick.conf.
bool GetCFPreferences() {
    QSettings store("moviestick", "moviestick");
    SetDefaults();
    ReadBool(store, "debugLocalVolumeAsPSPVolume", &gPref.debugLocalVolumeAsPSPVolume);
    ReadInt(store, "pspMenuSelect", &gPref.pspMenuSelect);
    ReadBool(store, "optionThumbnail", &gPref.optionThumbnail);
    ReadBool(store, "optionUnmount", &gPref.optionUnmount);
    ReadSound(store, "mountSound", &gPref.mountSound);
    ReadSound(store, "copyDoneSound", &gPref.copyDoneSound);
    ReadInt(store, "thumbnailArrowSecs1", &gPref.thumbnailArrowSecs1);
    ReadInt(store, "thumbnailArrowSecs2", &gPref.thumbnailArrowSecs2);
    ReadInt(store, "filenameColumWidth", &gPref.filenameColumWidth);
    ReadInt(store, "titleColumWidth", &gPref.titleColumWidth);
    ReadInt(store, "pspColumWidth", &gPref.pspColumWidth);
    ReadShort(store, "windowBoundsLeft", &gPref.windowBounds.left);
    ReadShort(store, "windowBoundsTop", &gPref.windowBounds.top);
    ReadShort(store, "windowBoundsRight", &gPref.windowBounds.right);
    ReadShort(store, "windowBoundsBottom", &gPref.windowBounds.bottom);
    if (IsBadWindowPosition(gPref.windowBounds)) gPref.windowBounds = DefaultWindowBounds();
    ReadBool(store, "firmware330", &gPref.firmware330);
    ReadInt(store, "videoKbps", &gPref.videoKbps);
    // Only the two offered rates: a hand-edited store cannot ask the encoder for anything else.
    if (gPref.videoKbps != kHighVideoKbps) gPref.videoKbps = kStandardVideoKbps;
    if (store.contains("doubleClickAction"))
        ReadInt(store, "doubleClickAction", &gPref.doubleClickAction);
    else
        store.setValue("doubleClickAction", gPref.doubleClickAction);  // no sync of its own
    return true;
}

bool SaveCFPreferences() {
    QSettings store("moviestick", "moviestick");
    store.setValue("pspMenuSelect", gPref.pspMenuSelect);
    store.setValue("optionThumbnail", gPref.optionThumbnail);
    store.setValue("optionUnmount", gPref.optionUnmount);
    store.setValue("thumbnailArrowSecs1", gPref.thumbnailArrowSecs1);
    store.setValue("thumbnailArrowSecs2", gPref.thumbnailArrowSecs2);
    store.setValue("filenameColumWidth", gPref.filenameColumWidth);
    store.setValue("titleColumWidth", gPref.titleColumWidth);
    store.setValue("pspColumWidth", gPref.pspColumWidth);
    store.setValue("windowBoundsLeft", gPref.windowBounds.left);
    store.setValue("windowBoundsTop", gPref.windowBounds.top);
    store.setValue("windowBoundsRight", gPref.windowBounds.right);
    store.setValue("windowBoundsBottom", gPref.windowBounds.bottom);
    store.setValue("firmware330", gPref.firmware330);
    store.setValue("videoKbps", gPref.videoKbps);
    store.sync();
    return true;
}

void SaveThumbnailSteps() {
    QSettings store("moviestick", "moviestick");
    store.setValue("thumbnailArrowSecs1", gPref.thumbnailArrowSecs1);
    store.setValue("thumbnailArrowSecs2", gPref.thumbnailArrowSecs2);
    store.sync();
}

static bool PointInRect(int h, int v, const Rect& r) {
    return v >= r.top && v < r.bottom && h >= r.left && h < r.right;
}

bool IsBadWindowPositionOn(const Rect& bounds, const QList<Rect>& screens) {
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= kMainWindowMinWidth - 1 || height <= kMainWindowMinHeight - 1) return true;
    const int middle = bounds.left + width / 2;
    // The window is usable when some screen holds a point of its top edge, where the title bar
    // is. Asking that of every screen would reject every place on a desktop of two monitors
    // side by side, which a window of this size cannot span.
    for (const Rect& screen : screens) {
        if (PointInRect(bounds.left, bounds.top, screen) ||
            PointInRect(middle, bounds.top, screen) ||
            PointInRect(bounds.right, bounds.top, screen))
            return false;
    }
    return true;
}

bool IsBadWindowPosition(const Rect& bounds) {
    return IsBadWindowPositionOn(bounds, AvailableScreenBounds());
}
