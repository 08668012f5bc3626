// entries.cpp - the movie entries' store: lookup by item ID, counts, totals and disposal.
#include "shared/entries.h"

#include <cstring>

std::vector<OpenFileInfo>* gOpenFile = nullptr;
std::vector<uint32_t>* gOpenFileID = nullptr;
uint32_t lastID = 0;
bool gStopOpen = false;

int GetOpenFileInfo(uint32_t itemID) {
    const int count = CountOpenFileInfo();
    for (int i = 0; i < count; ++i)
        if ((*gOpenFile)[i].itemID == itemID) return i;
    return -1;
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
    delete gOpenFile;
    gOpenFile = nullptr;
}
