// SPDX-License-Identifier: GPL-3.0-or-later
// translations_test.cpp - the texts in a second language, and in English without any translation
// file: every key translated with its placeholders intact, and LANGUAGE choosing the language.
#include <algorithm>
#include <cstdio>
#include <map>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "toolkit/localized.h"
#include "toolkit/resources.h"

namespace {

// Source and translation of every message of a translation source file.
std::map<QString, QString> ReadTranslationSource(const QString& language) {
    QFile file(QStringLiteral(MOVIESTICK_TRANSLATIONS_DIR "/moviestick_%1.ts").arg(language));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    std::map<QString, QString> messages;
    QXmlStreamReader xml(&file);
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"source")
            source = xml.readElementText();
        else if (xml.name() == u"translation")
            messages[source] = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

QList<QString> Placeholders(const QString& text) {
    static const QRegularExpression placeholder("%\\d+");
    QList<QString> found;
    for (const QRegularExpressionMatch& m : placeholder.globalMatch(text)) found << m.captured();
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

TEST(Translations, GermanTranslatesEveryKeyWithTheSamePlaceholders) {
    const std::map<QString, QString> english = ReadTranslationSource("en");
    ASSERT_GT(english.size(), 50u);
    QTranslator german;
    ASSERT_TRUE(german.load(ResourceFolder() + "/translations/moviestick_de.qm"));
    for (const auto& [key, text] : english) {
        const QString translated = german.translate("Localizable", key.toUtf8().constData());
        EXPECT_FALSE(translated.isEmpty()) << key.toStdString() << ": no German text";
        EXPECT_NE(translated, text) << key.toStdString() << ": left in English";
        EXPECT_EQ(Placeholders(translated), Placeholders(text)) << key.toStdString();
    }
}

TEST(Translations, WithoutTranslationFilesTheTextsAreStillEnglishSentences) {
    const QString folder = ResourceFolder();
    QTemporaryDir bare;
    ASSERT_TRUE(QDir(bare.path()).mkdir("translations"));
    SetResourceFolder(bare.path());
    EXPECT_FALSE(InstallTranslations());
    const std::map<QString, QString> english = ReadTranslationSource("en");
    for (const char* key : {"FindPSPErr", "DiskFullErr", "sendAllButton", "pspNotFound"})
        EXPECT_EQ(LocalizedString(key), english.at(key)) << key;
    EXPECT_EQ(LocalizedString("NoSuchKey() error."), "NoSuchKey() error.");
    SetResourceFolder(folder);
    EXPECT_TRUE(InstallTranslations());
}

// Run by the test below in a process of its own, whose language comes from its environment.
TEST(Translations, DISABLED_PrintTheTextsOfThisLanguage) {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    printf("message=%s\n", qPrintable(LocalizedString("pspNotFound")));
    printf("question=%s\n", qPrintable(LocalizedString("sendAllButton")));
    printf("qt=%s\n", qPrintable(buttons.button(QDialogButtonBox::Cancel)->text()));
}

TEST(Translations, LanguageGermanReachesOurTextsAndQtsOwn) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) environment.remove(name);
    environment.insert("LANG", "C.UTF-8");
    environment.insert("LANGUAGE", "de");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=Translations.DISABLED_PrintTheTextsOfThisLanguage",
                 "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForFinished(30000));
    ASSERT_EQ(child.exitCode(), 0);
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_TRUE(output.contains("message=Keine PSP gefunden\n")) << output.toStdString();
    EXPECT_TRUE(output.contains("question=Alle senden\n")) << output.toStdString();
    // Qt's translations are a package of their own; without it Qt speaks English.
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm")) {
        EXPECT_TRUE(output.contains("qt=&Abbrechen\n") || output.contains("qt=Abbrechen\n"))
            << output.toStdString();
    } else {
        EXPECT_TRUE(output.contains("qt=Cancel\n")) << output.toStdString();
    }
}
