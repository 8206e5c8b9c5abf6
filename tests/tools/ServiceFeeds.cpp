#include "ServiceFeeds.h"

#include "ServiceFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool IsNumber(const std::string& str, size_t nMinDigits, size_t nMaxDigits) {
    return str.size() >= nMinDigits && str.size() <= nMaxDigits &&
           str.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::vector<CCatalogueEntry> ParseCatalogue(const std::string& strBody) {
    std::vector<CCatalogueEntry> arrEntries;
    const std::string strDivider = "<!!div!!>";
    for (const std::string& strLine : Lines(strBody)) {
        size_t nDivider = strLine.find(strDivider);
        CCatalogueEntry entry;
        if (nDivider != std::string::npos) {
            entry = {strLine.substr(0, nDivider), strLine.substr(nDivider + strDivider.size())};
        }
        EXPECT_FALSE(entry.strName.empty()) << strLine;
        EXPECT_EQ(entry.strName.find_first_of("<\r"), std::string::npos) << strLine;
        EXPECT_TRUE(StartsWith(entry.strUrl, "http://")) << strLine;
        EXPECT_EQ(entry.strUrl.find_first_of(" \t\r<"), std::string::npos) << strLine;
        arrEntries.push_back(entry);
    }
    return arrEntries;
}

bool IsHarvestTime(const std::string& strText) {
    static const std::set<std::string> s_setMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::vector<std::string> arrParts;
    size_t nStart = 0;
    for (size_t nSpace; (nSpace = strText.find(' ', nStart)) != std::string::npos;
         nStart = nSpace + 1) {
        arrParts.push_back(strText.substr(nStart, nSpace - nStart));
    }
    arrParts.push_back(strText.substr(nStart));
    if (arrParts.size() != 4 || !s_setMonths.count(arrParts[0]) || !IsNumber(arrParts[1], 1, 2) ||
        arrParts[1][0] == '0' || std::stoi(arrParts[1]) > 31 || !IsNumber(arrParts[2], 4, 4)) {
        return false;
    }
    const std::string& strClock = arrParts[3];
    size_t nColon = strClock.find(':');
    if (nColon == std::string::npos || strClock.size() != nColon + 5) {
        return false;
    }
    std::string strHour = strClock.substr(0, nColon);
    std::string strMinute = strClock.substr(nColon + 1, 2);
    std::string strHalf = strClock.substr(nColon + 3);
    return IsNumber(strHour, 1, 2) && strHour[0] != '0' && std::stoi(strHour) <= 12 &&
           IsNumber(strMinute, 2, 2) && std::stoi(strMinute) < 60 &&
           (strHalf == "AM" || strHalf == "PM");
}

std::set<std::string> TagNames(const std::string& strBody) {
    std::set<std::string> setNames;
    for (size_t nPos = strBody.find('<'); nPos != std::string::npos;
         nPos = strBody.find('<', nPos + 1)) {
        size_t nStart = nPos + 1;
        if (nStart < strBody.size() && (strBody[nStart] == '/' || strBody[nStart] == '?')) {
            ++nStart;
        }
        size_t nEnd = strBody.find_first_of(" >", nStart);
        setNames.insert(strBody.substr(nStart, nEnd - nStart));
    }
    return setNames;
}

bool AmpersandsAreEscaped(const std::string& strText) {
    for (size_t nPos = strText.find('&'); nPos != std::string::npos;
         nPos = strText.find('&', nPos + 1)) {
        std::string strRest = strText.substr(nPos);
        if (!StartsWith(strRest, "&amp;") && !StartsWith(strRest, "&lt;") &&
            !StartsWith(strRest, "&gt;")) {
            return false;
        }
    }
    return true;
}

std::string Unescape(std::string str) {
    for (auto [szEntity, szChar] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
        for (size_t nPos = str.find(szEntity); nPos != std::string::npos;
             nPos = str.find(szEntity, nPos + 1)) {
            str.replace(nPos, std::string(szEntity).size(), szChar);
        }
    }
    return str;
}

std::vector<CFeedArticle> ParseFeed(const std::string& strBody) {
    std::vector<std::string> arrLines = Lines(strBody);
    std::vector<CFeedArticle> arrArticles;
    EXPECT_TRUE(EndsWith(strBody, "</moreovernews>\n"));
    EXPECT_EQ(strBody.find('\r'), std::string::npos);
    if (arrLines.size() < 3 || (arrLines.size() - 3) % 9 != 0) {
        ADD_FAILURE() << "unexpected line count in\n" << strBody;
        return arrArticles;
    }
    EXPECT_EQ(arrLines[0], R"(<?xml version="1.0" encoding="UTF-8"?>)");
    EXPECT_EQ(arrLines[1], "<moreovernews>");
    EXPECT_EQ(arrLines.back(), "</moreovernews>");
    for (size_t i = 2; i + 9 <= arrLines.size() - 1; i += 9) {
        CFeedArticle article;
        auto Element = [&](size_t nLine, const std::string& strName) {
            std::string strValue;
            EXPECT_TRUE(ElementValue(arrLines[nLine], strName, strValue)) << arrLines[nLine];
            return strValue;
        };
        const std::string strIdOpen = "<article id=\"_";
        const std::string& strIdLine = arrLines[i];
        std::string strId = strIdLine.substr(0, strIdLine.size() - 2)
                                .substr(std::min(strIdLine.size() - 2, strIdOpen.size()));
        bool bIdOk = StartsWith(strIdLine, strIdOpen) && EndsWith(strIdLine, "\">") &&
                     IsNumber(strId, 1, 18);
        EXPECT_TRUE(bIdOk) << strIdLine;
        article.nId = bIdOk ? std::stoll(strId) : -1;
        article.strUrl = Element(i + 1, "url");
        article.strHeadline = Element(i + 2, "headline_text");
        article.strSource = Element(i + 3, "source");
        EXPECT_EQ(Element(i + 4, "media_type"), "text");
        article.strCluster = Element(i + 5, "cluster");
        article.strHarvestTime = Element(i + 6, "harvest_time");
        EXPECT_EQ(Element(i + 7, "access_status"), "");
        EXPECT_EQ(arrLines[i + 8], "</article>");

        EXPECT_TRUE(IsHarvestTime(article.strHarvestTime)) << article.strHarvestTime;
        std::tm tmTime{};
        const char* pEnd = strptime(article.strHarvestTime.c_str(), "%b %d %Y %I:%M%p", &tmTime);
        EXPECT_TRUE(pEnd != nullptr && *pEnd == '\0') << article.strHarvestTime;
        article.time = timegm(&tmTime);
        arrArticles.push_back(article);
    }
    return arrArticles;
}
