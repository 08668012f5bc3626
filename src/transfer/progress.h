// SPDX-License-Identifier: GPL-3.0-or-later
// progress.h - the progress window of a send: the bar, the movie being copied, the sizes and
// the time left; its cancel button (and Escape) asks the copy thread to stop.
#pragma once

#include <cstdint>

#include <QString>

#include "toolkit/ui.h"

// The progress window's controls, and the command its cancel button sends.
inline constexpr int32_t kProgressBar = 1;
inline constexpr int32_t kProgressCancelButton = 2;
inline constexpr int32_t kProgressFileLine = 3;
inline constexpr int32_t kProgressInfoLine = 4;
inline constexpr OSType kProgressCancelCommand = 2;

// Opens the progress window over the parent and runs it until the idle tick sees the copy
// thread gone. Always 0 (also when the window cannot be made: the copy then runs unseen).
int16_t ProgressStart(WindowRef parent);
// The window's command handler: the cancel command (2) sets gCopyCancelRequest. Never handles
// the event, so the default handling runs too.
OSStatus WindowHandlerProgress(const EventRecord& event, void* userData);
// Refreshes the window from the job's counters, all at once on every call: the bar (a percentage
// of the bytes), the file line (the movie and its place in the send) and the information line
// (sizes and time left, empty below one percent).
void ProgressIdle(WindowRef window, int32_t count, int32_t total, uint64_t done,
                  uint64_t totalSize);

// Seconds left when `done` of `total` bytes took `elapsed` seconds, at that rate, plus one so
// that it never says 0. done must not be 0.
uint32_t ProgressSecondsLeft(uint64_t done, uint64_t total, uint32_t elapsed);
// The information line: the sizes done and in all, in decimal units (1 MB = 1,000,000 bytes), and
// the time left (minutes and seconds once it is above a minute).
QString ProgressInfoText(uint64_t done, uint64_t total, uint32_t secondsLeft);
// The file line: the movie's name, and its place ("2 of 5") when the send has more than one.
QString ProgressFileText(const QString& name, int32_t count, int32_t total);
