// SPDX-License-Identifier: GPL-3.0-or-later
// convert.cpp - a conversion from start to end: the source opened, the two paths and the PSP's
// muxer set up on the caller's descriptor, every packet read, the movie finished.
#include "convert/convert.h"

#include <cmath>

#include "convert/fdoutput.h"
#include "convert/input.h"
#include "convert/pipeline.h"
#include "convert/target.h"

namespace {

// A step that recorded its own failure.
constexpr int kStepFailed = AVERROR_UNKNOWN;

struct OutputFreer {
    void operator()(AVFormatContext* format) const { avformat_free_context(format); }
};

// The input time that becomes 0: where the earlier of the two streams starts.
int64_t startOf(const AVFormatContext* input, int video, int audio) {
    int64_t start = AV_NOPTS_VALUE;
    for (const int index : {video, audio}) {
        if (index < 0) continue;
        const AVStream* stream = input->streams[index];
        if (stream->start_time == AV_NOPTS_VALUE) continue;
        const int64_t at = av_rescale_q(stream->start_time, stream->time_base, AV_TIME_BASE_Q);
        if (start == AV_NOPTS_VALUE || at < start) start = at;
    }
    if (start != AV_NOPTS_VALUE) return start;
    return input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
}

class Conversion {
public:
    explicit Conversion(const ConvertRequest& request) : request_(request) {}
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;
    ~Conversion() {
        output_.reset();  // before its output context, which it does not own
        CloseFdOutput(&io_);
    }

    ConvertResult Run() { return resultOf(convert()); }

private:
    [[nodiscard]] int convert();
    [[nodiscard]] int openOutput();
    [[nodiscard]] int copyPackets();
    int write(AVPacket* packet);
    void report(double done);
    bool cancelled() const {
        return request_.cancel && request_.cancel->load(std::memory_order_relaxed);
    }
    static int interrupted(void* opaque) {
        return static_cast<const Conversion*>(opaque)->cancelled() ? 1 : 0;
    }
    ConvertResult resultOf(int err) const;

    const ConvertRequest& request_;
    Failure failure_;
    InputPtr input_;
    std::unique_ptr<AVFormatContext, OutputFreer> output_;
    FdOutput fd_;
    AVIOContext* io_ = nullptr;
    VideoPath video_;
    AudioPath audio_;
    int videoStream_ = -1;
    int audioStream_ = -1;
    double total_ = 0;
    double reported_ = -1;
};

int Conversion::convert() {
    const AVIOInterruptCB interrupt{&Conversion::interrupted, this};
    std::string cause;
    input_ = OpenVideoInput(request_.source, &cause, &interrupt);
    if (!input_) return failure_.Set(ConvertStatus::kSourceFailed, cause, kStepFailed);
    AVFormatContext* input = input_.get();
    videoStream_ = PickVideoStream(input);
    if (videoStream_ < 0)
        return failure_.Set(ConvertStatus::kSourceFailed, "no video stream", kStepFailed);
    audioStream_ = PickAudioStream(input, videoStream_);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (int(i) != videoStream_ && int(i) != audioStream_)
            input->streams[i]->discard = AVDISCARD_ALL;
    }
    if (input->duration > 0) total_ = double(input->duration) / AV_TIME_BASE;

    if (const int err = openOutput(); err < 0) return err;
    if (const int err = copyPackets(); err < 0) return err;
    const PacketSink sink = [this](AVPacket* packet) { return write(packet); };
    if (const int err = video_.Finish(sink); err < 0) return err;
    if (const int err = audio_.Finish(sink); err < 0) return err;
    if (video_.framesEncoded() == 0) {
        return failure_.Set(ConvertStatus::kSourceFailed, "none of its pictures can be decoded",
                            kStepFailed);
    }
    if (const int err = av_write_trailer(output_.get()); err < 0) return err;
    report(total_);
    return 0;
}

