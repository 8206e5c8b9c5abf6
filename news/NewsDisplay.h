#pragma once

// The user's news display settings (user section) and the four character formats made
// from them: dates italic and plain text in the date colour, sources bold, headlines and
// other links underlined.

#include <QColor>
#include <QTextCharFormat>

#include <string>

// Settings colours are 0x00BBGGRR.
QColor ColorFromRef(int nColorRef);
int ColorRefOf(const QColor& color);

struct CNewsDisplay {
    std::string strFace = "Times New Roman";
    int nSize = 14;  // points
    int nBackground = 16777215;
    int nHeadlineColor = 16711680;
    int nSourceColor = 255;
    int nDateColor = 0;

    // Reads the display values of a settings section; absent values keep the defaults.
    static CNewsDisplay Load(const std::string& strSection);
    void Save(const std::string& strSection) const;

    QTextCharFormat DateFormat() const;
    QTextCharFormat SourceFormat() const;
    QTextCharFormat HeadlineFormat() const;
    QTextCharFormat PlainFormat() const;
    QFont Font() const;
};
