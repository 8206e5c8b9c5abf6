// The service's login and registration answer, against the same fields cut one after
// the other with ExtractElement, the peer list element by element.

#include "app/ServiceRequests.h"
#include "tests/fuzz/FuzzSupport.h"
#include "util/Strings.h"

#include <string>

namespace {

// The slow side cuts from the start for every address: keep its answers short.
constexpr size_t kMaxCompared = 16384;

CLoginAnswer CutSlowly(std::string strBody) {
    CLoginAnswer answer;
    answer.strErrorCode = ExtractElement("errorcode", strBody);
    answer.strError = ExtractElement("error", strBody);
    answer.strVersionCount = ExtractElement("version_count", strBody);
    answer.strVersionUrl = ExtractElement("version_url", strBody);
    answer.strFirewallRoute = ExtractElement("firewall_rt", strBody);
    std::string strList = ExtractElement("iplist", strBody);
    while (answer.peerAddresses.size() < MAX_PEER_ADDRESSES) {
        std::string strAddress = ExtractElement("ipaddr", strList);
        if (strAddress.empty()) {
            break;
        }
        answer.peerAddresses.push_back(std::move(strAddress));
    }
    return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string strBody(reinterpret_cast<const char*>(pData), nSize);
    const CLoginAnswer answer = ParseLoginAnswer(strBody);
    FUZZ_CHECK(answer.peerAddresses.size() <= MAX_PEER_ADDRESSES);
    for (const std::string& strAddress : answer.peerAddresses) {
        FUZZ_CHECK(!strAddress.empty() && strAddress.find("</ipaddr>") == std::string::npos);
    }
    if (nSize > kMaxCompared) {
        return 0;
    }
    const CLoginAnswer expected = CutSlowly(strBody);
    FUZZ_CHECK(answer.strErrorCode == expected.strErrorCode);
    FUZZ_CHECK(answer.strError == expected.strError);
    FUZZ_CHECK(answer.strVersionCount == expected.strVersionCount);
    FUZZ_CHECK(answer.strVersionUrl == expected.strVersionUrl);
    FUZZ_CHECK(answer.strFirewallRoute == expected.strFirewallRoute);
    FUZZ_CHECK(answer.peerAddresses == expected.peerAddresses);
    return 0;
}
