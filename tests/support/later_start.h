// SPDX-License-Identifier: GPL-3.0-or-later
// later_start.h - a later start of the program, played by another thread of the test process.
#pragma once

#include <atomic>
#include <thread>

#include <QTest>

#include "toolkit/instance.h"

// Sends a request to the running instance on another thread, as a second process would, while
// the test's own thread serves it with its event loop.
struct LaterStart {
    SendResult result = SendResult::NoAnswer;
    int16_t answer = 0;
    std::atomic<bool> finished = false;
    std::thread thread;

    explicit LaterStart(AppleEvent event)
        : thread([this, event] {
              result = SendToRunningInstance(event, &answer);
              finished = true;
          }) {}
    ~LaterStart() {
        if (thread.joinable()) thread.join();
    }
    // The sender blocks until the answer comes: this thread's event loop has to produce it.
    bool Finish() {
        const bool done = QTest::qWaitFor([this] { return finished.load(); }, 5000);
        if (!done) LeaveRunningInstance();  // lets the sender go
        thread.join();
        return done && result == SendResult::Answered;
    }
};
