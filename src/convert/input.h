// SPDX-License-Identifier: GPL-3.0-or-later
// input.h - opening a video with FFmpeg and choosing its streams; shared by the facts reader
// and the conversion, so that both look at the same streams.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

// The reader under the format is the opener's own (see OpenVideoHeader) and is closed with it.
struct InputCloser {
    void operator()(AVFormatContext* format) const {
        AVIOContext* io = (format->flags & AVFMT_FLAG_CUSTOM_IO) ? format->pb : nullptr;
        avformat_close_input(&format);
        avio_closep(&io);
    }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;

// The file opened and its streams probed, or null with the cause in plain words. The interrupt
// callback (optional) lets a cancel stop a read that hangs.
[[nodiscard]] InputPtr OpenVideoInput(const std::string& path, std::string* cause,
                                      const AVIOInterruptCB* interrupt = nullptr);
// The file opened with what its header says, its streams not probed yet (ProbeStreams does it).
[[nodiscard]] InputPtr OpenVideoHeader(const std::string& path, std::string* cause);
// Probes the streams of a file opened by OpenVideoHeader; false with the cause when they cannot
// be read.
[[nodiscard]] bool ProbeStreams(AVFormatContext* format, std::string* cause);
// The video stream to show: FFmpeg's choice unless that is a cover picture. -1 when none.
[[nodiscard]] int PickVideoStream(const AVFormatContext* format);
// The audio stream that goes with it, -1 when none.
[[nodiscard]] int PickAudioStream(const AVFormatContext* format, int video);
// FFmpeg's text for an error code.
[[nodiscard]] std::string AvErrorText(int err);
