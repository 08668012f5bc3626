// SPDX-License-Identifier: GPL-3.0-or-later
// fiber.cpp - the cooperative thread on Boost.Context, and its I/O worker on a std::thread.
#include "toolkit/fiber.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <QCoreApplication>
#include <QTimer>

#include <boost/context/fiber.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>

namespace ctx = boost::context;

static constexpr size_t kDefaultStackSize = 1024 * 1024;
static constexpr size_t kMinimumStackSize = 256 * 1024;

static ctx::fiber gFiber;        // the thread, while it is suspended
static ctx::fiber gMainContext;  // inside the thread: the GUI thread's suspended context
static ThreadID gThread = kNoThreadID;
static ThreadID gLastThread = kApplicationThreadID;
// Set while the thread runs. An alert the thread shows runs a nested event loop inside it, and
// the idle timer must not try to resume the thread from there.
static bool gInFiber = false;
static QTimer* gIdleTimer = nullptr;

// An I/O request the thread waits on; the idle timer rests until it completes.
struct IORequest {
    bool write = false;
    int fd = -1;
    void* buffer = nullptr;
    size_t size = 0;
    const std::function<ssize_t()>* call = nullptr;  // instead of a read or write
    ssize_t result = 0;
    int error = 0;
    std::atomic<bool> done{false};
};
static IORequest* gWaitingOn = nullptr;

static void ResumeThread() {
    if (gInFiber || !gFiber) return;
    gInFiber = true;
    gFiber = std::move(gFiber).resume();
    gInFiber = false;
    if (!gFiber) {
        // The entry returned: the fiber has ended and its stack is gone.
        gThread = kNoThreadID;
        if (gIdleTimer) gIdleTimer->stop();
    }
}

static void IdleResume() {
    if (gWaitingOn && !gWaitingOn->done.load(std::memory_order_acquire)) {
        // The worker restarts the timer when the request completes.
        gIdleTimer->stop();
        return;
    }
    ResumeThread();
}

static void StartIdleTimer() {
    if (!gIdleTimer) {
        gIdleTimer = new QTimer(QCoreApplication::instance());
        gIdleTimer->setInterval(0);
        QObject::connect(gIdleTimer, &QTimer::timeout, gIdleTimer, IdleResume);
    }
    if (gThread != kNoThreadID) gIdleTimer->start();
}

int16_t NewThread(ThreadEntryProc entry, void* param, size_t stackSize, ThreadID* thread) {
    if (!entry || !thread) return -50;
    if (gThread != kNoThreadID) return kThreadTooManyReqsErr;
    const size_t size = stackSize == 0 ? kDefaultStackSize : std::max(stackSize, kMinimumStackSize);
    try {
        gFiber = ctx::fiber(std::allocator_arg, ctx::protected_fixedsize_stack(size),
                            [entry, param](ctx::fiber&& main) {
                                gMainContext = std::move(main);
                                (void)entry(param);
                                return std::move(gMainContext);
                            });
    } catch (const std::bad_alloc&) {
        return -108;
    } catch (const std::system_error&) {
        return -108;
    }
    gThread = ++gLastThread;
    *thread = gThread;
    StartIdleTimer();
    return 0;
}

int16_t YieldToAnyThread() {
    if (gInFiber) {
        gMainContext = std::move(gMainContext).resume();
    } else {
        ResumeThread();
    }
    return 0;
}

ThreadID GetCurrentThreadID() {
    return gInFiber ? gThread : kApplicationThreadID;
}
ThreadID GetCooperativeThreadID() {
    return gThread;
}

// The I/O worker

static void Perform(IORequest* request) {
    if (request->call) {
        errno = 0;
        request->result = (*request->call)();
    } else if (request->write) {
        const auto* bytes = static_cast<const char*>(request->buffer);
        size_t written = 0;
        ssize_t result = 0;
        while (written < request->size) {
            result = ::write(request->fd, bytes + written, request->size - written);
            if (result < 0 && errno == EINTR) continue;
            if (result <= 0) break;
            written += size_t(result);
        }
        request->result = result < 0 ? -1 : ssize_t(written);
    } else {
        do {
            request->result = ::read(request->fd, request->buffer, request->size);
        } while (request->result < 0 && errno == EINTR);
    }
    request->error = request->result < 0 ? errno : 0;
}

namespace {

struct Worker {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<IORequest*> queue;
    bool stopping = false;
    std::thread thread{[this] { Run(); }};

    ~Worker() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        thread.join();
    }
    void Run() {
        for (;;) {
            IORequest* request = nullptr;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !queue.empty(); });
                if (queue.empty()) return;
                request = queue.front();
                queue.pop_front();
            }
            Perform(request);
            request->done.store(true, std::memory_order_release);
            // Wakes the idle timer, which rested while the thread waited.
            QMetaObject::invokeMethod(
                gIdleTimer, [] { gIdleTimer->start(); }, Qt::QueuedConnection);
        }
    }
    void Submit(IORequest* request) {
        {
            std::lock_guard lock(mutex);
            queue.push_back(request);
        }
        wake.notify_one();
    }
};

}  // namespace

static ssize_t Transfer(IORequest* request) {
    if (!gInFiber || !gIdleTimer) {
        Perform(request);
    } else {
        static Worker worker;
        gWaitingOn = request;
        worker.Submit(request);
        while (!request->done.load(std::memory_order_acquire))
            gMainContext = std::move(gMainContext).resume();
        gWaitingOn = nullptr;
    }
    errno = request->error;
    return request->result;
}

ssize_t ThreadRead(int fd, void* buffer, size_t size) {
    IORequest request;
    request.fd = fd;
    request.buffer = buffer;
    request.size = size;
    return Transfer(&request);
}

ssize_t ThreadWrite(int fd, const void* buffer, size_t size) {
    IORequest request;
    request.write = true;
    request.fd = fd;
    request.buffer = const_cast<void*>(buffer);
    request.size = size;
    return Transfer(&request);
}

ssize_t ThreadCall(const std::function<ssize_t()>& call) {
    IORequest request;
    request.call = &call;
    return Transfer(&request);
}
