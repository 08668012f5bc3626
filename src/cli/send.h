// SPDX-License-Identifier: GPL-3.0-or-later
// send.h - moviestick-cli send: movies copied to the PSP memory stick without a window.
#pragma once

#include "cli/args.h"

// Sends the files to the one memory stick mounted, or to --device. The exit status: 0 when
// every movie went, 1 when some did not (each named with its reason), 2 when several sticks are
// mounted and none is named. A signal (Ctrl+C) cancels the send, removing the partial file;
// after the summary the program ends by that signal.
[[nodiscard]] int SendCommand(const ParsedCommand& parsed);
