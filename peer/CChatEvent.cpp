#include "peer/CChatEvent.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <cstdio>

namespace {

void AppendElement(std::string& strOut, const char* pszTag, const std::string& strValue) {
    strOut += '<';
    strOut += pszTag;
    strOut += '>';
    strOut += strValue;
    strOut += "</";
    strOut += pszTag;
    strOut += ">\n";
}

// Cuts the first element named strTag out of strBody, as ExtractElement does, but tells
// an empty element apart from a missing one.
std::optional<std::string> CutElement(std::string_view strTag, std::string& strBody) {
    const std::optional<CElementSpan> span = FindElement(strTag, strBody);
    if (!span) {
        return std::nullopt;
    }
    std::string strContent = strBody.substr(span->nContent, span->nClose - span->nContent);
    strBody.erase(span->nOpen, span->nEnd - span->nOpen);
    return strContent;
}

void CutList(std::string_view strTag, std::string& strBody, CStringArray& arr) {
    arr.clear();
    while (std::optional<std::string> strValue = CutElement(strTag, strBody)) {
        arr.push_back(std::move(*strValue));
    }
}

}  // namespace

// The random suffix of the id is a deliberate difference: a bare time stamp made two
// events of one second into duplicates.
CChatEvent::CChatEvent() {
    const qint64 nSeconds = QDateTime::currentSecsSinceEpoch();
    timestamp = std::to_string(nSeconds);
    char szRandom[17];
    std::snprintf(szRandom, sizeof szRandom, "%016llx",
                  static_cast<unsigned long long>(QRandomGenerator::system()->generate64()));
    id = timestamp + "-" + szRandom;
}

std::string CChatEvent::ToXml() const {
    std::string strOut = "<event>\n";
    if (!id.empty()) {
        AppendElement(strOut, "id", id);
    }
    if (!type.empty()) {
        AppendElement(strOut, "type", type);
    }
    if (!timestamp.empty()) {
        AppendElement(strOut, "timestamp", timestamp);
    }
    for (const std::string& strParam : params) {
        AppendElement(strOut, "param", strParam);
    }
    for (const std::string& strCat : cats) {
        AppendElement(strOut, "cat", strCat);
    }
    strOut += "</event>\n";
    return strOut;
}

void CChatEvent::FromXml(std::string_view strText) {
    std::string strBody(strText);
    if (std::optional<std::string> strEvent = CutElement("event", strBody);
        strEvent && !strEvent->empty()) {
        strBody = std::move(*strEvent);
    } else {
        strBody = std::string(strText);
    }
    id = ExtractElement("id", strBody);
    timestamp = ExtractElement("timestamp", strBody);
    type = ExtractElement("type", strBody);
    // Empty params are kept rather than ending the list (a deliberate difference): an
    // invitation with an empty topic keeps its URL and inviter.
    CutList("param", strBody, params);
    CutList("cat", strBody, cats);
}

CChatEvent CChatEvent::Invitation(const std::string& strChannel, const std::string& strTopic,
                                  const std::string& strUrl, const std::string& strInviter) {
    CChatEvent event;
    event.type = TYPE_CHAT;
    event.params = {strChannel, strTopic, strUrl, strInviter};
    return event;
}

const std::string& CChatEvent::Param(size_t nIndex) const {
    static const std::string s_strEmpty;
    return nIndex < params.size() ? params[nIndex] : s_strEmpty;
}
