// SPDX-License-Identifier: GPL-3.0-or-later
// helper.cpp - the main of moviestick-cli's helpers.
#include "cli/helper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

static int run(const char* helper, int argc, char** argv,
               int (*command)(const std::string&, const ParsedCommand&)) {
    const CommandDef* def = argc >= 2 ? FindCommand(argv[1]) : nullptr;
    if (!def || !def->helper || strcmp(def->helper, helper) != 0)
        return UsageError(nullptr, std::string("not a command of ") + helper);
    ParsedCommand parsed;
    if (int status = kExitOk; !PrepareCommand(*def, argc, argv, &parsed, &status)) return status;
    // FFmpeg's own log (the encoders' statistics, a demuxer's complaints) is not for the user:
    // each failure comes back as one line naming the file and its cause.
    av_log_set_level(AV_LOG_QUIET);
    return command(def->name, parsed);
}

int RunHelperCommand(const char* helper, int argc, char** argv,
                     int (*command)(const std::string& name, const ParsedCommand& parsed)) {
    int status = run(helper, argc, argv, command);
    if (fflush(stdout) != 0 && status == kExitOk) {
        fprintf(stderr, "moviestick-cli: cannot write the output: %s\n", strerror(errno));
        status = kExitFailure;
    }
    return status;
}
