#pragma once

// What the fuzzing harnesses share: a check that stops the run on a broken property, the
// choice of a target by the input's first byte, and a UTF-8 reader written apart from the
// production one so that the two can check each other.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// A broken property is a crash: libFuzzer keeps the input that caused it.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace fuzz_support {

// The input as its target sees it: which target (the position of the first byte in
// strLetters, or that byte modulo their number for any other byte), and what follows that
// byte, whole or as its first line (the parameter: a tag, a delimiter set, a cut length)
// and the rest after that line's LF.
struct CInput {
    size_t nTarget = 0;
    std::string_view strBody;
    std::string_view strParam;
    std::string_view strRest;
};

inline CInput SplitInput(const uint8_t* pData, size_t nSize, std::string_view strLetters) {
    CInput input;
    if (nSize == 0) {
        return input;
    }
    const size_t nLetter = strLetters.find(static_cast<char>(pData[0]));
    input.nTarget = nLetter != std::string_view::npos ? nLetter : pData[0] % strLetters.size();
    input.strBody = std::string_view(reinterpret_cast<const char*>(pData) + 1, nSize - 1);
    const size_t nEnd = input.strBody.find('\n');
    input.strParam = input.strBody.substr(0, nEnd);
    input.strRest =
        nEnd == std::string_view::npos ? std::string_view() : input.strBody.substr(nEnd + 1);
    return input;
}

// Whether the text is well-formed UTF-8, decoded code point by code point: no overlong
// forms, no surrogates, nothing above U+10FFFF.
inline bool IsUtf8(std::string_view str) {
    for (size_t i = 0; i < str.size();) {
        const auto c = static_cast<unsigned char>(str[i]);
        size_t nLength = c < 0x80           ? 1
                         : (c >> 5) == 0x6  ? 2
                         : (c >> 4) == 0xE  ? 3
                         : (c >> 3) == 0x1E ? 4
                                            : 0;
        if (nLength == 0 || i + nLength > str.size()) {
            return false;
        }
        uint32_t nCode = nLength == 1 ? c : c & (0x7F >> nLength);
        for (size_t k = 1; k < nLength; ++k) {
            const auto d = static_cast<unsigned char>(str[i + k]);
            if ((d & 0xC0) != 0x80) {
                return false;
            }
            nCode = nCode << 6 | (d & 0x3F);
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (nCode < kLeast[nLength] || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
            return false;
        }
        i += nLength;
    }
    return true;
}

inline bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Whether view lies within text (an empty view anywhere counts).
inline bool IsWithin(std::string_view view, std::string_view text) {
    return view.empty() ||
           (view.data() >= text.data() && view.data() + view.size() <= text.data() + text.size());
}

}  // namespace fuzz_support
