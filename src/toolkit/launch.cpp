// SPDX-License-Identifier: GPL-3.0-or-later
// launch.cpp - opening a file in its default application through the desktop's URL handlers.
#include "toolkit/launch.h"

#include <string>
#include <utility>

#include <QDesktopServices>

static URLOpener gURLOpener;

OSStatus LSOpenFSRef(const FSRef* file) {
    if (!file || !file->valid) return kParamErr;
    // Opened where it is now, also after a rename.
    std::string path;
    const int16_t status = FSRefCurrentPath(file, &path);
    if (status != kNoErr) return status;
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
    const bool opened = gURLOpener ? gURLOpener(url) : QDesktopServices::openUrl(url);
    return opened ? 0 : kLSApplicationNotFoundErr;
}

void SetURLOpener(URLOpener opener) {
    gURLOpener = std::move(opener);
}
