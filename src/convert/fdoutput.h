// SPDX-License-Identifier: GPL-3.0-or-later
// fdoutput.h - an FFmpeg output that writes and seeks on a file descriptor the caller opened,
// at positions of its own, so the descriptor's offset does not matter.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavformat/avio.h>
}

struct FdOutput {
    int fd = -1;
    int64_t position = 0;
    int64_t end = 0;  // the furthest byte written
    int error = 0;    // errno of the first failed write, 0 while all went well
};

// A context writing through `output`, which must outlive it; null when memory is short.
[[nodiscard]] AVIOContext* OpenFdOutput(FdOutput* output);
// Frees the context and its buffer (without writing what it holds); sets it to null.
void CloseFdOutput(AVIOContext** context);
// What a failed write's errno means to the user.
[[nodiscard]] std::string WriteFailureText(int error);
