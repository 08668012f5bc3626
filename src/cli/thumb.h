// SPDX-License-Identifier: GPL-3.0-or-later
// thumb.h - moviestick-cli's thumbnail command: each movie's ".THM" from one of its frames.
#pragma once

#include "cli/args.h"

// Writes each movie's thumbnail file beside it (or to -o OUT) from the frame shown at --at
// SECONDS (by default a tenth of the way into the movie). A time at or past the movie's end is
// an error. 0, or 1 after one message on stderr for each movie that failed.
int ThumbCommand(const ParsedCommand& parsed);
