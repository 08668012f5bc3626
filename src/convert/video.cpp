// SPDX-License-Identifier: GPL-3.0-or-later
// video.cpp - the picture path: decoded frames placed in the PSP's 480 x 272 frame between
// black bars, at the movie's frame rate, encoded as H.264 Main profile level 3.0.
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

#include "convert/input.h"
#include "convert/pipeline.h"

namespace {

// Level 3.0's largest bit rate and decoder buffer (bits): held to, so that no peak of the
// encoder's rate control overflows the PSP's decoder.
constexpr int64_t kLevel30MaxBitRate = 10'000'000;
constexpr int kLevel30BufferBits = 10'000'000;

Ratio streamFrameRate(const AVStream* stream) {
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return {};
    return {rate.num, rate.den};
}

void blacken(AVFrame* frame) {
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? frame->height : (frame->height + 1) / 2;
        const int bytes = plane == 0 ? frame->width : (frame->width + 1) / 2;
        const int value = plane == 0 ? 16 : 128;  // black in limited-range YUV
        for (int row = 0; row < rows; ++row)
            std::memset(frame->data[plane] + row * frame->linesize[plane], value, size_t(bytes));
    }
}

bool isFullRangeFormat(int format) {
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
           format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
           format == AV_PIX_FMT_YUVJ411P;
}

// Bicubic, as the ffmpeg command line scales, and on as many threads as its filters get.
SwsContext* newScaler(const AVFrame* frame, const Placement& place) {
    SwsContext* scaler = sws_alloc_context();
    if (!scaler) return nullptr;
    av_opt_set_int(scaler, "srcw", frame->width, 0);
    av_opt_set_int(scaler, "srch", frame->height, 0);
    av_opt_set_int(scaler, "src_format", frame->format, 0);
    av_opt_set_int(scaler, "dstw", place.width, 0);
    av_opt_set_int(scaler, "dsth", place.height, 0);
    av_opt_set_int(scaler, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(scaler, "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(scaler, "threads", 0, 0);  // one per processor
    if (sws_init_context(scaler, nullptr, nullptr) < 0) {
        sws_freeContext(scaler);
        return nullptr;
    }
    return scaler;
}

}  // namespace

bool VideoPath::Open(const AVFormatContext* input, int stream, int64_t start,
                     AVFormatContext* output, int videoKbps, Failure* failure) {
    failure_ = failure;
    in_ = input->streams[stream];
    startPts_ = av_rescale_q(start, AV_TIME_BASE_Q, in_->time_base);
    decoder_ = OpenStreamDecoder(in_, failure);
    if (!decoder_) return false;

    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    encoder_.reset(x264 ? avcodec_alloc_context3(x264) : nullptr);
    decoded_.reset(av_frame_alloc());
    fitted_.reset(av_frame_alloc());
    scaled_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!x264) return failure->Fail(ConvertStatus::kNoEncoder, "no libx264 in this FFmpeg");
    if (!encoder_ || !decoded_ || !fitted_ || !scaled_ || !packet_)
        return failure->Fail(ConvertStatus::kFailed, "out of memory");

    const Ratio rate = ConvertedFrameRate(streamFrameRate(in_));
    AVCodecContext* encoder = encoder_.get();
    encoder->width = kPspWidth;
    encoder->height = kPspHeight;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->sample_aspect_ratio = AVRational{1, 1};
    encoder->time_base = AVRational{rate.den, rate.num};
    encoder->framerate = AVRational{rate.num, rate.den};
    encoder->bit_rate = int64_t(videoKbps) * 1000;
    encoder->rc_max_rate = kLevel30MaxBitRate;
    encoder->rc_buffer_size = kLevel30BufferBits;
    encoder->thread_count = 0;  // libx264's own choice, as the ffmpeg command line leaves it
    // The scaler keeps the picture's colour matrix, so the stream says which it is.
    encoder->color_primaries = in_->codecpar->color_primaries;
    encoder->color_trc = in_->codecpar->color_trc;
    encoder->colorspace = in_->codecpar->color_space;
    encoder->color_range = AVCOL_RANGE_MPEG;
    if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", "medium", 0);  // libx264's default, named for the reader
    av_dict_set(&options, "profile", "main", 0);
    av_dict_set(&options, "level", "3.0", 0);
    const int err = avcodec_open2(encoder, x264, &options);
    av_dict_free(&options);
    if (err < 0)
        return failure->Fail(ConvertStatus::kFailed,
                             "libx264 refused the settings (" + AvErrorText(err) + ")");

    out_ = avformat_new_stream(output, nullptr);
    if (!out_ || avcodec_parameters_from_context(out_->codecpar, encoder) < 0)
        return failure->Fail(ConvertStatus::kFailed, "out of memory");
    out_->time_base = encoder->time_base;
    out_->avg_frame_rate = encoder->framerate;
    out_->sample_aspect_ratio = encoder->sample_aspect_ratio;

    fitted_->width = kPspWidth;
    fitted_->height = kPspHeight;
    fitted_->format = AV_PIX_FMT_YUV420P;
    if (av_frame_get_buffer(fitted_.get(), 0) < 0)
        return failure->Fail(ConvertStatus::kFailed, "out of memory");
    return true;
}

