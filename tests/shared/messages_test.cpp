// SPDX-License-Identifier: GPL-3.0-or-later
// messages_test.cpp - messages, questions, their texts, the number alert, length-prefixed strings.
#include "shared/messages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include "container/movie.h"
#include "support/alert_answer.h"
#include "toolkit/localized.h"
#include "toolkit/resources.h"

namespace {

class Messages : public testing::Test {
protected:
    void SetUp() override {
        SetAlertResponder([this](const AlertRecord& record) {
            shown.push_back(record);
            cursorWhileShown.push_back(QApplication::overrideCursor() != nullptr);
            return answer;
        });
    }
    void TearDown() override {
        SetAlertResponder({});
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }

    std::vector<AlertRecord> shown;
    std::vector<bool> cursorWhileShown;  // an override cursor was set while the alert showed
    int answer = kAlertDefaultButton;
};

const char* const kQuestionKeys[] = {"SendMessage", "RenameMessage", "DeleteMessage",
                                     "StopOpenMessage"};

std::string PString(const unsigned char* p) {
    return std::string(p + 1, p + 1 + p[0]);
}

void MakePString(unsigned char* p, const std::string& text) {
    p[0] = static_cast<unsigned char>(text.size());
    std::memcpy(p + 1, text.data(), text.size());
}

}  // namespace

TEST_F(Messages, MessageWithoutCodeHasNoExplanationAndOnlyOk) {
    DoMessage(kAlertStop, "CopyFileErr", 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, kAlertStop);
    EXPECT_EQ(shown[0].explanation, "");
    EXPECT_EQ(shown[0].param.defaultText, "OK");
    EXPECT_EQ(shown[0].param.cancelText, "");
    EXPECT_EQ(shown[0].param.otherText, "");
    EXPECT_EQ(shown[0].param.cancelButton, 0);
}

TEST_F(Messages, CodeIsExplainedWithItsSign) {
    DoMessage(kAlertNote, "NibFileDamagedErr", -36);
    DoMessage(kAlertStop, "UnmountErr", 32767);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, kAlertNote);
    EXPECT_EQ(shown[0].explanation, "Details: error -36");
    EXPECT_EQ(shown[1].explanation, "Details: error 32767");
}

// The number is only a detail under a text that says what happened in words; it never stands in
// the text itself, and the text never names the failed call.
TEST_F(Messages, AFailedCallIsToldInWordsWithItsNumberOnALineOfItsOwn) {
    DoMessage(kAlertStop, "OpenMovieFile() error.", -43);
    DoMessage(kAlertStop, "CopyFileErr", -2010);
    ASSERT_EQ(shown.size(), 2u);
    for (const AlertRecord& alert : shown) {
        EXPECT_FALSE(alert.message.contains("()")) << alert.message.toStdString();
        EXPECT_FALSE(alert.message.contains(QRegularExpression("\\d")))
            << alert.message.toStdString();
        EXPECT_FALSE(alert.explanation.contains("Error code"));
        EXPECT_FALSE(alert.explanation.contains('\n'));
    }
    EXPECT_TRUE(shown[0].message.contains("movie file"));
    EXPECT_EQ(shown[1].explanation, "Details: error -2010");
}

