#include "salvage/line_breaks.h"

namespace salvage {

void LineBreakUnifier::feed(std::string_view chunk, std::string& out) {
    splitter_.feed(chunk, [&](std::string_view part, bool endsLine) {
        out.append(part);
        if (endsLine) {
            out.append(kEndOfLine);
        }
        return true;
    });
}

void LineBreakUnifier::finish(std::string& /*out*/) {
    splitter_ = LineSplitter();
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
