// SPDX-License-Identifier: GPL-3.0-or-later
// movietoolkit.cpp - the movie toolkit on FFmpeg: movies, their times and exact frames.
#include "toolkit/movietoolkit.h"

#include <algorithm>
#include <cerrno>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "toolkit/fileref.h"
#include "toolkit/gestalt.h"

struct MovieRecord {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    int stream = -1;
    AVRational timeBase{1, 1};  // of the stream
    int64_t startTime = 0;      // the stream's first presentation time, in timeBase
    TimeScale timeScale = 1000;
    TimeValue duration = 0;
    TimeValue time = 0;
    int displayWidth = 0;
    int displayHeight = 0;
    // Where decoding stands, so that a later time close ahead (a playing movie) decodes on
    // instead of seeking again: the frame last shown, and the next one when already decoded.
    AVFrame* shown = nullptr;
    AVFrame* next = nullptr;
    AVPacket* packet = nullptr;
    bool positioned = false;  // shown is valid and decoding continues after it
    bool drained = false;     // no frames follow shown
    // Frames no other frame refers to are not decoded while presented before this time, in
    // timeBase: none of them can be the one wanted.
    int64_t skipBefore = AV_NOPTS_VALUE;
};

int16_t EnterMovies() {
    av_log_set_level(AV_LOG_QUIET);
    SetMovieToolkitVersion(kMovieToolkitVersion);
    return 0;
}

void ExitMovies() {
    SetMovieToolkitVersion(0);
}

static int16_t statusFromAv(int err) {
    if (err == AVERROR(ENOENT)) return kFnfErr;
    if (err == AVERROR(EACCES)) return kAfpAccessDenied;
    if (err == AVERROR(ENOMEM)) return kMemFullErr;
    return kInvalidMovie;
}

// The movie's time scale: the stream's own when it counts in whole ticks per second, so that
// movie times map onto frame times without rounding.
static TimeScale timeScaleOf(AVRational timeBase) {
    if (timeBase.num == 1 && timeBase.den > 0) return timeBase.den;
    return 90000;
}

static void displaySize(const AVCodecParameters* codec, AVRational sar, int* width, int* height) {
    *width = codec->width;
    *height = codec->height;
    if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
        *width = static_cast<int>(av_rescale(codec->width, sar.num, sar.den));
    *width = std::clamp(*width, 1, 0x7FFF);
    *height = std::clamp(*height, 1, 0x7FFF);
}

static int16_t openDecoder(MovieRecord* record) {
    AVStream* stream = record->format->streams[record->stream];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return kQtCodecErr;
    record->decoder = avcodec_alloc_context3(codec);
    if (!record->decoder) return kMemFullErr;
    if (avcodec_parameters_to_context(record->decoder, stream->codecpar) < 0) return kInvalidMovie;
    // As many threads as FFmpeg finds useful, on frames and on slices: a frame far past its
    // keyframe is reached by decoding every frame between, which frame threads share out.
    record->decoder->thread_count = 0;
    record->decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    record->decoder->pkt_timebase = stream->time_base;
    if (avcodec_open2(record->decoder, codec, nullptr) < 0) return kQtCodecErr;
    return 0;
}

