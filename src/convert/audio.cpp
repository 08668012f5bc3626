// SPDX-License-Identifier: GPL-3.0-or-later
// audio.cpp - the sound path: decoded sound in any layout down-mixed to stereo, resampled to
// 48 kHz and encoded as AAC-LC at 128 kbit/s by FFmpeg's own encoder.
#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include "convert/input.h"
#include "convert/pipeline.h"

namespace {

constexpr int kSampleRate = 48000;
constexpr AVRational kSampleTime{1, kSampleRate};
// Silence put in front of sound that starts late, per step.
constexpr int kSilenceStep = 4096;

}  // namespace

bool AudioPath::Open(const AVFormatContext* input, int stream, int64_t start,
                     AVFormatContext* output, Failure* failure) {
    failure_ = failure;
    start_ = start;
    const AVCodec* aac = avcodec_find_encoder_by_name("aac");
    encoder_.reset(aac ? avcodec_alloc_context3(aac) : nullptr);
    decoded_.reset(av_frame_alloc());
    chunk_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    queue_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, kSilenceStep));
    if (!aac) return failure->Fail(ConvertStatus::kNoEncoder, "no AAC encoder in this FFmpeg");
    if (!encoder_ || !decoded_ || !chunk_ || !packet_ || !queue_)
        return failure->Fail(ConvertStatus::kFailed, "out of memory");

    AVCodecContext* encoder = encoder_.get();
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->sample_rate = kSampleRate;
    encoder->time_base = kSampleTime;
    encoder->bit_rate = int64_t(kAudioKbps) * 1000;
    encoder->profile = FF_PROFILE_AAC_LOW;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (av_channel_layout_copy(&encoder->ch_layout, &stereo) < 0)
        return failure->Fail(ConvertStatus::kFailed, "out of memory");
    if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int err = avcodec_open2(encoder, aac, nullptr); err < 0)
        return failure->Fail(ConvertStatus::kFailed,
                             "the AAC encoder refused the settings (" + AvErrorText(err) + ")");

    // The PSP's muxer wants a sound stream even for a silent movie; one without packets
    // leaves no track in the file.
    out_ = avformat_new_stream(output, nullptr);
    if (!out_ || avcodec_parameters_from_context(out_->codecpar, encoder) < 0)
        return failure->Fail(ConvertStatus::kFailed, "out of memory");
    out_->time_base = kSampleTime;

    if (stream < 0) return true;
    in_ = input->streams[stream];
    decoder_ = OpenStreamDecoder(in_, failure);
    return decoder_ != nullptr;
}

int AudioPath::Send(const AVPacket* packet, const PacketSink& sink) {
    if (!decoder_) return 0;
    return DecodePacket(decoder_.get(), packet, decoded_.get(),
                        [&](AVFrame* frame) { return take(frame, sink); });
}

int AudioPath::Finish(const PacketSink& sink) {
    if (!decoder_) return 0;
    if (const int err = Send(nullptr, sink); err < 0) return err;
    if (resampler_) {
        if (const int err = resample(nullptr); err < 0) return err;
    }
    if (const int err = encodeQueued(true, sink); err < 0) return err;
    return EncodeFrame(encoder_.get(), nullptr, packet_.get(), out_, sink);
}

int AudioPath::take(AVFrame* frame, const PacketSink& sink) {
    if (!started_) {
        started_ = true;
        // Sound that begins after the movie does gets silence in front, so that it starts at
        // 0 like the pictures and stays in step with them.
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            const int64_t begins =
                av_rescale_q(frame->best_effort_timestamp, in_->time_base, kSampleTime) -
                av_rescale_q(start_, AV_TIME_BASE_Q, kSampleTime);
            if (const int err = queueSilence(begins, sink); err < 0) return err;
        }
    }
    if (const int err = resample(frame); err < 0) return err;
    return encodeQueued(false, sink);
}

