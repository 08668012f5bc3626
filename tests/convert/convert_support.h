// SPDX-License-Identifier: GPL-3.0-or-later
// convert_support.h - videos of many kinds made at test time with the ffmpeg command line,
// converted into files, and read back with FFmpeg's libraries.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "convert/convert.h"

// A folder for this test program's files, removed when it ends.
inline const std::string& ConvertTestDir() {
    static const std::string dir = [] {
        std::string pattern =
            std::filesystem::temp_directory_path().string() + "/moviestick-convert-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    static const struct Remover {
        ~Remover() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } remover;
    return dir;
}

// The video made by `ffmpeg <args> <name>`, or empty when ffmpeg failed. Videos are kept in
// the build tree under a name that includes a hash of the arguments, so each is made once for
// all the test processes; a new one is made under a temporary name and renamed into place, so
// that tests running at the same time never see half of one.
inline std::string MakeVideo(const std::string& name, const std::string& args) {
    const std::string dir = MOVIESTICK_CONVERT_TEST_INPUTS;
    std::filesystem::create_directories(dir);
    const size_t dot = name.rfind('.');
    const std::string path = dir + "/" + name.substr(0, dot) + "-" +
                             std::to_string(std::hash<std::string>{}(args) % 1000000007) +
                             name.substr(dot);
    if (std::filesystem::exists(path)) return path;
    const std::string partial = ConvertTestDir() + "/partial-" + name;
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y " + args + " '" + partial + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::filesystem::remove(partial);
        return "";
    }
    return path;
}

// Test pictures in colour and a tone, for `seconds`, at that size and rate.
inline std::string PictureSource(const std::string& size, const std::string& rate, double seconds) {
    return " -f lavfi -i testsrc2=size=" + size + ":rate=" + rate +
           ":duration=" + std::to_string(seconds);
}
inline std::string ToneSource(double seconds, int sampleRate = 44100,
                              const std::string& layout = "stereo") {
    return " -f lavfi -i \"sine=frequency=440:sample_rate=" + std::to_string(sampleRate) +
           ":duration=" + std::to_string(seconds) + ",aformat=channel_layouts=" + layout + "\"";
}

// H.264 as phones and cameras make it, High profile.
inline const std::string kHighProfileH264 = " -pix_fmt yuv420p -c:v libx264 -preset superfast";

// The inputs the conversion is tried on, two seconds each.
inline std::string HdMatroska() {  // 1280 x 720 H.264 High, AAC at 44.1 kHz, with a title
    return MakeVideo("hd.mkv", PictureSource("1280x720", "30", 2) + ToneSource(2) +
                                   kHighProfileH264 + " -c:a aac -metadata title=Holiday");
}
inline std::string HevcMp4() {
    return MakeVideo("hevc.mp4", PictureSource("640x360", "25", 2) + ToneSource(2) +
                                     " -pix_fmt yuv420p -c:v libx265 -preset ultrafast"
                                     " -x265-params log-level=none -c:a aac");
}
inline std::string DvdMpeg2() {  // 720 x 480 with 8:9 pixels: a 4:3 picture
    return MakeVideo("dvd.mpg", PictureSource("720x480", "30000/1001", 2) + ToneSource(2, 48000) +
                                    " -vf setsar=8/9 -c:v mpeg2video -c:a mp2 -f vob");
}
inline std::string Fast60() {
    return MakeVideo("fast.mp4", PictureSource("640x360", "60", 2) + ToneSource(2, 48000) +
                                     kHighProfileH264 + " -c:a aac");
}
// 5.1 sound with the tone on the centre channel only: a down-mix that leaves the centre out
// leaves silence.
inline std::string CentreSurround() {
    return MakeVideo("surround.mkv",
                     PictureSource("320x240", "25", 2) +
                         " -f lavfi -i \"sine=frequency=440:sample_rate=48000:duration=2\""
                         " -filter_complex \"[1:a]pan=5.1|FC=c0[a]\" -map 0:v -map \"[a]\"" +
                         kHighProfileH264 + " -c:a ac3");
}
inline std::string Silent() {
    return MakeVideo("silent.mp4", PictureSource("320x240", "25", 2) + kHighProfileH264);
}

// Converts the source into a new file at `out` with the request's other settings.
inline ConvertResult ConvertToFile(const std::string& source, const std::string& out,
                                   ConvertRequest request = {}) {
    request.source = source;
    request.outputFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (request.outputFd < 0) return {ConvertStatus::kFailed, "cannot create " + out};
    const ConvertResult result = ConvertForPsp(request);
    close(request.outputFd);
    return result;
}

struct ProbedStream {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int profile = FF_PROFILE_UNKNOWN;
    int level = FF_LEVEL_UNKNOWN;
    int width = 0;
    int height = 0;
    AVRational sampleAspect{0, 1};
    AVRational frameRate{0, 1};  // the stream's average
    int channels = 0;
    int sampleRate = 0;
    double duration = 0;
    int64_t frames = 0;
};

