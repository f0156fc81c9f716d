#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "normalize/escaped_markup.h"
#include "normalize/invisible_characters.h"
#include "normalize/quoted_printable.h"
#include "normalize/text_encoding.h"
#include "salvage/report.h"

namespace salvage::detail {

using InputFindings = SalvageReport::ThoroughFindings::InputForm;

// Brings a document's stored bytes, as editors re-save them and mail carries them, into the
// form the thorough reading expects: UTF-16 and UTF-32 become UTF-8 (a byte order mark goes),
// quoted-printable is undone, markup escaped as a whole is unescaped, and invisible characters
// are removed. What applies is decided once, from the start of the input; then the input
// streams through with a few bytes held back at most. Input that needs none of the first three
// is only scanned for bytes outside ASCII.
class InputNormalizer {
  public:
    // How much of the input's start is looked at before deciding.
    static constexpr std::size_t kWindow = std::size_t{64} << 10;

    InputNormalizer() = default;
    InputNormalizer(const InputNormalizer&) = delete;
    InputNormalizer& operator=(const InputNormalizer&) = delete;

    // Appends the normalized form of `chunk` to `out`; holds the input back while it decides.
    void feed(std::string_view chunk, std::string& out);
    // The same for a reader that takes the result at once: `chunk` itself when it passes
    // unchanged (no copy), else its normalized form, made in `buffer`.
    std::string_view normalize(std::string_view chunk, std::string& buffer);
    // Ends the input, flushing what was held back.
    void finish(std::string& out);

    InputFindings findings() const;
    // At most how many bytes `rawBytes` more input, and what is held back, become.
    std::uint64_t normalizedBound(std::uint64_t rawBytes) const;

  private:
    void decide(std::string& out);
    // Makes room in `buffer` for what a chunk of `chunkBytes` becomes.
    void makeRoom(std::size_t chunkBytes, std::string& buffer) const;
    // Passes `in` through the stages from `first` on; the last appends to `out`.
    void run(std::string_view in, std::size_t first, std::string& out);

    bool decided_ = false;
    std::string window_;

    std::optional<WideTextDecoder> wideText_;
    std::optional<QuotedPrintableDecoder> quotedPrintable_;
    std::optional<MarkupUnescaper> unescaper_;
    InvisibleCharacterFilter invisible_;
    std::vector<NormalizerStage*> stages_;  // those in use, in order, the invisible filter last
    std::string between_[2];                // what one stage hands the next

    InputFindings findings_;
};

}  // namespace salvage::detail
