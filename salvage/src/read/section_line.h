#pragma once

// Scanners that take a section line apart as it streams past, a piece at a time. They hand
// what they find to a sink, so the same scanning serves both the plain string functions
// (extractName, stripTags) and the reader, which decodes straight into the section map.
//
// A sink provides append(const char* begin, const char* end), and for tag scanning also
// mark() and rollback(mark): text inside a tag is appended speculatively and taken back when
// the tag closes, so nothing of a line has to be held while waiting for a ">".

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "ascii.h"

namespace salvage::detail {

// Finds the value of the first "name=" (any letter case): from the second character after
// it up to the next double quote, or to the end of the line.
template <class Sink>
class NameScanner {
  public:
    void feed(std::string_view piece, Sink& sink) {
        const char* p = piece.data();
        const char* const end = p + piece.size();
        const char* const begin = p;
        while (p != end && state_ != State::Done) {
            switch (state_) {
                case State::Searching: {
                    const char* equals = findByte(p, end, '=');
                    if (equals == nullptr) {
                        p = end;
                        break;
                    }
                    if (precededByName(begin, equals)) {
                        state_ = State::SkipOne;
                    }
                    p = equals + 1;
                    break;
                }
                case State::SkipOne:
                    ++p;
                    state_ = State::Collecting;
                    break;
                case State::Collecting: {
                    const char* quote = findByte(p, end, '"');
                    if (quote == nullptr) {
                        sink.append(p, end);
                        p = end;
                    } else {
                        sink.append(p, quote);
                        state_ = State::Done;
                    }
                    break;
                }
                case State::Done:
                    break;
            }
        }
        if (state_ == State::Searching) {
            rememberTail(begin, end);
        }
    }

    // Whether the name has begun and not yet ended.
    bool collecting() const { return state_ == State::SkipOne || state_ == State::Collecting; }
    // Whether "name=" has not been found yet.
    bool searching() const { return state_ == State::Searching; }
    // Whether the name has ended: nothing more of the line goes to it.
    bool done() const { return state_ == State::Done; }

  private:
    enum class State { Searching, SkipOne, Collecting, Done };

    // Whether the four characters before `equals` spell "name"; some of them may belong to
    // earlier pieces of the line.
    bool precededByName(const char* begin, const char* equals) const {
        constexpr std::string_view name = "name";
        const auto inPiece = static_cast<std::size_t>(equals - begin);
        if (inPiece + recentLength_ < name.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= name.size(); ++k) {
            const char c = k <= inPiece ? equals[-static_cast<std::ptrdiff_t>(k)]
                                        : recent_[recentLength_ - (k - inPiece)];
            if (toLowerAscii(c) != name[name.size() - k]) {
                return false;
            }
        }
        return true;
    }

    void rememberTail(const char* begin, const char* end) {
        for (const char* c = end - std::min<std::ptrdiff_t>(end - begin, 4); c != end; ++c) {
            if (recentLength_ == recent_.size()) {
                recent_ = {recent_[1], recent_[2], recent_[3], *c};
            } else {
                recent_[recentLength_++] = *c;
            }
        }
    }

    State state_ = State::Searching;
    std::array<char, 4> recent_{};
    std::size_t recentLength_ = 0;
};

// Removes tags: a "<", at least one character, and the nearest ">" after them. A "<" that no
// ">" closes stays, together with everything after it.
template <class Sink>
class TagScanner {
  public:
    void feed(std::string_view piece, Sink& sink) {
        const char* p = piece.data();
        const char* const end = p + piece.size();
        while (p != end) {
            switch (state_) {
                case State::Outside: {
                    const char* open = findByte(p, end, '<');
                    if (open == nullptr) {
                        sink.append(p, end);
                        return;
                    }
                    sink.append(p, open);
                    // A tag that closes within this piece is skipped outright; only one that may
                    // close in a later piece is decoded speculatively.
                    if (end - open > 2) {
                        if (const char* close = findByte(open + 2, end, '>'); close != nullptr) {
                            p = close + 1;
                            break;
                        }
                    }
                    mark_ = sink.mark();
                    sink.append(open, open + 1);
                    p = open + 1;
                    state_ = State::NeedOne;
                    break;
                }
                case State::NeedOne:
                    sink.append(p, p + 1);
                    ++p;
                    state_ = State::InTag;
                    break;
                case State::InTag: {
                    const char* close = findByte(p, end, '>');
                    if (close == nullptr) {
                        sink.append(p, end);
                        return;
                    }
                    sink.rollback(mark_);
                    p = close + 1;
                    state_ = State::Outside;
                    break;
                }
            }
        }
    }

  private:
    enum class State { Outside, NeedOne, InTag };

    State state_ = State::Outside;
    typename Sink::Mark mark_{};
};

// A sink that collects the raw characters.
class StringSink {
  public:
    using Mark = std::size_t;

    explicit StringSink(std::string& out) : out_(out) {}
    void append(const char* begin, const char* end) { out_.append(begin, end); }
    Mark mark() const { return out_.size(); }
    void rollback(Mark mark) { out_.resize(mark); }

  private:
    std::string& out_;
};

}  // namespace salvage::detail
