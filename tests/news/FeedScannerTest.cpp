#include "news/FeedScanner.h"

#include "util/Strings.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// What repeated ExtractElement calls give, up to the first empty result.
std::vector<std::string> CutAllSlowly(const std::string& strTag, std::string strText) {
    std::vector<std::string> out;
    for (std::string s; !(s = ExtractElement(strTag, strText)).empty();) {
        out.push_back(s);
    }
    return out;
}

std::vector<std::string> CutAll(const std::string& strTag, const std::string& strText) {
    CElementCutter cutter(strTag, strText);
    std::vector<std::string> out;
    for (std::string s; !(s = cutter.Next()).empty();) {
        out.push_back(s);
    }
    return out;
}

}  // namespace

TEST(ElementCutter, givesTheElementsRepeatedExtractionGives) {
    const char* texts[] = {
        "<article>a</article><article>b</article>",
        "junk<article id=\"1\">a</article>between<article>b</article>tail",
        "<article>a</article><article></article><article>c</article>",
        "<article>a<article>b</article>c</article>",
        "<article>a</article><article>no close",
        "<article no gt",
        "<arti<article>x</article>cle>y</article>",
        "<article>1</article><arti<article>2</article>cle>3</article><article>4</article>",
        "<ar<artic<article>1</article>le>2</article>ticle>3</article>",
        "<articles>x</article>",
        "",
    };
    for (const char* psz : texts) {
        EXPECT_EQ(CutAll("article", psz), CutAllSlowly("article", psz)) << psz;
    }
}

TEST(ElementCutter, agreesWithRepeatedExtractionOnRandomTexts) {
    // Texts built from pieces of tags, so openings split across cuts come up often, and
    // openings split around a text that holds further split openings, which become whole
    // one after the other as the elements inside are cut out.
    const char* pieces[] = {"<article>", "</article>", "<arti",   "cle>",           "<",   ">",
                            "x",         "</",         "article", "<article id=1>", "le>", "y"};
    const std::string strOpen = "<article";
    std::mt19937 random(20261207);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> depth(0, 4);
    std::uniform_int_distribution<size_t> split(1, strOpen.size() - 1);
    auto randomPieces = [&](int nMax) {
        std::string str;
        for (int i = length(random) % (nMax + 1); i > 0; --i) {
            str += pieces[pick(random)];
        }
        return str;
    };
    for (int nCase = 0; nCase < 20000; ++nCase) {
        std::string strText = randomPieces(24);
        for (int nLevel = depth(random); nLevel > 0; --nLevel) {
            size_t nSplit = split(random);
            strText = randomPieces(2) + strOpen.substr(0, nSplit) + strText +
                      strOpen.substr(nSplit) + ">" + randomPieces(3) + "</article>" +
                      randomPieces(2);
        }
        ASSERT_EQ(CutAll("article", strText), CutAllSlowly("article", strText)) << strText;
    }
}

TEST(ParseArticle, cutsFieldsInOrderAndDecodesAmpersandsInTheHeadlineOnly) {
    auto pItem = ParseArticle(
        "<access_status>sub</access_status><url>http://x/a?b=1&amp;c=2</url>"
        "<headline_text>Tom &amp; Jerry &amp;amp; co</headline_text>"
        "<source>Ham &amp; Eggs</source><harvest_time>Dec 6 2001 5:43PM</harvest_time>"
        "<cluster>World</cluster>");
    EXPECT_EQ(pItem->m_strUrl, "http://x/a?b=1&amp;c=2");
    EXPECT_EQ(pItem->m_strHeadline, "Tom & Jerry &amp; co");
    EXPECT_EQ(pItem->m_strSource, "Ham &amp; Eggs");
    EXPECT_EQ(pItem->m_strCluster, "World");
    EXPECT_EQ(pItem->m_time, 1007660580);
}

TEST(ParseArticle, missingFieldsAreEmptyAndBadTimesAreZero) {
    auto pItem = ParseArticle(
        "<headline_text>Only a headline</headline_text>"
        "<harvest_time>yesterday</harvest_time>");
    EXPECT_EQ(pItem->m_strHeadline, "Only a headline");
    EXPECT_EQ(pItem->m_strUrl, "");
    EXPECT_EQ(pItem->m_strSource, "");
    EXPECT_EQ(pItem->m_time, 0);
    EXPECT_EQ(pItem->FormatShortDate(), "invalid time");
    EXPECT_EQ(pItem->FormatLongDate(), "invalid time");
    EXPECT_EQ(PastNewsLabel(*pItem), "invalid time - Only a headline");
}

TEST(ParseArticle, makesHeadlinesOneLineOfAtMostAThousandBytes) {
    const std::string strLong = std::string(998, 'a') + "\xC3\xA9";   // é ends at 1,000
    const std::string strSplit = std::string(999, 'a') + "\xC3\xA9";  // é would end at 1,001
    struct Case {
        std::string strHeadline, strExpected;
    } cases[] = {
        {"Storm\r\n  hits\ncoast", "Storm hits coast"},
        {"\n\t Lead and tail \r\n", " Lead and tail "},
        {"Tabs\tand  spaces stay", "Tabs\tand  spaces stay"},
        {"Tom &amp;\n Jerry", "Tom & Jerry"},
        {strLong + "b", strLong},
        {strSplit, std::string(999, 'a')},
        {std::string(600, 'a') + "\n\n\n" + std::string(600, 'b'),
         std::string(600, 'a') + " " + std::string(399, 'b')},
        {std::string(1200, '\x80'), std::string(1000, '\x80')},  // not UTF-8: cut at the byte
    };
    for (const Case& c : cases) {
        auto pItem = ParseArticle("<headline_text>" + c.strHeadline + "</headline_text>");
        EXPECT_EQ(pItem->m_strHeadline, c.strExpected) << c.strHeadline;
    }
}

TEST(NewsItem, formatsDatesInLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    CNewsItem item("u", "h", "s", "c", 1007660580);  // Dec 6 2001 17:43 UTC
    EXPECT_EQ(item.FormatLongDate(), "Dec 06 2001, 05:43 PM");
    EXPECT_EQ(item.FormatShortDate(), "12/06 05:43 PM");
    EXPECT_EQ(PastNewsLabel(item), "12/06 05:43 PM - h");
}
