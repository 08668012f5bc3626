// SPDX-License-Identifier: GPL-3.0-or-later
// windows.cpp - making the application's windows from the interface folder.
#include "shared/windows.h"

#include "shared/messages.h"

OSStatus LoadTaggedWindow(const QString& name, OSType tag, LoadFailure failure, WindowRef* window) {
    *window = nullptr;
    NibRef* nib = nullptr;
    OSStatus status = CreateNibReference(QStringLiteral("main"), &nib);
    const char* step = "CreateNibReference() error.";
    if (status == 0) {
        WindowRef made = nullptr;
        status = CreateWindowFromNib(nib, name, &made);
        DisposeNibReference(nib);
        step = "CreateWindowFromNib() error.";
        if (status == 0 && !made) status = kCantFindNibObjectErr;
        if (status != 0 && made) DisposeWindow(made);
        if (status == 0) *window = made;
    }
    if (status != 0) {
        if (failure == LoadFailure::told)
            DoMessage(kAlertStop, QString::fromLatin1(step), int16_t(status));
        return status;
    }
    SetWindowTag(*window, tag);
    return 0;
}

WindowOrigin CentredOver(const Rect& outer, int width, int height) {
    return {outer.left + (outer.right - outer.left) / 2 - width / 2,
            outer.top + (outer.bottom - outer.top) / 2 - height / 2 + GetMBarHeight() / 2};
}
