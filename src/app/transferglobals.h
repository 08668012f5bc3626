// transferglobals.h - what the copy job shares with the shell: its thread, the cancel request,
// and the device volumes the pop-up offers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The copy thread's ID while a send runs; 0 when there is none.
extern uint32_t gThreadID;
// Set by a close or quit request during a send; the copy job stops at its next block.
extern bool gCopyCancelRequest;
// The root paths (ending in "/") of the PSP volumes in the device pop-up, slot i for item i + 1;
// null until the first device is found.
extern std::vector<std::string>* gVolumeList;
