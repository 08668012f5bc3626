// SPDX-License-Identifier: GPL-3.0-or-later
// facts.cpp - reading a video's facts with FFmpeg.
#include "convert/facts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include "convert/input.h"
#include "convert/mpeg4vol.h"

namespace {

// FFmpeg names the ISO family's demuxer after all its members; the brand in the file's type
// atom tells them apart. A file without one is an old QuickTime movie.
std::string containerName(const AVFormatContext* format) {
    const std::string demuxer = format->iformat->name;
    if (demuxer == "mov,mp4,m4a,3gp,3g2,mj2") {
        const AVDictionaryEntry* brand = av_dict_get(format->metadata, "major_brand", nullptr, 0);
        const std::string name = brand ? brand->value : "qt";
        if (name.rfind("qt", 0) == 0) return "mov";
        if (name.rfind("3g", 0) == 0) return "3gp";
        return "mp4";
    }
    return demuxer.substr(0, demuxer.find(','));
}

std::string codecName(AVCodecID id) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    return descriptor ? descriptor->name : "an unknown coding";
}

int knownOrUnknown(int value) {
    return value >= 0 ? value : kUnknownProfile;
}

Ratio ratioOf(AVRational r) {
    if (r.num <= 0 || r.den <= 0) return {};
    return {r.num, r.den};
}

// The rate the frames come at; FFmpeg's average when it has one, else its guess from the
// timestamps.
Ratio frameRateOf(const AVStream* stream) {
    const Ratio average = ratioOf(stream->avg_frame_rate);
    return average.num ? average : ratioOf(stream->r_frame_rate);
}

double durationOf(const AVFormatContext* format, const AVStream* video) {
    if (format->duration > 0) return double(format->duration) / AV_TIME_BASE;
    if (video->duration > 0) return double(video->duration) * av_q2d(video->time_base);
    return 0;
}

void readVideo(const AVStream* stream, VideoFacts* facts) {
    const AVCodecParameters* codec = stream->codecpar;
    facts->videoCodec = codecName(codec->codec_id);
    facts->videoDecoder = avcodec_find_decoder(codec->codec_id) != nullptr;
    facts->width = codec->width;
    facts->height = codec->height;
    const Ratio sar = ratioOf(stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio
                                                              : codec->sample_aspect_ratio);
    if (sar.num) facts->sampleAspect = sar;
    facts->frameRate = frameRateOf(stream);
    if (codec->codec_id == AV_CODEC_ID_H264) {
        facts->video = VideoCoding::kH264;
        // FFmpeg adds constraint flags above the eight bits of profile_idc.
        facts->h264Profile = codec->profile >= 0 ? codec->profile & 0xFF : kUnknownProfile;
        facts->h264Level = codec->level > 0 ? codec->level : kUnknownProfile;
    } else if (codec->codec_id == AV_CODEC_ID_MPEG4) {
        facts->video = VideoCoding::kMpeg4Part2;
        facts->mpeg4Profile = knownOrUnknown(codec->profile);
        facts->bFrames = codec->video_delay > 0;
        Mpeg4LayerTools tools;
        if (codec->extradata &&
            ReadMpeg4LayerTools(codec->extradata, size_t(codec->extradata_size), &tools)) {
            facts->quarterPel = tools.quarterPel;
            facts->globalMotion = tools.sprites;
        }
    } else {
        facts->video = VideoCoding::kOther;
    }
}

void readAudio(const AVStream* stream, VideoFacts* facts) {
    const AVCodecParameters* codec = stream->codecpar;
    facts->audio = codec->codec_id == AV_CODEC_ID_AAC ? AudioCoding::kAac : AudioCoding::kOther;
    facts->audioCodec = codecName(codec->codec_id);
    facts->audioDecoder = avcodec_find_decoder(codec->codec_id) != nullptr;
    facts->audioProfile = knownOrUnknown(codec->profile);
    facts->channels = codec->ch_layout.nb_channels;
    facts->sampleRate = codec->sample_rate;
}

// An MP4 or QuickTime header already holds what the limits ask about, in the sample
// descriptions: the size, the frame rate (from the sample times), the sound's layout and rate,
// H.264's profile and level (its configuration record's bytes 1 and 3) and AAC's object type
// (the first five bits of its configuration). Probing the streams decodes frames, about 9 ms
// for a 1080p movie against 0.5 ms for the header, so it is left out where the header says
// it all; the codecs whose header says less (MPEG-4 part 2's B-frames, AAC with an escaped
// object type) are probed.
bool completeFromHeader(AVFormatContext* format) {
    if (std::string(format->iformat->name).rfind("mov,", 0) != 0) return false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVCodecParameters* codec = format->streams[i]->codecpar;
        const uint8_t* extra = codec->extradata;
        const int size = codec->extradata_size;
        switch (codec->codec_id) {
            case AV_CODEC_ID_H264:
                if (!extra || size < 4 || extra[0] != 1 || codec->width <= 0) return false;
                if (codec->profile < 0) codec->profile = extra[1];
                if (codec->level <= 0) codec->level = extra[3];
                break;
            case AV_CODEC_ID_AAC: {
                if (!extra || size < 2 || codec->sample_rate <= 0) return false;
                const int objectType = extra[0] >> 3;
                if (objectType == 0 || objectType == 31) return false;
                // FFmpeg's AAC profiles are the object types less one.
                if (codec->profile < 0) codec->profile = objectType - 1;
                break;
            }
            case AV_CODEC_ID_MPEG4:
                return false;
            default:
                break;
        }
    }
    return true;
}

}  // namespace

VideoFacts ReadVideoFacts(const std::string& path) {
    VideoFacts facts;
    const InputPtr input = OpenVideoHeader(path, &facts.cannotConvert);
    if (!input) return facts;
    AVFormatContext* format = input.get();
    if (!completeFromHeader(format) && !ProbeStreams(format, &facts.cannotConvert)) return facts;
    facts.container = containerName(format);
    if (const AVDictionaryEntry* title = av_dict_get(format->metadata, "title", nullptr, 0))
        facts.title = title->value;

    const int video = PickVideoStream(format);
    if (video < 0) {
        facts.cannotConvert = "no video stream";
        return facts;
    }
    readVideo(format->streams[video], &facts);
    facts.duration = durationOf(format, format->streams[video]);
    if (const int audio = PickAudioStream(format, video); audio >= 0)
        readAudio(format->streams[audio], &facts);

    if (!facts.videoDecoder)
        facts.cannotConvert = "no decoder for its video (" + facts.videoCodec + ")";
    else if (facts.width <= 0 || facts.height <= 0)
        facts.cannotConvert = "the size of its picture is unknown";
    else if (facts.audio != AudioCoding::kNone && !facts.audioDecoder)
        facts.cannotConvert = "no decoder for its sound (" + facts.audioCodec + ")";
    return facts;
}
