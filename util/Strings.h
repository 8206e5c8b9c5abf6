#pragma once

// Text helpers shared by every protocol reader. Text is bytes; comparisons are byte-wise
// and case-sensitive unless a function says otherwise. All are safe in any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

using CStringArray = std::vector<std::string>;

// Appends the maximal runs of characters not in strDelimiters to arr, in order; leading,
// trailing and repeated delimiters give no empty tokens. "!!" is the set {'!'}.
void SplitString(const std::string& strText, CStringArray& arr, const std::string& strDelimiters);

// The elements from nStart to the last, separated by strSeparator; empty when nStart is
// past the end.
std::string JoinStrings(const CStringArray& arr, size_t nStart, const std::string& strSeparator);

// Cuts the first element named strTag out of strSource and returns its content.
// The element starts at the first "<" + strTag (a longer name with that beginning matches
// too), its content at the next ">", and it ends at the first "</" + strTag + ">". When any
// of the three is missing the result is empty and strSource is left as it was.
std::string ExtractElement(const std::string& strTag, std::string& strSource);

// Where ExtractElement finds the element: the offsets of its opening "<", of its content,
// of its closing tag and just past it. Nothing when ExtractElement would fail.
struct CElementSpan {
    size_t nOpen = 0;
    size_t nContent = 0;
    size_t nClose = 0;
    size_t nEnd = 0;
};
std::optional<CElementSpan> FindElement(std::string_view strTag, std::string_view strText);
// The content ExtractElement would return, as a view into strText; empty when it fails.
std::string_view FirstElementContent(std::string_view strTag, std::string_view strText);

// Whether str begins with strPrefix, ASCII letters compared without case (strPrefix given
// in lower case).
bool StartsWithNoCase(std::string_view str, std::string_view strPrefix);

// Replaces every occurrence of strFrom in str by strTo.
void ReplaceAll(std::string& str, const std::string& strFrom, const std::string& strTo);

// The longest prefix of at most nMaxBytes that does not end inside a UTF-8 character; text
// that is not valid UTF-8 is cut at nMaxBytes itself.
std::string CutAtCharBoundary(const std::string& str, size_t nMaxBytes);

// Reads a decimal integer the way atoi does: leading blanks, an optional sign, then digits;
// text that is not a number reads as 0. Out-of-range values are clamped.
int ParseInt(const std::string& strText);

// Sorts ascending ignoring case; elements equal but for case keep their order.
void SortStrings(CStringArray& arr);

// Case-insensitive three-way comparison used by SortStrings (UTF-8 aware).
int CompareNoCase(const std::string& strLeft, const std::string& strRight);
