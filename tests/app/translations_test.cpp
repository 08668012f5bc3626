// SPDX-License-Identifier: GPL-3.0-or-later
// translations_test.cpp - the texts in a second language, and in English without any translation
// file: every key translated with its placeholders intact, and LANGUAGE choosing the language.
#include <algorithm>
#include <cstdio>
#include <map>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeView>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "support/ui_windows.h"
#include "toolkit/localized.h"
#include "toolkit/resources.h"

namespace {

// Source and translation of every message of one context of a translation source file: the
// message keys are "Localizable", each window's texts are under its interface class's name.
std::map<QString, QString> ReadTranslationSource(const QString& language,
                                                 const QString& context = "Localizable") {
    QFile file(QStringLiteral(MOVIESTICK_TRANSLATIONS_DIR "/moviestick_%1.ts").arg(language));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    std::map<QString, QString> messages;
    QXmlStreamReader xml(&file);
    QString current;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"name")
            current = xml.readElementText();
        else if (xml.name() == u"source")
            source = xml.readElementText();
        else if (xml.name() == u"translation" && current == context)
            messages[source] = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

// The texts of an interface file that the loader translates, with its class: every string
// property not marked untranslatable, except key sequences, which are parsed, not read.
std::pair<QString, QStringList> TranslatableTexts(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    QString className;
    QStringList texts;
    QStringList properties;
    int untranslatedLists = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"property") properties.removeLast();
        if (xml.isEndElement() && xml.name() == u"stringlist" && untranslatedLists)
            --untranslatedLists;
        if (!xml.isStartElement()) continue;
        const bool untranslated = xml.attributes().value("notr") == u"true";
        if (xml.name() == u"class" && className.isEmpty()) {
            className = xml.readElementText();
        } else if (xml.name() == u"property") {
            properties << xml.attributes().value("name").toString();
        } else if (xml.name() == u"stringlist" && untranslated) {
            ++untranslatedLists;
        } else if (xml.name() == u"string" && !untranslated && !untranslatedLists &&
                   !properties.isEmpty() && properties.last() != u"shortcut") {
            const QString text = xml.readElementText();
            if (!texts.contains(text)) texts << text;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString();
    return {className, texts};
}

QList<QString> Placeholders(const QString& text) {
    static const QRegularExpression placeholder("%\\d+");
    QList<QString> found;
    for (const QRegularExpressionMatch& m : placeholder.globalMatch(text)) found << m.captured();
    std::sort(found.begin(), found.end());
    return found;
}

// The labels and buttons of a window whose text does not fit the room the window gives them
// (its windows place their controls at fixed positions, so a longer translation is cut).
QStringList CutTexts(const QString& name) {
    WindowRef window = LoadNibWindow(name);
    if (!window) return {"cannot load " + name};
    QStringList cut;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // A layout gives its widgets the room their texts ask for.
        if (widget->parentWidget() && widget->parentWidget()->layout()) continue;
        const QSize room = widget->size();
        QString text;
        bool fits = true;
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            text = label->text();
            fits = label->wordWrap() ? label->heightForWidth(room.width()) <= room.height()
                                     : label->sizeHint().width() <= room.width();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button && !button->text().isEmpty()) {
            text = button->text();
            fits = button->sizeHint().width() <= room.width();
        }
        if (!fits) cut << name + "/" + widget->objectName() + ": " + text;
    }
    DisposeAllWindows();
    return cut;
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

TEST(Translations, GermanTranslatesEveryTextOfEveryWindow) {
    QTranslator german;
    ASSERT_TRUE(german.load(ResourceFolder() + "/translations/moviestick_de.qm"));
    const QStringList files = QDir(ResourceFolder() + "/main.nib").entryList({"*.ui"});
    ASSERT_GE(files.size(), 5);
    for (const QString& name : files) {
        const auto [className, texts] = TranslatableTexts(ResourceFolder() + "/main.nib/" + name);
        ASSERT_FALSE(className.isEmpty()) << name.toStdString();
        for (const QString& text : texts) {
            // The program's name and its version number read the same in every language.
            if (text == "moviestick" || text.startsWith("Version ")) continue;
            const QString translated =
                german.translate(className.toUtf8().constData(), text.toUtf8().constData());
            EXPECT_FALSE(translated.isEmpty())
                << className.toStdString() << ": no German for \"" << text.toStdString() << '"';
        }
    }
}

TEST(Translations, EveryEnglishTextFitsItsPlace) {
    for (const char* name : {"Pref", "Thumbnail", "Progress", "About"})
        EXPECT_EQ(CutTexts(name).join('\n').toStdString(), "") << name;
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
    WindowRef window = LoadNibWindow("Pref");
    ASSERT_NE(window, nullptr);
    for (const QPushButton* button : window->findChildren<QPushButton*>())
        printf("button=%s\n", qPrintable(button->text()));
    for (const QTreeView* list : window->findChildren<QTreeView*>())
        printf("columns=%s\n", qPrintable(list->property("columnTitles").toStringList().join('|')));
    for (const char* name : {"Pref", "Thumbnail", "Progress", "About"})
        for (const QString& text : CutTexts(name)) printf("cut=%s\n", qPrintable(text));
    DisposeAllWindows();
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
    EXPECT_TRUE(output.contains("button=Vorschau wählen…\n")) << output.toStdString();
    EXPECT_TRUE(output.contains("button=An PSP senden\n")) << output.toStdString();
    EXPECT_TRUE(output.contains("columns=Dateiname|Titel|PSP\n")) << output.toStdString();
    EXPECT_FALSE(output.contains("cut=")) << output.toStdString();
    // Qt's translations are a package of their own; without it Qt speaks English.
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm")) {
        EXPECT_TRUE(output.contains("qt=&Abbrechen\n") || output.contains("qt=Abbrechen\n"))
            << output.toStdString();
    } else {
        EXPECT_TRUE(output.contains("qt=Cancel\n")) << output.toStdString();
    }
}
