// SPDX-License-Identifier: GPL-3.0-or-later
// convertcommand.cpp - moviestick-cli's convert command: a PSP-ready copy beside each video.
#include "cli/convertcommand.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "container/movie.h"
#include "container/moviefile.h"
#include "convert/convert.h"
#include "convert/facts.h"

static std::atomic<bool> gCancel{false};
static volatile sig_atomic_t gSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

static void onSignal(int signal) {
    gSignal = signal;
    gCancel.store(true);
}

static void catchSignals() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

static int failConvert(const std::string& path, const std::string& why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path.c_str(), why.c_str());
    return kExitFailure;
}

static std::string fileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "NAME (PSP).mp4" in the video's folder.
static std::string copyPath(const std::string& source) {
    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : source.substr(0, slash + 1);
    std::string name = source.substr(folder.size());
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return folder + name + " (PSP).mp4";
}

static std::string clock(double seconds) {
    const long whole = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char text[32];
    snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// One line, rewritten in place on the terminal: how far, and the time left at the speed so far.
class ProgressLine {
public:
    ProgressLine(const std::string& name, size_t number, size_t count)
        : shown_(isatty(STDERR_FILENO)),
          lead_("Converting \"" + name + "\" (" + std::to_string(number) + " of " +
                std::to_string(count) + ")"),
          start_(std::chrono::steady_clock::now()) {}
    ~ProgressLine() {
        if (drawn_) fputs("\r\033[K", stderr);
    }

    void update(double done, double total) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (drawn_ && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        drawn_ = true;
        std::string text = lead_;
        if (total > 0 && done > 0) {
            const double fraction = std::min(done / total, 1.0);
            const double elapsed = std::chrono::duration<double>(now - start_).count();
            text += ": " + std::to_string(static_cast<int>(fraction * 100)) + " %, " +
                    clock(elapsed / fraction - elapsed) + " left";
        }
        fprintf(stderr, "\r\033[K%s", text.c_str());
        fflush(stderr);
    }

private:
    bool shown_;
    bool drawn_ = false;
    std::string lead_;
    std::chrono::steady_clock::time_point start_, last_;
};

// The title the copy carries: the PSP title of an MP4 that has one, else the video's own.
static std::string titleOf(const std::string& source, const VideoFacts& facts) {
    if (char* title = GetTitle(source.c_str())) {
        std::string text = title;
        free(title);
        return text;
    }
    return facts.title;
}

static int convertOne(const std::string& source, const std::string& destination, size_t number,
                      size_t count) {
    // FFmpeg would wait forever on a pipe named like a video.
    if (const MovieError why = CheckMovieFile(source.c_str()); why != MovieError::none)
        return failConvert(source, MovieErrorText(why));
    const VideoFacts facts = ReadVideoFacts(source);
    if (!facts.cannotConvert.empty()) return failConvert(source, facts.cannotConvert);

    // O_EXCL: never over a file that is there, even one made since the name was chosen.
    const int fd = open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return failConvert(source, "\"" + destination + "\" exists already; it was left alone");
        return failConvert(source, "cannot make \"" + destination +
                                       "\": " + MovieErrorText(MovieErrorFromErrno(errno)));
    }
    const std::string title = titleOf(source, facts);
    ConvertResult result;
    {
        ProgressLine progress(fileName(source), number, count);
        ConvertRequest request;
        request.source = source;
        request.outputFd = fd;
        request.title = title;
        request.progress = [&progress](double done, double total) { progress.update(done, total); };
        request.cancel = &gCancel;
        if (!gCancel.load()) result = ConvertForPsp(request);
    }
    std::string why;
    if (gCancel.load()) {
        why = "cancelled";
    } else if (result.status != ConvertStatus::kDone) {
        why = result.cause.empty() ? "the conversion failed" : result.cause;
    } else if (fsync(fd) != 0) {
        why = MovieErrorText(MovieErrorFromErrno(errno));
    }
    if (close(fd) != 0 && why.empty()) why = MovieErrorText(MovieErrorFromErrno(errno));
    // The engine writes the title again, as UTF-16 with every character the encoder's
    // metadata may not carry.
    MovieError titleWhy = MovieError::none;
    if (why.empty() && !title.empty() &&
        SetTitleWithCause(destination.c_str(), title.c_str(), &titleWhy) != 0)
        why = std::string("cannot set the title: ") + MovieErrorText(titleWhy);
    if (!why.empty()) {
        unlink(destination.c_str());
        return failConvert(source, why);
    }
    printf("%s\n", destination.c_str());
    fflush(stdout);
    return kExitOk;
}

int ConvertCommand(const ParsedCommand& parsed) {
    if (!HaveConversionEncoders()) {
        for (const std::string& path : parsed.files)
            failConvert(path, "this FFmpeg lacks the libx264 or AAC encoder");
        return kExitFailure;
    }
    catchSignals();
    int status = kExitOk;
    for (size_t i = 0; i < parsed.files.size() && !gCancel.load(); ++i) {
        const std::string& source = parsed.files[i];
        const std::string destination =
            parsed.has("--output") ? parsed.value("--output") : copyPath(source);
        if (convertOne(source, destination, i + 1, parsed.files.size()) != kExitOk)
            status = kExitFailure;
    }
    if (gSignal != 0) {
        // Ended by the signal, as the shell's loop around us expects.
        fflush(stdout);
        signal(gSignal, SIG_DFL);
        raise(gSignal);
    }
    return status;
}
