// SPDX-License-Identifier: GPL-3.0-or-later
// ui_windows.h - loading the application's windows in tests, and clearing them away after.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QString>

#include <gtest/gtest.h>

#include "toolkit/ui.h"

// The window of "main.nib" with this name, or null (and a test failure).
inline WindowRef LoadNibWindow(const QString& name) {
    NibRef* nib = nullptr;
    EXPECT_EQ(CreateNibReference("main", &nib), 0);
    WindowRef window = nullptr;
    EXPECT_EQ(CreateWindowFromNib(nib, name, &window), 0) << name.toStdString();
    DisposeNibReference(nib);
    return window;
}

inline void InstallNibMenuBar() {
    NibRef* nib = nullptr;
    ASSERT_EQ(CreateNibReference("main", &nib), 0);
    EXPECT_EQ(SetMenuBarFromNib(nib, "MenuBar"), 0);
    DisposeNibReference(nib);
}

inline ControlRef FindNibControl(WindowRef window, int32_t id) {
    ControlRef control = nullptr;
    (void)GetControlByID(window, ControlID{kControlSignature, id}, &control);
    return control;
}

// Lets queued calls and deferred deletions run.
inline void SettleEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Disposes of every window of ours and forgets the handlers, so that tests do not see each
// other's windows.
inline void DisposeAllWindows() {
    InstallApplicationEventHandler(nullptr, nullptr);
    for (WindowRef window : WindowList()) DisposeWindow(window);
    SettleEvents();
}
