// SPDX-License-Identifier: GPL-3.0-or-later
// fsquery.h - the few file-system questions that the movie list, device detection and copy job ask.
//
// Every query fills the caller's outputs and returns a status (0 on success); none keeps state
// or shows anything. A failed single query leaves its outputs as they were; a failed list query
// leaves an empty list and a count of 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/fileref.h"

// The volume that holds the object. -50 without an output.
[[nodiscard]] int16_t FSGetVRefNum(const FSRef* ref, FSVolumeRefNum* volume);

// The volume's name, free bytes and total bytes, each output optional. The sizes are only asked
// of the file system when one of them is wanted. -35 for a volume that is not mounted.
[[nodiscard]] int16_t FSGetVInfo(FSVolumeRefNum volume, HFSUniStr255* name, uint64_t* freeBytes,
                                 uint64_t* totalBytes);

// The volume's file-system ID (kFATFileSystemID, 18771, for FAT) and signature, each optional.
[[nodiscard]] int16_t FSGetVolFileSystemID(FSVolumeRefNum volume, uint16_t* fileSystemID,
                                           uint16_t* signature);

// The root folders (mount points) of the mounted volumes, in mount-table order, and their count.
// -50 when an output is missing.
[[nodiscard]] int16_t FSGetMountedVolumes(std::vector<FSRef>* volumeRoots, int* count);

// The object's current name; a volume's root folder is named after its mount point. -50 without
// an output.
[[nodiscard]] int16_t FSGetFileDirName(const FSRef* ref, HFSUniStr255* name);

// The data-fork length (the file's length) and resource-fork length (always 0), each optional.
// -1302 for a folder.
[[nodiscard]] int16_t FSGetForkSizes(const FSRef* ref, uint64_t* dataSize, uint64_t* rsrcSize);

// The folder's immediate items in the order the file system lists them, "." and ".." left out.
// A symbolic link is an item of its own (never a folder, see FSCatalogInfo::nodeFlags). An item
// that cannot be examined (a link that leads nowhere or where we may not look, an item that
// vanishes while the folder is read) is left out, and the others are listed. changed is set
// when the folder was modified while it was read. -50 when an output is missing.
[[nodiscard]] int16_t FSGetDirectoryItems(const FSRef* folder, std::vector<FSRef>* items,
                                          int* count, bool* changed);

// One name in a folder's listing, with the kind of item the listing gives for it (DT_DIR, DT_REG,
// DT_LNK, ...; DT_UNKNOWN where the file system does not say). A symbolic link is DT_LNK whatever
// it leads to.
struct FolderName {
    std::string name;
    unsigned char kind = 0;
};

// The folder's names in the order the file system lists them, "." and ".." left out, and the
// path at which the folder was listed. Nothing is asked of the items themselves, so that a walk
// that can tell from a name and kind that it wants nothing of an item costs nothing for it
// (FSMakeItemRef examines the others). changed is set when the folder was modified while it was
// read. -50 when an output is missing.
[[nodiscard]] int16_t FSGetDirectoryNames(const FSRef* folder, std::string* folderPath,
                                          std::vector<FolderName>* names, bool* changed);
