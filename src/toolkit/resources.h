// SPDX-License-Identifier: GPL-3.0-or-later
// resources.h - where the application's resources are, and its translations.
#pragma once

#include <QString>

// The resource folder: share/moviestick beside the program's bin folder, in the build tree and in
// an installed tree alike, unless a test has pointed it elsewhere.
QString ResourceFolder();
void SetResourceFolder(const QString& folder);

// The application's ID: its desktop file, its icon and its AppStream data are named after it.
inline const QString kApplicationID = QStringLiteral("io.github.moviestick.moviestick");

// Reports the application's desktop file to the desktop, which matches our windows to its menu
// entry by it, and gives every window the application's icon.
void SetDesktopIdentity();

// Installs the translation for the user's locale (English when there is none) into the
// application. Call it before any interface file is loaded: their texts are translated at load.
bool InstallTranslations();
