#include "normalize/quoted_printable.h"

#include "ascii.h"

namespace salvage::detail {
namespace {

// Blanks an encoder may leave between a soft break's "=" and the line break; more than this
// are text, not padding.
constexpr std::size_t kMostPaddingBlanks = 64;

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = toLowerAscii(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool looksQuotedPrintable(std::string_view window) {
    for (std::size_t at = window.find("=3"); at != std::string_view::npos;
         at = window.find("=3", at + 1)) {
        const std::string_view rest = window.substr(at + 2);
        if (rest.size() >= 2 && toLowerAscii(rest[0]) == 'd' &&
            (rest[1] == '"' || rest[1] == '\'')) {
            return true;
        }
    }
    return false;
}

void QuotedPrintableDecoder::open() {
    held_.assign(1, '=');
    state_ = State::AfterEquals;
}

bool QuotedPrintableDecoder::take(char c, std::string& out) {
    switch (state_) {
        case State::AfterEquals:
        case State::InBlanks:
            if (c == '\n' || c == '\r') {
                held_.clear();
                state_ = c == '\r' ? State::AfterCarriageReturn : State::Text;
                return true;
            }
            if (isBlank(c) && held_.size() <= kMostPaddingBlanks) {
                held_.push_back(c);
                state_ = State::InBlanks;
                return true;
            }
            if (state_ == State::AfterEquals && hexValue(c) >= 0) {
                held_.push_back(c);
                state_ = State::AfterHexDigit;
                return true;
            }
            break;
        case State::AfterHexDigit:
            if (const int low = hexValue(c); low >= 0) {
                out.push_back(static_cast<char>(hexValue(held_[1]) * 16 + low));
                held_.clear();
                state_ = State::Text;
                return true;
            }
            break;
        case State::AfterCarriageReturn:
            state_ = State::Text;
            return c == '\n';  // the second half of the soft break's CR LF
        case State::Text:
            break;
    }
    giveUp(out);
    return false;
}

// The "=" sequence is none: it stays as it is, and the byte after it is read afresh.
void QuotedPrintableDecoder::giveUp(std::string& out) {
    out += held_;
    held_.clear();
    state_ = State::Text;
}

void QuotedPrintableDecoder::finish(std::string& out) {
    giveUp(out);
}

}  // namespace salvage::detail
