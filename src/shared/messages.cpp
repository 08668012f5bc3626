// messages.cpp - every message the user sees: errors, notices, the four questions, a number.
#include "shared/messages.h"

#include <cstdio>
#include <cstring>

#include "container/movie.h"
#include "shared/application.h"
#include "shared/entries.h"
#include "toolkit/alerts.h"
#include "toolkit/localized.h"

// Part of the record on every alert: "OK" is never translated, and the alert sits on the front
// window.
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
    QString explanation;
    if (err != 0) explanation = QStringLiteral("Error code : ") + QString::number(err);
    Beep();
    RunStandardAlert(alertType, text, explanation, MessageParam());
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
    static const char* const kQuestionKeys[] = {"SendMessage", "RenameMessage", "DeleteMessage",
                                                "StopOpenMessage"};
    if (question < kQuestionSend || question > kQuestionStopOpen) return kAlertCancelButton;

    const QString text = LocalizedString(QString::fromLatin1(kQuestionKeys[question]));
    AlertParam param = QuestionParam();

    // "Only the selected" makes sense only when the selection is a true part of the list, and
    // removing always acts on the selection anyway.
    const uint32_t selected = CountSelectedMovies();
    if (question != kQuestionDelete && selected > 0 && selected < CountListedMovies())
        param.otherText = LocalizedString(QStringLiteral("onlySelecedItem"));

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
