// SPDX-License-Identifier: GPL-3.0-or-later
// entries.h - the movies gathered for sending: their entries, lookup by item ID, the counts and
// totals every part asks for. How files become entries is the movie list's business.
//
// Everything here runs on the GUI thread (the copy fiber included, which switches only at its
// own yield points). Adding or removing an entry may move every entry: look entries up by item
// ID each time and keep no pointers or references across those calls.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "container/movieerror.h"
#include "convert/facts.h"
#include "toolkit/fileref.h"

// Video kinds: they choose the device folder and the file-name prefix.
inline constexpr int32_t kMovieTypeOther = 0;
inline constexpr int32_t kMovieTypeMp4v = 2;
inline constexpr int32_t kMovieTypeAvc1 = 3;

// Paths and titles in bytes, each including the NUL.
inline constexpr size_t kMoviePathBufferSize = 4095;
inline constexpr size_t kTitleBufferSize = 767;

struct OpenFileInfo {
    uint32_t itemID = 0;  // never reused; the same number names the movie's row in the list view
    FSRef fileRef;
    uint64_t fileSize = 0;  // when the movie was last read
    HFSUniStr255 fileName;  // the name when the entry was made
    QString pathString;     // path, decoded
    std::string path;       // UTF-8, shorter than kMoviePathBufferSize; what the engine opens
    std::optional<QString> title;  // as stored in the movie; none when it holds no title
    int32_t movieType = kMovieTypeOther;
    // Why a movie of kind 0 cannot go: its file could not be read as a movie (readError; a
    // file that has gone is noSuchFile), it has no video track, or its video is of another
    // coding (videoCoding, as stored; zeros when none is known).
    MovieError readError = MovieError::none;
    bool hasVideo = false;
    char videoCoding[4] = {};
    timespec modDate = {};  // the file's modification time when the movie was last read
    bool sent = false;      // set by the copy job once the movie is on the device
    bool hasThumbnail = false;
    FSRef thumbnailRef;          // valid only with hasThumbnail
    uint64_t thumbnailSize = 0;  // taken when the entry is made; 0 when there was no thumbnail
    // A video of another ending than ".mp4": it can only go converted, and its title lives in
    // the entry alone (the source is never written).
    bool otherVideo = false;
    bool titleEdited = false;  // the user gave an other video its title: a re-read keeps it
    // What FFmpeg read in the file, for the decision whether a send converts it; haveFacts is
    // false when they were never read or could not be.
    bool haveFacts = false;
    VideoFacts facts;
};

// The list: entries in the order they were added (never re-sorted; a removal closes the gap) and,
// element for element, their item IDs. Both null until the first entry is added; removing the
// last entry leaves them empty, not null.
extern std::vector<OpenFileInfo>* gOpenFile;
extern std::vector<uint32_t>* gOpenFileID;

// The last item ID given out; 0 at start. Once it is 0xFFFFFFFF no entry can be added.
extern uint32_t lastID;

// The user asked to stop adding: set by CreateOpenFileInfo, cleared by each opener before its
// batch. While it is set nothing is added.
extern bool gStopOpen;

// The index of the entry with that item ID, or -1. Item IDs grow in the order of adding, so the
// entries are ordered by them and the search halves the list each step.
[[nodiscard]] int GetOpenFileInfo(uint32_t itemID);
// The entry with that item ID, or null. Valid until the next addition or removal: code that
// yields (the copy job) looks it up again afterwards.
[[nodiscard]] OpenFileInfo* FindOpenFileInfo(uint32_t itemID);

// The entries' files by device and inode, so that a file already listed is found without a scan
// of the list. Every entry is indexed when added and again when given another fileRef (a file
// rewritten under a new inode); a mapping that has gone stale is dropped when next met. False
// when memory ran out (the entry is then not found by its file).
bool IndexOpenFileRef(uint32_t itemID);
// The index of an entry among the first `count` whose file is the one ref names, or -1.
[[nodiscard]] int FindListedOpenFile(const FSRef& ref, int count);
// Forgets every mapping, as when the list starts afresh.
void ClearOpenFileRefIndex();

// Removes the entries with those item IDs in one pass over the arrays, keeping the order of the
// others. IDs that no entry has (or that come twice) are passed over; the number removed.
int RemoveOpenFileInfos(const uint32_t* itemIDs, int count);

// The number of entries; 0 when the list was never made.
int CountOpenFileInfo();

// The sums of fileSize, and of thumbnailSize, over the entries with the given item IDs. IDs that
// no entry has add nothing.
uint64_t GetOpenFileTotalSize(const uint32_t* itemIDs, int count);
uint64_t GetOpenFileTotalThumbnailSize(const uint32_t* itemIDs, int count);

// Orders two entries by the bytes of their paths: negative, 0 or positive.
int OpenFileInfoCompareProc(const OpenFileInfo* a, const OpenFileInfo* b);

// Frees every entry and gOpenFile, which becomes null; gOpenFileID is left as it is, until an
// entry is added again and it starts afresh.
void DisposeOpenFileInfo();
