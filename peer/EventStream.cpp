#include "peer/EventStream.h"

#include "util/Strings.h"

CEventCut CutEvent(std::string_view strBuffer) {
    CEventCut cut;
    // Only a literal opening tag starts the search: "<events>" alone never does.
    if (strBuffer.find("<event>") == std::string_view::npos) {
        return cut;
    }
    const std::optional<CElementSpan> span = FindElement("event", strBuffer);
    if (!span) {
        return cut;
    }
    // Text before the event is never read, so it goes with the event; keeping it would
    // let the line ends between events fill the buffer on a long-lived connection.
    cut.nConsumed = span->nEnd;
    if (span->nEnd - span->nOpen > MAX_EVENT_TEXT) {
        cut.status = CEventCut::EStatus::Bad;
        return cut;
    }
    cut.status = CEventCut::EStatus::Complete;
    cut.strContent = strBuffer.substr(span->nContent, span->nClose - span->nContent);
    return cut;
}
