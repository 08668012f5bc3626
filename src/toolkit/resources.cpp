// resources.cpp - where the application's resources are, and its translations.
#include "toolkit/resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

static QString gResourceFolderOverride;

QString ResourceFolder() {
    if (!gResourceFolderOverride.isEmpty()) return gResourceFolderOverride;
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/moviestick");
}

void SetResourceFolder(const QString& folder) { gResourceFolderOverride = folder; }

bool InstallTranslations() {
    static QTranslator* translator = nullptr;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    translator = new QTranslator;
    const QString folder = ResourceFolder() + "/translations";
    if (!translator->load(QLocale(), "moviestick", "_", folder) &&
        !translator->load("moviestick_en", folder)) {
        delete translator;
        translator = nullptr;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
