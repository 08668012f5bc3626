// SPDX-License-Identifier: GPL-3.0-or-later
// sounds.cpp - sound files found by name, decoded with FFmpeg and played through PulseAudio.
#include "toolkit/sounds.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <pulse/error.h>
#include <pulse/simple.h>
}

#include "toolkit/fileref.h"
#include "toolkit/resources.h"

static SoundPlayer gSoundPlayer;
static QString gSystemSoundFolder;

void SetSoundPlayer(SoundPlayer player) {
    gSoundPlayer = std::move(player);
}
void SetSystemSoundFolder(const QString& folder) {
    gSystemSoundFolder = folder;
}

static QString UserSoundFolder() {
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.isEmpty()) return QString::fromLocal8Bit(dataHome) + "/sounds";
    return QDir::homePath() + "/.local/share/sounds";
}

int16_t FindSoundFile(const QString& name, QString* path) {
    if (!path || name.isEmpty()) return kParamErr;
    if (name.contains('/') || name == "." || name == "..") return kFnfErr;
    const QString folders[] = {
        gSystemSoundFolder.isEmpty() ? QStringLiteral("/usr/share/sounds") : gSystemSoundFolder,
        UserSoundFolder(),
        ResourceFolder() + "/sounds",
    };
    for (const QString& folder : folders) {
        const QFileInfo file(folder + "/" + name);
        if (file.isFile()) {
            *path = file.filePath();
            return kNoErr;
        }
    }
    return kFnfErr;
}

// libpulse-simple waits for a server it cannot reach (and may try to start one), so the
// server's socket is looked for first. A server named in PULSE_SERVER is left to libpulse.
static bool SoundServerReachable() {
    if (!qgetenv("PULSE_SERVER").isEmpty()) return true;
    QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) runtime = "/run/user/" + QByteArray::number(getuid());
    struct stat info;
    for (const QByteArray& socket : {runtime + "/pulse/native", QByteArray("/run/pulse/native")})
        if (stat(socket.constData(), &info) == 0 && S_ISSOCK(info.st_mode)) return true;
    return false;
}

struct DecodeState {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    ~DecodeState() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// Converts every frame the decoder has ready into 16-bit samples.
static int16_t DrainFrames(DecodeState* state, SoundSamples* sound) {
    for (;;) {
        const int received = avcodec_receive_frame(state->codec, state->frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return kNoErr;
        if (received < 0) return kBadSoundFileErr;
        const int room = swr_get_out_samples(state->resampler, state->frame->nb_samples);
        if (room < 0) return kBadSoundFileErr;
        const size_t start = sound->samples.size();
        sound->samples.resize(start + size_t(room) * size_t(sound->channels));
        auto* out = reinterpret_cast<uint8_t*>(sound->samples.data() + start);
        const int converted = swr_convert(state->resampler, &out, room,
                                          const_cast<const uint8_t**>(state->frame->extended_data),
                                          state->frame->nb_samples);
        if (converted < 0) return kBadSoundFileErr;
        sound->samples.resize(start + size_t(converted) * size_t(sound->channels));
        av_frame_unref(state->frame);
    }
}

int16_t DecodeSoundFile(const QString& path, SoundSamples* sound) {
    if (!sound) return kParamErr;
    *sound = SoundSamples{};
    DecodeState state;
    const QByteArray file = QFile::encodeName(path);
    if (avformat_open_input(&state.format, file.constData(), nullptr, nullptr) < 0)
        return kBadSoundFileErr;
    if (avformat_find_stream_info(state.format, nullptr) < 0) return kBadSoundFileErr;
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(state.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream == AVERROR_DECODER_NOT_FOUND) return kNoSoundCodecErr;
    if (stream < 0) return kBadSoundFileErr;
    state.codec = avcodec_alloc_context3(decoder);
    if (!state.codec) return kMemFullErr;
    if (avcodec_parameters_to_context(state.codec, state.format->streams[stream]->codecpar) < 0 ||
        avcodec_open2(state.codec, decoder, nullptr) < 0)
        return kNoSoundCodecErr;

    sound->rate = state.codec->sample_rate;
    sound->channels = state.codec->ch_layout.nb_channels == 1 ? 1 : 2;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, sound->channels);
    if (sound->rate <= 0 ||
        swr_alloc_set_opts2(&state.resampler, &outLayout, AV_SAMPLE_FMT_S16, sound->rate,
                            &state.codec->ch_layout, state.codec->sample_fmt, sound->rate, 0,
                            nullptr) < 0 ||
        swr_init(state.resampler) < 0)
        return kBadSoundFileErr;

    state.packet = av_packet_alloc();
    state.frame = av_frame_alloc();
    if (!state.packet || !state.frame) return kMemFullErr;
    while (av_read_frame(state.format, state.packet) >= 0) {
        const bool ours = state.packet->stream_index == stream;
        const int sent = ours ? avcodec_send_packet(state.codec, state.packet) : 0;
        av_packet_unref(state.packet);
        if (sent < 0 && sent != AVERROR(EAGAIN)) return kBadSoundFileErr;
        if (const int16_t status = DrainFrames(&state, sound); status != kNoErr) return status;
    }
    // The decoder holds back its last frames until it is told the data have ended.
    (void)avcodec_send_packet(state.codec, nullptr);
    return DrainFrames(&state, sound);
}

static int16_t PlaySamples(const SoundSamples& sound) {
    pa_sample_spec sampleFormat;
    sampleFormat.format = PA_SAMPLE_S16NE;
    sampleFormat.rate = uint32_t(sound.rate);
    sampleFormat.channels = uint8_t(sound.channels);
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "moviestick", PA_STREAM_PLAYBACK, nullptr, "sound",
                                      &sampleFormat, nullptr, nullptr, &error);
    if (!stream) return kNoSoundServerErr;
    int16_t status = kNoErr;
    if (pa_simple_write(stream, sound.samples.data(), sound.samples.size() * sizeof(int16_t),
                        &error) < 0 ||
        pa_simple_drain(stream, &error) < 0)
        status = kIOErr;
    pa_simple_free(stream);
    return status;
}

int16_t PlayNamedSound(const QString& name) {
    if (name.isEmpty()) return kNoErr;
    if (gSoundPlayer) return gSoundPlayer(name);
    QString path;
    if (const int16_t status = FindSoundFile(name, &path); status != kNoErr) return status;
    if (!SoundServerReachable()) return kNoSoundServerErr;
    SoundSamples sound;
    if (const int16_t status = DecodeSoundFile(path, &sound); status != kNoErr) return status;
    if (sound.samples.empty()) return kNoErr;
    return PlaySamples(sound);
}
