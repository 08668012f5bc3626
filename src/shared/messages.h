// SPDX-License-Identifier: GPL-3.0-or-later
// messages.h - every message the user sees: errors, notices, the four questions, a number.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "container/movieerror.h"
#include "toolkit/alerts.h"  // kAlertStop, kAlertNote, kAlertCaution

// The questions ConfirmAlert asks.
inline constexpr int32_t kQuestionSend = 0;
inline constexpr int32_t kQuestionRename = 1;
inline constexpr int32_t kQuestionDelete = 2;
inline constexpr int32_t kQuestionStopOpen = 3;

// An error (kAlertStop), warning (kAlertCaution) or notice (kAlertNote) named by its message
// key. A non-zero code is shown on a line of its own under the text ("Details: error -43").
void DoMessage(int16_t alertType, const QString& key, int16_t err);

// The stop alert "DiskFullErr", which names how much the send needs (%1) and how much the
// device has free (%2).
void DoDiskFullMessage(uint64_t neededBytes, uint64_t freeBytes);

// The line that carries a failed call's status, "" for 0.
QString ErrorDetails(int16_t err);

// A size in decimal units (1 MB = 1,000,000 bytes) with one decimal in the user's language,
// rounded up or down to it.
QString SizeString(uint64_t bytes, bool roundUp);

// A movie that something could not be done to: its name as the list shows it, and why, in the
// user's language.
struct MovieFailure {
    QString movie;
    QString reason;
};

// One stop alert for the movies whose titles could not be stored ("TitleChangeErr" naming the
// movie and the reason for one, "TitlesChangeErr" listing them for several); nothing for none.
void DoTitleFailureMessage(const std::vector<MovieFailure>& failures);
// The same for the movies a send left behind ("SendSkipErr", "SendSkipListErr").
void DoSendFailureMessage(const std::vector<MovieFailure>& failures);
// The same for the movies "Convert for PSP" could not convert ("ConvertSkipErr",
// "ConvertSkipListErr").
void DoConvertFailureMessage(const std::vector<MovieFailure>& failures);

// The desktop notification at the end of a send: how many movies went to the device (its name as
// the device menu shows it) and, when it was unmounted, that it is safe to unplug. Nothing for no
// movie; false when nothing could be sent to the desktop.
bool NotifySendDone(int32_t sent, const QString& device, bool unmounted);

// The movie engine's cause in the user's language: its words are the message keys.
QString MovieErrorString(MovieError error);
// Why the PSP cannot play a movie: the file could not be read as one (the cause), it has no video
// track, or its video coding (four bytes as stored, zeros when unknown) is not one the PSP plays.
QString UnplayableMovieString(MovieError readError, bool hasVideo, const char* coding);

// Asks one of the four questions; returns 1 (OK, which names what it does: "Send All", "Remove"),
// 2 (Cancel) or 3 (only the selected movies, offered for sending and setting titles when some
// but not all movies are selected). Any other question
// number shows nothing and returns 2.
int16_t ConfirmAlert(int32_t question);

// Asks the question named by any key, with OK and Cancel; returns 1 or 2.
int16_t DoConfirm(const QString& key);

// A notice showing the text as it is given, without lookup.
void DoMessageString(const QString& text);

// A notice showing the number, for debugging.
void DebugNum(int32_t num);

// Writes the number in decimal; the buffer must hold at least 12 bytes.
void NumToCString(int32_t num, char* buffer);

// Length-prefixed strings: the first byte holds the length, up to 255 characters follow.
void PStrCopy(unsigned char* dst, const unsigned char* src);
// Appends when both together fit in 255 characters; otherwise leaves dst as it was.
void PStrCat(unsigned char* dst, const unsigned char* src);
