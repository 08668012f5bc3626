// movielist.h - the movies gathered for sending: their entries, how files and folders become
// entries, lookup by item ID, removal, title changes and the totals other parts ask for.
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
#include "toolkit/fileref.h"

// Video kinds: they choose the device folder and the file-name prefix.
inline constexpr int32_t kMovieTypeOther = 0;
inline constexpr int32_t kMovieTypeMp4v = 2;
inline constexpr int32_t kMovieTypeAvc1 = 3;

// ChangeTitle modes.
inline constexpr int kChangeTitleFromFileName = 2;
inline constexpr int kChangeTitleFromText = 3;

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
    bool sent = false;  // set by the copy job once the movie is on the device
    bool hasThumbnail = false;
    FSRef thumbnailRef;          // valid only with hasThumbnail
    uint64_t thumbnailSize = 0;  // taken when the entry is made; 0 when there was no thumbnail
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

// Adds the movie file, or every ".mp4" file found under the folder, that ref names. Only the
// first `count` entries are searched for duplicates: openers pass the number of entries before
// their batch, while a folder walk passes the number that exist at each item.
// 0: a movie was added, or adding has been stopped; -48: nothing was added for this object (a
// folder, whatever its walk added; a duplicate; not a ".mp4" regular file; a path too long);
// -108: item IDs or memory are exhausted, which also ends an enclosing folder walk.
[[nodiscard]] int CreateOpenFileInfo(const FSRef* ref, int count);
// The same for an item the user chose (dropped, picked in the Open dialog, opened with the
// application): a symbolic link to a folder is walked as that folder, while the links met
// inside it are still never walked.
[[nodiscard]] int CreateOpenFileInfoFromChoice(const FSRef* ref, int count);

// The index of the entry with that item ID, or -1.
[[nodiscard]] int GetOpenFileInfo(uint32_t itemID);

// Removes the entry with that item ID (after its row has left the list view), keeping the order
// of the others. 0, or -50 when no entry has it.
[[nodiscard]] int16_t RemoveOpenFileInfo(uint32_t itemID);

// Reads the movie again (title, kind, size) when its file has changed since it was last read:
// another size or modification time, or, when the file is not found any more, another file at
// its path (a program that rewrote it renamed a new file over it). A movie whose file has gone
// is of kind 0 until it is there again. True when the entry changed.
bool RefreshOpenFileInfo(uint32_t itemID);

// True when the movie can go to the PSP as it was last read: its video is MPEG-4 or AVC.
bool IsSendableMovie(const OpenFileInfo& entry);
// The PSP column's text: "MPEG-4", "AVC", or why the movie cannot go, in the user's language.
QString MovieKindString(const OpenFileInfo& entry);

// ChangeTitle's answer when the movie file could not take the title.
inline constexpr int16_t kTitleNotStoredErr = -36;

// Mode 2 takes the title from the file's current name without its extension; mode 3 from the
// text typed into the title cell. The movie is read again first when its file has changed, and
// its file is rewritten only when the new title differs from the entry's. When the file cannot
// take the title, the entry keeps the title the file holds and the answer is
// kTitleNotStoredErr, with the cause in *why (optional). Other modes do nothing. -50 for mode 3
// without text or for an item ID that no entry has; for mode 2 the status of reading the name
// (the cause noSuchFile); else 0.
[[nodiscard]] int16_t ChangeTitle(uint32_t itemID, int mode, const QString* text,
                                  MovieError* why = nullptr);

// The current name of the object that ref names, read from the file system (so a rename since
// the reference was made shows), whole or without its extension: cut before the last ".", and
// whole when it has no ".". On failure the status of the lookup, and *name is left alone.
[[nodiscard]] int16_t CFStringNameFromFSRef(QString* name, const FSRef* ref, bool withExtension);

// True when the name ends in the suffix (UTF-8), compared without regard to case.
bool IsSameSuffixUnicode(const HFSUniStr255& name, const char* suffix);

// True while, or since the last call, the user presses Ctrl with a period key.
bool IsCommandPeriod();

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
