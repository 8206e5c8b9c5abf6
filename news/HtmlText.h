#pragma once

// Plain one-line text out of the marked-up titles of feeds and pages. Every function walks
// its text once (linear time, whatever the markup) and is safe in any thread.

#include <QString>
#include <QStringView>

#include <string>

// Which "<...>" runs HtmlToText drops as tags.
enum class ETagSet {
    Any,    // "<" + letter, "</" + letter, "<!" or "<?", up to the next ">": real HTML
    Known,  // only tags of HTML's element names (b, em, a, br, p, span, img ...), so that
            // text that merely looks like markup ("use <vector>", "a <3 b") stays
};

// The text of HTML: tags dropped (those of block elements, such as p, br, div and li,
// leave a space), comments and the content of script and style elements dropped, and
// character references decoded as DecodeHtmlEntities does. A "<" that begins no tag, or
// a tag with no ">" after it, stays as text.
QString HtmlToText(QStringView strHtml, ETagSet tags);

// Decodes "&name;" for the names HtmlEntityCodePoint knows, and "&#N;" and "&#xH;".
// Numbers of the windows-1252 marks (128-159) give those marks, as in browsers; zero,
// surrogates and numbers past U+10FFFF give U+FFFD. Anything else stays as it is.
QString DecodeHtmlEntities(QStringView strText);

// Whether an element of this name (any case) starts a new line in a browser.
bool IsBlockElement(QStringView strName);

// The text as one line of UTF-8 of at most nMaxBytes: every run of white space and
// control characters (line breaks, tabs, no-break spaces ...) becomes one space, C1
// controls become the windows-1252 marks of their numbers (U+0093 is U+201C), other
// control characters go, the ends are trimmed, and a longer text is cut at a character
// boundary.
std::string OneLineText(QStringView strText, size_t nMaxBytes);
