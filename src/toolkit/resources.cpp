// SPDX-License-Identifier: GPL-3.0-or-later
// resources.cpp - where the application's resources are, and its translations.
#include "toolkit/resources.h"

#include <memory>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QTranslator>

#include "toolkit/localized.h"

static QString gResourceFolderOverride;

QString ResourceFolder() {
    if (!gResourceFolderOverride.isEmpty()) return gResourceFolderOverride;
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/moviestick");
}

void SetResourceFolder(const QString& folder) {
    gResourceFolderOverride = folder;
}

void SetDesktopIdentity() {
    QGuiApplication::setDesktopFileName(kApplicationID);
    // The icon theme may draw its own; else ours, which is installed into the icon folder beside
    // share/moviestick and staged there in the build tree.
    const QString installed =
        ResourceFolder() + "/../icons/hicolor/scalable/apps/" + kApplicationID + ".svg";
    QGuiApplication::setWindowIcon(QIcon::fromTheme(kApplicationID, QIcon(installed)));
}

bool InstallTranslations() {
    (void)InstallQtTranslations();
    static QTranslator* translator = nullptr;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete std::exchange(translator, nullptr);
    }
    auto loaded = std::make_unique<QTranslator>();
    const QString folder = ResourceFolder() + "/translations";
    if (!loaded->load(QLocale(), "moviestick", "_", folder) &&
        !loaded->load("moviestick_en", folder))
        return false;
    translator = loaded.release();
    return QCoreApplication::installTranslator(translator);
}
