#pragma once

// Who logged in recently and from where: the peer list sent with every log-in answer.
// Kept in the service store, so every service process on one database hands out the same
// peers, and a restarted service still knows the clients seen within the window.
//
// A list is a random sample, in random order, of at most kSampleSize addresses (all the
// client reads) drawn from the kPoolSize seen most recently within the window, never the
// caller's own. Its size and its cost stay the same however large the network grows, and
// clients, which connect to the first addresses of their lists, spread over the recent
// ones instead of all meeting the newest.
//
// What a log-in costs: three store statements, each bounded by an index and none growing
// with the number of peers: the sample (the newest end of the seen index, cut at kPoolSize
// rows and shuffled), the account's hash by its key and the caller's upsert. A failed
// log-in costs the first two. Besides, each process deletes the peers that left the
// window at most once a minute, on a log-in. Safe to use from any thread.

#include "CServiceStore.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CPeerRegistry final {
public:
    // The client keeps the first 1,000 addresses of a list.
    static constexpr size_t kSampleSize = 1000;
    static constexpr size_t kPoolSize = 4 * kSampleSize;

    // Peers not seen within window are not listed.
    CPeerRegistry(CServiceStore& store, std::chrono::seconds window);

    // Records a successful log-in. Addresses that are not dotted IPv4 are ignored: the
    // client can only use those. False when the store failed.
    bool Record(const std::string& strAddress, const std::string& strUser);

    // The list for a client at strOwnAddress; empty and false when the store failed.
    bool Sample(const std::string& strOwnAddress, std::vector<std::string>& arrPeers);

private:
    void PruneNowAndThen();

    CServiceStore& m_store;
    std::chrono::seconds m_window;
    std::mutex m_pruneMutex;
    std::optional<std::chrono::steady_clock::time_point> m_lastPrune;
};
