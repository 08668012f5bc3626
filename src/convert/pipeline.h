// SPDX-License-Identifier: GPL-3.0-or-later
// pipeline.h - the parts of a conversion: FFmpeg objects that free themselves, the first
// failure of a run, and the picture and sound paths from decoded input to encoded packets.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "convert/convert.h"
#include "convert/target.h"

struct CodecFreer {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct ResamplerFreer {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
struct FifoFreer {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFreer>;

// The first thing that went wrong in a run; what follows from it is not recorded again.
struct Failure {
    ConvertStatus status = ConvertStatus::kDone;
    std::string cause;

    // Records the failure unless one is there already, and gives back err.
    int Set(ConvertStatus what, const std::string& why, int err) {
        if (status == ConvertStatus::kDone) {
            status = what;
            cause = why;
        }
        return err;
    }
    // The same, for steps that answer true or false.
    bool Fail(ConvertStatus what, const std::string& why) {
        Set(what, why, 0);
        return false;
    }
};

// Takes an encoded packet, its times in its stream's time base, and writes it to the movie;
// a negative FFmpeg error stops the run (AVERROR_EXIT when it was cancelled).
using PacketSink = std::function<int(AVPacket* packet)>;

// A decoder for the stream, on FFmpeg's threads; null after recording the failure.
[[nodiscard]] CodecPtr OpenStreamDecoder(const AVStream* stream, Failure* failure);
// Feeds the packet (null: the end of the stream) to the decoder and hands each frame it gives
// to `take`. Damaged packets are skipped, as a player skips them.
[[nodiscard]] int DecodePacket(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame,
                               const std::function<int(AVFrame*)>& take);
// Feeds the frame (null: the end) to the encoder and sinks each packet it gives.
[[nodiscard]] int EncodeFrame(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet,
                              AVStream* stream, const PacketSink& sink);

// Decoded pictures, placed in the PSP's frame at its rate and encoded with libx264.
class VideoPath {
public:
    // Opens the decoder and the encoder and adds the movie's video stream. `start` is the
    // input time (AV_TIME_BASE) that becomes 0 in the movie.
    [[nodiscard]] bool Open(const AVFormatContext* input, int stream, int64_t start,
                            AVFormatContext* output, int videoKbps, Failure* failure);
    [[nodiscard]] int Send(const AVPacket* packet, const PacketSink& sink);
    // Drains the decoder and the encoder.
    [[nodiscard]] int Finish(const PacketSink& sink);

    int64_t framesEncoded() const { return framesEncoded_; }
    // Input seconds from the start up to the last picture decoded.
    double secondsDone() const { return secondsDone_; }

private:
    int take(AVFrame* frame, const PacketSink& sink);
    [[nodiscard]] int fit(const AVFrame* frame);
    [[nodiscard]] int encode(int64_t slot, const PacketSink& sink);

    const AVStream* in_ = nullptr;
    AVStream* out_ = nullptr;
    int64_t startPts_ = 0;  // in the input stream's time base
    CodecPtr decoder_;
    CodecPtr encoder_;
    ScalerPtr scaler_;
    FramePtr decoded_;
    FramePtr fitted_;  // the PSP's frame: the picture between its bars
    FramePtr scaled_;  // the picture at its size in that frame
    PacketPtr packet_;
    Placement place_;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int sourceFormat_ = -1;
    int64_t lastSlot_ = -1;  // the last slot of the movie's frame rate that holds a picture
    int64_t framesEncoded_ = 0;
    double secondsDone_ = 0;
    Failure* failure_ = nullptr;
};

// Decoded sound, down-mixed to stereo, resampled to 48 kHz and encoded with FFmpeg's AAC
// encoder. Without input sound the movie's sound stream gets no packets, and so no track.
class AudioPath {
public:
    AudioPath() = default;
    AudioPath(const AudioPath&) = delete;
    AudioPath& operator=(const AudioPath&) = delete;
    ~AudioPath() { av_channel_layout_uninit(&sourceLayout_); }

    // stream is -1 when the video has no sound.
    [[nodiscard]] bool Open(const AVFormatContext* input, int stream, int64_t start,
                            AVFormatContext* output, Failure* failure);
    [[nodiscard]] int Send(const AVPacket* packet, const PacketSink& sink);
    [[nodiscard]] int Finish(const PacketSink& sink);

private:
    int take(AVFrame* frame, const PacketSink& sink);
    [[nodiscard]] int resample(const AVFrame* frame);
    [[nodiscard]] int queueSilence(int64_t samples, const PacketSink& sink);
    [[nodiscard]] int encodeQueued(bool all, const PacketSink& sink);

    const AVStream* in_ = nullptr;
    AVStream* out_ = nullptr;
    int64_t start_ = 0;  // AV_TIME_BASE
    CodecPtr decoder_;
    CodecPtr encoder_;
    ResamplerPtr resampler_;
    FifoPtr queue_;
    FramePtr decoded_;
    FramePtr chunk_;
    PacketPtr packet_;
    std::vector<float> resampled_[2];  // the resampler's output, one buffer per channel
    AVChannelLayout sourceLayout_{};
    int sourceFormat_ = -1;
    int sourceRate_ = 0;
    bool started_ = false;
    int64_t samplesEncoded_ = 0;
    Failure* failure_ = nullptr;
};
