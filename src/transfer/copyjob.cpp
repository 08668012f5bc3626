// copyjob.cpp - sending movies to the device (not built yet: nothing is sent).
#include "transfer/copyjob.h"

bool CheckFreeSpace(DataBrowserItemState) {
    return false;
}

int16_t SendToPSP(DataBrowserItemState) {
    return -1;
}

void* ThreadCopyProc(void*) {
    return nullptr;
}

int16_t CopyFile(const FSRef*, const FSRef*, const HFSUniStr255*) {
    return -50;
}
