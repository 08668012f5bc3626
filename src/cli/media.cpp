// SPDX-License-Identifier: GPL-3.0-or-later
// media.cpp - moviestick-cli-media: the commands of moviestick-cli that decode or encode video
// (thumb, convert, send). moviestick-cli execs it with its own arguments, so that its other
// commands never load FFmpeg or Qt.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/convertcommand.h"
#include "cli/send.h"
#include "cli/thumb.h"

extern "C" {
#include <libavutil/log.h>
}

static int run(int argc, char** argv) {
    const CommandDef* def = argc >= 2 ? FindCommand(argv[1]) : nullptr;
    if (!def || !def->media) return UsageError(nullptr, "not a command of the media helper");
    ParsedCommand parsed;
    if (int status = kExitOk; !PrepareCommand(*def, argc, argv, &parsed, &status)) return status;
    // FFmpeg's own log (the encoders' statistics, a demuxer's complaints) is not for the user:
    // each failure comes back as one line naming the file and its cause.
    av_log_set_level(AV_LOG_QUIET);
    const std::string name = def->name;
    if (name == "send") return SendCommand(parsed);
    return name == "thumb" ? ThumbCommand(parsed) : ConvertCommand(parsed);
}

int main(int argc, char** argv) {
    int status = run(argc, argv);
    if (fflush(stdout) != 0 && status == kExitOk) {
        fprintf(stderr, "moviestick-cli: cannot write the output: %s\n", strerror(errno));
        status = kExitFailure;
    }
    return status;
}
