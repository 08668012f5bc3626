// SPDX-License-Identifier: GPL-3.0-or-later
// fiber_test.cpp - the cooperative thread: its turns, its ID, the idle loop, nested event loops,
// its stack, and blocking I/O done by the worker while the GUI thread goes on.
#include "toolkit/fiber.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Steps {
    int count = 0;
    std::vector<ThreadID> ids;
};

void* CountThreeTurns(void* param) {
    auto* steps = static_cast<Steps*>(param);
    for (int i = 0; i < 3; ++i) {
        ++steps->count;
        steps->ids.push_back(GetCurrentThreadID());
        (void)YieldToAnyThread();
    }
    return nullptr;
}

bool WaitForThreadEnd(int milliseconds = 5000) {
    return QTest::qWaitFor([] { return GetCooperativeThreadID() == kNoThreadID; }, milliseconds);
}

}  // namespace

TEST(Fiber, RunsOnlyBetweenYieldsUnderItsOwnID) {
    Steps steps;
    ThreadID id = kNoThreadID;
    ASSERT_EQ(NewThread(CountThreeTurns, &steps, 0, &id), 0);
    EXPECT_NE(id, kNoThreadID);
    EXPECT_NE(id, kApplicationThreadID);
    EXPECT_EQ(GetCooperativeThreadID(), id);
    EXPECT_EQ(steps.count, 0);  // created, not yet run
    EXPECT_EQ(GetCurrentThreadID(), kApplicationThreadID);

    for (int turn = 1; turn <= 3; ++turn) {
        EXPECT_EQ(YieldToAnyThread(), 0);
        EXPECT_EQ(steps.count, turn);
    }
    EXPECT_EQ(GetCooperativeThreadID(), id);  // still inside its last yield
    EXPECT_EQ(YieldToAnyThread(), 0);
    EXPECT_EQ(GetCooperativeThreadID(), kNoThreadID);
    EXPECT_EQ(steps.ids, std::vector<ThreadID>(3, id));
    EXPECT_EQ(YieldToAnyThread(), 0);  // no thread: nothing happens
}

// The idle event loop alone runs each thread to its end here.
TEST(Fiber, OnlyOneThreadAtATimeAndEachGetsANewID) {
    Steps first, second;
    ThreadID firstID = kNoThreadID, secondID = kNoThreadID;
    ASSERT_EQ(NewThread(CountThreeTurns, &first, 0, &firstID), 0);
    EXPECT_EQ(NewThread(CountThreeTurns, &second, 0, &secondID), kThreadTooManyReqsErr);
    EXPECT_EQ(secondID, kNoThreadID);
    ASSERT_TRUE(WaitForThreadEnd());
    ASSERT_EQ(NewThread(CountThreeTurns, &second, 0, &secondID), 0);
    EXPECT_NE(secondID, firstID);
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(NewThread(nullptr, nullptr, 0, &secondID), -50);
}

namespace {

// An alert shown by the thread runs an event loop inside it, where the idle timer keeps firing.
void* RunNestedLoop(void* param) {
    auto* turns = static_cast<int*>(param);
    ++*turns;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 50) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ++*turns;
    return nullptr;
}

}  // namespace

TEST(Fiber, ANestedEventLoopInsideTheThreadDoesNotResumeIt) {
    int turns = 0;
    ThreadID id = kNoThreadID;
    ASSERT_EQ(NewThread(RunNestedLoop, &turns, 0, &id), 0);
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(turns, 2);
}

namespace {

void* UseMuchStack(void* param) {
    volatile char big[200 * 1024];
    std::memset(const_cast<char*>(big), 1, sizeof big);
    *static_cast<int*>(param) = big[sizeof big - 1] + big[0];
    return nullptr;
}

}  // namespace

TEST(Fiber, ASmallStackRequestStillGetsAQuarterMebibyte) {
    int sum = 0;
    ThreadID id = kNoThreadID;
    ASSERT_EQ(NewThread(UseMuchStack, &sum, 4096, &id), 0);
    ASSERT_TRUE(WaitForThreadEnd());
    EXPECT_EQ(sum, 2);
}

namespace {

struct PipeWrite {
    int fd = -1;
    std::vector<char> data;
    ssize_t result = 0;
    int turnsWhileWriting = 0;
};

void* WriteToPipe(void* param) {
    auto* job = static_cast<PipeWrite*>(param);
    job->result = ThreadWrite(job->fd, job->data.data(), job->data.size());
    return nullptr;
}

}  // namespace

TEST(Fiber, ABlockingWriteLetsTheGUIThreadRunUntilItCompletes) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    PipeWrite job;
    job.fd = fds[1];
    job.data.assign(1024 * 1024, 'x');  // far more than the pipe holds
    ThreadID id = kNoThreadID;
    ASSERT_EQ(NewThread(WriteToPipe, &job, 0, &id), 0);

    // The pipe is drained only here, on the GUI thread: the write can complete only because
    // this loop goes on while it is in flight.
    size_t received = 0;
    std::vector<char> buffer(65536);
    QElapsedTimer clock;
    clock.start();
    while (GetCooperativeThreadID() != kNoThreadID && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const ssize_t got = read(fds[0], buffer.data(), buffer.size());
        if (got > 0) received += size_t(got);
    }
    ASSERT_EQ(GetCooperativeThreadID(), kNoThreadID);
    for (ssize_t got; (got = read(fds[0], buffer.data(), buffer.size())) > 0;)
        received += size_t(got);
    EXPECT_EQ(job.result, ssize_t(job.data.size()));
    EXPECT_EQ(received, job.data.size());
    close(fds[0]);
    close(fds[1]);
}

TEST(Fiber, ReadsAndWritesOutsideTheThreadAreDoneAtOnceWithErrno) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(ThreadWrite(fds[1], "abc", 3), 3);
    close(fds[1]);
    char buffer[8] = {};
    EXPECT_EQ(ThreadRead(fds[0], buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(ThreadRead(fds[0], buffer, sizeof buffer), 0);  // the end of the data
    close(fds[0]);
    EXPECT_EQ(ThreadRead(fds[0], buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, EBADF);
}
