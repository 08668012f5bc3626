// resources.h - where the application's resources are, and its translations.
#pragma once

#include <QString>

// The resource folder: share/moviestick beside the program's bin folder, in the build tree and in
// an installed tree alike, unless a test has pointed it elsewhere.
QString ResourceFolder();
void SetResourceFolder(const QString& folder);

// Installs the translation for the user's locale (English when there is none) into the
// application. Call it before any interface file is loaded: their texts are translated at load.
bool InstallTranslations();
