// SPDX-License-Identifier: GPL-3.0-or-later
// launch.h - opening a file in the application the desktop has chosen for its kind.
#pragma once

#include <functional>

#include <QUrl>

#include "toolkit/fileref.h"
#include "toolkit/ui.h"

// The desktop could not open the file (it shows its own message about why).
inline constexpr OSStatus kLSApplicationNotFoundErr = -10814;

// Asks the desktop to open the file, without waiting for the application to start.
[[nodiscard]] OSStatus LSOpenFSRef(const FSRef* file);

// Tests see the URL the desktop would be asked to open instead; an empty function restores the
// desktop. The opener answers whether the open worked.
using URLOpener = std::function<bool(const QUrl&)>;
void SetURLOpener(URLOpener opener);
