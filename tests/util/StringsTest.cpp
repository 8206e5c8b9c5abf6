#include "util/Strings.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <random>

TEST(SplitString, dropsEmptyTokensAroundAndBetweenDelimiters) {
    struct Case {
        std::string strText, strDelimiters;
        CStringArray expected;
    } cases[] = {
        {"a!!b!!!c", "!!", {"a", "b", "c"}},
        {"!!!", "!", {}},
        {"", "!", {}},
        {"kim::secret", "::", {"kim", "secret"}},
        {"::kim:::secret::", ":", {"kim", "secret"}},
        {"Dec 6 2001 5:43PM", " :", {"Dec", "6", "2001", "5", "43PM"}},
        {"no delimiters", "!", {"no delimiters"}},
    };
    for (const Case& c : cases) {
        CStringArray arr;
        SplitString(c.strText, arr, c.strDelimiters);
        EXPECT_EQ(arr, c.expected) << c.strText;
    }
}

TEST(SplitString, appendsWithoutClearingTheArray) {
    CStringArray arr{"x"};
    SplitString("a b", arr, " ");
    EXPECT_EQ(arr, (CStringArray{"x", "a", "b"}));
}

TEST(JoinStrings, joinsFromStartIndexOrGivesEmpty) {
    CStringArray arr{"one", "two", "three", "four"};
    EXPECT_EQ(JoinStrings(arr, 2, " "), "three four");
    EXPECT_EQ(JoinStrings(arr, 0, ", "), "one, two, three, four");
    EXPECT_EQ(JoinStrings(arr, 3, " "), "four");
    EXPECT_EQ(JoinStrings(arr, 4, " "), "");
    EXPECT_EQ(JoinStrings(arr, 99, " "), "");
    EXPECT_EQ(JoinStrings({}, 0, " "), "");
}

TEST(ExtractElement, cutsFirstElementAndLeavesTheRest) {
    std::string strSource = "<event>\n<id>7</id>\n</event>\n";
    EXPECT_EQ(ExtractElement("id", strSource), "7");
    EXPECT_EQ(strSource, "<event>\n\n</event>\n");
    EXPECT_EQ(ExtractElement("id", strSource), "");
    EXPECT_EQ(strSource, "<event>\n\n</event>\n");
}

TEST(ExtractElement, leavesSourceUntouchedWhenIncomplete) {
    for (std::string strSource : {"<id>7", "<id 7</id", "no element", "</id><id>"}) {
        std::string strBefore = strSource;
        EXPECT_EQ(ExtractElement("id", strSource), "");
        EXPECT_EQ(strSource, strBefore);
    }
}

TEST(ExtractElement, returnsRepeatedElementsInOrder) {
    std::string strSource =
        "<p><param>a</param><param>b</param><param></param><param>c</param></p>";
    EXPECT_EQ(ExtractElement("param", strSource), "a");
    EXPECT_EQ(ExtractElement("param", strSource), "b");
    EXPECT_EQ(ExtractElement("param", strSource), "");  // empty content reads like absence
    EXPECT_EQ(ExtractElement("param", strSource), "c");
    EXPECT_EQ(ExtractElement("param", strSource), "");
    EXPECT_EQ(strSource, "<p></p>");
}

TEST(ExtractElement, matchesNamesAsPrefixesAndSkipsAttributes) {
    std::string strSource = "<errorcode code=\"x\">0</errorcode><error>Bad</error>";
    // Taken first, "error" would find the opening tag of errorcode.
    std::string strCopy = strSource;
    EXPECT_EQ(ExtractElement("error", strCopy), "0</errorcode><error>Bad");
    EXPECT_EQ(ExtractElement("errorcode", strSource), "0");
    EXPECT_EQ(ExtractElement("error", strSource), "Bad");

    std::string strArticle = "<source_id>9</source_id><source>Gazette</source>";
    EXPECT_EQ(ExtractElement("source", strArticle), "9</source_id><source>Gazette");
}

TEST(ExtractElement, endsAtFirstClosingTagIgnoringNesting) {
    std::string strSource = "<a>1<a>2</a>3</a>";
    EXPECT_EQ(ExtractElement("a", strSource), "1<a>2");
    EXPECT_EQ(strSource, "3</a>");
}

TEST(ReplaceAll, replacesEveryOccurrence) {
    std::string str = "Tom &amp; Jerry &amp;&amp; friends";
    ReplaceAll(str, "&amp;", "&");
    EXPECT_EQ(str, "Tom & Jerry && friends");
    std::string strNone = "plain";
    ReplaceAll(strNone, "&amp;", "&");
    EXPECT_EQ(strNone, "plain");
    std::string strGrow = "aa";
    ReplaceAll(strGrow, "a", "aa");
    EXPECT_EQ(strGrow, "aaaa");
}

TEST(SortStrings, sortsIgnoringCaseAndKeepsOrderOfCaseTwins) {
    CStringArray arr{"b", "A", "a"};
    SortStrings(arr);
    EXPECT_EQ(arr, (CStringArray{"A", "a", "b"}));

    CStringArray arr2{"delta", "Alpha", "charlie", "alpha", "Bravo"};
    SortStrings(arr2);
    EXPECT_EQ(arr2, (CStringArray{"Alpha", "alpha", "Bravo", "charlie", "delta"}));

    CStringArray single{"x"};
    SortStrings(single);
    EXPECT_EQ(single, CStringArray{"x"});
}

TEST(SortStrings, foldsCaseOfNonAsciiLetters) {
    CStringArray arr{"\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9", "zoo", "apple"};  // Été, été
    SortStrings(arr);
    // Folded É and é are one letter, kept in their order, after every ASCII letter.
    EXPECT_EQ(arr, (CStringArray{"apple", "zoo", "\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}));
}

TEST(ParseInt, readsLeadingDecimalNumbersLikeAtoi) {
    struct Case {
        const char* psz;
        int nExpected;
    } cases[] = {{"1", 1},
                 {"2", 2},
                 {" 42abc", 42},
                 {"-7", -7},
                 {"+3", 3},
                 {"", 0},
                 {"abc", 0},
                 {"v2", 0},
                 {"99999999999999", INT_MAX},
                 {"-99999999999999", INT_MIN}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseInt(c.psz), c.nExpected) << c.psz;
    }
}

TEST(CutAtCharBoundary, neverEndsInsideACharacter) {
    EXPECT_EQ(CutAtCharBoundary("short", 10), "short");
    EXPECT_EQ(CutAtCharBoundary("abcdef", 3), "abc");
    EXPECT_EQ(CutAtCharBoundary("ab\xC3\xA9", 3), "ab");  // é would be cut in half
    EXPECT_EQ(CutAtCharBoundary("ab\xC3\xA9", 4), "ab\xC3\xA9");
    EXPECT_EQ(CutAtCharBoundary("a\xE2\x82\xAC", 3), "a");  // the euro sign needs 3 bytes
    EXPECT_EQ(CutAtCharBoundary("", 0), "");
}
