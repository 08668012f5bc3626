// SPDX-License-Identifier: GPL-3.0-or-later
// localized.h - the application's localized strings, looked up by message key.
#pragma once

#include <QString>

// The text for a key in the user's language. Where no installed translation has the key, the
// English text built into the program is shown, and a key that has none is shown as itself, so
// the program speaks English even when its translation files are missing.
QString LocalizedString(const QString& key);

// Installs Qt's own translations (the standard buttons, the file dialog) for the user's language
// when they are installed; false when there are none for it.
bool InstallQtTranslations();
