// SPDX-License-Identifier: GPL-3.0-or-later
// fiber.h - the cooperative second thread: a fiber on the GUI thread that runs only between
// its yields, and the worker thread that does its blocking reads and writes meanwhile.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>

using ThreadID = uint32_t;
inline constexpr ThreadID kNoThreadID = 0;
inline constexpr ThreadID kApplicationThreadID = 2;     // the GUI thread's own context
inline constexpr int16_t kThreadTooManyReqsErr = -617;  // a second thread while one exists

using ThreadEntryProc = void* (*)(void* param);

// Creates the thread; it first runs at the next yield of the GUI thread or when the event loop
// is idle, and from then on whenever the GUI thread yields or the loop is idle, until its entry
// returns. A stack size of 0 takes the default (1 MiB); less than 256 KiB is raised to that.
// The stack ends in a guard page. Only one such thread exists at a time (-617 for another).
[[nodiscard]] int16_t NewThread(ThreadEntryProc entry, void* param, size_t stackSize,
                                ThreadID* thread);

// From the thread: back to the GUI thread, returning when the thread's turn comes again. From
// the GUI thread: runs the thread to its next yield (nothing when there is none). Always 0.
[[nodiscard]] int16_t YieldToAnyThread();

// The thread that runs now: the fiber's ID inside it, else kApplicationThreadID.
ThreadID GetCurrentThreadID();
// The fiber's ID while it exists, else kNoThreadID.
ThreadID GetCooperativeThreadID();

// Blocking calls on file descriptors, carried out by the worker thread while the caller yields
// (called from the GUI thread outside the fiber, they simply wait). Only the worker touches the
// descriptor until the call returns. The result and errno are those of read(2) and write(2);
// ThreadWrite writes every byte unless a write fails.
[[nodiscard]] ssize_t ThreadRead(int fd, void* buffer, size_t size);
[[nodiscard]] ssize_t ThreadWrite(int fd, const void* buffer, size_t size);
// Any other blocking call (fsync, sync_file_range, close, unlink, ...) run the same way; the
// result and errno are the call's own. The call must not touch the GUI.
[[nodiscard]] ssize_t ThreadCall(const std::function<ssize_t()>& call);
