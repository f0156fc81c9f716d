#pragma once

#include <string>
#include <string_view>

namespace salvage {

// The program's one end-of-line sequence: reading unifies every line break to it, the reader
// splits lines at it, and exported text is written with it.
inline constexpr std::string_view kEndOfLine = "\n";

// Unifies CR, LF and CR LF to LF in text that arrives in pieces. A CR at the end of one piece
// is carried over, so a CR LF split across two pieces still becomes a single LF.
class LineBreakUnifier {
  public:
    // Appends the unified form of `chunk` to `out`.
    void feed(std::string_view chunk, std::string& out);
    // Ends the input; a carried-over CR becomes an LF.
    void finish(std::string& out);

  private:
    bool pendingCarriageReturn_ = false;
};

// Whole-text convenience form of LineBreakUnifier.
std::string unifyLineBreaks(std::string_view text);

}  // namespace salvage
