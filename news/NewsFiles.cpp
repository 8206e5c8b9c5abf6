#include "news/NewsFiles.h"

#include "news/WebLinks.h"

#include "util/AppFiles.h"
#include "util/Strings.h"

#include <QString>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

constexpr size_t kMaxChannel = 25;
constexpr long long kUnreadableTime = -1;

std::string SafePrefix(std::string strUser) {
    for (char& c : strUser) {
        if (c == '/' || c == '\\' || c == '\0') {
            c = '_';
        }
    }
    return strUser;
}

long long ReadSeenTime(std::string_view strValue, std::time_t now) {
    if (strValue.empty() || !std::all_of(strValue.begin(), strValue.end(),
                                         [](char c) { return c >= '0' && c <= '9'; })) {
        return kUnreadableTime;
    }
    long long nTime = 0;
    auto [pEnd, error] = std::from_chars(strValue.data(), strValue.data() + strValue.size(), nTime);
    if (error == std::errc::result_out_of_range) {
        return now;  // all digits, just too many: far in the future
    }
    return std::min<long long>(nTime, now);
}

void AppendRecord(std::string& strText, std::string_view strHeadline, long long nTime) {
    AppendMapLine(strText, strHeadline, std::to_string(nTime));
}

}  // namespace

CSeenStore::CSeenStore(const std::string& strUser, std::time_t now)
    : m_strPath(AppDirPath(SeenStoreFile(strUser))), m_now(now) {
    m_bFileExists = ReadTextFile(m_strPath, m_strFileText);
    const std::string_view text = m_strFileText;
    m_records.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    // Lines as LoadMapFile reads them, so the store reads as the same map.
    ForEachLine(text, [&](std::string_view line) {
        ++m_nFileLines;
        std::string_view headline, time;
        if (!SplitMapLine(line, headline, time)) {
            return;
        }
        const long long nTime = ReadSeenTime(time, now);
        auto [it, bNew] = m_records.try_emplace(headline, nTime);
        if (!bNew) {
            m_nLive -= IsLive(it->second) ? 1 : 0;
            it->second = nTime;
        }
        m_nLive += IsLive(nTime) ? 1 : 0;
    });
}

bool CSeenStore::IsLive(long long nTime) const {
    const long long nMaxAge =
        std::chrono::duration_cast<std::chrono::seconds>(SEEN_STORE_MAX_AGE).count();
    // Times are clamped to [0, now] where read, so the difference cannot overflow.
    return nTime >= 0 && m_now - nTime <= nMaxAge;
}

bool CSeenStore::Contains(std::string_view strHeadline) const {
    return m_records.count(strHeadline) != 0;
}

void CSeenStore::Add(const std::string& strHeadline) {
    if (Contains(strHeadline)) {
        return;
    }
    m_records.emplace(m_added.emplace_back(strHeadline), m_now);
    ++m_nLive;
}

bool CSeenStore::Save() const {
    // Added records are live lines of their own once appended.
    const size_t nDead = m_nFileLines + m_added.size() - m_nLive;
    std::string strText;
    if (nDead > m_nLive) {
        strText.reserve(m_strFileText.size());
        for (const auto& [strHeadline, nTime] : m_records) {
            if (IsLive(nTime)) {
                AppendRecord(strText, strHeadline, nTime);
            }
        }
        return SaveTextFile(m_strPath, strText);
    }
    if (m_added.empty() && m_bFileExists) {
        return true;
    }
    for (const std::string& strHeadline : m_added) {
        AppendRecord(strText, strHeadline, m_now);
    }
    return AppendTextFile(m_strPath, strText);
}

std::string ChosenSourcesFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_out_feeds.txt";
}

std::string SeenStoreFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_seenurls.txt";
}

std::string OwnSourcesFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_own_feeds.txt";
}

std::string FeedValidatorsFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_feed_validators.txt";
}

std::string SourceStatusFile(const std::string& strUser) {
    return SafePrefix(strUser) + "_feed_status.txt";
}

bool SaveOwnSources(const std::string& strUser, const CFeedSourceList& sources) {
    std::string strText;
    for (const CFeedSource& source : sources) {
        const std::string strAddress = WebLink(QUrl(), QString::fromStdString(source.strAddress));
        if (!strAddress.empty()) {
            AppendMapLine(strText, CleanSourceName(source.strName), strAddress);
        }
    }
    return SaveTextFile(AppDirPath(OwnSourcesFile(strUser)), strText);
}

bool HasChosenSources(const std::string& strUser) {
    std::vector<std::string> names;
    LoadListFile(ChosenSourcesFile(strUser), names);
    return !names.empty();
}

std::string ChannelNameOf(const std::string& strHeadline) {
    std::string strChannel = "#" + strHeadline;
    for (const char* pszRemove :
         {"&amp;", " ", "\r", "\n", ".", ",", "(", ")", "'", ":", ";", "&"}) {
        ReplaceAll(strChannel, pszRemove, "");
    }
    // Any other control character would make the server refuse the channel. The cut keeps
    // whole characters, the byte count being the rule's (see docs/architecture.md).
    std::erase_if(strChannel,
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return CutAtCharBoundary(strChannel, kMaxChannel);
}

std::string ChatTopicOf(const std::string& strSource, const std::string& strHeadline) {
    std::string strTopic = strSource + " - " + strHeadline;
    ReplaceAll(strTopic, "&amp;", "&");
    return strTopic;
}
