#pragma once

// Finds the value of a section tag's `name` attribute as the thorough reading takes it: as an
// attribute, in any of the spellings writers use (white space around "=", single or double
// quotes, other attributes before it, a namespace prefix), not as the first "name=" anywhere.
// It streams: the tag may arrive in pieces, and the value goes to a sink as it is found.

#include <cstddef>
#include <string>
#include <string_view>

#include "ascii.h"
#include "read/tag_names.h"
#include "simd/base64_groups.h"

namespace salvage::detail {

template <class Sink>
class NameAttributeScanner {
  public:
    // Returns how much of `piece` it took: all of it, or up to where the name ended.
    std::size_t feed(std::string_view piece, Sink& sink) {
        std::size_t i = 0;
        for (; i < piece.size() && state_ != State::Done; ++i) {
            const char c = piece[i];
            switch (state_) {
                case State::BetweenAttributes:
                    if (isNameCharacter(c)) {
                        attribute_.assign(1, toLowerAscii(c));
                        state_ = State::InAttributeName;
                    }
                    break;
                case State::InAttributeName:
                    if (isNameCharacter(c)) {
                        keepNameCharacter(toLowerAscii(c));
                    } else {
                        afterAttributeName(c);
                    }
                    break;
                case State::AfterAttributeName:
                    afterAttributeName(c);
                    break;
                case State::BeforeValue:
                    if (isBlank(c)) {
                        otherSpelling_ = true;
                    } else if (c == '"' || c == '\'') {
                        otherSpelling_ = otherSpelling_ || c == '\'';
                        beginValue(c);
                    } else if (kBase64Table[static_cast<unsigned char>(c)] < 64) {
                        // The opening quote was lost: the value begins here.
                        beginValue(kUnquoted);
                        i = collect(piece, i, sink) - 1;
                    } else {
                        // A damaged opening quote: the value begins after it.
                        beginValue(kUnquoted);
                    }
                    break;
                case State::InValue:
                    i = collect(piece, i, sink) - 1;
                    break;
                case State::Done:
                    break;
            }
        }
        return i;
    }

    // Whether the name's value has begun and not yet ended.
    bool collecting() const { return state_ == State::InValue || state_ == State::BeforeValue; }
    // Whether the name attribute has not been found yet.
    bool searching() const {
        return state_ == State::BetweenAttributes || state_ == State::InAttributeName ||
               state_ == State::AfterAttributeName;
    }
    bool done() const { return state_ == State::Done; }
    // Whether the value ended at a damaged stretch rather than at its closing quote: what
    // follows the stretch is no part of the tag.
    bool cutByDamage() const { return cutByDamage_; }
    // Whether the name was written otherwise than as the first attribute, name="...".
    bool otherSpelling() const { return otherSpelling_; }

  private:
    enum class State {
        BetweenAttributes,
        InAttributeName,
        AfterAttributeName,
        BeforeValue,
        InValue,
        Done
    };

    // A value whose opening quote is missing ends at a double quote or a blank.
    static constexpr char kUnquoted = '\0';

    // Longer than any attribute name a writer uses; a longer run is damage or data.
    static constexpr std::size_t kLongestAttributeName = 64;
    // Characters in a row in a value that no name's Base64 holds (a zeroed or overwritten
    // block): the value ends there.
    static constexpr std::size_t kLongestJunk = 64;

    // Base64, its padding, blanks, and what character references are spelled with.
    static bool mayStandInValue(char c) {
        return kBase64Table[static_cast<unsigned char>(c)] < 64 || c == '=' || c == '&' ||
               c == '#' || c == ';' || isBlank(c);
    }

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    void keepNameCharacter(char lower) {
        if (attribute_.size() < kLongestAttributeName) {
            attribute_.push_back(lower);
        }
    }

    // The attribute's name without a namespace prefix.
    bool isNameAttribute() const { return localName(attribute_) == "name"; }

    void afterAttributeName(char c) {
        if (c == '=') {
            if (state_ == State::AfterAttributeName) {
                otherSpelling_ = true;  // white space before "="
            }
            wanted_ = isNameAttribute();
            otherSpelling_ = otherSpelling_ || (wanted_ && attributesBefore_ != 0);
            state_ = State::BeforeValue;
            ++attributesBefore_;
        } else if (isBlank(c)) {
            state_ = State::AfterAttributeName;
        } else if (isNameCharacter(c)) {
            // An attribute without a value; this character begins the next one.
            ++attributesBefore_;
            attribute_.assign(1, toLowerAscii(c));
            state_ = State::InAttributeName;
        } else {
            ++attributesBefore_;
            state_ = State::BetweenAttributes;
        }
    }

    void beginValue(char quote) {
        quote_ = quote;
        state_ = State::InValue;
    }

    // Takes the value's characters from `at` on; returns where it stopped.
    std::size_t collect(std::string_view piece, std::size_t at, Sink& sink) {
        const std::size_t close =
            quote_ == kUnquoted ? piece.find_first_of("\" \t\r\n", at) : piece.find(quote_, at);
        std::size_t end = close == std::string_view::npos ? piece.size() : close;
        for (std::size_t k = at; k < end; ++k) {
            junk_ = mayStandInValue(piece[k]) ? 0 : junk_ + 1;
            if (junk_ == kLongestJunk && wanted_) {
                end = k + 1;
                cutByDamage_ = true;
                break;
            }
        }
        if (wanted_) {
            sink.append(piece.data() + at, piece.data() + end);
        }
        if (cutByDamage_) {
            state_ = State::Done;
            return end;
        }
        if (close == std::string_view::npos) {
            return piece.size();
        }
        state_ = wanted_ ? State::Done : State::BetweenAttributes;
        return close + 1;
    }

    State state_ = State::BetweenAttributes;
    std::string attribute_;
    std::size_t attributesBefore_ = 0;
    bool wanted_ = false;
    char quote_ = '"';
    bool otherSpelling_ = false;
    std::size_t junk_ = 0;
    bool cutByDamage_ = false;
};

}  // namespace salvage::detail
