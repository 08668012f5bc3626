// SPDX-License-Identifier: GPL-3.0-or-later
// quiet_log.cpp - FFmpeg's log silenced for the tests, as the application silences it; what
// went wrong shows in the results instead.
extern "C" {
#include <libavutil/log.h>
}

static const bool kQuiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
}();
