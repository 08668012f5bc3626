// transferglobals.cpp - what the copy job shares with the shell.
#include "app/transferglobals.h"

uint32_t gThreadID = 0;
bool gCopyCancelRequest = false;
std::vector<std::string>* gVolumeList = nullptr;
