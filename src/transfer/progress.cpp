// progress.cpp - the progress window of a send (not built yet).
#include "transfer/progress.h"

int16_t ProgressStart(WindowRef) {
    return 0;
}

OSStatus WindowHandlerProgress(const EventRecord&, void*) {
    return kEventNotHandledErr;
}

void ProgressIdle(WindowRef, int32_t, int32_t, uint64_t, uint64_t) {}
