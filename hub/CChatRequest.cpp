#include "hub/CChatRequest.h"

#include <array>

namespace {

constexpr std::string_view kSeparator = "!!";

void AppendEscaped(std::string& strOut, std::string_view strField) {
    for (char c : strField) {
        if (c == '%') {
            strOut += "%25";
        } else if (c == '!') {
            strOut += "%21";
        } else {
            strOut += c;
        }
    }
}

// The field's text, or nothing when it holds a bare "!" or a "%" that starts no escape.
std::optional<std::string> Unescaped(std::string_view strField) {
    std::string strOut;
    strOut.reserve(strField.size());
    for (size_t i = 0; i < strField.size(); ++i) {
        if (strField[i] == '!') {
            return std::nullopt;
        }
        if (strField[i] != '%') {
            strOut += strField[i];
            continue;
        }
        const std::string_view escape = strField.substr(i, 3);
        if (escape == "%25") {
            strOut += '%';
        } else if (escape == "%21") {
            strOut += '!';
        } else {
            return std::nullopt;
        }
        i += 2;
    }
    return strOut;
}

}  // namespace

std::string CChatRequest::Record() const {
    std::string strRecord;
    strRecord.reserve(m_strChannel.size() + m_strTopic.size() + m_strUrl.size() + 4);
    AppendEscaped(strRecord, m_strChannel);
    strRecord += kSeparator;
    AppendEscaped(strRecord, m_strTopic);
    strRecord += kSeparator;
    AppendEscaped(strRecord, m_strUrl);
    return strRecord;
}

std::optional<CChatRequest> CChatRequest::FromRecord(std::string_view strRecord) {
    std::array<std::optional<std::string>, 3> fields;
    size_t nStart = 0;
    for (size_t n = 0; n < fields.size(); ++n) {
        const size_t nEnd =
            n + 1 < fields.size() ? strRecord.find(kSeparator, nStart) : strRecord.size();
        if (nEnd == std::string_view::npos) {
            return std::nullopt;
        }
        // A separator left in the last field is a bare "!" there.
        fields[n] = Unescaped(strRecord.substr(nStart, nEnd - nStart));
        if (!fields[n]) {
            return std::nullopt;
        }
        nStart = nEnd + kSeparator.size();
    }
    return CChatRequest{std::move(*fields[0]), std::move(*fields[1]), std::move(*fields[2])};
}
