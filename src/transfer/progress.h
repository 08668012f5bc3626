// progress.h - the progress window of a send: the bar, the movie being copied, the megabytes and
// the time left; its cancel button asks the copy thread to stop.
#pragma once

#include <cstdint>

#include "toolkit/ui.h"

// The progress window's controls.
inline constexpr int32_t kProgressBar = 1;
inline constexpr int32_t kProgressFileLine = 3;
inline constexpr int32_t kProgressInfoLine = 4;

// Opens the progress window over the parent and runs it until the idle tick sees the copy
// thread gone. Always 0 (also when the window cannot be made: the copy then runs unseen).
int16_t ProgressStart(WindowRef parent);
// The window's command handler: the cancel command (2) sets gCopyCancelRequest. Never handles
// the event, so the default handling runs too.
OSStatus WindowHandlerProgress(const EventRecord& event, void* userData);
// Refreshes the window from the job's counters: the bar on every call, the two lines about
// once a second.
void ProgressIdle(WindowRef window, int32_t count, int32_t total, uint64_t done, uint64_t totalSize);
