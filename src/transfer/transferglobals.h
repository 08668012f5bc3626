// SPDX-License-Identifier: GPL-3.0-or-later
// transferglobals.h - what the copy job shares with the shell and its progress window. The copy
// runs on the cooperative thread, which switches only where it yields, so plain variables do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which list items a send takes: itemState is -1 for all, 1 for the selected ones.
struct CopyParam {
    int32_t itemState;
    int32_t unused;
};

extern CopyParam gCopyParam;
// The copy thread's ID while a send runs; 0 when there is none.
extern uint32_t gThreadID;
// Set by a close or quit request during a send; the copy job stops at its next block.
extern bool gCopyCancelRequest;
// The number of items the running send gathered, the ordinal (from 1) of the one being handled,
// and its index in the movie list.
extern int32_t gCopyTotal;
extern int32_t gCopyCount;
extern int32_t gCopyFileIndex;
// The movie being handled is converted on its way rather than copied.
extern bool gCopyConverting;
// Bytes the send will copy (movies, plus thumbnails when they go along) and bytes copied so far.
extern uint64_t gTotalSize;
extern uint64_t gCurrentSize;
// When the progress window opened, in seconds of the clock.
extern uint32_t gProgressStart;
// The root paths (ending in "/") of the PSP volumes in the device pop-up, slot i for item i + 1;
// null until the first device is found.
extern std::vector<std::string>* gVolumeList;
