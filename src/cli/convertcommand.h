// SPDX-License-Identifier: GPL-3.0-or-later
// convertcommand.h - moviestick-cli's convert command: a PSP-ready copy beside each video.
#pragma once

#include "cli/args.h"

// Converts each video into "NAME (PSP).mp4" in its folder (or -o OUT), never over an existing
// file, carrying its title over, with a progress line when stderr is a terminal. SIGINT and
// SIGTERM stop the conversion and remove the partial file; the process then ends by the same
// signal, as a script expects. 0, or 1 after a message for each video that failed.
int ConvertCommand(const ParsedCommand& parsed);