struct Probed {
    bool opened = false;
    std::string container;  // FFmpeg's demuxer name
    double duration = 0;
    std::vector<ProbedStream> streams;

    const ProbedStream* First(AVMediaType type) const {
        for (const ProbedStream& stream : streams)
            if (stream.type == type) return &stream;
        return nullptr;
    }
};

// What FFmpeg reads in the file.
inline Probed Probe(const std::string& path) {
    Probed probed;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return probed;
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        probed.opened = true;
        probed.container = format->iformat->name;
        probed.duration = double(format->duration) / AV_TIME_BASE;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVStream* stream = format->streams[i];
            const AVCodecParameters* codec = stream->codecpar;
            ProbedStream s;
            s.type = codec->codec_type;
            s.codec = codec->codec_id;
            s.profile = codec->profile;
            s.level = codec->level;
            s.width = codec->width;
            s.height = codec->height;
            s.sampleAspect = codec->sample_aspect_ratio;
            s.frameRate = stream->avg_frame_rate;
            s.channels = codec->ch_layout.nb_channels;
            s.sampleRate = codec->sample_rate;
            s.duration = stream->duration * av_q2d(stream->time_base);
            s.frames = stream->nb_frames;
            probed.streams.push_back(s);
        }
    }
    avformat_close_input(&format);
    return probed;
}

// One decoded picture in 8-bit 4:2:0, the planes without padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;

    int Y(int x, int row) const { return y[size_t(row * width + x)]; }
    int U(int x, int row) const { return u[size_t(row / 2 * (width / 2) + x / 2)]; }
    int V(int x, int row) const { return v[size_t(row / 2 * (width / 2) + x / 2)]; }
};

// Hands each decoded frame of the file's first stream of that type to `take`, until it answers
// false or the stream ends; false when the file or its decoder cannot be opened.
inline bool ForEachFrame(const std::string& path, AVMediaType type,
                         const std::function<bool(const AVFrame*)>& take) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    const int stream = avformat_find_stream_info(format, nullptr) < 0
                           ? -1
                           : av_find_best_stream(format, type, -1, -1, nullptr, 0);
    const AVCodec* codec =
        stream < 0 ? nullptr : avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
    AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const bool opened =
        decoder && avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar) >= 0 &&
        avcodec_open2(decoder, codec, nullptr) >= 0;
    bool ended = false;
    while (opened) {
        const int got = avcodec_receive_frame(decoder, frame);
        if (got == 0) {
            const bool more = take(frame);
            av_frame_unref(frame);
            if (!more) break;
            continue;
        }
        if (got != AVERROR(EAGAIN) || ended) break;
        if (av_read_frame(format, packet) < 0) {
            ended = true;
            avcodec_send_packet(decoder, nullptr);  // for the frames it holds back
            continue;
        }
        if (packet->stream_index == stream) avcodec_send_packet(decoder, packet);
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return opened;
}

// The `index`th picture of the file's first video stream (which must be 4:2:0), or an empty one.
inline Picture DecodePicture(const std::string& path, int index) {
    Picture picture;
    int seen = 0;
    ForEachFrame(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame* frame) {
        if (seen++ < index) return true;
        if (frame->format != AV_PIX_FMT_YUV420P) return false;
        picture.width = frame->width;
        picture.height = frame->height;
        for (int row = 0; row < frame->height; ++row) {
            const uint8_t* line = frame->data[0] + row * frame->linesize[0];
            picture.y.insert(picture.y.end(), line, line + frame->width);
        }
        for (int row = 0; row < frame->height / 2; ++row) {
            const uint8_t* u = frame->data[1] + row * frame->linesize[1];
            const uint8_t* v = frame->data[2] + row * frame->linesize[2];
            picture.u.insert(picture.u.end(), u, u + frame->width / 2);
            picture.v.insert(picture.v.end(), v, v + frame->width / 2);
        }
        return false;
    });
    return picture;
}

// The loudness (root mean square, 0 to 1) of each channel of the file's first sound stream,
// which must decode to planar floats as FFmpeg's AAC decoder gives it; empty when there is none.
inline std::vector<double> ChannelLevels(const std::string& path) {
    std::vector<double> sums;
    int64_t samples = 0;
    ForEachFrame(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame* frame) {
        if (frame->format != AV_SAMPLE_FMT_FLTP) return false;
        sums.resize(size_t(frame->ch_layout.nb_channels), 0.0);
        for (size_t c = 0; c < sums.size(); ++c) {
            const auto* data = reinterpret_cast<const float*>(frame->data[c]);
            for (int i = 0; i < frame->nb_samples; ++i) sums[c] += data[i] * data[i];
        }
        samples += frame->nb_samples;
        return true;
    });
    for (double& sum : sums) sum = samples ? std::sqrt(sum / double(samples)) : 0;
    return sums;
}
