// SPDX-License-Identifier: GPL-3.0-or-later
// sendfiles.h - a send without a window: named files (not the list's selection) copied to a
// memory stick with the application's rules, each one's outcome told back to the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QString>

// The roots (ending in "/") of the memory sticks mounted now, in mount-table order.
[[nodiscard]] std::vector<std::string> FindPSPVolumes();

// What became of one movie.
struct SendFileResult {
    std::string file;         // the movie's path as it was read
    bool sent = false;        // the movie is on the device, synced
    std::string destination;  // its path there, when sent
    bool thumbnailSent = false;
    QString reason;  // why it was not sent; empty when it was
};

struct SendFilesJob {
    // Given by the caller.
    std::string deviceRoot;  // a root IsPSP accepts
    std::vector<std::string> files;
    bool thumbnails = true;  // the movies' .THM companions go along
    bool unmount = false;    // unmount the device when every movie went

    // Filled in by the send.
    std::vector<SendFileResult> results;  // in the order the files were given
    bool cancelled = false;               // gCopyCancelRequest stopped it
    // The device had too little room for every movie: nothing was copied.
    bool noRoom = false;
    uint64_t bytesNeeded = 0;  // with the reserve
    uint64_t bytesFree = 0;
    bool unmounted = false;
    int16_t unmountStatus = 0;  // of the unmount asked for, when it failed
    bool finished = false;      // the send has returned
};

// Reads every file as the movie list does (a folder gives its movies), checks the room on the
// device, then copies each movie that can go in the order given, under the next free number of
// its kind's folder, with its thumbnail. A movie that cannot go is skipped with its reason; a
// full device or a folder that cannot be made ends the job, the movies left each with a
// reason. Progress goes into gTotalSize, gCurrentSize, gCopyTotal and gCopyCount. The entries
// it makes are disposed of before it returns.
//
// Runs as the copy thread's body (param is the SendFilesJob; always null) or called directly.
void* ThreadSendFilesProc(void* param);
