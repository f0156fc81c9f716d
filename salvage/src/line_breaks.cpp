#include "salvage/line_breaks.h"

#include <cstring>

namespace salvage {

void LineBreakUnifier::feed(std::string_view chunk, std::string& out) {
    const char* p = chunk.data();
    const char* const end = p + chunk.size();
    if (pendingCarriageReturn_ && p != end) {
        // The CR that ended the previous piece already became an LF.
        if (*p == '\n') {
            ++p;
        }
        pendingCarriageReturn_ = false;
    }
    while (p != end) {
        const auto* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        if (cr == nullptr) {
            out.append(p, end);
            return;
        }
        out.append(p, cr);
        out.push_back('\n');
        p = cr + 1;
        if (p == end) {
            pendingCarriageReturn_ = true;
        } else if (*p == '\n') {
            ++p;
        }
    }
}

void LineBreakUnifier::finish(std::string& /*out*/) {
    pendingCarriageReturn_ = false;
}

std::string unifyLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    LineBreakUnifier unifier;
    unifier.feed(text, out);
    unifier.finish(out);
    return out;
}

}  // namespace salvage
