#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "ascii.h"

namespace salvage::detail {

// Tells, letter case ignored, whether text that arrives in pieces begins with a prefix. It
// keeps the characters it took as they were: a line whose start decides how it is read must
// still be read from that start.
class CaseBlindPrefix {
  public:
    static constexpr std::size_t kLongest = 16;

    // `lowerPrefix` is in lower case, at most kLongest characters.
    explicit CaseBlindPrefix(std::string_view lowerPrefix) : prefix_(lowerPrefix) {}

    // Takes characters from `text` until the prefix is decided, the one that differs included;
    // returns how many it took.
    std::size_t feed(std::string_view text) {
        std::size_t i = 0;
        while (state_ == State::Open && i < text.size()) {
            const char c = text[i++];
            taken_[length_++] = c;
            if (toLowerAscii(c) != prefix_[length_ - 1]) {
                state_ = State::Failed;
            } else if (length_ == prefix_.size()) {
                state_ = State::Matched;
            }
        }
        return i;
    }

    bool undecided() const { return state_ == State::Open; }
    bool matched() const { return state_ == State::Matched; }
    bool failed() const { return state_ == State::Failed; }
    // The text ended before the prefix was decided: it does not begin with it.
    void endText() {
        if (state_ == State::Open) {
            state_ = State::Failed;
        }
    }
    std::string_view taken() const { return {taken_.data(), length_}; }

    void restart() { restart(prefix_); }
    void restart(std::string_view lowerPrefix) {
        prefix_ = lowerPrefix;
        length_ = 0;
        state_ = State::Open;
    }

  private:
    enum class State { Open, Matched, Failed };

    std::string_view prefix_;
    std::array<char, kLongest> taken_{};
    std::size_t length_ = 0;
    State state_ = State::Open;
};

// Notices "<Section " (any letter case) anywhere in a line that is not read as a section line.
class LookalikeScanner {
  public:
    void feed(std::string_view piece) {
        while (!piece.empty() && !matcher_.matched()) {
            if (matcher_.taken().empty()) {
                const std::size_t open = piece.find('<');
                if (open == std::string_view::npos) {
                    return;
                }
                piece.remove_prefix(open);
            }
            piece.remove_prefix(matcher_.feed(piece));
            if (matcher_.failed()) {
                // The character that differs may itself begin the tag.
                const bool opens = matcher_.taken().back() == '<';
                matcher_.restart();
                if (opens) {
                    matcher_.feed("<");
                }
            }
        }
    }
    bool found() const { return matcher_.matched(); }
    void restart() { matcher_.restart(); }

  private:
    CaseBlindPrefix matcher_{kSectionPrefix};
};

}  // namespace salvage::detail
