#include "news/FeedDiscovery.h"

#include "news/HtmlText.h"
#include "news/WebLinks.h"

#include <QString>
#include <QUrl>

#include <unordered_set>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether str is strLower (given in lower case), ASCII letters compared without case.
bool EqualsNoCase(std::string_view str, std::string_view strLower) {
    return str.size() == strLower.size() &&
           std::equal(str.begin(), str.end(), strLower.begin(),
                      [](char a, char b) { return Lower(a) == b; });
}

QString AttributeText(std::string_view strValue) {
    return DecodeHtmlEntities(
        QString::fromUtf8(strValue.data(), static_cast<qsizetype>(strValue.size())));
}

struct CAnnouncement {
    QString strHref;
    QString strTitle;
};

// The attributes a scan keeps of a <link> or <base>; the first of each name counts.
struct CTagAttributes {
    std::string_view strRel, strType, strHref, strTitle;
    bool bRel = false, bType = false, bHref = false, bTitle = false;

    void Set(std::string_view strName, std::string_view strValue) {
        auto keep = [&](bool& bSeen, std::string_view& strSlot) {
            if (!bSeen) {
                bSeen = true;
                strSlot = strValue;
            }
        };
        if (EqualsNoCase(strName, "rel")) {
            keep(bRel, strRel);
        } else if (EqualsNoCase(strName, "type")) {
            keep(bType, strType);
        } else if (EqualsNoCase(strName, "href")) {
            keep(bHref, strHref);
        } else if (EqualsNoCase(strName, "title")) {
            keep(bTitle, strTitle);
        }
    }
};

// Reads the attributes from html[i] to the end of the tag; the position after its ">",
// or npos when the page ends first.
size_t ReadAttributes(std::string_view html, size_t i, CTagAttributes& attributes) {
    const size_t nSize = html.size();
    while (i < nSize) {
        while (i < nSize && (IsSpace(html[i]) || html[i] == '/')) {
            ++i;
        }
        if (i >= nSize) {
            break;
        }
        if (html[i] == '>') {
            return i + 1;
        }
        const size_t nName = i;
        // A name's first character may be "=" (HTML reads it so).
        ++i;
        while (i < nSize && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>' &&
               html[i] != '=') {
            ++i;
        }
        const std::string_view strName = html.substr(nName, i - nName);
        while (i < nSize && IsSpace(html[i])) {
            ++i;
        }
        std::string_view strValue;
        if (i < nSize && html[i] == '=') {
            ++i;
            while (i < nSize && IsSpace(html[i])) {
                ++i;
            }
            if (i < nSize && (html[i] == '"' || html[i] == '\'')) {
                const size_t nClose = html.find(html[i], i + 1);
                if (nClose == std::string_view::npos) {
                    return std::string_view::npos;
                }
                strValue = html.substr(i + 1, nClose - i - 1);
                i = nClose + 1;
            } else {
                const size_t nValue = i;
                while (i < nSize && !IsSpace(html[i]) && html[i] != '>') {
                    ++i;
                }
                strValue = html.substr(nValue, i - nValue);
            }
        }
        attributes.Set(strName, strValue);
    }
    return std::string_view::npos;
}

// Where the end tag of a raw-text element (lower-case name) begins at or after i; npos
// when there is none.
size_t FindEndTag(std::string_view html, size_t i, std::string_view strName) {
    for (size_t nLt = html.find("</", i); nLt != std::string_view::npos;
         nLt = html.find("</", nLt + 2)) {
        const std::string_view strAfter = html.substr(nLt + 2, strName.size());
        const size_t nEnd = nLt + 2 + strName.size();
        if (EqualsNoCase(strAfter, strName) && (nEnd >= html.size() || IsSpace(html[nEnd]) ||
                                                html[nEnd] == '>' || html[nEnd] == '/')) {
            return nLt;
        }
    }
    return std::string_view::npos;
}

