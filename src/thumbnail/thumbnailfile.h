// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnailfile.h - thumbnail files: a 160 x 120 JPEG padded with zeros to 32,768 bytes, named
// after the movie with the ending ".THM" and kept beside it; written from a frame, read back for
// the preview.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QImage>

#include "toolkit/fileref.h"

inline constexpr int kThumbnailWidth = 160;
inline constexpr int kThumbnailHeight = 120;
inline constexpr size_t kThumbnailFileSize = 32768;
// Normal quality on a 0 to 1023 scale.
inline constexpr int kThumbnailQuality = 512;
// Frames at least this wide for their height are shown between black bars.
inline constexpr double kThumbnailWideRatio = 1.7;
// The JPEG compressor failed, or no quality makes the image fit the file.
inline constexpr int16_t kThumbnailCodecErr = -8960;

// Writes the thumbnail file of the movie entry with that item ID from the frame (which stays the
// caller's). The first thumbnail of an entry creates the file (-48 when a file of its name exists
// already); later ones replace it under the same name. A failure leaves any earlier thumbnail
// file as it was. 0, or the failing step's status; shows no message.
[[nodiscard]] int16_t CreateThumbnailFile(const QImage& picture, uint32_t itemID);

// The thumbnail of the movie entry with that item ID, read afresh; null when the movie has none,
// its file is gone (both silently), or it cannot be read (a stop alert naming the step). The
// picture is held here until the next call; callers show it and do not free it.
const QImage* OpenThumbnailFile(uint32_t itemID);

// Appends the ASCII text, one UTF-16 unit per byte (sign-extended), never past 255 units.
void HFSUniStrCatAscii(HFSUniStr255* name, const char* text);

// The pieces under CreateThumbnailFile, shared with the command-line tool.

// The movie's name less its four-unit ending, followed by ".THM". -50 for a name shorter than 4.
[[nodiscard]] int16_t ThumbnailNameForMovie(const HFSUniStr255& movieName, HFSUniStr255* name);

// The thumbnail's path beside the movie at moviePath: the movie's folder (none when the path
// has no "/") and its name with ".THM" in place of its four-unit ending. The name is movieName
// when given, else the path's last part. -50 for a name shorter than 4.
[[nodiscard]] int16_t ThumbnailPathForMovie(const std::string& moviePath, std::string* path,
                                            const HFSUniStr255* movieName = nullptr);

// The 160 x 120 canvas: black, with the frame stretched over all of it, or over 160 x 90 between
// bars of 15 rows when the frame is wide.
QImage DrawThumbnailCanvas(const QImage& frame);

// JPEG at normal quality; when that would not fit in `limit` bytes, at the highest lower quality
// that does. kThumbnailCodecErr when none does.
[[nodiscard]] int16_t CompressThumbnail(const QImage& canvas, size_t limit, QByteArray* jpeg);

// Replaces the file at the path with the JPEG followed by zeros up to kThumbnailFileSize bytes:
// written to a temporary file in the same folder, synced, then renamed over the old one, so a
// failure leaves the old file untouched and no temporary file behind.
[[nodiscard]] int16_t WriteThumbnailData(const std::string& path, const QByteArray& jpeg);
