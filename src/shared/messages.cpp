// SPDX-License-Identifier: GPL-3.0-or-later
// messages.cpp - every message the user sees: errors, notices, the four questions, a number.
#include "shared/messages.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include <QLocale>

#include "container/movie.h"
#include "shared/application.h"
#include "shared/entries.h"
#include "toolkit/alerts.h"
#include "toolkit/desktopnotify.h"
#include "toolkit/localized.h"

// Part of the record on every alert: a message is closed with "OK", which is never translated,
// and the alert sits on the front window. Questions put their own verbs on the buttons.
static AlertParam MessageParam() {
    AlertParam param;
    param.defaultText = QStringLiteral("OK");
    param.defaultButton = kAlertDefaultButton;
    param.cancelButton = 0;
    param.position = kAlertPositionParentWindow;
    return param;
}

static AlertParam QuestionParam() {
    AlertParam param = MessageParam();
    param.cancelText = LocalizedString(QStringLiteral("Cancel"));
    param.cancelButton = kAlertCancelButton;
    return param;
}

// The movies in the movie list, 0 when there is none.
static uint32_t CountListedMovies() {
    return uint32_t(CountOpenFileInfo());
}

void DoMessage(int16_t alertType, const QString& key, int16_t err) {
    const QString text = LocalizedString(key);
    SetArrowCursor();
    Beep();
    RunStandardAlert(alertType, text, ErrorDetails(err), MessageParam());
}

void DoDiskFullMessage(uint64_t neededBytes, uint64_t freeBytes) {
    // Rounded so that what is needed never reads as small as what is free: the one up, the other
    // down.
    const QString text = LocalizedString(QStringLiteral("DiskFullErr"))
                             .arg(SizeString(neededBytes, true), SizeString(freeBytes, false));
    SetArrowCursor();
    Beep();
    RunStandardAlert(kAlertStop, text, QString(), MessageParam());
}

QString SizeString(uint64_t bytes, bool roundUp) {
    // Decimal units, as the desktop's file manager counts them. Counted in whole tenths of the
    // unit: in floating point 1.3 GB would round up to 1.4 GB.
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
    if (bytes < 1000) return LocalizedString(QStringLiteral("sizeBytes")).arg(bytes);
    size_t unit = 0;
    uint64_t unitBytes = 1000;
    while (unit + 1 < std::size(kUnits) && bytes / unitBytes >= 1000) {
        unitBytes *= 1000;
        ++unit;
    }
    auto tenths = [&] {
        const uint64_t tenth = unitBytes / 10;
        return bytes / tenth + (roundUp && bytes % tenth != 0 ? 1 : 0);
    };
    uint64_t shown = tenths();
    // Rounding up may reach the next unit: 999.96 kB reads "1.0 MB", not "1000.0 kB".
    if (shown >= 10000 && unit + 1 < std::size(kUnits)) {
        unitBytes *= 1000;
        ++unit;
        shown = tenths();
    }
    return QLocale().toString(double(shown) / 10.0, 'f', 1) + QLatin1Char(' ') +
           QLatin1String(kUnits[unit]);
}

QString ErrorDetails(int16_t err) {
    if (err == 0) return QString();
    return LocalizedString(QStringLiteral("errorDetails")).arg(err);
}

// A list of thousands of failures would make an alert taller than any screen: the first ones are
// shown, and how many more there are.
static constexpr size_t kMaxListedFailures = 15;

static QString FailureLines(const std::vector<MovieFailure>& failures) {
    QStringList lines;
    for (size_t i = 0; i < failures.size() && i < kMaxListedFailures; ++i)
        lines << LocalizedString(QStringLiteral("movieFailureLine"))
                     .arg(failures[i].movie, failures[i].reason);
    if (failures.size() > kMaxListedFailures)
        lines << LocalizedString(QStringLiteral("moreMovieFailures"))
                     .arg(failures.size() - kMaxListedFailures);
    return lines.join(QLatin1Char('\n'));
}

// The placeholders are numbered, so a translation may put the name and the reason in either
// order without breaking the text.
static void DoMovieFailureMessage(const char* oneKey, const char* manyKey,
                                  const std::vector<MovieFailure>& failures) {
    if (failures.empty()) return;
    QString text, explanation;
    if (failures.size() == 1) {
        text = LocalizedString(QString::fromLatin1(oneKey))
                   .arg(failures.front().movie, failures.front().reason);
    } else {
        text = LocalizedString(QString::fromLatin1(manyKey)).arg(failures.size());
        explanation = FailureLines(failures);
    }
    SetArrowCursor();
    Beep();
    RunStandardAlert(kAlertStop, text, explanation, MessageParam());
}

