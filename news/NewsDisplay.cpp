#include "news/NewsDisplay.h"

#include "platform/Profile.h"

#include <algorithm>

QColor ColorFromRef(int nColorRef) {
    return QColor(nColorRef & 0xFF, (nColorRef >> 8) & 0xFF, (nColorRef >> 16) & 0xFF);
}

int ColorRefOf(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

CNewsDisplay CNewsDisplay::Load(const std::string& strSection) {
    CNewsDisplay display;
    display.strFace = GetProfileString(strSection, "news_font", display.strFace);
    display.nSize = GetProfileInt(strSection, "news_fontsize", display.nSize);
    display.nBackground = GetProfileInt(strSection, "news_bg_color", display.nBackground);
    display.nHeadlineColor =
        GetProfileInt(strSection, "news_headline_color", display.nHeadlineColor);
    display.nSourceColor = GetProfileInt(strSection, "news_source_color", display.nSourceColor);
    display.nDateColor = GetProfileInt(strSection, "news_date_color", display.nDateColor);
    return display;
}

void CNewsDisplay::Save(const std::string& strSection) const {
    WriteProfileString(strSection, "news_font", strFace);
    WriteProfileInt(strSection, "news_fontsize", nSize);
    WriteProfileInt(strSection, "news_bg_color", nBackground);
    WriteProfileInt(strSection, "news_headline_color", nHeadlineColor);
    WriteProfileInt(strSection, "news_source_color", nSourceColor);
    WriteProfileInt(strSection, "news_date_color", nDateColor);
}

QFont CNewsDisplay::Font() const {
    QFont font(QString::fromUtf8(strFace));
    // A stored size below 1 point cannot be drawn; it shows as the smallest that can.
    font.setPointSize(std::max(1, nSize));
    return font;
}

namespace {

// Every format sets every property, so nothing of a neighbouring run leaks in.
QTextCharFormat MakeFormat(const CNewsDisplay& display, int nColorRef, bool bBold, bool bItalic,
                           bool bUnderline) {
    QTextCharFormat format;
    format.setFont(display.Font());
    format.setFontWeight(bBold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(bItalic);
    format.setFontUnderline(bUnderline);
    format.setForeground(ColorFromRef(nColorRef));
    return format;
}

}  // namespace

QTextCharFormat CNewsDisplay::DateFormat() const {
    return MakeFormat(*this, nDateColor, false, true, false);
}

QTextCharFormat CNewsDisplay::SourceFormat() const {
    return MakeFormat(*this, nSourceColor, true, false, false);
}

QTextCharFormat CNewsDisplay::HeadlineFormat() const {
    return MakeFormat(*this, nHeadlineColor, false, false, true);
}

QTextCharFormat CNewsDisplay::PlainFormat() const {
    return MakeFormat(*this, nDateColor, false, false, false);
}
