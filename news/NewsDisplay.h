#pragma once

// The user's news display settings (user section) and the four character formats made
// from them: dates italic and plain text in the date colour, sources bold, headlines and
// other links underlined.

#include "util/Settings.h"
#include "util/Strings.h"

#include <QColor>
#include <QTextCharFormat>

#include <string>

// Settings colours are 0x00BBGGRR.
QColor ColorFromRef(int nColorRef);
int ColorRefOf(const QColor& color);

// The news check interval in minutes, and its range: a stored value outside it (a hand-edited
// file, say) is clamped when read, as a huge one would overflow the timer period.
constexpr int MIN_CHECK_MINUTES = SETTING_CHECK_TIME.nMin;
constexpr int MAX_CHECK_MINUTES = SETTING_CHECK_TIME.nMax;
int CheckIntervalMinutes(const std::string& strSection);

// A headline as the user reads it: the character references "&lt;", "&gt;", "&quot;",
// "&#39;", "&#NNN;" and "&#xHH;" decoded. For display only: keys, channel names and
// everything stored or sent keep the text as read from the feed.
std::string DisplayText(const std::string& strText);

// Past-news labels ("%m/%d %I:%M %p - headline", see PastNewsLabel) in the order they are
// shown: newest first by the time they carry, labels without a readable time last, and
// equal times in descending text order (ignoring case). Labels carry no year, so their dates
// are read as one stretch of the calendar that starts after the longest run of days without
// news: a check that spans New Year puts December's headlines below January's.
void SortPastNewsLabels(CStringArray& labels);

struct CNewsDisplay {
    std::string strFace = SETTING_NEWS_FONT.pszDefault;
    int nSize = SETTING_NEWS_FONTSIZE.nDefault;  // points
    int nBackground = SETTING_NEWS_BG_COLOR.nDefault;
    int nHeadlineColor = SETTING_NEWS_HEADLINE_COLOR.nDefault;
    int nSourceColor = SETTING_NEWS_SOURCE_COLOR.nDefault;
    int nDateColor = SETTING_NEWS_DATE_COLOR.nDefault;

    // Reads the display values of a settings section; absent values keep the defaults.
    static CNewsDisplay Load(const std::string& strSection);
    void Save(const std::string& strSection) const;

    QTextCharFormat DateFormat() const;
    QTextCharFormat SourceFormat() const;
    QTextCharFormat HeadlineFormat() const;
    QTextCharFormat PlainFormat() const;
    QFont Font() const;
};