// Into the queue at 48 kHz stereo; a null frame drains what the resampler holds back.
int AudioPath::resample(const AVFrame* frame) {
    if (frame) {
        AVChannelLayout layout{};
        int err = av_channel_layout_copy(&layout, &frame->ch_layout);
        if (err < 0) return failure_->Set(ConvertStatus::kFailed, "out of memory", err);
        // A stream that counts its channels without naming them gets the usual layout.
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&layout, layout.nb_channels);
        const bool changed = !resampler_ || av_channel_layout_compare(&layout, &sourceLayout_) ||
                             frame->format != sourceFormat_ || frame->sample_rate != sourceRate_;
        if (changed) {
            SwrContext* resampler = nullptr;
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            err =
                swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLTP, kSampleRate, &layout,
                                    AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
            if (err >= 0) err = swr_init(resampler);
            resampler_.reset(resampler);
            if (err < 0) {
                av_channel_layout_uninit(&layout);
                return failure_->Set(ConvertStatus::kSourceFailed,
                                     "its sound cannot be converted (" + AvErrorText(err) + ")",
                                     err);
            }
            av_channel_layout_uninit(&sourceLayout_);
            sourceLayout_ = layout;
            sourceFormat_ = frame->format;
            sourceRate_ = frame->sample_rate;
        } else {
            av_channel_layout_uninit(&layout);
        }
    }
    const int inputSamples = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(resampler_.get(), inputSamples);
    if (room < 0) return failure_->Set(ConvertStatus::kFailed, "the resampler failed", room);
    for (std::vector<float>& channel : resampled_) {
        if (channel.size() < size_t(room)) channel.resize(size_t(room));
    }
    uint8_t* planes[2] = {reinterpret_cast<uint8_t*>(resampled_[0].data()),
                          reinterpret_cast<uint8_t*>(resampled_[1].data())};
    const int made = swr_convert(
        resampler_.get(), planes, room,
        frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inputSamples);
    if (made < 0) return failure_->Set(ConvertStatus::kFailed, "the resampler failed", made);
    if (av_audio_fifo_write(queue_.get(), reinterpret_cast<void**>(planes), made) < made)
        return failure_->Set(ConvertStatus::kFailed, "out of memory", AVERROR(ENOMEM));
    return 0;
}

int AudioPath::queueSilence(int64_t samples, const PacketSink& sink) {
    static const std::vector<float> silence(kSilenceStep, 0.0f);
    void* planes[2] = {const_cast<float*>(silence.data()), const_cast<float*>(silence.data())};
    while (samples > 0) {
        const int step = int(std::min<int64_t>(samples, kSilenceStep));
        if (av_audio_fifo_write(queue_.get(), planes, step) < step)
            return failure_->Set(ConvertStatus::kFailed, "out of memory", AVERROR(ENOMEM));
        samples -= step;
        if (const int err = encodeQueued(false, sink); err < 0) return err;
    }
    return 0;
}

// Encodes whole encoder frames from the queue; with `all`, the short rest as well.
int AudioPath::encodeQueued(bool all, const PacketSink& sink) {
    const int frameSize = encoder_->frame_size;
    const bool shortLastFrame = encoder_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    for (;;) {
        const int queued = av_audio_fifo_size(queue_.get());
        if (queued == 0 || (queued < frameSize && !all)) return 0;
        const int take = std::min(queued, frameSize);
        AVFrame* chunk = chunk_.get();
        chunk->nb_samples = shortLastFrame ? take : frameSize;
        chunk->format = AV_SAMPLE_FMT_FLTP;
        chunk->sample_rate = kSampleRate;
        int err = av_channel_layout_copy(&chunk->ch_layout, &encoder_->ch_layout);
        // A fresh buffer each time: the encoder may keep the last one.
        if (err >= 0) err = av_frame_get_buffer(chunk, 0);
        if (err < 0) return failure_->Set(ConvertStatus::kFailed, "out of memory", err);
        if (take < chunk->nb_samples)
            av_samples_set_silence(chunk->data, 0, chunk->nb_samples, 2, AV_SAMPLE_FMT_FLTP);
        av_audio_fifo_read(queue_.get(), reinterpret_cast<void**>(chunk->data), take);
        chunk->pts = samplesEncoded_;
        samplesEncoded_ += take;
        err = EncodeFrame(encoder_.get(), chunk, packet_.get(), out_, sink);
        av_frame_unref(chunk);
        if (err < 0) return err;
    }
}
