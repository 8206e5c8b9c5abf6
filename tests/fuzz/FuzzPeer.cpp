// The peer network's readers: chat events, the stream they come in and their time
// stamps. The first byte picks the target (see kTargets).

#include "peer/CChatEvent.h"
#include "peer/CSeenEvents.h"
#include "peer/EventStream.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kTargets = "xbst";

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

// A time stamp reads as the simple reference reads it, and an event with it is taken
// exactly when it lies within the window.
void CheckTimestamp(std::string_view strText) {
    const bool bPlain =
        !strText.empty() && strText.size() <= 12 &&
        std::all_of(strText.begin(), strText.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::optional<int64_t> nRead = ParseTimestamp(strText);
    FUZZ_CHECK(nRead.has_value() == bPlain);
    if (!nRead) {
        return;
    }
    FUZZ_CHECK(*nRead == std::stoll(std::string(strText)));
    constexpr int64_t nNow = 1700000000;
    CSeenEvents seen;
    const bool bWithin =
        *nRead >= nNow - CSeenEvents::MAX_AGE_S && *nRead <= nNow + CSeenEvents::FUTURE_SLACK_S;
    FUZZ_CHECK((seen.Admit("id", strText, nNow) == CSeenEvents::EVerdict::New) == bWithin);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const fuzz_support::CInput input = fuzz_support::SplitInput(pData, nSize, kTargets);
    switch (kTargets[input.nTarget]) {
        case 'x': CheckReadText(input.strBody); break;
        case 'b': CheckBuiltEvent(input.strBody); break;
        case 's': CheckStream(input.strBody); break;
        case 't': CheckTimestamp(input.strBody); break;
    }
    return 0;
}