static int16_t openMovie(const char* path, MovieRecord* record) {
    if (const int err = avformat_open_input(&record->format, path, nullptr, nullptr); err < 0)
        return statusFromAv(err);
    if (avformat_find_stream_info(record->format, nullptr) < 0) return kInvalidMovie;
    record->stream = av_find_best_stream(record->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (record->stream == AVERROR_DECODER_NOT_FOUND) return kQtCodecErr;
    if (record->stream < 0) return kInvalidMovie;
    AVStream* stream = record->format->streams[record->stream];
    if (stream->codecpar->width <= 0 || stream->codecpar->height <= 0) return kInvalidMovie;
    if (const int16_t status = openDecoder(record); status != 0) return status;

    record->timeBase = stream->time_base;
    record->startTime = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    record->timeScale = timeScaleOf(stream->time_base);
    const AVRational scale{1, record->timeScale};
    if (stream->duration > 0)
        record->duration = av_rescale_q(stream->duration, stream->time_base, scale);
    else if (record->format->duration > 0)
        record->duration = av_rescale_q(record->format->duration, AV_TIME_BASE_Q, scale);
    const AVRational sar = av_guess_sample_aspect_ratio(record->format, stream, nullptr);
    displaySize(stream->codecpar, sar, &record->displayWidth, &record->displayHeight);
    return 0;
}

int16_t OpenMovie(const char* path, Movie* movie) {
    *movie = nullptr;
    // Whatever was opened before a failure goes with the record.
    struct Disposer {
        void operator()(MovieRecord* record) const { DisposeMovie(record); }
    };
    std::unique_ptr<MovieRecord, Disposer> record(new (std::nothrow) MovieRecord);
    if (!record) return kMemFullErr;
    record->shown = av_frame_alloc();
    record->next = av_frame_alloc();
    record->packet = av_packet_alloc();
    if (!record->shown || !record->next || !record->packet) return kMemFullErr;
    if (const int16_t status = openMovie(path, record.get()); status != 0) return status;
    *movie = record.release();
    return 0;
}

void DisposeMovie(Movie movie) {
    if (!movie) return;
    av_frame_free(&movie->shown);
    av_frame_free(&movie->next);
    av_packet_free(&movie->packet);
    avcodec_free_context(&movie->decoder);
    avformat_close_input(&movie->format);
    delete movie;
}

MovieBox GetMovieBox(Movie movie) {
    return MovieBox{0, 0, static_cast<int16_t>(movie->displayHeight),
                    static_cast<int16_t>(movie->displayWidth)};
}

TimeScale GetMovieTimeScale(Movie movie) {
    return movie->timeScale;
}
TimeValue GetMovieDuration(Movie movie) {
    return movie->duration;
}
TimeValue GetMovieTime(Movie movie) {
    return movie->time;
}

void SetMovieTimeValue(Movie movie, TimeValue time) {
    movie->time = std::clamp<TimeValue>(time, 0, movie->duration);
}

static int64_t framePts(const AVFrame* frame) {
    return frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp
                                                          : frame->pts;
}

static void seekBefore(MovieRecord* record, int64_t seekTo) {
    if (av_seek_frame(record->format, record->stream, seekTo, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(record->format, record->stream, record->startTime, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(record->decoder);
    av_frame_unref(record->shown);
    av_frame_unref(record->next);
    record->positioned = false;
    record->drained = false;
}

// The next decoded frame into record->next: 0, or 1 when the stream has no more frames.
static int decodeNext(MovieRecord* record) {
    for (;;) {
        int err = avcodec_receive_frame(record->decoder, record->next);
        if (err == 0) return 0;
        if (err != AVERROR(EAGAIN)) return 1;
        err = av_read_frame(record->format, record->packet);
        if (err < 0) {
            // The decoder holds reordered frames back until it is told the stream ended.
            if (avcodec_send_packet(record->decoder, nullptr) < 0) return 1;
            continue;
        }
        if (record->packet->stream_index == record->stream) {
            const int64_t pts = record->packet->pts;
            record->decoder->skip_frame = record->skipBefore != AV_NOPTS_VALUE &&
                                                  pts != AV_NOPTS_VALUE && pts < record->skipBefore
                                              ? AVDISCARD_NONREF
                                              : AVDISCARD_DEFAULT;
            err = avcodec_send_packet(record->decoder, record->packet);
        }
        av_packet_unref(record->packet);
        // A damaged packet is skipped as a player would skip it.
        if (err < 0 && err != AVERROR_INVALIDDATA && err != AVERROR(EAGAIN)) return 1;
    }
}

// Decodes on to the last frame presented at or before the target: the frame on screen at the
// target. Right after a seek the first frame decoded stands for targets before it.
static int16_t advanceTo(MovieRecord* record, int64_t target) {
    while (!record->drained) {
        if (!record->next->buf[0] && decodeNext(record) != 0) {
            record->drained = true;
            break;
        }
        const int64_t pts = framePts(record->next);
        if (record->positioned && pts != AV_NOPTS_VALUE && pts > target) break;
        av_frame_unref(record->shown);
        av_frame_move_ref(record->shown, record->next);
        record->positioned = true;
        if (pts != AV_NOPTS_VALUE && pts > target) break;
    }
    return record->positioned ? 0 : kCodecBadDataErr;
}

// Seeks unless the target lies at most a second ahead of the frame shown, then decodes to it.
static int16_t decodeFrameAt(MovieRecord* record, int64_t target) {
    const int64_t second = av_rescale_q(1, AVRational{1, 1}, record->timeBase);
    record->skipBefore = AV_NOPTS_VALUE;
    if (record->positioned) {
        const int64_t shownPts = framePts(record->shown);
        if (shownPts != AV_NOPTS_VALUE && shownPts <= target && target - shownPts <= second)
            return advanceTo(record, target);
    }
    // The demuxer seeks by decoding times, which run ahead of presentation times where frames are
    // reordered: the keyframe found can be presented after the target. Then seek further back.
    int64_t seekTo = target;
    int64_t back = second;
    for (;;) {
        // On the way to the target, frames more than a second before it are decoded only when
        // later ones need them. Should the frame found lie before that second (a long still),
        // a skipped frame might have been the one: the same way is decoded again in full.
        record->skipBefore = target - second;
        seekBefore(record, seekTo);
        int16_t status = advanceTo(record, target);
        if (status == 0 && framePts(record->shown) != AV_NOPTS_VALUE &&
            framePts(record->shown) < record->skipBefore) {
            record->skipBefore = AV_NOPTS_VALUE;
            seekBefore(record, seekTo);
            status = advanceTo(record, target);
        }
        record->skipBefore = AV_NOPTS_VALUE;
        const int64_t firstPts = status == 0 ? framePts(record->shown) : AV_NOPTS_VALUE;
        if (status != 0 || firstPts == AV_NOPTS_VALUE || firstPts <= target ||
            seekTo <= record->startTime)
            return status;
        seekTo = std::max(record->startTime, seekTo - back);
        back *= 2;
    }
}

static int16_t imageFromFrame(const MovieRecord* record, const AVFrame* frame, QImage* picture) {
    QImage image(record->displayWidth, record->displayHeight, QImage::Format_RGB888);
    if (image.isNull()) return kMemFullErr;
    SwsContext* scaler = sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), image.width(),
        image.height(), AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler) return kCodecBadDataErr;
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const int rows =
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scaler);
    if (rows <= 0) return kCodecBadDataErr;
    *picture = std::move(image);
    return 0;
}

int16_t GetMoviePict(Movie movie, QImage* picture) {
    const int64_t target =
        movie->startTime +
        av_rescale_q(movie->time, AVRational{1, movie->timeScale}, movie->timeBase);
    int16_t status = decodeFrameAt(movie, target);
    if (status == 0) status = imageFromFrame(movie, movie->shown, picture);
    return status;
}
