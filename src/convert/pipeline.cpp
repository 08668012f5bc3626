// SPDX-License-Identifier: GPL-3.0-or-later
// pipeline.cpp - decoding and encoding steps shared by the picture and sound paths.
#include "convert/pipeline.h"

#include "convert/input.h"

CodecPtr OpenStreamDecoder(const AVStream* stream, Failure* failure) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    const char* name = avcodec_get_name(stream->codecpar->codec_id);
    if (!codec) {
        failure->Set(ConvertStatus::kSourceFailed, std::string("no decoder for ") + name, 0);
        return nullptr;
    }
    CodecPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder) {
        failure->Set(ConvertStatus::kFailed, "out of memory", 0);
        return nullptr;
    }
    if (avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) {
        failure->Set(ConvertStatus::kFailed, "out of memory", 0);
        return nullptr;
    }
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = 0;  // as many as FFmpeg finds useful
    if (const int err = avcodec_open2(decoder.get(), codec, nullptr); err < 0) {
        failure->Set(
            ConvertStatus::kSourceFailed,
            std::string("the ") + name + " decoder refused the stream (" + AvErrorText(err) + ")",
            err);
        return nullptr;
    }
    return decoder;
}

int DecodePacket(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame,
                 const std::function<int(AVFrame*)>& take) {
    int err = avcodec_send_packet(decoder, packet);
    if (err == AVERROR_INVALIDDATA) return 0;
    if (err < 0 && err != AVERROR_EOF) return err;
    for (;;) {
        err = avcodec_receive_frame(decoder, frame);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return 0;
        // A frame that fails to decode is lost, as on a player; the rest still come.
        if (err == AVERROR_INVALIDDATA) continue;
        if (err < 0) return err;
        err = take(frame);
        av_frame_unref(frame);
        if (err < 0) return err;
    }
}

int EncodeFrame(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet, AVStream* stream,
                const PacketSink& sink) {
    int err = avcodec_send_frame(encoder, frame);
    if (err < 0 && err != AVERROR_EOF) return err;
    for (;;) {
        err = avcodec_receive_packet(encoder, packet);
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return 0;
        if (err < 0) return err;
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        err = sink(packet);
        av_packet_unref(packet);
        if (err < 0) return err;
    }
}
