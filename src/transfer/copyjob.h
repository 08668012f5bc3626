// SPDX-License-Identifier: GPL-3.0-or-later
// copyjob.h - sending movies to the device: the free-space check, the copy thread that copies
// each movie (and its thumbnail) under a device-style name, and the copy of one file.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "toolkit/fileref.h"
#include "toolkit/listcontrol.h"

// Room needed on the device beyond the movies themselves.
inline constexpr uint64_t kFreeSpaceReserve = 102400;
// Bytes read and written per step of a file copy; also how far a cancel may lag. (Not
// kCopyBufferSize: the movie engine has its own of that name.)
inline constexpr size_t kCopyBlockSize = 1048576;

// True when the device at gPref.devicePath has room for the list items in that state (-1 all,
// 1 selected) plus the reserve; otherwise shows "DiskFullErr" and answers false.
[[nodiscard]] bool CheckFreeSpace(DataBrowserItemState itemState);
// Starts the copy thread for the items in that state and runs the progress window until the
// job has ended. 0, or the thread creation's status (after "NewThreadErr").
[[nodiscard]] int16_t SendToPSP(DataBrowserItemState itemState);
// "Convert for PSP": starts the job that writes a converted copy, "NAME (PSP).mp4", beside each
// list item in that state, and runs the progress window until it has ended. A name that is taken
// is never written over: the copy is then "NAME (PSP 2).mp4", and so on. Each copy joins the
// list. 0, or the thread creation's status (after "NewThreadErr").
[[nodiscard]] int16_t ConvertBesideMovies(DataBrowserItemState itemState);
// That job's body; param points at gCopyParam. Always null.
void* ThreadConvertBesideProc(void* param);
// The copy's name for the movie file's name: "clip.mkv" gives "clip (PSP).mp4", and attempt 2
// and later "clip (PSP 2).mp4". A name without an ending keeps it whole.
QString ConvertedCopyName(const QString& movieName, int attempt);
// The copy thread's body; param points at gCopyParam. Always null.
void* ThreadCopyProc(void* param);
// Copies the source's data into a new file of that name in the folder, with the source's dates.
// -48 when the name exists, -128 when cancelled; on any failure the new file is gone again.
[[nodiscard]] int16_t CopyFile(const FSRef* source, const FSRef* folder, const HFSUniStr255* name);
// Converts the listed movie into a new file of that name in the folder, a movie the PSP plays,
// carrying the list's title. The encoder works on threads of its own while the copy thread
// yields; a cancel request stops it. -48 when the name exists, -128 when cancelled, -1 when the
// conversion failed; on any failure the new file is gone again.
[[nodiscard]] int16_t ConvertFile(DataBrowserItemID item, const FSRef* folder,
                                  const HFSUniStr255* name);
// Copies the listed movie's file `movie`, or converts it when `convert`, into the folder under
// the first free device-style name ("M4V00001.MP4") from *number on. 0 with the number it took
// in *number; else the failed copy's status, -48 when every number up to the last one is taken.
[[nodiscard]] int16_t PlaceUnderFreeNumber(DataBrowserItemID item, const FSRef& movie,
                                           const FSRef& folder, const char* prefix, bool convert,
                                           int32_t* number);

// Bytes a send of these items copies: the movies that can go as last read and not yet sent, and
// their thumbnails when gPref.optionThumbnail takes them along.
[[nodiscard]] uint64_t BytesToSend(const std::vector<DataBrowserItemID>& items);
// Why a copy failed (a status of CopyFile), in words.
[[nodiscard]] QString CopyFailureString(int16_t status);
