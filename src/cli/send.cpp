// SPDX-License-Identifier: GPL-3.0-or-later
// send.cpp - moviestick-cli send: the application's send run on the copy thread under a bare
// event loop, with a progress line on a terminal, Ctrl+C as a clean cancel, and a summary.
#include "cli/send.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include "toolkit/fiber.h"
#include "toolkit/volumes.h"
#include "transfer/device.h"
#include "transfer/sendfiles.h"
#include "transfer/transferglobals.h"

static int fail(const std::string& path, const std::string& why) {
    fprintf(stderr, "moviestick-cli: %s: %s\n", path.c_str(), why.c_str());
    return kExitFailure;
}

// Sizes in decimal units, as the device and the desktop show them.
static std::string size(uint64_t bytes) {
    char text[32];
    if (bytes >= 1000000000)
        snprintf(text, sizeof text, "%.2f GB", double(bytes) / 1e9);
    else
        snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

// "412.3 MB of 1.07 GB, 31.0 MB/s, 0:21 left (2 of 5)": what the progress window shows.
static std::string progressLine(double seconds) {
    std::string line = size(gCurrentSize) + " of " + size(gTotalSize);
    if (seconds > 0.5 && gCurrentSize > 0) {
        const double rate = double(gCurrentSize) / seconds;
        // Rounded up: "0:00 left" only once nothing is.
        const uint64_t left = uint64_t(
            std::ceil(double(gTotalSize > gCurrentSize ? gTotalSize - gCurrentSize : 0) / rate));
        char text[64];
        snprintf(text, sizeof text, ", %.1f MB/s, %llu:%02llu left", rate / 1e6,
                 static_cast<unsigned long long>(left / 60),
                 static_cast<unsigned long long>(left % 60));
        line += text;
    }
    if (gCopyTotal > 1)
        line += " (" + std::to_string(gCopyCount) + " of " + std::to_string(gCopyTotal) + ")";
    return line;
}

// The device named, or the one mounted; "" after the error is told. *status is the exit status
// for that error.
static std::string chooseDevice(const ParsedCommand& parsed, int* status) {
    if (parsed.has("--device")) {
        std::string root = parsed.value("--device");
        if (!IsPSP(root.c_str())) {
            *status = fail(root,
                           "not a PSP memory stick (a FAT volume holding PSP, "
                           "MEMSTICK.IND and MSTK_PRO.IND)");
            return "";
        }
        if (root.back() != '/') root += '/';
        return root;
    }
    const std::vector<std::string> found = FindPSPVolumes();
    if (found.size() == 1) return found.front();
    if (found.empty()) {
        fprintf(stderr, "moviestick-cli: no PSP memory stick is mounted\n");
        *status = kExitFailure;
        return "";
    }
    // Which one is the user's to say.
    std::string list;
    for (const std::string& root : found) list += "\n  " + root;
    fprintf(stderr,
            "moviestick-cli: several PSP memory sticks are mounted; name one with "
            "--device:%s\n",
            list.c_str());
    *status = kExitUsage;
    return "";
}

// What went where, on stdout; what did not go, on stderr. The exit status.
static int summarize(const SendFilesJob& job, int signal) {
    int status = kExitOk;
    if (job.noRoom)
        fprintf(stderr,
                "moviestick-cli: not enough room on the PSP: %s needed, %s free; nothing was "
                "sent\n",
                size(job.bytesNeeded).c_str(), size(job.bytesFree).c_str());
    int sent = 0;
    for (const SendFileResult& result : job.results) {
        if (result.sent) {
            ++sent;
            printf("%s -> %s%s\n", result.file.c_str(), result.destination.c_str(),
                   result.thumbnailSent ? " (with thumbnail)" : "");
        } else if (!job.noRoom) {
            status = fail(result.file, "not sent: " + result.reason.toStdString());
        } else {
            status = kExitFailure;
        }
    }
    const std::string label = VolumeLabel(job.deviceRoot.substr(0, job.deviceRoot.size() - 1));
    printf("%d of %zu movie%s sent to %s (%s)\n", sent, job.results.size(),
           job.results.size() == 1 ? "" : "s", label.c_str(), job.deviceRoot.c_str());
    if (job.unmount && job.unmounted) printf("%s unmounted\n", label.c_str());
    if (job.unmount && !job.unmounted && !job.cancelled && status == kExitOk)
        status = fail(job.deviceRoot, "could not be unmounted (error code " +
                                          std::to_string(job.unmountStatus) + ")");
    if (job.cancelled) status = 128 + (signal ? signal : SIGINT);
    return status;
}

static void* runJob(void* param) {
    (void)ThreadSendFilesProc(param);
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
    return nullptr;
}

int SendCommand(const ParsedCommand& parsed) {
    // Blocked before any thread starts, so that every thread leaves them to the signalfd.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);

    static int qtArgc = 1;
    static char qtName[] = "moviestick-cli";
    static char* qtArgv[] = {qtName, nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    int chosen = kExitOk;
    SendFilesJob job;
    job.deviceRoot = chooseDevice(parsed, &chosen);
    if (job.deviceRoot.empty()) return chosen;
    job.files = parsed.files;
    job.thumbnails = !parsed.has("--no-thumbnails");
    job.unmount = parsed.has("--unmount");

    // The first signal cancels at the next block, which removes the partial file; a second one
    // ends the program at once, as it would have without us.
    int caught = 0;
    const int signalFd = signalfd(-1, &stopping, SFD_CLOEXEC | SFD_NONBLOCK);
    QSocketNotifier notifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info;
        while (read(signalFd, &info, sizeof info) == sizeof info) {
            if (caught) {
                signal(int(info.ssi_signo), SIG_DFL);
                pthread_sigmask(SIG_UNBLOCK, &stopping, nullptr);
                raise(int(info.ssi_signo));
            }
            caught = int(info.ssi_signo);
            gCopyCancelRequest = true;
        }
    });

    const bool showProgress = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    QTimer progress;
    progress.setInterval(250);
    QObject::connect(&progress, &QTimer::timeout, [&] {
        fprintf(stderr, "\r\033[K%s", progressLine(double(clock.elapsed()) / 1000).c_str());
        fflush(stderr);
    });
    if (showProgress) progress.start();

    gCopyCancelRequest = false;
    ThreadID thread = kNoThreadID;
    if (const int16_t made = NewThread(runJob, &job, 0, &thread); made != 0) {
        fprintf(stderr, "moviestick-cli: cannot start the copy (error code %d)\n", made);
        return kExitFailure;
    }
    gThreadID = thread;
    app.exec();
    gThreadID = 0;
    if (showProgress) fputs("\r\033[K", stderr);
    if (signalFd >= 0) close(signalFd);
    const int status = summarize(job, caught);
    if (job.cancelled && caught) {
        // Ended by the signal, as the shell's loop around us expects.
        fflush(stdout);
        signal(caught, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &stopping, nullptr);
        raise(caught);
    }
    return status;
}
