#include "simd/utf8.h"

#include <utility>

#include "salvage/utf8.h"
#include "simd/implementation.h"
#include "simd/utf8_forms.h"

namespace salvage::detail {

bool isValidUtf8(std::string_view text) {
    return isValidUtf8(text, bestImplementation());
}

bool isValidUtf8(std::string_view text, const Implementation& routines) {
    return routines.isValidUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

bool isCleanText(std::string_view text, const Implementation& routines) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    return routines.isValidUtf8(s, text.size()) && !routines.hasControls(s, text.size());
}

void appendUtf8(std::uint32_t character, std::string& out) {
    if (character < 0x80) {
        out.push_back(static_cast<char>(character));
        return;
    }
    // The lead byte's marker and the number of six-bit continuation bytes after it.
    const auto [lead, continuations] = character < 0x800     ? std::pair{0xC0u, 1}
                                       : character < 0x10000 ? std::pair{0xE0u, 2}
                                                             : std::pair{0xF0u, 3};
    out.push_back(static_cast<char>(lead | (character >> (6 * continuations))));
    for (int k = continuations - 1; k >= 0; --k) {
        out.push_back(static_cast<char>(0x80u | ((character >> (6 * k)) & 0x3Fu)));
    }
}

std::size_t wholeCharactersEnd(std::string_view text) {
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80) {
            continue;  // a continuation byte: its lead stands further back
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

TextChecker::Step TextChecker::step(unsigned char byte) {
    if (need_ == 0) {
        if (byte < 0x80) {
            return isControl(byte) ? Step::Invalid : Step::Complete;
        }
        const Lead form = leadForm(byte);
        if (form.length == 0) {
            return Step::Invalid;
        }
        need_ = static_cast<unsigned>(form.length) - 1;
        // U+0080 to U+009F, 0xC2 0x80 to 0xC2 0x9F, are control characters.
        low_ = static_cast<unsigned char>(byte == 0xC2 ? 0xA0 : form.low);
        high_ = static_cast<unsigned char>(form.high);
        pending_ = 1;
        return Step::Partial;
    }
    if (byte < low_ || byte > high_) {
        reset();
        return Step::Invalid;
    }
    low_ = 0x80;
    high_ = 0xBF;
    ++pending_;
    if (--need_ == 0) {
        pending_ = 0;
        return Step::Complete;
    }
    return Step::Partial;
}

}  // namespace salvage::detail

namespace salvage {

bool isValidUtf8(std::string_view text) {
    return detail::isValidUtf8(text);
}

}  // namespace salvage
