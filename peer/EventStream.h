#pragma once

// Cuts chat-event texts out of the byte stream between two peers. Events simply follow
// one another; whatever lies between them (line ends) is never interpreted. A plain
// reader: bytes in, the next event's text out. Any thread.

#include <cstddef>
#include <string_view>

// A peer's unread bytes may not grow past this without holding a complete event.
constexpr size_t MAX_PEER_BUFFER = 64 * 1024;
// A longer event is dropped unread.
constexpr size_t MAX_EVENT_TEXT = 16 * 1024;

struct CEventCut {
    enum class EStatus {
        Complete,    // strContent is the next event's content
        Incomplete,  // no complete event yet: wait for more bytes
        Bad,         // an event too long to read: skip it
    };
    EStatus status = EStatus::Incomplete;
    std::string_view strContent;
    // Bytes the caller may drop from the front: the event and what came before it.
    size_t nConsumed = 0;
};

// Finds the first complete "<event>" element of strBuffer.
CEventCut CutEvent(std::string_view strBuffer);
