// SPDX-License-Identifier: GPL-3.0-or-later
// transferglobals.cpp - what the copy job shares with the shell and its progress window.
#include "transfer/transferglobals.h"

CopyParam gCopyParam = {0, 0};
uint32_t gThreadID = 0;
bool gCopyCancelRequest = false;
int32_t gCopyTotal = 0;
int32_t gCopyCount = 0;
int32_t gCopyFileIndex = 0;
bool gCopyConverting = false;
uint64_t gTotalSize = 0;
uint64_t gCurrentSize = 0;
uint32_t gProgressStart = 0;
std::vector<std::string>* gVolumeList = nullptr;
