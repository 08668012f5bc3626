// SPDX-License-Identifier: GPL-3.0-or-later
// localized.cpp - the application's localized strings, looked up by message key.
#include "toolkit/localized.h"

#include <memory>

#include <QByteArray>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

static const char kContext[] = "Localizable";

// The English texts compiled into the program: the message keys are short names
// ("DiskFullErr"), not sentences a user should ever see.
static const QTranslator& BuiltInEnglish() {
    static const QTranslator* const english = [] {
        Q_INIT_RESOURCE(english_texts);
        auto* translator = new QTranslator;
        (void)translator->load(QStringLiteral(":/moviestick/translations/moviestick_en.qm"));
        return translator;
    }();
    return *english;
}

QString LocalizedString(const QString& key) {
    const QByteArray source = key.toUtf8();
    const QString text = QCoreApplication::translate(kContext, source.constData());
    if (text != key) return text;
    const QString english = BuiltInEnglish().translate(kContext, source.constData());
    return english.isEmpty() ? text : english;
}

bool InstallQtTranslations() {
    static QTranslator* translator = nullptr;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    auto loaded = std::make_unique<QTranslator>();
    if (!loaded->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    translator = loaded.release();
    return QCoreApplication::installTranslator(translator);
}