int VideoPath::Send(const AVPacket* packet, const PacketSink& sink) {
    return DecodePacket(decoder_.get(), packet, decoded_.get(),
                        [&](AVFrame* frame) { return take(frame, sink); });
}

int VideoPath::Finish(const PacketSink& sink) {
    if (const int err = Send(nullptr, sink); err < 0) return err;
    return EncodeFrame(encoder_.get(), nullptr, packet_.get(), out_, sink);
}

// Each picture goes into the slot of the movie's rate nearest its time. Pictures that come
// faster than that rate share slots, and the first in a slot keeps it: this is how 60 frames
// a second become 30. Slots the source leaves empty repeat the picture before them, so that
// the movie keeps one rate throughout, as the ffmpeg command line keeps it.
int VideoPath::take(AVFrame* frame, const PacketSink& sink) {
    const int64_t pts = frame->best_effort_timestamp;
    int64_t slot = lastSlot_ + 1;
    if (pts != AV_NOPTS_VALUE) {
        slot = av_rescale_q_rnd(pts - startPts_, in_->time_base, encoder_->time_base,
                                AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        secondsDone_ = std::max(secondsDone_, double(pts - startPts_) * av_q2d(in_->time_base));
    }
    // The first picture opens the movie even when the sound begins earlier, so that a player
    // has a picture to show from the start.
    if (lastSlot_ < 0) slot = 0;
    if (slot <= lastSlot_) return 0;
    // A jump in the source's times longer than this is left as a gap rather than filled.
    const int64_t repeatsAtMost = 60 * encoder_->time_base.den / encoder_->time_base.num;
    const int64_t repeatUntil = std::min(slot, lastSlot_ + 1 + repeatsAtMost);
    for (int64_t empty = lastSlot_ + 1; lastSlot_ >= 0 && empty < repeatUntil; ++empty) {
        if (const int err = encode(empty, sink); err < 0) return err;
    }
    if (const int err = fit(frame); err < 0) return err;
    lastSlot_ = slot;
    return encode(slot, sink);
}

// The picture last fitted, into the slot.
int VideoPath::encode(int64_t slot, const PacketSink& sink) {
    fitted_->pts = slot;
    ++framesEncoded_;
    return EncodeFrame(encoder_.get(), fitted_.get(), packet_.get(), out_, sink);
}

int VideoPath::fit(const AVFrame* frame) {
    const bool resized = frame->width != sourceWidth_ || frame->height != sourceHeight_ ||
                         frame->format != sourceFormat_;
    if (resized) {
        const AVRational sar = in_->sample_aspect_ratio.num > 0 ? in_->sample_aspect_ratio
                                                                : frame->sample_aspect_ratio;
        place_ = PlacePicture(frame->width, frame->height, {sar.num, sar.den});
        scaler_.reset(newScaler(frame, place_));
        if (!scaler_) {
            return failure_->Set(ConvertStatus::kSourceFailed, "its pictures cannot be scaled",
                                 AVERROR(EINVAL));
        }
        // Full-range pictures (from cameras, often) are squeezed into the range the PSP shows;
        // the scaler knows the "J" formats as full range by itself.
        if (frame->color_range == AVCOL_RANGE_JPEG && !isFullRangeFormat(frame->format)) {
            const int* matrix = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(scaler_.get(), matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);
        }
        av_frame_unref(scaled_.get());
        scaled_->width = place_.width;
        scaled_->height = place_.height;
        scaled_->format = AV_PIX_FMT_YUV420P;
        if (av_frame_get_buffer(scaled_.get(), 0) < 0)
            return failure_->Set(ConvertStatus::kFailed, "out of memory", AVERROR(ENOMEM));
        sourceWidth_ = frame->width;
        sourceHeight_ = frame->height;
        sourceFormat_ = frame->format;
    }
    // The encoder may still hold the last picture; then this gives a copy to draw on.
    if (av_frame_make_writable(fitted_.get()) < 0)
        return failure_->Set(ConvertStatus::kFailed, "out of memory", AVERROR(ENOMEM));
    if (resized) blacken(fitted_.get());
    // The scaler writes whole vector widths past the end of each line, so it draws into a
    // picture of its own, which is copied between the bars.
    if (const int err = sws_scale_frame(scaler_.get(), scaled_.get(), frame); err < 0)
        return failure_->Set(ConvertStatus::kFailed, "scaling a picture failed", err);
    AVFrame* to = fitted_.get();
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int rows = place_.height >> shift;
        const size_t bytes = size_t(place_.width >> shift);
        uint8_t* at =
            to->data[plane] + (place_.y >> shift) * to->linesize[plane] + (place_.x >> shift);
        for (int row = 0; row < rows; ++row) {
            std::memcpy(at + row * to->linesize[plane],
                        scaled_->data[plane] + row * scaled_->linesize[plane], bytes);
        }
    }
    return 0;
}
