// movietoolkit.cpp - the movie toolkit on FFmpeg: movies, their times and exact frames.
#include "toolkit/movietoolkit.h"

#include <algorithm>
#include <cerrno>

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
    // One frame at a time is what a thumbnail needs; threads only add latency to it.
    record->decoder->thread_count = 1;
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
    auto* record = new (std::nothrow) MovieRecord;
    if (!record) return kMemFullErr;
    const int16_t status = openMovie(path, record);
    if (status != 0) {
        DisposeMovie(record);
        return status;
    }
    *movie = record;
    return 0;
}

void DisposeMovie(Movie movie) {
    if (!movie) return;
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

// Decodes from the keyframe before seekTo to the last frame presented at or before the target:
// the frame on screen at the target. The first frame decoded stands for targets before it; its
// time goes to *firstPts.
static int16_t decodeFrameAt(MovieRecord* record, int64_t seekTo, int64_t target, AVFrame* shown,
                             int64_t* firstPts) {
    if (av_seek_frame(record->format, record->stream, seekTo, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(record->format, record->stream, record->startTime, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(record->decoder);
    *firstPts = AV_NOPTS_VALUE;

    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int16_t status = packet && frame ? 0 : kMemFullErr;
    bool haveShown = false;
    bool done = status != 0;
    bool draining = false;
    while (!done) {
        int err = 0;
        if (!draining) {
            err = av_read_frame(record->format, packet);
            if (err < 0) {
                draining = true;
                err = avcodec_send_packet(record->decoder, nullptr);
            } else {
                if (packet->stream_index == record->stream)
                    err = avcodec_send_packet(record->decoder, packet);
                av_packet_unref(packet);
                // A damaged packet is skipped as a player would skip it.
                if (err == AVERROR_INVALIDDATA) err = 0;
            }
            if (err < 0 && err != AVERROR(EAGAIN) && err != AVERROR_EOF) break;
        }
        while (!done) {
            err = avcodec_receive_frame(record->decoder, frame);
            if (err == AVERROR(EAGAIN)) break;
            if (err < 0) {
                done = true;  // drained: the last frame is shown until the end
                break;
            }
            const int64_t pts = framePts(frame);
            if (haveShown && pts != AV_NOPTS_VALUE && pts > target) {
                done = true;
            } else {
                if (!haveShown) *firstPts = pts;
                av_frame_unref(shown);
                av_frame_move_ref(shown, frame);
                haveShown = true;
                if (pts != AV_NOPTS_VALUE && pts > target) done = true;
            }
            av_frame_unref(frame);
        }
    }
    if (status == 0 && !haveShown) status = kCodecBadDataErr;
    av_frame_free(&frame);
    av_packet_free(&packet);
    return status;
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
    AVFrame* shown = av_frame_alloc();
    if (!shown) return kMemFullErr;
    // The demuxer seeks by decoding times, which run ahead of presentation times where frames are
    // reordered: the keyframe found can be presented after the target. Then seek further back.
    int64_t seekTo = target;
    int64_t back = av_rescale_q(1, AVRational{1, 1}, movie->timeBase);
    int64_t firstPts = AV_NOPTS_VALUE;
    int16_t status = 0;
    for (;;) {
        status = decodeFrameAt(movie, seekTo, target, shown, &firstPts);
        if (status != 0 || firstPts == AV_NOPTS_VALUE || firstPts <= target ||
            seekTo <= movie->startTime)
            break;
        seekTo = std::max(movie->startTime, seekTo - back);
        back *= 2;
        av_frame_unref(shown);
    }
    if (status == 0) status = imageFromFrame(movie, shown, picture);
    av_frame_free(&shown);
    return status;
}
