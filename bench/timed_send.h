// SPDX-License-Identifier: GPL-3.0-or-later
// timed_send.h - one send of the listed movies as the application runs it (the idle tick going),
// timed, with the GUI thread's longest stall: a 10 ms timer records how late it fires.
#pragma once

#include <algorithm>
#include <chrono>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "convert/convert.h"
#include "movielist/movielist.h"
#include "shared/prefs.h"
#include "toolkit/alerts.h"
#include "toolkit/resources.h"
#include "transfer/copyjob.h"

// The application as a send needs it: its texts, every question answered with its default
// button, the local folder taken for a PSP, no sound at the end, and the main window made.
inline bool StartSendingApplication() {
    InstallTranslations();
    SetAlertResponder([](const AlertRecord&) { return kAlertDefaultButton; });
    InstallApplicationEventHandler(ApplicationHandler, nullptr);
    gPref = Preferences{};
    gPref.windowBounds = DefaultWindowBounds();
    gPref.debugLocalVolumeAsPSPVolume = true;
    gPref.copyDoneSound = "";
    gPref.videoKbps = kStandardVideoKbps;
    return DoPref();
}

struct TimedSend {
    bool sent = false;   // the send ended well and left the list empty
    double seconds = 0;  // from the send's start to its end
    double stallMs = 0;  // the GUI thread's longest stall meanwhile
};

inline TimedSend RunTimedSend() {
    QTimer idle;
    QObject::connect(&idle, &QTimer::timeout, [] { IdleProc(nullptr); });
    idle.start(100);
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QElapsedTimer since;
    TimedSend result;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        result.stallMs = std::max(result.stallMs, double(since.nsecsElapsed()) / 1e6 - 10.0);
        since.restart();
    });
    since.start();
    probe.start(10);
    const auto start = std::chrono::steady_clock::now();
    result.sent = SendToPSP(kDataBrowserItemAnyState) == 0 && CountOpenFileInfo() == 0;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
