#pragma once

// The process's worker threads, so that none is still running while statics are destroyed.
// Start runs a function on a thread of its own; StopAndJoin raises the process-wide stop
// flag and joins them all. Work that waits long checks the flag: HttpGet aborts a transfer
// in flight at once and fails any started later, the news check stops between feeds. Once
// the flag is raised no new worker starts. Threads that have finished are joined whenever
// a new one starts, so they do not pile up over a long session. Any thread.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

class CWorkers final {
public:
    CWorkers() = delete;

    // Runs fn on a new thread named strName (in the log and the debugger; the system keeps
    // 15 bytes of it). False, without running it, once the workers are stopping.
    static bool Start(const std::string& strName, std::function<void()> fn);

    // Raises the stop flag and joins every worker, waiting at most the limit. A worker
    // still running then is left to end on its own and named in the log; false when there
    // was one.
    static bool StopAndJoin(std::chrono::milliseconds limit);

    // Whether the stop flag is raised.
    static bool Stopping();

    // A descriptor that turns readable when the stop flag is raised and stays so: waits
    // that poll descriptors add it, so that they wake at once.
    static int StopDescriptor();

    // Workers started and not yet joined.
    static size_t Count();

    // Lowers the stop flag, so that workers start again (tests that stop them use it).
    static void Resume();
};
