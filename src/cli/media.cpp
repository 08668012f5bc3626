// SPDX-License-Identifier: GPL-3.0-or-later
// media.cpp - moviestick-cli-media: the commands of moviestick-cli that encode video (convert,
// and send, which converts what the PSP cannot play). moviestick-cli execs it with its own
// arguments, so that its other commands never load FFmpeg or Qt.
#include "cli/args.h"
#include "cli/convertcommand.h"
#include "cli/helper.h"
#include "cli/send.h"

int main(int argc, char** argv) {
    return RunHelperCommand(
        kMediaHelper, argc, argv, [](const std::string& name, const ParsedCommand& parsed) {
            return name == "send" ? SendCommand(parsed) : ConvertCommand(parsed);
        });
}
