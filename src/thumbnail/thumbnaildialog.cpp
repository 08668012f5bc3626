// thumbnaildialog.cpp - the frame-picking thumbnail dialog (not built yet).
#include "thumbnail/thumbnaildialog.h"

bool DoMakeThumbnail(WindowRef) {
    return false;
}

OSStatus DialogHandlerThumbnail(const EventRecord&, void*) {
    return kEventNotHandledErr;
}

void LittleArrowActionProc(ControlRef, int16_t) {}

void LayoutThumbnailDialog(WindowRef, int16_t, int16_t) {}
