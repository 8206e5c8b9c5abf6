#include "CPeerRegistry.h"

#include "ServiceText.h"

namespace {

constexpr std::chrono::minutes kPruneInterval{1};

}  // namespace

CPeerRegistry::CPeerRegistry(CServiceStore& store, std::chrono::seconds window)
    : m_store(store), m_window(window) {}

bool CPeerRegistry::Record(const std::string& strAddress, const std::string& strUser) {
    std::string strDotted = DottedIPv4(strAddress);
    if (strDotted.empty()) {
        return true;
    }
    PruneNowAndThen();
    return m_store.RecordPeer(strDotted, strUser);
}

bool CPeerRegistry::Sample(const std::string& strOwnAddress, std::vector<std::string>& arrPeers) {
    return m_store.SamplePeers(DottedIPv4(strOwnAddress), m_window, kPoolSize, kSampleSize,
                               arrPeers);
}

void CPeerRegistry::PruneNowAndThen() {
    auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(m_pruneMutex);
        if (m_lastPrune && now - *m_lastPrune < kPruneInterval) {
            return;
        }
        m_lastPrune = now;
    }
    // A failure is reported by the store; the next prune takes what this one left.
    m_store.PrunePeers(m_window);
}
