#include "platform/CSendQueue.h"

#include "platform/CAsyncSocket.h"

void CSendQueue::Push(std::string strText) {
    if (strText.empty()) {
        return;
    }
    m_nBytes += strText.size();
    m_queue.push_back(std::move(strText));
}

CSendQueue::EResult CSendQueue::Flush(CAsyncSocket& socket) {
    while (!m_queue.empty()) {
        const std::string& strHead = m_queue.front();
        while (m_nHeadSent < strHead.size()) {
            const int nSent = socket.Send(strHead.data() + m_nHeadSent,
                                          static_cast<int>(strHead.size() - m_nHeadSent));
            if (nSent == CAsyncSocket::kError) {
                return socket.GetLastError() == CAsyncSocket::kWouldBlock ? EResult::WouldBlock
                                                                          : EResult::Error;
            }
            m_nHeadSent += static_cast<size_t>(nSent);
        }
        m_nBytes -= strHead.size();
        m_queue.pop_front();
        m_nHeadSent = 0;
    }
    return EResult::Sent;
}

void CSendQueue::Clear() {
    m_queue.clear();
    m_nHeadSent = 0;
    m_nBytes = 0;
}
