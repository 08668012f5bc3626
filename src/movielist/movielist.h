// SPDX-License-Identifier: GPL-3.0-or-later
// movielist.h - how files and folders become movie entries, their removal, refreshing and title
// changes. The entries themselves are kept in shared/entries.h, with the same rules.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "container/movieerror.h"
#include "shared/entries.h"
#include "toolkit/fileref.h"

// ChangeTitle modes.
inline constexpr int kChangeTitleFromFileName = 2;
inline constexpr int kChangeTitleFromText = 3;

// Adds the movie file, or every video file (see VideoEndingOf) found under the folder, that ref
// names. Only the first `count` entries are searched for duplicates: openers pass the number of
// entries before their batch, while a folder walk passes the number that exist at each item. 0: a
// movie was added, or adding has been stopped; -48: nothing was added for this object (a folder,
// whatever its walk added; a duplicate; not a regular file with a video ending; a path too long);
// -108: item IDs or memory are exhausted, which also ends an enclosing folder walk.
[[nodiscard]] int CreateOpenFileInfo(const FSRef* ref, int count);
// The same for an item the user chose (dropped, picked in the Open dialog, opened with the
// application): a symbolic link to a folder is walked as that folder, while the links met
// inside it are still never walked.
[[nodiscard]] int CreateOpenFileInfoFromChoice(const FSRef* ref, int count);

// Removes the entry with that item ID (after its row has left the list view), keeping the order
// of the others. 0, or -50 when no entry has it.
[[nodiscard]] int16_t RemoveOpenFileInfo(uint32_t itemID);

// Reads the movie again (title, kind, size) when its file has changed since it was last read:
// another size or modification time, or, when the file is not found any more, another file at
// its path (a program that rewrote it renamed a new file over it). A movie whose file has gone
// is of kind 0 until it is there again. True when the entry changed.
bool RefreshOpenFileInfo(uint32_t itemID);

// How a send takes a movie, as it was last read: not at all, copied as it is, or converted on
// the way. An MP4 whose video the PSP plays goes as it is; one that breaks a PSP limit (with
// the firmware preference), and every other video FFmpeg can decode, is converted.
enum class SendWay { kNone, kCopy, kConvert };
SendWay HowSent(const OpenFileInfo& entry);

// True when the movie can go to the PSP as it was last read, as it is or converted.
bool IsSendableMovie(const OpenFileInfo& entry);
// The PSP column's text: "MPEG-4", "AVC", "will be converted", or why the movie cannot go, in
// the user's language.
QString MovieKindString(const OpenFileInfo& entry);

// What a file name's ending makes of it: a movie (".mp4"), another video the list takes
// (".m4v" ".mov" ".mkv" ".avi" ".webm" ".mpg" ".mpeg" ".ts" ".3gp"), or neither; any case.
enum class VideoEnding { kNone, kMp4, kOther };
VideoEnding VideoEndingOf(const HFSUniStr255& name);

// ChangeTitle's answer when the movie file could not take the title.
inline constexpr int16_t kTitleNotStoredErr = -36;

// Mode 2 takes the title from the file's current name without its extension; mode 3 from the
// text typed into the title cell. The movie is read again first when its file has changed, and
// its file is rewritten only when the new title differs from the entry's. When the file cannot
// take the title, the entry keeps the title the file holds and the answer is
// kTitleNotStoredErr, with the cause in *why (optional). A video of another ending keeps the
// title in its entry only, for the movie its conversion makes: its file is never written. Other
// modes do nothing. -50 for mode 3 without text or for an item ID that no entry has; for mode 2 the
// status of reading the name (the cause noSuchFile); else 0.
[[nodiscard]] int16_t ChangeTitle(uint32_t itemID, int mode, const QString* text,
                                  MovieError* why = nullptr);

// The current name of the object that ref names, read from the file system (so a rename since
// the reference was made shows), whole or without its extension: cut before the last ".", and
// whole when it has no ".". On failure the status of the lookup, and *name is left alone.
[[nodiscard]] int16_t CFStringNameFromFSRef(QString* name, const FSRef* ref, bool withExtension);

// True when the name ends in the suffix (UTF-8), compared without regard to case.
bool IsSameSuffixUnicode(const HFSUniStr255& name, const char* suffix);
bool IsSameSuffixUnicode(const HFSUniStr255& name, QStringView suffix);

// True while, or since the last call, the user presses Ctrl with a period key.
bool IsCommandPeriod();
