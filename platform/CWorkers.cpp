#include "platform/CWorkers.h"

#include "platform/Logging.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <QString>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct CWorker {
    std::string strName;
    std::thread thread;
    bool bDone = false;
};

struct CRegistry {
    std::mutex mutex;
    std::condition_variable finished;
    std::list<CWorker> workers;  // a worker's entry stays where it is while it runs
    std::atomic<bool> bStopping{false};
    int fdStopRead = -1;
    int fdStopWrite = -1;
};

// Never destroyed: a worker left running past the join limit may still finish while the
// process ends.
CRegistry& Registry() {
    static CRegistry* s_pRegistry = [] {
        auto* pRegistry = new CRegistry;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            pRegistry->fdStopRead = fds[0];
            pRegistry->fdStopWrite = fds[1];
        }
        return pRegistry;
    }();
    return *s_pRegistry;
}

// Joins the workers that have finished. The caller holds the lock; a finished worker
// needs it no more, so the joins return at once.
void ReapFinished(CRegistry& registry) {
    for (auto it = registry.workers.begin(); it != registry.workers.end();) {
        if (!it->bDone) {
            ++it;
            continue;
        }
        if (it->thread.joinable()) {
            it->thread.join();
        }
        it = registry.workers.erase(it);
    }
}

void RunWorker(CWorker* pWorker, const std::function<void()>& fn) {
    ::pthread_setname_np(::pthread_self(), pWorker->strName.substr(0, 15).c_str());
    fn();
    CRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    pWorker->bDone = true;
    registry.finished.notify_all();
}

}  // namespace

bool CWorkers::Start(const std::string& strName, std::function<void()> fn) {
    CRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (registry.bStopping) {
        return false;
    }
    ReapFinished(registry);
    CWorker& worker = registry.workers.emplace_back();
    worker.strName = strName;
    try {
        // The worker marks itself done under the lock held here, so not before its
        // thread is stored.
        worker.thread = std::thread(RunWorker, &worker, std::move(fn));
    } catch (const std::system_error& error) {
        qCWarning(AppLog) << "cannot start worker" << QString::fromStdString(strName)
                          << error.what();
        registry.workers.pop_back();
        return false;
    }
    return true;
}

bool CWorkers::StopAndJoin(std::chrono::milliseconds limit) {
    CRegistry& registry = Registry();
    std::unique_lock lock(registry.mutex);
    if (!registry.bStopping.exchange(true) && registry.fdStopWrite >= 0) {
        const char cStop = 1;
        [[maybe_unused]] ssize_t nWritten = ::write(registry.fdStopWrite, &cStop, 1);
    }
    const bool bAllDone = registry.finished.wait_for(lock, limit, [&registry] {
        return std::all_of(registry.workers.begin(), registry.workers.end(),
                           [](const CWorker& worker) { return worker.bDone; });
    });
    for (CWorker& worker : registry.workers) {
        if (!worker.bDone && worker.thread.joinable()) {
            qCWarning(AppLog) << "worker" << QString::fromStdString(worker.strName)
                              << "still running after" << limit.count() << "ms; left to end";
            worker.thread.detach();
        }
    }
    ReapFinished(registry);
    return bAllDone;
}

bool CWorkers::Stopping() { return Registry().bStopping.load(); }

int CWorkers::StopDescriptor() { return Registry().fdStopRead; }

size_t CWorkers::Count() {
    CRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.workers.size();
}

void CWorkers::Resume() {
    CRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    char buffer[16];
    while (registry.fdStopRead >= 0 && ::read(registry.fdStopRead, buffer, sizeof buffer) > 0) {
    }
    registry.bStopping = false;
}