void DoTitleFailureMessage(const std::vector<MovieFailure>& failures) {
    DoMovieFailureMessage("TitleChangeErr", "TitlesChangeErr", failures);
}

void DoSendFailureMessage(const std::vector<MovieFailure>& failures) {
    DoMovieFailureMessage("SendSkipErr", "SendSkipListErr", failures);
}

void DoConvertFailureMessage(const std::vector<MovieFailure>& failures) {
    DoMovieFailureMessage("ConvertSkipErr", "ConvertSkipListErr", failures);
}

bool NotifySendDone(int32_t sent, const QString& device, bool unmounted) {
    if (sent <= 0) return false;
    const QString summary = LocalizedString(QStringLiteral("sendDoneSummary"));
    QString body = sent == 1
                       ? LocalizedString(QStringLiteral("sendDoneOne")).arg(device)
                       : LocalizedString(QStringLiteral("sendDoneMany")).arg(sent).arg(device);
    if (unmounted) body += QLatin1Char(' ') + LocalizedString(QStringLiteral("sendDoneUnplug"));
    return ShowDesktopNotification(summary, body);
}

QString MovieErrorString(MovieError error) {
    return LocalizedString(QString::fromUtf8(MovieErrorText(error)));
}

QString UnplayableMovieString(MovieError readError, bool hasVideo, const char* coding) {
    if (readError != MovieError::none) return MovieErrorString(readError);
    if (!hasVideo) return LocalizedString(QStringLiteral("no video track"));
    if (!coding || std::memcmp(coding, "\0\0\0\0", 4) == 0)
        return LocalizedString(QStringLiteral("not a PSP video format"));
    return LocalizedString(QStringLiteral("not a PSP video format: %1"))
        .arg(QString::fromStdString(VideoCodingName(coding)));
}

int16_t ConfirmAlert(int32_t question) {
    // Each question's text, the verb on its OK button, and the text of the button that takes
    // only the selected movies ("" where the selection has no meaning).
    struct Question {
        const char* key;
        const char* okKey;
        const char* selectedKey;
    };
    static const Question kQuestions[] = {{"SendMessage", "sendAllButton", "sendSelectedButton"},
                                          {"RenameMessage", "renameButton", "onlySelecedItem"},
                                          {"DeleteMessage", "deleteButton", ""},
                                          {"StopOpenMessage", "stopOpenButton", ""}};
    if (question < kQuestionSend || question > kQuestionStopOpen) return kAlertCancelButton;
    const Question& asked = kQuestions[question];

    const QString text = LocalizedString(QString::fromLatin1(asked.key));
    AlertParam param = QuestionParam();
    param.defaultText = LocalizedString(QString::fromLatin1(asked.okKey));

    // "Only the selected" makes sense only when the selection is a true part of the list, and
    // removing always acts on the selection anyway. Whether to stop adding movies has nothing to
    // do with the selection: a third button there would only cancel under another name.
    const uint32_t selected = CountSelectedMovies();
    if (*asked.selectedKey && selected > 0 && selected < CountListedMovies())
        param.otherText = LocalizedString(QString::fromLatin1(asked.selectedKey));

    SetArrowCursor();
    Beep();
    return static_cast<int16_t>(RunStandardAlert(kAlertCaution, text, QString(), param));
}

int16_t DoConfirm(const QString& key) {
    const QString text = LocalizedString(key);
    const AlertParam param = QuestionParam();
    SetArrowCursor();
    Beep();
    return static_cast<int16_t>(RunStandardAlert(kAlertCaution, text, QString(), param));
}

void DoMessageString(const QString& text) {
    RunStandardAlert(kAlertNote, text, QString(), MessageParam());
}

void DebugNum(int32_t num) {
    char digits[12];
    NumToCString(num, digits);
    Beep();
    RunStandardAlert(kAlertNote, QString::fromLatin1(digits), QString(), MessageParam());
}

void NumToCString(int32_t num, char* buffer) {
    std::snprintf(buffer, 12, "%d", num);
}

void PStrCopy(unsigned char* dst, const unsigned char* src) {
    std::memmove(dst, src, static_cast<size_t>(src[0]) + 1);
}

void PStrCat(unsigned char* dst, const unsigned char* src) {
    const unsigned total = unsigned{dst[0]} + src[0];
    if (total > 255) return;
    std::memmove(dst + 1 + dst[0], src + 1, src[0]);
    dst[0] = static_cast<unsigned char>(total);
}