int Conversion::openOutput() {
    AVFormatContext* output = nullptr;
    if (avformat_alloc_output_context2(&output, nullptr, "psp", nullptr) < 0) {
        return failure_.Set(ConvertStatus::kNoEncoder, "this FFmpeg cannot write PSP movies",
                            kStepFailed);
    }
    output_.reset(output);
    fd_.fd = request_.outputFd;
    io_ = OpenFdOutput(&fd_);
    if (!io_) return failure_.Set(ConvertStatus::kFailed, "out of memory", kStepFailed);
    output->pb = io_;
    output->flags |= AVFMT_FLAG_CUSTOM_IO;

    const int64_t start = startOf(input_.get(), videoStream_, audioStream_);
    // The muxer's profile atom takes the first stream for the video and the second for the
    // sound: they are added in that order.
    if (!video_.Open(input_.get(), videoStream_, start, output, request_.videoKbps, &failure_))
        return kStepFailed;
    if (!audio_.Open(input_.get(), audioStream_, start, output, &failure_)) return kStepFailed;
    // Even an empty title: without one the muxer leaves out the metadata atom, and the title
    // could never be set later.
    av_dict_set(&output->metadata, "title", PspTitle(request_.title).c_str(), 0);
    return avformat_write_header(output, nullptr);
}

int Conversion::copyPackets() {
    const PacketPtr packet(av_packet_alloc());
    if (!packet) return failure_.Set(ConvertStatus::kFailed, "out of memory", kStepFailed);
    const PacketSink sink = [this](AVPacket* encoded) { return write(encoded); };
    for (;;) {
        // Between packets is never longer than decoding one picture and encoding one: the
        // cancel is seen well within its half second.
        if (cancelled()) return AVERROR_EXIT;
        int err = av_read_frame(input_.get(), packet.get());
        if (err == AVERROR_EOF) return 0;
        if (err < 0) {
            return failure_.Set(ConvertStatus::kSourceFailed,
                                "the video cannot be read to its end (" + AvErrorText(err) + ")",
                                err);
        }
        if (packet->stream_index == videoStream_) {
            err = video_.Send(packet.get(), sink);
            report(video_.secondsDone());
        } else if (packet->stream_index == audioStream_) {
            err = audio_.Send(packet.get(), sink);
        }
        av_packet_unref(packet.get());
        if (err < 0) return err;
    }
}

int Conversion::write(AVPacket* packet) {
    if (cancelled()) return AVERROR_EXIT;
    // With sound the muxer interleaves the streams by time. Without, the pictures come in
    // order already, and the interleaver would hold them back waiting for sound.
    if (audioStream_ >= 0) return av_interleaved_write_frame(output_.get(), packet);
    return av_write_frame(output_.get(), packet);
}

void Conversion::report(double done) {
    if (!request_.progress) return;
    if (total_ > 0 && done > total_) done = total_;
    if (done <= reported_) return;
    reported_ = done;
    request_.progress(done, total_);
}

ConvertResult Conversion::resultOf(int err) const {
    if (err == 0) return {ConvertStatus::kDone, ""};
    if (err == AVERROR_EXIT || cancelled()) return {ConvertStatus::kCancelled, "cancelled"};
    if (fd_.error) return {ConvertStatus::kWriteFailed, WriteFailureText(fd_.error)};
    if (failure_.status != ConvertStatus::kDone) return {failure_.status, failure_.cause};
    return {ConvertStatus::kFailed, "the conversion failed (" + AvErrorText(err) + ")"};
}

}  // namespace

bool HaveConversionEncoders() {
    return avcodec_find_encoder_by_name("libx264") && avcodec_find_encoder_by_name("aac") &&
           av_guess_format("psp", nullptr, nullptr);
}

ConvertResult ConvertForPsp(const ConvertRequest& request) {
    if (!HaveConversionEncoders())
        return {ConvertStatus::kNoEncoder, "this FFmpeg lacks libx264 or its AAC encoder"};
    Conversion conversion(request);
    return conversion.Run();
}

int64_t EstimateConvertedBytes(const VideoFacts& facts, int videoKbps) {
    const int kbps = videoKbps + (facts.audio != AudioCoding::kNone ? kAudioKbps : 0);
    return int64_t(std::ceil(facts.duration * kbps * 1000 / 8 * 1.05));
}
