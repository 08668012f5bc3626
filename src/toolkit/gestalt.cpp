// SPDX-License-Identifier: GPL-3.0-or-later
// gestalt.cpp - the version query: which system and movie toolkit the application runs on.
#include "toolkit/gestalt.h"

static constexpr int32_t kSystemVersion = 0x1049;
static int32_t gMovieToolkitVersion = 0;

OSStatus Gestalt(OSType selector, int32_t* response) {
    switch (selector) {
        case kGestaltSystemVersion:
            *response = kSystemVersion;
            return 0;
        case kGestaltQuickTimeVersion:
            *response = gMovieToolkitVersion;
            return 0;
        default:
            return kGestaltUndefSelectorErr;
    }
}

void SetMovieToolkitVersion(int32_t version) {
    gMovieToolkitVersion = version;
}
