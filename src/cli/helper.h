// SPDX-License-Identifier: GPL-3.0-or-later
// helper.h - what the helpers that moviestick-cli execs share: the arguments read as it reads
// them, FFmpeg's log silenced, and the output flushed with a failure to write it reported.
#pragma once

#include <string>

#include "cli/args.h"

// Runs the command named by argv[1], which must be one of this helper's (`helper`, a name of
// args.h), through `command`; the exit status.
int RunHelperCommand(const char* helper, int argc, char** argv,
                     int (*command)(const std::string& name, const ParsedCommand& parsed));
