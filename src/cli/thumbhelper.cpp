// SPDX-License-Identifier: GPL-3.0-or-later
// thumbhelper.cpp - moviestick-cli-thumb: moviestick-cli's thumb command, in a program of its
// own that loads FFmpeg and Qt's images but no widgets, sound or D-Bus, whose loading would be
// most of the command's time.
#include "cli/args.h"
#include "cli/helper.h"
#include "cli/thumb.h"

int main(int argc, char** argv) {
    return RunHelperCommand(
        kThumbHelper, argc, argv,
        [](const std::string&, const ParsedCommand& parsed) { return ThumbCommand(parsed); });
}