bool IsFeedType(std::string_view strType) {
    strType = strType.substr(0, strType.find(';'));
    while (!strType.empty() && IsSpace(strType.front())) {
        strType.remove_prefix(1);
    }
    while (!strType.empty() && IsSpace(strType.back())) {
        strType.remove_suffix(1);
    }
    return EqualsNoCase(strType, "application/rss+xml") ||
           EqualsNoCase(strType, "application/atom+xml");
}

bool HasAlternate(std::string_view strRel) {
    for (size_t i = 0; i < strRel.size();) {
        while (i < strRel.size() && IsSpace(strRel[i])) {
            ++i;
        }
        const size_t nWord = i;
        while (i < strRel.size() && !IsSpace(strRel[i])) {
            ++i;
        }
        if (EqualsNoCase(strRel.substr(nWord, i - nWord), "alternate")) {
            return true;
        }
    }
    return false;
}

}  // namespace

CFeedSourceList DiscoverFeeds(std::string_view html, const std::string& strPageAddress) {
    static constexpr std::string_view kRawText[] = {"script", "style", "textarea", "title"};
    QUrl base(QString::fromStdString(strPageAddress));
    bool bHasBase = false;
    std::vector<CAnnouncement> announcements;
    size_t i = 0;
    while (i < html.size() && announcements.size() < MAX_FEED_ANNOUNCEMENTS) {
        const size_t nLt = html.find('<', i);
        if (nLt == std::string_view::npos) {
            break;
        }
        const std::string_view strRest = html.substr(nLt);
        if (strRest.starts_with("<!--")) {
            const size_t nEnd = html.find("-->", nLt + 4);
            i = nEnd == std::string_view::npos ? html.size() : nEnd + 3;
            continue;
        }
        if (strRest.size() < 2 || !IsLetter(strRest[1])) {
            // An end tag, a declaration, or a "<" that begins nothing.
            const bool bTagLike = strRest.size() >= 2 &&
                                  (strRest[1] == '/' || strRest[1] == '!' || strRest[1] == '?');
            const size_t nGt = bTagLike ? html.find('>', nLt) : nLt;
            i = nGt == std::string_view::npos ? html.size() : nGt + 1;
            continue;
        }
        size_t nNameEnd = nLt + 1;
        while (nNameEnd < html.size() && !IsSpace(html[nNameEnd]) && html[nNameEnd] != '/' &&
               html[nNameEnd] != '>') {
            ++nNameEnd;
        }
        const std::string_view strName = html.substr(nLt + 1, nNameEnd - nLt - 1);
        CTagAttributes attributes;
        i = ReadAttributes(html, nNameEnd, attributes);
        if (i == std::string_view::npos) {
            break;
        }
        // An empty href would name the page itself.
        if (EqualsNoCase(strName, "link") && !attributes.strHref.empty() &&
            HasAlternate(attributes.strRel) && IsFeedType(attributes.strType)) {
            announcements.push_back(
                {AttributeText(attributes.strHref), AttributeText(attributes.strTitle)});
        } else if (EqualsNoCase(strName, "base") && attributes.bHref && !bHasBase) {
            bHasBase = true;
            base = ResolveBase(base, AttributeText(attributes.strHref));
        }
        for (std::string_view strRaw : kRawText) {
            if (EqualsNoCase(strName, strRaw)) {
                const size_t nEnd = FindEndTag(html, i, strRaw);
                i = nEnd == std::string_view::npos ? html.size() : nEnd;
            }
        }
    }
    CFeedSourceList feeds;
    std::unordered_set<std::string> seen;
    for (const CAnnouncement& announcement : announcements) {
        std::string strAddress = WebLink(base, announcement.strHref);
        if (strAddress.empty() || !seen.insert(strAddress).second) {
            continue;
        }
        feeds.push_back({CleanSourceName(OneLineText(announcement.strTitle, MAX_SOURCE_NAME)),
                         std::move(strAddress)});
        if (feeds.size() == MAX_DISCOVERED_FEEDS) {
            break;
        }
    }
    return feeds;
}
