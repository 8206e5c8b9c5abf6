#include "news/FeedSource.h"

#include "util/AppFiles.h"
#include "util/Strings.h"

#include <algorithm>

std::string CleanSourceName(std::string_view strName) {
    std::string strClean;
    strClean.reserve(std::min(strName.size(), MAX_SOURCE_NAME * 2));
    bool bBlank = false;
    for (char c : strName) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) {
            bBlank = true;
            continue;
        }
        if (bBlank && !strClean.empty()) {
            strClean += ' ';
        }
        bBlank = false;
        strClean += c;
        if (strClean.size() > MAX_SOURCE_NAME * 2) {
            break;  // enough to cut from
        }
    }
    // Changing a "<" cannot make a separator, so one pass over the text is enough.
    const std::string_view separator = MAP_SEPARATOR;
    for (size_t i = strClean.find(separator); i != std::string::npos;
         i = strClean.find(separator, i + 1)) {
        strClean[i] = '(';
    }
    strClean = CutAtCharBoundary(strClean, MAX_SOURCE_NAME);
    while (!strClean.empty() && strClean.back() == ' ') {
        strClean.pop_back();
    }
    return strClean;
}
