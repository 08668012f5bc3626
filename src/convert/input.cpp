// SPDX-License-Identifier: GPL-3.0-or-later
// input.cpp - opening a video with FFmpeg and choosing its streams.
#include "convert/input.h"

#include <cerrno>
#include <cstring>

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

// Whether the file opens as an ISO media file does: with a box "moov", or "ftyp" with a brand
// other than JPEG 2000's. FFmpeg's own probe rates both certain for its mov demuxer (and the
// JPEG 2000 brands all but ruled out).
static bool opensAsIsoMedia(const unsigned char* head, int size) {
    if (size < 8) return false;
    const auto typeIs = [head](size_t at, const char* type) {
        return std::memcmp(head + at, type, 4) == 0;
    };
    if (typeIs(4, "moov")) return true;
    if (!typeIs(4, "ftyp") || size < 12) return false;
    return !typeIs(8, "jp2 ") && !typeIs(8, "jpx ");
}

// Opens the format on the reader, which stays the caller's. avformat_open_input frees the
// context when it fails.
static int openFormat(AVIOContext* io, const std::string& path, const AVInputFormat* demuxer,
                      const AVIOInterruptCB* interrupt, AVFormatContext** opened) {
    AVFormatContext* format = avformat_alloc_context();
    if (!format) return AVERROR(ENOMEM);
    if (interrupt) format->interrupt_callback = *interrupt;
    format->pb = io;
    const int err = avformat_open_input(&format, path.c_str(), demuxer, nullptr);
    if (err >= 0) *opened = format;
    return err;
}

// The file is read through a reader of our own, so that its first bytes can be looked at before
// a demuxer is chosen: an MP4 goes straight to the mov demuxer, where FFmpeg's probe would ask
// every demuxer it has about those bytes, most of the time that reading a small movie's header
// takes. The bytes looked at stay in the reader's buffer, so the look costs no read of its own.
static InputPtr openInput(const std::string& path, std::string* cause,
                          const AVIOInterruptCB* interrupt) {
    AVIOContext* io = nullptr;
    int err = avio_open2(&io, path.c_str(), AVIO_FLAG_READ, interrupt, nullptr);
    AVFormatContext* format = nullptr;
    if (err >= 0) {
        unsigned char head[12];
        const int got = avio_read(io, head, sizeof head);
        err = int(avio_seek(io, 0, SEEK_SET));
        if (err >= 0 && opensAsIsoMedia(head, got)) {
            // Looked up once: the lookup compares the name with every demuxer's.
            static const AVInputFormat* const mov = av_find_input_format("mov");
            err = openFormat(io, path, mov, interrupt, &format);
            // What the mov demuxer refuses is probed as any other file is.
            if (err < 0 && err != AVERROR_EXIT) err = int(avio_seek(io, 0, SEEK_SET));
        }
        if (err >= 0 && !format) err = openFormat(io, path, nullptr, interrupt, &format);
    }
    if (!format) {
        avio_closep(&io);
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
