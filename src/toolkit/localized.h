// localized.h - the application's localized strings, looked up by message key.
#pragma once

#include <QString>

// The text for a key in the user's language. The key is the English source text of the
// translation, so a key that has no translation is shown as itself.
QString LocalizedString(const QString& key);
