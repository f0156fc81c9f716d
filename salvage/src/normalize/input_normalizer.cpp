#include "normalize/input_normalizer.h"

#include <algorithm>
#include <new>

#include "store/huge_pages.h"

namespace salvage::detail {

void InputNormalizer::feed(std::string_view chunk, std::string& out) {
    if (decided_) {
        run(chunk, 0, out);
        return;
    }
    const std::size_t taken = std::min(chunk.size(), kWindow - window_.size());
    window_.append(chunk.substr(0, taken));
    if (window_.size() == kWindow) {
        decide(out);
        run(chunk.substr(taken), 0, out);
    }
}

std::string_view InputNormalizer::normalize(std::string_view chunk, std::string& buffer) {
    if (decided_ && stages_.size() == 1 && invisible_.passesUnchanged(chunk)) {
        // The buffer was needed while deciding; it is given back rather than held to the end.
        std::string().swap(buffer);
        return chunk;
    }
    buffer.clear();
    makeRoom(chunk.size(), buffer);
    feed(chunk, buffer);
    return buffer;
}

void InputNormalizer::makeRoom(std::size_t chunkBytes, std::string& buffer) const {
    // While the stages are being decided a whole chunk (megabytes) is copied, into fresh
    // memory: on 4 KiB pages their faults cost more than the copy, so the room for it is made
    // at once and on huge pages. Wide text grows by at most half as it becomes UTF-8.
    constexpr std::size_t kAdviseFrom = std::size_t{2} << 20;
    const std::size_t room = (window_.size() + chunkBytes) / 2 * 3 + kWindow;
    if (room < kAdviseFrom || room <= buffer.capacity()) {
        return;
    }
    try {
        buffer.reserve(room);
    } catch (const std::bad_alloc&) {
        return;  // only room made ahead: without it the buffer grows as it is written
    }
    adviseHugePages(buffer.data(), buffer.capacity());
}

void InputNormalizer::finish(std::string& out) {
    if (!decided_) {
        decide(out);
    }
    // What a stage held back still goes through the stages after it.
    std::string carried;
    for (std::size_t k = 0; k < stages_.size(); ++k) {
        std::string next;
        stages_[k]->feed(carried, next);
        stages_[k]->finish(next);
        carried = std::move(next);
    }
    out += carried;
}

// Each stage is decided on the window as the stages before it turned it out, and then takes
// it in: the stages' own state carries on from there into the rest of the input.
void InputNormalizer::decide(std::string& out) {
    decided_ = true;
    const EncodingGuess guess = guessEncoding(window_);
    findings_.textEncoding = encodingName(guess.encoding);
    findings_.byteOrderMark = guess.byteOrderMark != 0;
    std::string_view text = std::string_view(window_).substr(guess.byteOrderMark);
    std::string converted;
    if (guess.encoding != TextEncoding::Utf8) {
        stages_.push_back(&wideText_.emplace(guess.encoding));
        wideText_->feed(text, converted);
        text = converted;
    }
    std::string decoded;
    if (looksQuotedPrintable(text)) {
        findings_.quotedPrintable = true;
        stages_.push_back(&quotedPrintable_.emplace());
        quotedPrintable_->feed(text, decoded);
        text = decoded;
    }
    if (looksEscapedMarkup(text)) {
        findings_.escapedMarkup = true;
        stages_.push_back(&unescaper_.emplace());
    }
    stages_.push_back(&invisible_);
    run(text, stages_.size() - (findings_.escapedMarkup ? 2 : 1), out);
    std::string().swap(window_);
}

void InputNormalizer::run(std::string_view in, std::size_t first, std::string& out) {
    std::size_t turn = 0;
    for (std::size_t k = first; k + 1 < stages_.size(); ++k) {
        std::string& next = between_[turn];
        turn = 1 - turn;
        next.clear();
        stages_[k]->feed(in, next);
        in = next;
    }
    stages_.back()->feed(in, out);
}

InputFindings InputNormalizer::findings() const {
    InputFindings found = findings_;
    found.invisibleCharacters = invisible_.removed();
    return found;
}

std::uint64_t InputNormalizer::normalizedBound(std::uint64_t rawBytes) const {
    if (!decided_) {
        // Undecided, the input may yet turn out to be UTF-16, which grows the most.
        return utf8Bound(TextEncoding::Utf16LE, rawBytes + window_.size());
    }
    // Only the conversion from wide text grows what it is given; each stage after it adds no
    // more than it holds back.
    const NormalizerStage* const wide = wideText_ ? &*wideText_ : nullptr;
    std::uint64_t bound = wide ? wideText_->convertedBound(rawBytes) : rawBytes;
    for (const NormalizerStage* stage : stages_) {
        bound += stage == wide ? 0 : stage->heldBack();
    }
    return bound;
}

}  // namespace salvage::detail
