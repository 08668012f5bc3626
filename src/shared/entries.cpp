// SPDX-License-Identifier: GPL-3.0-or-later
// entries.cpp - the movie entries' store: lookup by item ID, counts, totals and disposal.
#include "shared/entries.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

std::vector<OpenFileInfo>* gOpenFile = nullptr;
std::vector<uint32_t>* gOpenFileID = nullptr;
uint32_t lastID = 0;
bool gStopOpen = false;

int GetOpenFileInfo(uint32_t itemID) {
    if (!gOpenFile) return -1;
    const auto found =
        std::lower_bound(gOpenFile->begin(), gOpenFile->end(), itemID,
                         [](const OpenFileInfo& entry, uint32_t id) { return entry.itemID < id; });
    return found != gOpenFile->end() && found->itemID == itemID ? int(found - gOpenFile->begin())
                                                                : -1;
}

namespace {

struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator==(const FileKey&) const = default;
};

struct FileKeyHash {
    size_t operator()(const FileKey& key) const {
        return std::hash<uint64_t>()(uint64_t(key.inode) * 0x9E3779B97F4A7C15ull ^
                                     uint64_t(key.device));
    }
};

// Usually one item ID a file; more when a file rewritten under a new inode left an old mapping,
// or the file system gave a freed inode to another file.
std::unordered_multimap<FileKey, uint32_t, FileKeyHash> gFileIndex;

}  // namespace

bool IndexOpenFileRef(uint32_t itemID) {
    const OpenFileInfo* entry = FindOpenFileInfo(itemID);
    if (!entry || !entry->fileRef.valid) return true;
    const FileKey key{entry->fileRef.device, entry->fileRef.inode};
    auto [first, last] = gFileIndex.equal_range(key);
    for (auto it = first; it != last; ++it)
        if (it->second == itemID) return true;
    try {
        gFileIndex.emplace(key, itemID);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int FindListedOpenFile(const FSRef& ref, int count) {
    if (!ref.valid) return -1;
    const int searched = std::clamp(count, 0, CountOpenFileInfo());
    int first = -1;
    auto [it, last] = gFileIndex.equal_range(FileKey{ref.device, ref.inode});
    while (it != last) {
        const int index = GetOpenFileInfo(it->second);
        const FSRef* listed = index < 0 ? nullptr : &(*gOpenFile)[size_t(index)].fileRef;
        if (!listed || !listed->valid || listed->device != ref.device ||
            listed->inode != ref.inode) {
            it = gFileIndex.erase(it);
            continue;
        }
        if (index < searched && (first < 0 || index < first)) first = index;
        ++it;
    }
    return first;
}

void ClearOpenFileRefIndex() {
    gFileIndex.clear();
}

static void Unindex(const OpenFileInfo& entry) {
    auto [it, last] = gFileIndex.equal_range(FileKey{entry.fileRef.device, entry.fileRef.inode});
    for (; it != last; ++it) {
        if (it->second == entry.itemID) {
            gFileIndex.erase(it);
            return;
        }
    }
}

int RemoveOpenFileInfos(const uint32_t* itemIDs, int count) {
    const int listed = CountOpenFileInfo();
    if (listed == 0 || !itemIDs || count <= 0) return 0;
    std::vector<bool> gone(size_t(listed), false);
    size_t removed = 0;
    for (int i = 0; i < count; ++i) {
        const int index = GetOpenFileInfo(itemIDs[i]);
        if (index < 0 || gone[size_t(index)]) continue;
        gone[size_t(index)] = true;
        Unindex((*gOpenFile)[size_t(index)]);
        ++removed;
    }
    if (removed == 0) return 0;
    // Entries move without allocating, so compacting cannot fail and the arrays stay in step.
    // Both arrays hold the same IDs element for element; the ID array is compacted by the
    // same marks.
    std::vector<OpenFileInfo>& entries = *gOpenFile;
    size_t kept = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (gone[i]) continue;
        if (kept != i) entries[kept] = std::move(entries[i]);
        ++kept;
    }
    entries.erase(entries.begin() + ptrdiff_t(kept), entries.end());
    if (gOpenFileID && gOpenFileID->size() == gone.size()) {
        std::vector<uint32_t>& ids = *gOpenFileID;
        kept = 0;
        for (size_t i = 0; i < ids.size(); ++i)
            if (!gone[i]) ids[kept++] = ids[i];
        ids.erase(ids.begin() + ptrdiff_t(kept), ids.end());
    }
    return int(removed);
}

OpenFileInfo* FindOpenFileInfo(uint32_t itemID) {
    const int index = GetOpenFileInfo(itemID);
    return index < 0 ? nullptr : &(*gOpenFile)[size_t(index)];
}

int CountOpenFileInfo() {
    return gOpenFile ? int(gOpenFile->size()) : 0;
}

static uint64_t SumOver(const uint32_t* itemIDs, int count, uint64_t OpenFileInfo::*field) {
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        if (const OpenFileInfo* entry = FindOpenFileInfo(itemIDs[i])) total += entry->*field;
    }
    return total;
}

uint64_t GetOpenFileTotalSize(const uint32_t* itemIDs, int count) {
    return SumOver(itemIDs, count, &OpenFileInfo::fileSize);
}

uint64_t GetOpenFileTotalThumbnailSize(const uint32_t* itemIDs, int count) {
    return SumOver(itemIDs, count, &OpenFileInfo::thumbnailSize);
}

int OpenFileInfoCompareProc(const OpenFileInfo* a, const OpenFileInfo* b) {
    return strcmp(a->path.c_str(), b->path.c_str());
}

void DisposeOpenFileInfo() {
    ClearOpenFileRefIndex();
    delete gOpenFile;
    gOpenFile = nullptr;
}
