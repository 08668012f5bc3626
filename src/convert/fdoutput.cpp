// SPDX-License-Identifier: GPL-3.0-or-later
// fdoutput.cpp - FFmpeg's output on a file descriptor.
#include "convert/fdoutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace {

// Large writes suit a slow USB stick; the muxer fills the buffer before each one.
constexpr int kBufferSize = 1 << 20;

int writePacket(void* opaque, uint8_t* buf, int size) {
    auto* output = static_cast<FdOutput*>(opaque);
    if (output->error) return AVERROR(output->error);
    int done = 0;
    while (done < size) {
        const ssize_t n =
            pwrite(output->fd, buf + done, size_t(size - done), output->position + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write that moves nothing without an error would loop for ever; call it full.
            output->error = n < 0 ? errno : ENOSPC;
            return AVERROR(output->error);
        }
        done += int(n);
    }
    output->position += size;
    if (output->position > output->end) output->end = output->position;
    return size;
}

int64_t seek(void* opaque, int64_t offset, int whence) {
    auto* output = static_cast<FdOutput*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return output->end;
    int64_t to = -1;
    if (whence == SEEK_SET) to = offset;
    if (whence == SEEK_CUR) to = output->position + offset;
    if (whence == SEEK_END) to = output->end + offset;
    if (to < 0) return AVERROR(EINVAL);
    output->position = to;
    return to;
}

}  // namespace

AVIOContext* OpenFdOutput(FdOutput* output) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) return nullptr;
    AVIOContext* context =
        avio_alloc_context(buffer, kBufferSize, 1, output, nullptr, writePacket, seek);
    if (!context) av_free(buffer);
    return context;
}

void CloseFdOutput(AVIOContext** context) {
    if (!*context) return;
    av_freep(&(*context)->buffer);
    avio_context_free(context);
}

std::string WriteFailureText(int error) {
    if (error == ENOSPC || error == EDQUOT) return "the disk is full";
    if (error == EIO) return "the disk could not be written (input/output error)";
    return std::string("the movie could not be written (") + std::strerror(error) + ")";
}
