// SPDX-License-Identifier: GPL-3.0-or-later
// input.cpp - opening a video with FFmpeg and choosing its streams.
#include "convert/input.h"

#include <cerrno>

std::string AvErrorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

static std::string openFailure(int err) {
    if (err == AVERROR(ENOENT)) return "the file is missing";
    if (err == AVERROR(EACCES) || err == AVERROR(EPERM)) return "the file may not be read";
    if (err == AVERROR_INVALIDDATA) return "not a video FFmpeg can read";
    return "the file cannot be read (" + AvErrorText(err) + ")";
}

static InputPtr openInput(const std::string& path, std::string* cause,
                          const AVIOInterruptCB* interrupt) {
    AVFormatContext* format = avformat_alloc_context();
    if (!format) {
        *cause = "out of memory";
        return nullptr;
    }
    if (interrupt) format->interrupt_callback = *interrupt;
    // avformat_open_input frees the context when it fails.
    if (const int err = avformat_open_input(&format, path.c_str(), nullptr, nullptr); err < 0) {
        *cause = err == AVERROR_EXIT ? "cancelled" : openFailure(err);
        return nullptr;
    }
    return InputPtr(format);
}

bool ProbeStreams(AVFormatContext* format, std::string* cause) {
    if (const int err = avformat_find_stream_info(format, nullptr); err < 0) {
        *cause = err == AVERROR_EXIT ? "cancelled" : "its streams cannot be read";
        return false;
    }
    return true;
}

InputPtr OpenVideoHeader(const std::string& path, std::string* cause) {
    return openInput(path, cause, nullptr);
}

InputPtr OpenVideoInput(const std::string& path, std::string* cause,
                        const AVIOInterruptCB* interrupt) {
    InputPtr input = openInput(path, cause, interrupt);
    if (input && !ProbeStreams(input.get(), cause)) return nullptr;
    return input;
}

int PickVideoStream(const AVFormatContext* format) {
    const auto isMovie = [](const AVStream* stream) {
        return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
               !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
    };
    // av_find_best_stream takes no const context but does not change it.
    auto* mutableFormat = const_cast<AVFormatContext*>(format);
    const int best = av_find_best_stream(mutableFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && isMovie(format->streams[best])) return best;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (isMovie(format->streams[i])) return int(i);
    }
    return -1;
}

int PickAudioStream(const AVFormatContext* format, int video) {
    auto* mutableFormat = const_cast<AVFormatContext*>(format);
    const int best = av_find_best_stream(mutableFormat, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    return best >= 0 ? best : -1;
}
