#pragma once

// The characters that HTML names and XML does not, as feeds and web pages use them, and
// the windows-1252 code page that pages labelled Latin-1 are written in. Safe in any
// thread.

#include <string_view>

// The code point of an HTML named character reference, its name given without "&" and
// ";" and compared with case: the five XML names, the Latin-1 letters and signs, and the
// typographic, Greek and mathematical names of HTML 4 (&nbsp;, &mdash;, &rsquo;, &eacute;,
// &euro;, &hellip; ...). 0 for a name not in the table.
char32_t HtmlEntityCodePoint(std::string_view strName);

// The character a windows-1252 byte stands for: 0x80-0x9F are the typographic marks
// (0x93 is U+201C, 0x80 the euro sign), the five bytes the code page leaves undefined
// stand for the C1 controls of the same number, every other byte for itself.
char32_t Windows1252CodePoint(unsigned char c);
