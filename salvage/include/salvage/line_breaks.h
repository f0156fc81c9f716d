#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace salvage {

// The program's one end-of-line sequence: reading unifies every line break to it, the reader
// splits lines at it, and exported text is written with it.
inline constexpr std::string_view kEndOfLine = "\n";

// Splits text that arrives in pieces into lines at CR, LF and CR LF. A CR at the end of one
// piece is remembered, so a CR LF split across two pieces is still a single line break.
class LineSplitter {
  public:
    // Hands each part of a line in `chunk` to `onPart(std::string_view part, bool endsLine)`,
    // in order; `endsLine` tells that a line break follows the part. A line that runs on into
    // the next chunk gives a part that does not end it. Stops early when `onPart` returns false.
    template <class OnPart>
    void feed(std::string_view chunk, OnPart&& onPart) {
        const char* p = chunk.data();
        const char* const end = p + chunk.size();
        if (pendingCarriageReturn_ && p != end) {
            pendingCarriageReturn_ = false;
            if (*p == '\n') {
                ++p;  // the second half of a CR LF: the line already ended
            }
        }
        // Each kind of break is searched for once per stretch it is absent from, not once per
        // line: most text has one kind only.
        const char* nextLineFeed = nullptr;
        const char* nextCarriageReturn = nullptr;
        while (p != end) {
            if (nextLineFeed == nullptr || nextLineFeed < p) {
                nextLineFeed = find(p, end, '\n');
            }
            if (nextCarriageReturn == nullptr || nextCarriageReturn < p) {
                nextCarriageReturn = find(p, end, '\r');
            }
            const char* const lineEnd = std::min(nextLineFeed, nextCarriageReturn);
            const bool endsLine = lineEnd != end;
            if (!onPart(std::string_view(p, static_cast<std::size_t>(lineEnd - p)), endsLine) ||
                !endsLine) {
                return;
            }
            p = lineEnd + 1;
            if (*lineEnd == '\r') {
                if (p == end) {
                    pendingCarriageReturn_ = true;
                } else if (*p == '\n') {
                    ++p;
                }
            }
        }
    }

  private:
    static const char* find(const char* begin, const char* end, char byte) {
        const void* found = std::memchr(begin, byte, static_cast<std::size_t>(end - begin));
        return found == nullptr ? end : static_cast<const char*>(found);
    }

    bool pendingCarriageReturn_ = false;
};

// Unifies CR, LF and CR LF to LF in text that arrives in pieces. A CR at the end of one piece
// is carried over, so a CR LF split across two pieces still becomes a single LF.
class LineBreakUnifier {
  public:
    // Appends the unified form of `chunk` to `out`.
    void feed(std::string_view chunk, std::string& out);
    // Ends the input; a carried-over CR becomes an LF.
    void finish(std::string& out);

  private:
    LineSplitter splitter_;
};

// Whole-text convenience form of LineBreakUnifier.
std::string unifyLineBreaks(std::string_view text);

}  // namespace salvage
