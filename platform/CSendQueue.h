#pragma once

// Texts waiting to go out on a non-blocking socket. A text that the socket took only in
// part continues at its first unsent byte on the next Flush, so every byte goes once and
// in order; the owner calls Flush again when the socket reports it can take more.

#include <cstddef>
#include <deque>
#include <string>

class CAsyncSocket;

class CSendQueue final {
public:
    enum class EResult { Sent, WouldBlock, Error };

    void Push(std::string strText);
    // Sends until the queue is empty, the socket's buffer is full, or a send fails.
    EResult Flush(CAsyncSocket& socket);
    void Clear();

    bool Empty() const { return m_queue.empty(); }
    size_t Count() const { return m_queue.size(); }
    // Bytes still to send, for the owner's cap.
    size_t Bytes() const { return m_nBytes - m_nHeadSent; }

private:
    std::deque<std::string> m_queue;
    size_t m_nHeadSent = 0;  // bytes of the first text already sent
    size_t m_nBytes = 0;     // bytes of every queued text
};
