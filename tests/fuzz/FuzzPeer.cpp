// The peer network's readers: chat events and the stream they come in. The first byte
// picks the target (see kTargets).

#include "peer/CChatEvent.h"
#include "peer/EventStream.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kTargets = "xbs";

bool HasOpeningBracket(const CChatEvent& event) {
    auto has = [](const std::string& str) { return str.find('<') != std::string::npos; };
    return has(event.id) || has(event.type) || has(event.timestamp) ||
           std::any_of(event.params.begin(), event.params.end(), has) ||
           std::any_of(event.cats.begin(), event.cats.end(), has);
}

bool SameEvent(const CChatEvent& a, const CChatEvent& b) {
    return a.id == b.id && a.type == b.type && a.timestamp == b.timestamp && a.params == b.params &&
           a.cats == b.cats;
}

// An event whose values hold no "<" reads back from its text as it was.
void CheckRoundTrip(const CChatEvent& event) {
    if (HasOpeningBracket(event)) {
        return;
    }
    CChatEvent again;
    again.FromXml(event.ToXml());
    FUZZ_CHECK(SameEvent(again, event));
}

// Whatever the text, reading gives an event; what it read, written and read again, stays.
void CheckReadText(std::string_view strText) {
    CChatEvent event;
    event.FromXml(strText);
    CheckRoundTrip(event);
}

// Values taken from the text's lines, "id", "type" and "timestamp" first, then params
// and, after an empty line, cats.
void CheckBuiltEvent(std::string_view strText) {
    CChatEvent event;
    event.id.clear();
    event.timestamp.clear();
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strText.find('\n', nStart)) != std::string_view::npos;
         nStart = nEnd + 1) {
        lines.emplace_back(strText.substr(nStart, nEnd - nStart));
    }
    lines.emplace_back(strText.substr(nStart));
    bool bCats = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        switch (i) {
            case 0: event.id = lines[i]; break;
            case 1: event.type = lines[i]; break;
            case 2: event.timestamp = lines[i]; break;
            default:
                if (lines[i].empty() && !bCats) {
                    bCats = true;
                } else {
                    (bCats ? event.cats : event.params).push_back(lines[i]);
                }
        }
    }
    CheckRoundTrip(event);
}

// Cut after cut, the stream shrinks by what each cut consumed, and every event it gives
// lies within the buffer and within the size limit.
void CheckStream(std::string_view strStream) {
    std::string_view rest = strStream;
    for (;;) {
        const CEventCut cut = CutEvent(rest);
        FUZZ_CHECK(cut.nConsumed <= rest.size());
        if (cut.status == CEventCut::EStatus::Incomplete) {
            FUZZ_CHECK(cut.nConsumed == 0 && cut.strContent.empty());
            break;
        }
        FUZZ_CHECK(cut.nConsumed > 0);
        if (cut.status == CEventCut::EStatus::Complete) {
            FUZZ_CHECK(fuzz_support::IsWithin(cut.strContent, rest));
            FUZZ_CHECK(cut.strContent.size() <= MAX_EVENT_TEXT);
            FUZZ_CHECK(cut.strContent.data() + cut.strContent.size() <=
                       rest.data() + cut.nConsumed);
            CChatEvent event;
            event.FromXml(cut.strContent);
        }
        rest.remove_prefix(cut.nConsumed);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const fuzz_support::CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 'x': CheckReadText(input.strBody); break;
        case 'b': CheckBuiltEvent(input.strBody); break;
        case 's': CheckStream(input.strBody); break;
    }
    return 0;
}
