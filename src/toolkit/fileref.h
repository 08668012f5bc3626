// SPDX-License-Identifier: GPL-3.0-or-later
// fileref.h - file references: an absolute path plus the (device, inode) pair it named.
//
// Two references name the same file when their (device, inode) pairs match. A file renamed
// inside its folder is found again by its inode, so its current name can still be read.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include <QString>

struct FSRef {
    std::string path;  // absolute, as given (not resolved through symbolic links)
    dev_t device = 0;
    ino_t inode = 0;
    bool valid = false;  // false for a reference that names nothing (e.g. a zero-filled slot)
};

// Unicode name: a 16-bit length and up to 255 UTF-16 code units.
struct HFSUniStr255 {
    uint16_t length = 0;
    char16_t unicode[255] = {};
};

// A volume number: the st_dev shared by every object on the volume.
using FSVolumeRefNum = dev_t;

inline constexpr int16_t kNoErr = 0;
inline constexpr int16_t kDskFulErr = -34;  // no room left on the volume
inline constexpr int16_t kNsvErr = -35;     // no such volume
inline constexpr int16_t kIOErr = -36;
inline constexpr int16_t kFnfErr = -43;    // no such file or folder
inline constexpr int16_t kWPrErr = -44;    // volume is read-only
inline constexpr int16_t kFBsyErr = -47;   // busy, or a folder that is not empty
inline constexpr int16_t kDupFNErr = -48;  // the name exists already
inline constexpr int16_t kParamErr = -50;
inline constexpr int16_t kMemFullErr = -108;
inline constexpr int16_t kNotAFileErr = -1302;
inline constexpr int16_t kErrFSNotAFolder = -1407;
inline constexpr int16_t kErrFSNoMoreItems = -1417;
inline constexpr int16_t kFSRefsDifferentErr = -1420;
inline constexpr int16_t kPathTooLongErr = -2110;  // the path does not fit the caller's buffer
inline constexpr int16_t kAfpAccessDenied = -5000;

// What FSGetCatalogInfo fills in; fields not asked for are left as they were.
inline constexpr uint32_t kFSCatInfoNone = 0x0000;
inline constexpr uint32_t kFSCatInfoNodeFlags = 0x0002;
inline constexpr uint32_t kFSCatInfoVolume = 0x0004;
inline constexpr uint32_t kFSCatInfoCreateDate = 0x0020;
inline constexpr uint32_t kFSCatInfoContentMod = 0x0040;
inline constexpr uint32_t kFSCatInfoAttrMod = 0x0080;
inline constexpr uint32_t kFSCatInfoAccessDate = 0x0100;
inline constexpr uint32_t kFSCatInfoDataSizes = 0x4000;
inline constexpr uint32_t kFSCatInfoRsrcSizes = 0x8000;

inline constexpr uint16_t kFSNodeIsDirectoryMask = 0x0010;

struct FSCatalogInfo {
    // kFSNodeIsDirectoryMask for a folder. Taken from the object itself, not from what a symbolic
    // link points to, so that a link is never walked as a folder (a link to its own folder would
    // otherwise be an endless walk).
    uint16_t nodeFlags = 0;
    // Filled with nodeFlags: what opening the object reaches, through any symbolic links, is a
    // regular file (not a folder, device, pipe or socket), so reading it cannot block or fail
    // for its kind.
    bool isRegularFile = false;
    // Filled with nodeFlags: what opening the object reaches is a folder. Unlike nodeFlags this
    // is also true for a symbolic link to a folder.
    bool opensFolder = false;
    FSVolumeRefNum volume = 0;
    // Dates and sizes are those of the object a symbolic link points to: what opening it reads.
    timespec createDate = {};  // birth time; zero when the file system does not record it
    timespec contentModDate = {};
    timespec attributeModDate = {};  // status change time
    timespec accessDate = {};
    uint64_t dataLogicalSize = 0;  // the file's length; 0 for a folder
    uint64_t dataPhysicalSize = 0;
    uint64_t rsrcLogicalSize = 0;  // files here have no resource fork
    uint64_t rsrcPhysicalSize = 0;
};

// The status for a failed system call's errno (ENOENT -43, EACCES -5000, ENOSPC -34, ...).
int16_t StatusFromErrno(int err);

// Syncs the folder itself, so that the names just made or renamed in it are durable. 0 also on a
// file system that cannot sync a folder (it writes the names with the files); else the failure's
// status (kIOErr when errno says nothing).
[[nodiscard]] int16_t SyncFolder(const std::string& folderPath);

// A reference to what the path names now. A relative path is taken against the current folder;
// the stored path is made absolute and cleaned lexically (".", ".." and repeated or trailing "/"
// removed). The identity is that of what the path opens, so a symbolic link and its target give
// the same file. isDirectory (optional) tells whether that is a folder. -43 when nothing is there.
[[nodiscard]] int16_t FSPathMakeRef(const char* path, FSRef* ref, bool* isDirectory = nullptr);

// 0 when both references name the same file, -1420 when they do not, -50 for an invalid one.
[[nodiscard]] int16_t FSCompareFSRefs(const FSRef* ref1, const FSRef* ref2);

// The path at which the referenced object is now: the stored one while it still names the object,
// else the name under which it is found in the same folder (it was renamed there). -43 when it is
// gone, -50 for an invalid reference.
[[nodiscard]] int16_t FSRefCurrentPath(const FSRef* ref, std::string* path);

// The current path, NUL-terminated, into a buffer of maxPathSize bytes. -2110 when it does not fit,
// leaving the buffer as it was.
[[nodiscard]] int16_t FSRefMakePath(const FSRef* ref, char* path, size_t maxPathSize);

// Fills the fields of info that whichInfo asks for (info may be null when whichInfo is 0) and the
// object's current name (optional). The name of "/" is "/". Fails as FSRefCurrentPath does.
[[nodiscard]] int16_t FSGetCatalogInfo(const FSRef* ref, uint32_t whichInfo, FSCatalogInfo* info,
                                       HFSUniStr255* name);

// A reference to the item `name` in the folder at folderPath (absolute and clean, as FSRef::path
// holds it), with the fields of info that whichInfo asks for, as FSPathMakeRef and then
// FSGetCatalogInfo would give them. It costs one status query, two for a symbolic link: a folder
// walk that already has the folder's path and the item's name asks nothing else. -43 when
// nothing is there.
[[nodiscard]] int16_t FSMakeItemRef(const std::string& folderPath, const std::string& name,
                                    uint32_t whichInfo, FSRef* ref, FSCatalogInfo* info);

// File names are UTF-8 on disk; bytes that are not valid UTF-8 show as replacement characters.
HFSUniStr255 HFSUniStr255FromUtf8Name(const std::string& name);
// At most 255 UTF-16 units are kept, never half of a surrogate pair.
HFSUniStr255 HFSUniStr255FromQString(const QString& text);
QString QStringFromHFSUniStr255(const HFSUniStr255& name);
