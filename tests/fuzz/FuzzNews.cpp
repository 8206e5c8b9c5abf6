// The feed scanner: the one-pass element cutter against repeated ExtractElement, and the
// article reader. The first byte picks the target (see kTargets); for the cutter the first
// line is the tag ("article" when empty).

#include "news/FeedScanner.h"
#include "tests/fuzz/FuzzSupport.h"
#include "util/Strings.h"

#include <string>
#include <vector>

namespace {

constexpr std::string_view kTargets = "xa";
// The slow side cuts from the start for every element: keep its texts short.
constexpr size_t kMaxCutterText = 8192;

// Every result repeated ExtractElement gives, empty ones included, up to its first
// failure, after which it fails for good.
std::vector<std::string> CutSlowly(const std::string& strTag, std::string strText) {
    std::vector<std::string> out;
    while (FindElement(strTag, strText)) {
        out.push_back(ExtractElement(strTag, strText));
    }
    return out;
}

void CheckCutter(std::string_view strTag, std::string_view strText) {
    const std::string strName = strTag.empty() ? "article" : std::string(strTag.substr(0, 16));
    const std::string strOwned(strText.substr(0, kMaxCutterText));
    const std::vector<std::string> expected = CutSlowly(strName, strOwned);
    CElementCutter cutter(strName, strOwned);
    for (const std::string& strExpected : expected) {
        FUZZ_CHECK(cutter.Next() == strExpected);
    }
    FUZZ_CHECK(cutter.Next().empty());
    FUZZ_CHECK(cutter.Next().empty());
}

// Fields end at their first closing tag; the headline is one line of valid UTF-8 when its
// text was, at most NEWS_MAX_HEADLINE bytes.
void CheckArticle(std::string_view strText) {
    const std::unique_ptr<CNewsItem> pItem = ParseArticle(std::string(strText));
    FUZZ_CHECK(pItem);
    FUZZ_CHECK(pItem->m_strUrl.find("</url>") == std::string::npos);
    FUZZ_CHECK(pItem->m_strSource.find("</source>") == std::string::npos);
    FUZZ_CHECK(pItem->m_strCluster.find("</cluster>") == std::string::npos);
    const std::string& strHeadline = pItem->m_strHeadline;
    FUZZ_CHECK(strHeadline.size() <= NEWS_MAX_HEADLINE);
    FUZZ_CHECK(strHeadline.find_first_of("\r\n") == std::string::npos);
    if (fuzz_support::IsUtf8(strText)) {
        FUZZ_CHECK(fuzz_support::IsUtf8(strHeadline));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const fuzz_support::CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 'x': CheckCutter(input.strParam, input.strRest); break;
        case 'a': CheckArticle(input.strBody); break;
    }
    return 0;
}