TEST_F(Messages, DiskFullSaysHowMuchIsNeededAndHowMuchIsFree) {
    DoDiskFullMessage(1'234'567'890, 800'000'000);
    // Just over and just under the same size must not read as the same size.
    DoDiskFullMessage(2'000'000'001, 1'999'999'999);
    DoDiskFullMessage(5'000, 0);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, kAlertStop);
    EXPECT_TRUE(shown[0].message.contains("1.3 GB")) << shown[0].message.toStdString();
    EXPECT_TRUE(shown[0].message.contains("800.0 MB")) << shown[0].message.toStdString();
    EXPECT_TRUE(shown[1].message.contains("2.1 GB") && shown[1].message.contains("1.9 GB"))
        << shown[1].message.toStdString();
    EXPECT_TRUE(shown[2].message.contains("5.0 kB") && shown[2].message.contains("0 bytes"))
        << shown[2].message.toStdString();
    for (const AlertRecord& alert : shown) {
        EXPECT_FALSE(alert.message.contains('%')) << alert.message.toStdString();
        EXPECT_EQ(alert.explanation, "");
    }
}

TEST(SizeTexts, DecimalUnitsRoundedTheWayTheyAreAskedFor) {
    EXPECT_EQ(SizeString(999, true), "999 bytes");
    EXPECT_EQ(SizeString(1000, false), "1.0 kB");
    EXPECT_EQ(SizeString(1'500'000, true), "1.5 MB");
    EXPECT_EQ(SizeString(1'500'001, true), "1.6 MB");
    EXPECT_EQ(SizeString(1'599'999, false), "1.5 MB");
    // Exact sizes stay exact, however they would round in binary fractions.
    EXPECT_EQ(SizeString(1'300'000'000, true), "1.3 GB");
    EXPECT_EQ(SizeString(700'000'000, false), "700.0 MB");
    // Rounding up across a unit's end moves to the next unit.
    EXPECT_EQ(SizeString(999'950, true), "1.0 MB");
    EXPECT_EQ(SizeString(999'950, false), "999.9 kB");
    // Past the largest unit the number grows instead.
    EXPECT_TRUE(SizeString(UINT64_MAX, false).endsWith("744.0 TB"));
}

TEST_F(Messages, KeyShowsItsEnglishTextOrItselfWhenItHasNone) {
    DoMessage(kAlertStop, "DiskFullErr", 0);
    DoMessage(kAlertStop, "NoSuchKey() error.", 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].message.contains("free space")) << shown[0].message.toStdString();
    EXPECT_EQ(shown[1].message, "NoSuchKey() error.");
}

TEST_F(Messages, MessagesAndQuestionsShowTheArrowCursor) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    DoMessage(kAlertStop, "CopyFileErr", -36);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ConfirmAlert(kQuestionSend);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    DoMessageString("left as it is");
    EXPECT_EQ(cursorWhileShown, (std::vector<bool>{false, false, true}));
}

TEST_F(Messages, QuestionOutsideTheFourShowsNothingAndCancels) {
    for (int32_t question : {7, 4, -1, INT32_MIN}) EXPECT_EQ(ConfirmAlert(question), 2);
    EXPECT_TRUE(shown.empty());
}

TEST_F(Messages, EachQuestionAsksItsKeyWithAVerbAndCancel) {
    const QString verbs[] = {"Send All", "Set Titles", "Remove", "Stop Adding"};
    for (int32_t question = 0; question < 4; ++question) {
        answer = question % 2 ? kAlertCancelButton : kAlertDefaultButton;
        EXPECT_EQ(ConfirmAlert(question), answer);
        ASSERT_EQ(shown.size(), size_t(question) + 1);
        const AlertRecord& record = shown.back();
        EXPECT_EQ(record.kind, kAlertCaution);
        EXPECT_EQ(record.message, LocalizedString(kQuestionKeys[question]));
        EXPECT_EQ(record.explanation, "");
        EXPECT_EQ(record.param.defaultText, verbs[question]);
        EXPECT_EQ(record.param.cancelText, LocalizedString("Cancel"));
        EXPECT_EQ(record.param.cancelButton, kAlertCancelButton);
        // No movie list view yet, so no selection that "only the selected" could act on.
        EXPECT_EQ(record.param.otherText, "");
    }
}

TEST_F(Messages, ConfirmAsksAnyKeyWithOkAndCancel) {
    answer = kAlertCancelButton;
    EXPECT_EQ(DoConfirm("Really?"), kAlertCancelButton);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].message, "Really?");
    EXPECT_EQ(shown[0].param.cancelText, LocalizedString("Cancel"));
    EXPECT_EQ(shown[0].param.otherText, "");
}

TEST_F(Messages, StringAndNumberAreShownVerbatimAsNotes) {
    DoMessageString("SendMessage");  // a key, but shown as given
    DebugNum(-2147483647 - 1);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "SendMessage");
    EXPECT_EQ(shown[0].kind, kAlertNote);
    EXPECT_EQ(shown[1].message, "-2147483648");
    EXPECT_EQ(shown[1].kind, kAlertNote);
    EXPECT_EQ(shown[1].param.defaultText, "OK");
}

TEST(MessageTexts, EveryKeyHasEnglishText) {
    const char* const keys[] = {"CreateNibReference() error.",
                                "CreateWindowFromNib() error.",
                                "NibFileDamagedErr",
                                "GetGraphicsImporterForFile() error.",
                                "GraphicsImportGetImageDescription() error.",
                                "GraphicsImportGetNaturalBounds() error.",
                                "GraphicsImportSetBoundsRect() error.",
                                "OpenPicture() error.",
                                "GraphicsImportDraw() error.",
                                "GetDataBrowserItemCount() error.",
                                "GetDataBrowserItems() error.",
                                "RemoveDataBrowserItems() error.",
                                "AddDataBrowserItems() error.",
                                "InitDataBrowserCallbacks() error.",
                                "SetDataBrowserCallbacks() error.",
                                "FSGetCatalogInfo() error.",
                                "OpenMovieFile() error.",
                                "qtCodecErr",
                                "NewMovieFromFile() error.",
                                "CreateMovieControl() error.",
                                "MakeThumbnailErr",
                                "qtErr",
                                "FindPSPErr",
                                "DiskFullErr",
                                "NewThreadErr",
                                "CopyFileErr",
                                "UnmountErr",
                                "SendMessage",
                                "RenameMessage",
                                "DeleteMessage",
                                "StopOpenMessage",
                                "onlySelecedItem",
                                "pspNotFound",
                                "prograssFileName",
                                "prograssFileOf",
                                "prograssInfoMins",
                                "prograssInfoSecs",
                                "errorDetails",
                                "sizeBytes",
                                "sendAllButton",
                                "sendSelectedButton",
                                "renameButton",
                                "deleteButton",
                                "stopOpenButton",
                                "sendDoneSummary",
                                "sendDoneOne",
                                "sendDoneMany",
                                "sendDoneUnplug",
                                "emptyListHint",
                                "wellNoThumbnail",
                                "wellSelectOne"};
    for (const char* key : keys) {
        const QString text = LocalizedString(key);
        EXPECT_NE(text, QString::fromLatin1(key)) << key;
        EXPECT_FALSE(text.contains("()")) << key << ": names a call";
    }
    EXPECT_EQ(LocalizedString("Cancel"), "Cancel");
}

// The progress formats and the messages that name movies and their reasons.
TEST(MessageTexts, FormatsNumberTheirPlaceholders) {
    const std::vector<std::pair<const char*, int>> formats = {
        {"prograssFileName", 1},
        {"prograssFileOf", 3},
        {"prograssInfoMins", 4},
        {"prograssInfoSecs", 3},
        {"DiskFullErr", 2},
        {"errorDetails", 1},
        {"sizeBytes", 1},
        {"sendDoneOne", 1},
        {"sendDoneMany", 2},
        {"TitleChangeErr", 2},
        {"TitlesChangeErr", 1},
        {"SendSkipErr", 2},
        {"SendSkipListErr", 1},
        {"movieFailureLine", 2},
        {"moreMovieFailures", 1},
        {"not a PSP video format: %1", 1},
        {"the copy failed (error code %1)", 1}};
    static const QRegularExpression placeholder("%(\\d+)");
    for (const auto& [key, count] : formats) {
        QList<int> numbers;
        for (const QRegularExpressionMatch& m : placeholder.globalMatch(LocalizedString(key)))
            numbers << m.captured(1).toInt();
        std::sort(numbers.begin(), numbers.end());
        QList<int> expected;
        for (int i = 1; i <= count; ++i) expected << i;
        EXPECT_EQ(numbers, expected) << key;
    }
}

TEST_F(Messages, OneFailedMovieIsNamedInTheTextAndSeveralAreListedUnderIt) {
    DoTitleFailureMessage({});
    EXPECT_TRUE(shown.empty());

    DoTitleFailureMessage({{"a.mp4", "the file is read-only"}});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, kAlertStop);
    EXPECT_TRUE(shown[0].message.contains("a.mp4"));
    EXPECT_TRUE(shown[0].message.contains("the file is read-only"));
    EXPECT_EQ(shown[0].explanation, "");

    std::vector<MovieFailure> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({QString("m%1.mp4").arg(i), i % 2 ? "no video track" : "gone"});
    DoSendFailureMessage(many);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[1].message.contains("40"));
    const QStringList lines = shown[1].explanation.split('\n');
    // The first ones, and how many more: an alert that fits on the screen.
    ASSERT_LT(lines.size(), 20);
    EXPECT_TRUE(lines[1].contains("m1.mp4") && lines[1].contains("no video track"));
    EXPECT_EQ(lines.back(), LocalizedString("moreMovieFailures").arg(41 - lines.size()));
}

// The engine's cause words are the keys: a translation that lacks one shows English.
TEST(MessageTexts, EveryCauseAndReasonIsAKeyOfTheTranslations) {
    QTranslator english;
    ASSERT_TRUE(english.load(ResourceFolder() + "/translations/moviestick_en.qm"));
    QStringList keys = {"no video track",
                        "not a PSP video format",
                        "not a PSP video format: %1",
                        "no room on the PSP",
                        "the PSP is read-only",
                        "no free file number on the PSP",
                        "the PSP's movie folder could not be made",
                        "the copy failed (error code %1)",
                        "TitleChangeErr",
                        "TitlesChangeErr",
                        "SendSkipErr",
                        "SendSkipListErr",
                        "movieFailureLine",
                        "moreMovieFailures"};
    for (int e = int(MovieError::noSuchFile); e <= int(MovieError::ioError); ++e)
        keys << QString::fromUtf8(MovieErrorText(MovieError(e)));
    for (const QString& key : keys)
        EXPECT_FALSE(english.translate("Localizable", key.toUtf8().constData()).isEmpty())
            << key.toStdString();
    EXPECT_EQ(MovieErrorString(MovieError::readOnlyFile), LocalizedString("the file is read-only"));
}

TEST(MessageTexts, WhyAMovieCannotGoReadsAsTheEngineSaysIt) {
    const char hevc[4] = {'h', 'v', 'c', '1'}, none[4] = {};
    MovieSummary summary;
    summary.hasVideo = true;
    std::memcpy(summary.coding, hevc, 4);
    EXPECT_EQ(UnplayableMovieString(MovieError::none, true, hevc),
              QString::fromStdString(MovieSummaryProblem(summary)));
    summary.hasVideo = false;
    EXPECT_EQ(UnplayableMovieString(MovieError::none, false, none),
              QString::fromStdString(MovieSummaryProblem(summary)));
    summary.error = MovieError::notAMovie;
    EXPECT_EQ(UnplayableMovieString(MovieError::notAMovie, false, none),
              QString::fromStdString(MovieSummaryProblem(summary)));
}

TEST(RealAlerts, QuestionIsCancelledByEscape) {
    QStringList buttons;
    AnswerAlert([&buttons](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons()) buttons << button->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(ConfirmAlert(kQuestionDelete), 2);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Cancel", "Remove"}));
}

TEST(LengthPrefixedStrings, CatAppendsOnlyWhatFitsIn255) {
    unsigned char dst[256], src[256];
    MakePString(dst, std::string(200, 'a'));
    MakePString(src, std::string(55, 'b'));
    PStrCat(dst, src);
    EXPECT_EQ(PString(dst), std::string(200, 'a') + std::string(55, 'b'));

    MakePString(dst, std::string(200, 'a'));
    MakePString(src, std::string(56, 'b'));
    PStrCat(dst, src);
    EXPECT_EQ(PString(dst), std::string(200, 'a'));

    MakePString(dst, "ab");
    PStrCat(dst, dst);
    EXPECT_EQ(PString(dst), "abab");
}
