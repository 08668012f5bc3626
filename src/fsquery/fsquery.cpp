// SPDX-License-Identifier: GPL-3.0-or-later
// fsquery.cpp - file and volume queries on top of the toolkit's file references and mount table.
#include "fsquery/fsquery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "toolkit/volumes.h"

int16_t FSGetVRefNum(const FSRef* ref, FSVolumeRefNum* volume) {
    if (!volume) return kParamErr;
    FSCatalogInfo info;
    const int16_t status = FSGetCatalogInfo(ref, kFSCatInfoVolume, &info, nullptr);
    if (status == kNoErr) *volume = info.volume;
    return status;
}

int16_t FSGetVInfo(FSVolumeRefNum volume, HFSUniStr255* name, uint64_t* freeBytes,
                   uint64_t* totalBytes) {
    MountEntry entry;
    int16_t status = FindVolume(volume, &entry);
    if (status != kNoErr) return status;
    // A size query can block on a network volume that went away; only make it when asked.
    uint64_t freeCount = 0, totalCount = 0;
    if (freeBytes || totalBytes) {
        status = GetVolumeSizes(entry, &freeCount, &totalCount);
        if (status != kNoErr) return status;
    }
    if (name) *name = HFSUniStr255FromUtf8Name(VolumeLabel(entry.mountPoint));
    if (freeBytes) *freeBytes = freeCount;
    if (totalBytes) *totalBytes = totalCount;
    return kNoErr;
}

int16_t FSGetVolFileSystemID(FSVolumeRefNum volume, uint16_t* fileSystemID, uint16_t* signature) {
    MountEntry entry;
    const int16_t status = FindVolume(volume, &entry);
    if (status != kNoErr) return status;
    if (fileSystemID) *fileSystemID = FileSystemIDForType(entry.fileSystemType);
    if (signature) *signature = FileSystemSignatureForType(entry.fileSystemType);
    return kNoErr;
}

int16_t FSGetMountedVolumes(std::vector<FSRef>* volumeRoots, int* count) {
    if (!volumeRoots || !count) return kParamErr;
    *count = 0;
    volumeRoots->clear();
    try {
        std::vector<MountEntry> volumes;
        const int16_t status = ReadVolumeTable(&volumes);
        if (status != kNoErr) return status;
        for (const MountEntry& volume : volumes) {
            // A mount point that cannot be reached (a FUSE volume whose program has died, a
            // folder we may not enter) is no volume anyone can send to.
            FSRef root;
            if (FSPathMakeRef(volume.mountPoint.c_str(), &root) != kNoErr) continue;
            volumeRoots->push_back(std::move(root));
        }
    } catch (const std::bad_alloc&) {
        volumeRoots->clear();
        return kMemFullErr;
    }
    *count = int(volumeRoots->size());
    return kNoErr;
}

int16_t FSGetFileDirName(const FSRef* ref, HFSUniStr255* name) {
    if (!name) return kParamErr;
    return FSGetCatalogInfo(ref, kFSCatInfoNone, nullptr, name);
}

int16_t FSGetForkSizes(const FSRef* ref, uint64_t* dataSize, uint64_t* rsrcSize) {
    uint32_t which = kFSCatInfoNodeFlags;
    if (dataSize) which |= kFSCatInfoDataSizes;
    if (rsrcSize) which |= kFSCatInfoRsrcSizes;
    FSCatalogInfo info;
    const int16_t status = FSGetCatalogInfo(ref, which, &info, nullptr);
    if (status != kNoErr) return status;
    if (info.nodeFlags & kFSNodeIsDirectoryMask) return kNotAFileErr;
    if (dataSize) *dataSize = info.dataLogicalSize;
    if (rsrcSize) *rsrcSize = info.rsrcLogicalSize;
    return kNoErr;
}

static bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Calls each(fd, entry) for every entry of the open folder but "." and "..", in listing order,
// and sets *changed when the folder was modified meanwhile.
template <typename Each>
static int16_t ReadFolder(DIR* dir, bool* changed, Each each) {
    const int fd = dirfd(dir);
    struct stat before;
    if (fstat(fd, &before) != 0) return StatusFromErrno(errno);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            if (errno != 0) return StatusFromErrno(errno);
            break;
        }
        if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, "..")) continue;
        each(fd, entry);
    }
    struct stat after;
    if (fstat(fd, &after) == 0 && !SameTime(before.st_mtim, after.st_mtim)) *changed = true;
    return kNoErr;
}

// Opens the folder at its current path and reads it with `read`; on failure `clear` empties what
// was gathered. The path is handed out on success.
template <typename Read, typename Clear>
static int16_t ListFolder(const FSRef* folder, bool* changed, std::string* listedAt, Read read,
                          Clear clear) {
    *changed = false;
    clear();
    std::string path;
    int16_t status = FSRefCurrentPath(folder, &path);
    if (status != kNoErr) return status;
    DIR* dir = opendir(path.c_str());
    if (!dir) return errno == ENOTDIR ? kErrFSNotAFolder : StatusFromErrno(errno);
    try {
        status = read(dir, path);
    } catch (const std::bad_alloc&) {
        status = kMemFullErr;
    }
    closedir(dir);
    if (status != kNoErr) {
        clear();
        return status;
    }
    *listedAt = std::move(path);
    return kNoErr;
}

int16_t FSGetDirectoryItems(const FSRef* folder, std::vector<FSRef>* items, int* count,
                            bool* changed) {
    if (!folder || !items || !count || !changed) return kParamErr;
    *count = 0;
    std::string path;
    const int16_t status = ListFolder(
        folder, changed, &path,
        [&](DIR* dir, const std::string& at) {
            // Each item's identity is that of what it opens, as FSPathMakeRef gives it, so that
            // the same file reached through a link and directly compares equal.
            const std::string prefix = at == "/" ? at : at + "/";
            return ReadFolder(dir, changed, [&](int fd, const dirent* entry) {
                // An item that cannot be examined (gone since it was listed; a link that leads
                // nowhere, round in a circle, through a file or into a folder we may not enter)
                // is left out: one such item must not take the rest of the folder with it.
                struct stat st;
                if (fstatat(fd, entry->d_name, &st, 0) != 0) return;
                FSRef item;
                item.path = prefix + entry->d_name;
                item.device = st.st_dev;
                item.inode = st.st_ino;
                item.valid = true;
                items->push_back(std::move(item));
            });
        },
        [items] { items->clear(); });
    if (status == kNoErr) *count = int(items->size());
    return status;
}

int16_t FSGetDirectoryNames(const FSRef* folder, std::string* folderPath,
                            std::vector<FolderName>* names, bool* changed) {
    if (!folder || !folderPath || !names || !changed) return kParamErr;
    return ListFolder(
        folder, changed, folderPath,
        [&](DIR* dir, const std::string&) {
            return ReadFolder(dir, changed, [names](int, const dirent* entry) {
                names->push_back(FolderName{entry->d_name, entry->d_type});
            });
        },
        [names] { names->clear(); });
}
