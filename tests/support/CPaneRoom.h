#pragma once

// A chat room without a window: its pane is one string the tests look into.

#include "chat/CChatRoom.h"

#include <string>

namespace testing_support {

class CPaneRoom final : public CChatRoom {
public:
    using CChatRoom::CChatRoom;
    bool Shows(const std::string& strText) const {
        return m_strPane.find(strText) != std::string::npos;
    }
    int Count(const std::string& strText) const {
        int n = 0;
        for (size_t at = m_strPane.find(strText); at != std::string::npos;
             at = m_strPane.find(strText, at + 1)) {
            ++n;
        }
        return n;
    }
    std::string m_strPane;

protected:
    void AppendLine(const std::string& strText, EChatStyle) override { m_strPane += strText; }
};

}  // namespace testing_support
